// The main window frmWheel as a model without pixels: its lines, its command
// box and history, whether it is loaded and shown, what its wheel panels and
// wheel menus show, and the rules of its loading, its unloading and its
// handlers. Every front end drives this one model: the Qt window renders it
// and forwards clicks and keys to it, the D-Bus window road runs lines
// through it, and the windowless modes start up with it loaded and hidden.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace nvx {

// What one wheel's panel and menu show.
struct WheelPanelState {
  bool menuShown = false;  // the wheel menu (the wheel is installed)
  // One element per filter entry of the menu ("Filter 1" always exists):
  // whether it carries the check mark.
  std::vector<bool> checks = std::vector<bool>(1, false);
  int16_t caption = 0;  // the filter the captions show (0: "?")
  // The drawn wheel: what the program last commanded or read, so that it
  // shows where the wheel stands, whatever CurFilter says. A wheel that is
  // offline, or whose position is unknown after a failed homing, is drawn
  // with no filters and "?".
  int16_t drawnCount = 0;
  int16_t drawnFilter = 0;
};

// Renders the model. Each call says what changed; the view reads the rest
// from the model. Every call has a default that does nothing.
class MainView {
 public:
  virtual ~MainView() = default;
  virtual void MsgChanged() {}
  virtual void TimeChanged() {}
  virtual void CmdTextChanged() {}
  virtual void HistoryChanged() {}
  virtual void WheelMenusChanged() {}  // which wheel menus are shown
  virtual void FilterEntriesChanged(int /*wheel*/) {}
  virtual void ChecksChanged(int /*wheel*/) {}
  virtual void CaptionChanged(int /*wheel*/) {}
  virtual void DrawingChanged(int /*wheel*/) {}
  virtual void VisibilityChanged() {}
  virtual void BusyChanged() {}
  virtual void CalibCheckChanged() {}  // the check mark of "Calibrate"
  // The model unloaded: the view closes its other windows, hides and goes.
  // The model no longer calls the view afterwards.
  virtual void Unloaded() {}

  // Dialogs the handlers need. Without them "Parameters" edits nothing,
  // "Read Par. File" chooses nothing and "Assigned Commands" is cancelled.
  // The parameter list editor, modal, on the current parameter file.
  virtual void EditCurrentParFile() {}
  // The edit dialog frmEdit, modal, on a text of CR LF separated lines: the
  // edited text after "Done", nothing after "Cancel" or the close box.
  virtual std::optional<std::string> EditText(const std::string& /*text*/) { return std::nullopt; }
  // The program's file dialog: start directory, pattern and title in; the
  // chosen directory and file out (empty when cancelled).
  virtual void ChooseFile(const std::string& /*startDir*/, const std::string& /*pattern*/,
                          const std::string& /*title*/, std::string& dir, std::string& file) {
    dir.clear();
    file.clear();
  }
};

class MainModel {
 public:
  MainModel();
  MainModel(const MainModel&) = delete;
  MainModel& operator=(const MainModel&) = delete;

  // --- the front end ---
  // Makes a view for each loading (nullptr or none: the model has no view).
  // A view is told until the model unloads.
  void SetViewFactory(std::function<MainView*()> factory);
  // Called after every unloading, once MainWinLoaded is 0.
  void SetUnloadedHook(std::function<void()> hook);
  MainView* View() const { return view_; }

  // --- state ---
  bool IsLoaded() const;
  bool IsVisible() const { return visible_; }
  bool IsBusy() const { return busy_ > 0; }
  const std::string& Msg() const { return msg_; }
  const std::string& TimeText() const { return time_; }
  const std::string& CmdText() const { return cmdText_; }
  const std::vector<std::string>& History() const { return history_; }  // newest first
  const WheelPanelState& Panel(int wheel) const { return panels_[wheel == 2 ? 1 : 0]; }
  // "Calibrate" carries its check mark while a calibration runs.
  bool CalibChecked() const;

  // The lines and the box; each does nothing while the window is not loaded.
  void ShowMsg(const std::string& text);
  void SetTimeText(const std::string& text);
  void SetCmdText(const std::string& text);
  // What a person typed or picked into the box: taken without telling the
  // view, which shows it already.
  void TypeCmdText(const std::string& text) { cmdText_ = text; }
  // The message line as a person clears it: a click on it.
  void MsgClicked() { ShowMsg(""); }

  // --- loading, showing, unloading ---
  // The loading: wheel menus, filter entries, each online wheel's filter
  // read back, captions, check marks, MainWinLoaded := 1; then the message
  // line is handed to the serial link. Nothing when loaded already.
  void Load();
  // "Show" loads first when needed.
  void Show();
  void Hide();
  // The closing rules: the port (unless an automation object holds it), the
  // filter entries, the other windows, MainWinLoaded := 0.
  void Unload();

  // --- the rules of the window's parts ---
  void ShowWheelMenus();
  void LoadFiltMenu(int wheel);
  void UnloadFiltMenu(int wheel);
  void CheckFiltMenu(int wheel);
  void WheelCaption(int wheel);  // FCaption / BCaption
  void FiltCaption();            // by the selected wheel
  // The drawn wheel from the wheel's state: no filters while it is offline.
  void DrawWheel(int wheel);
  // What the wheel operations report (the wheel observer's calls).
  void WheelMoved(int wheel, int16_t filter);
  void WheelRead(int wheel, int16_t filter);
  void WheelHomed(int wheel, int16_t result);
  void RememberCmdInHist();

  // A command line with the lines cleared first and the time it took after:
  // fromBox runs the box's text and remembers it in the history (Execute);
  // otherwise `line` is put into the box and run (the execute link). The
  // joined reply. Nothing runs while the window is not loaded.
  std::string RunTimedLine(bool fromBox, const std::string& line = {});

  // --- handlers ---
  void ExecuteClick() { RunTimedLine(true); }
  void ConfigurationClick();
  void JoyOnClick();
  // "Calibrate": starts a calibration, or ends the running one, storing it
  // when it is wide enough and reading the stored one back otherwise.
  void JoyCalibClick();
  // "Assigned Commands": the joystick command list in the edit dialog;
  // accepted, it is written, read back and its start command run.
  void JoyAssgnCmdClick();
  void ToggleAxesClick();
  void JoyParClick();
  void WheelMenuOpened(int wheel);
  void FilterEntryClick(int wheel, int index);
  void NextFilterClick(int wheel);
  void PrevFilterClick(int wheel);
  void HomeClick(int wheel);
  void ParametersClick(int wheel);
  void ReadParFileClick(int wheel);
  void SpeedTestClick(int wheel);
  // The wheel button: true when its menu is to pop up.
  bool WheelButtonClick(int index);

  // Raises the busy state for the life of the scope: a command from the
  // window may wait for a wheel (command lines from the box and the execute
  // link, the wheel menus' moves and homing, the speed test).
  class BusyScope {
   public:
    explicit BusyScope(MainModel& m);
    ~BusyScope();
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

   private:
    MainModel& m_;
  };

  // Back to the state before start-up: unloaded, no view, empty lines.
  void Reset();

 private:
  WheelPanelState& P(int wheel) { return panels_[wheel == 2 ? 1 : 0]; }
  // Takes the message line sink and the wheel observer for this model.
  void Wire();
  template <typename F>
  void Tell(F f) {
    if (view_) f(*view_);
  }

  std::function<MainView*()> factory_;
  std::function<void()> unloadedHook_;
  MainView* view_ = nullptr;
  bool visible_ = false;
  int busy_ = 0;
  std::string msg_, time_, cmdText_;
  std::vector<std::string> history_;
  WheelPanelState panels_[2];
};

// The program's one main window model.
MainModel& MainWin();

}  // namespace nvx
