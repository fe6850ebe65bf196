// The parameter list editor frmParList: the current parameter file in a
// two-column grid fgrPar (keys, values) with the edit box txtField. The file
// is read when the window loads and written back when it closes.
#pragma once

#include <QDialog>
#include <cstdint>
#include <string>
#include <vector>

#include "core/parlist_view.h"

class QLineEdit;
class QTableWidget;

namespace nvx {

class FrmParList : public QDialog {
  Q_OBJECT
 public:
  explicit FrmParList(QWidget* parent = nullptr);
  ~FrmParList() override;

  // The position request (twips) for the next load; negative centres.
  void SetShowPar(int16_t ftop, int16_t fleft);

  // Loading: caption, reading the current parameter file, grid and window
  // layout, position. Run once before showing.
  void Load();
  // Load, then show modally until the user closes the window (which writes
  // the file back). The usual way to use the editor.
  int Show();

  // Opens the editor on the current parameter file (SetParFile before),
  // centred, modally; the file is written back when it closes.
  static void EditCurrentFile(QWidget* parent = nullptr);

  QTableWidget* Grid() const { return fgrPar_; }
  QLineEdit* Field() const { return txtField_; }
  const ParGridLayout& Layout() const { return layout_; }
  // The grid's rows below the heading, as they stand.
  std::vector<ParRow> Rows() const;
  // The result of writing back: 1 written, 0 not written (the file could not
  // be read), -1 failed; 0 until the window unloaded.
  int16_t WriteResult() const { return writeResult_; }
  bool Unloaded() const { return unloaded_; }

  // Opens the edit box on a cell (the effect of a click on it).
  void EditCell(int row, int column);

 public slots:
  void done(int r) override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void StoreField();
  void DropField();
  void Unload();

  QTableWidget* fgrPar_ = nullptr;
  QLineEdit* txtField_ = nullptr;
  ParGridLayout layout_;
  int16_t ftop_ = -1;
  int16_t fleft_ = -1;
  bool loaded_ = false;
  bool unloaded_ = false;
  bool writeBack_ = false;
  int16_t writeResult_ = 0;
};

}  // namespace nvx
