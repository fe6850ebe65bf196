// The edit dialog frmEdit: a text box txtText with "Done" and "Cancel". The
// caller puts the initial text in, shows the dialog modally, then reads
// GetTextRes and GetAccept; the results outlive the dialog's window.
#pragma once

#include <QDialog>
#include <cstdint>
#include <string>

class QPlainTextEdit;

namespace nvx {

class FrmEdit : public QDialog {
  Q_OBJECT
 public:
  explicit FrmEdit(QWidget* parent = nullptr);

  // The text box's text; lines are separated by CR LF as the program keeps them.
  void SetText(const std::string& text);
  // Loads (accepted := 0) and runs modally until "Done", "Cancel" or the close box.
  int Show();
  int16_t GetAccept() const { return accepted_; }
  std::string GetTextRes() const { return result_; }

  void DoneClick();
  void CancelClick();

 private:
  QPlainTextEdit* txtText_ = nullptr;
  int16_t accepted_ = 0;
  std::string result_;
};

}  // namespace nvx
