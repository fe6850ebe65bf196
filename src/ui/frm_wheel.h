// The main window frmWheel: the two wheel panels, the command box with its
// Execute button and history, the time line, the message line and the menus.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/main_model.h"

class QAction;
class QComboBox;
class QGroupBox;
class QLabel;
class QMenu;
class QPushButton;
class QTimer;

namespace nvx {

class ClickLabel;
class WheelButton;
class WheelDial;

// Renders the core's main window model (core/main_model.h) and forwards the
// person's clicks and keys to it. The model makes one for each loading.
class FrmWheel : public QMainWindow, public MainView {
  Q_OBJECT
 public:
  // Creates the window hidden; the model's loading then fills it.
  explicit FrmWheel(QWidget* parent = nullptr);
  ~FrmWheel() override;

  // --- what the window shows (read from its widgets) ---
  std::string MessageText() const;           // lblMsg
  std::string CommandText() const;           // cboCommand's text
  std::vector<std::string> History() const;  // cboCommand's list, newest first
  std::string TimeText() const;              // lblTime

  // Unloads through the model: the closing rules run once (port, filter
  // entries, interpreter window, MainWinLoaded := 0), the window hides and
  // frees itself as soon as no handler of it is running any more.
  void Unload();
  bool IsUnloaded() const { return unloaded_; }

  // --- the view ---
  void MsgChanged() override;
  void TimeChanged() override;
  void CmdTextChanged() override;
  void HistoryChanged() override;
  void WheelMenusChanged() override;
  void FilterEntriesChanged(int wheel) override;
  void ChecksChanged(int wheel) override;
  void CaptionChanged(int wheel) override;
  void DrawingChanged(int wheel) override;
  void VisibilityChanged() override;
  void BusyChanged() override;
  void CalibCheckChanged() override;
  void Unloaded() override;
  void EditCurrentParFile() override;
  std::optional<std::string> EditText(const std::string& text) override;
  void ChooseFile(const std::string& startDir, const std::string& pattern, const std::string& title,
                  std::string& dir, std::string& file) override;

  // The wheel menu of a wheel and its filter entries (tests, screenshots).
  QMenu* WheelMenu(int wheel) const;
  std::vector<QAction*> FilterEntries(int wheel) const;

  // --- places where later dialogs plug in ---
  // Opens the parameter list editor modally on the current parameter file
  // (set with SetParFile before the call), centred on the screen.
  std::function<void()> parListEditor;
  // Lets the user choose a wheel parameter file: start directory, file
  // pattern and title in; chosen directory and file name out (empty when
  // cancelled).
  std::function<void(const std::string& startDir, const std::string& pattern,
                     const std::string& title, std::string& dir, std::string& file)>
      parFileChooser;

  // --- handlers (public so that tests and automation reach them) ---
  void ExecuteClick();
  void ConfigurationClick();
  // Joystick entries: "On?", "Calibrate", "Assigned Commands", "Toggle Axes", "Param.".
  void JoyOnClick();
  void JoyCalibClick();
  void JoyAssgnCmdClick();
  void ToggleAxesClick();
  void JoyParClick();
  void ErrorLogClick();
  void CommandsClick();
  void QuitClick();
  void WheelMenuOpened(int wheel);
  void FilterEntryClick(int wheel, int index);
  void NextFilterClick(int wheel);
  void PrevFilterClick(int wheel);
  void HomeClick(int wheel);
  void ParametersClick(int wheel);
  void ReadParFileClick(int wheel);
  void SpeedTestClick(int wheel);
  void WheelButtonClick(int index);

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private slots:
  void Tick();

 private:
  struct Panel {
    QGroupBox* frame = nullptr;
    WheelDial* dial = nullptr;
    WheelButton* button = nullptr;
    QMenu* menu = nullptr;
    QAction* sep1 = nullptr;
    std::vector<QAction*> filters;  // element 0 always exists
  };

  // Keeps the window alive while one of its handlers runs: a command may
  // unload the window from inside a nested event.
  class HandlerScope {
   public:
    explicit HandlerScope(FrmWheel* w);
    ~HandlerScope();
    HandlerScope(const HandlerScope&) = delete;
    HandlerScope& operator=(const HandlerScope&) = delete;

   private:
    QPointer<FrmWheel> w_;
  };

  void BuildMenus();
  void BuildWheelMenu(int wheel);
  QWidget* BuildPanel(int wheel);
  QAction* AddFilterEntry(int wheel, int index, const std::string& caption);
  void SetCheckedSilently(QAction* a, bool on);
  Panel& P(int wheel) { return panels_[wheel == 2 ? 1 : 0]; }
  const Panel& P(int wheel) const { return panels_[wheel == 2 ? 1 : 0]; }

  Panel panels_[2];
  QComboBox* cboCommand_ = nullptr;
  QPushButton* cmdExecute_ = nullptr;
  QLabel* lblTime_ = nullptr;
  ClickLabel* lblMsg_ = nullptr;
  QTimer* tick_ = nullptr;
  int handlerDepth_ = 0;
  bool unloaded_ = false;
  bool destroying_ = false;
  bool deletePending_ = false;
  bool popupFromButton_ = false;
};

}  // namespace nvx
