// The interpreter window frmInterp: the program as numbered rows (cmdNmb,
// txtCmd), the message line lblMess, the time label lblTime, the Run option
// optRun, the buttons and the menus of reading, writing, editing, scrolling
// and running a program. It renders the interpreter's view model
// (interp/interp_view.h) and forwards clicks, keys and typing to it. One
// window at a time; it opens without blocking.
#pragma once

#include <QMainWindow>
#include <string>
#include <vector>

#include "interp/interp.h"
#include "interp/interp_view.h"

class QAction;
class QLabel;
class QLineEdit;
class QPrinter;
class QPushButton;
class QRadioButton;

namespace nvx {

class FrmInterp : public QMainWindow {
  Q_OBJECT
 public:
  // The "Interpreter" entry: the main window goes to the screen's left edge
  // and the interpreter window opens at the top of the screen right of it;
  // an open one is only brought forward.
  static FrmInterp* ShowBeside(QWidget* mainWindow);
  // The open window, or nullptr.
  static FrmInterp* Instance();

  // Loads the window (its rows, the program shown from TopLine) hidden.
  explicit FrmInterp(QWidget* parent = nullptr);
  ~FrmInterp() override;

  // Where the window's top-left corner goes when it is shown (both 0 or
  // more), window coordinates.
  void SetShowPar(int ftop, int fleft);
  void Show();

  // --- what the window shows (tests) ---
  int Rows() const { return static_cast<int>(nmb_.size()); }
  QPushButton* NumberButton(int row) const { return nmb_[static_cast<size_t>(row)]; }
  QLineEdit* RowText(int row) const { return txt_[static_cast<size_t>(row)]; }
  std::string MessageText() const;

  // --- handlers ---
  void ReadClick();
  void WriteClick();
  void PrintClick();
  // An image of the window on the printer's page; false when it cannot paint.
  bool PrintTo(QPrinter& printer);

  // The file dialog and the overwrite question (tests answer them).
  ProgramFileDialogs dialogs;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  // Gives up the window's place as the interpreter window (once).
  void Release();
  void BuildMenus();
  void Render(InterpChange what);
  void RenderRows();
  void RenderControls();
  int RowOf(QObject* o) const;

  std::vector<QPushButton*> nmb_;
  std::vector<QLineEdit*> txt_;
  // What StartRun disables: the buttons, and the menus and entries.
  std::vector<QWidget*> editing_;
  std::vector<QAction*> editingActions_;
  QLabel* lblMess_ = nullptr;
  QLabel* lblTime_ = nullptr;
  QRadioButton* optRun_ = nullptr;
  int ftop_ = -1;
  int fleft_ = -1;
};

}  // namespace nvx
