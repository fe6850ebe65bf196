#include "ui/frm_parlist.h"

#include <QEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScreen>
#include <QScrollBar>
#include <QTableWidget>

#include "base/ui.h"
#include "params/trapar.h"

namespace nvx {

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

constexpr Qt::Alignment kKeyAlign = Qt::AlignLeft | Qt::AlignVCenter;
constexpr Qt::Alignment kValueAlign = Qt::AlignRight | Qt::AlignVCenter;

}  // namespace

FrmParList::FrmParList(QWidget* parent) : QDialog(parent) {
  setObjectName("frmParList");
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);

  fgrPar_ = new QTableWidget(this);
  fgrPar_->setObjectName("fgrPar");
  fgrPar_->setColumnCount(2);
  auto* h0 = new QTableWidgetItem(QStringLiteral("Parameter"));
  h0->setTextAlignment(kKeyAlign);
  auto* h1 = new QTableWidgetItem(QStringLiteral("Value"));
  h1->setTextAlignment(kValueAlign);
  fgrPar_->setHorizontalHeaderItem(0, h0);
  fgrPar_->setHorizontalHeaderItem(1, h1);
  fgrPar_->verticalHeader()->hide();
  fgrPar_->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  fgrPar_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  fgrPar_->horizontalHeader()->setHighlightSections(false);
  fgrPar_->horizontalHeader()->setSectionsClickable(false);
  fgrPar_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  fgrPar_->setSelectionMode(QAbstractItemView::SingleSelection);
  fgrPar_->setSelectionBehavior(QAbstractItemView::SelectItems);
  fgrPar_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  fgrPar_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  fgrPar_->setWordWrap(false);
  fgrPar_->setCornerButtonEnabled(false);
  fgrPar_->setFrameShape(QFrame::Box);
  fgrPar_->setLineWidth(1);
  fgrPar_->setAlternatingRowColors(true);
  fgrPar_->setStyleSheet(QStringLiteral(
      "QTableWidget { gridline-color: #b8b8b8; alternate-background-color: #f4f6fa; }"
      "QHeaderView::section { background: #dde3ec; border: 0px; border-right: 1px solid #b8b8b8;"
      " border-bottom: 1px solid #9aa4b2; padding: 0px 3px; font-weight: bold; }"
      "QTableWidget::item { padding: 0px 3px; }"));

  txtField_ = new QLineEdit(fgrPar_->viewport());
  txtField_->setObjectName("txtField");
  txtField_->setFrame(false);
  txtField_->setStyleSheet(QStringLiteral(
      "QLineEdit { border: 1px solid #3a6ea5; background: #fffbe6; padding: 0px 2px; }"));
  txtField_->hide();
  txtField_->installEventFilter(this);

  connect(fgrPar_, &QTableWidget::cellClicked, this, [this](int row, int column) {
    // Only a click that leaves exactly the current cell selected opens the box.
    const auto ranges = fgrPar_->selectedRanges();
    if (ranges.size() != 1) return;
    const QTableWidgetSelectionRange& r = ranges.front();
    if (r.bottomRow() != fgrPar_->currentRow() || r.rightColumn() != fgrPar_->currentColumn())
      return;
    if (r.rowCount() != 1 || r.columnCount() != 1) return;
    EditCell(row, column);
  });
}

FrmParList::~FrmParList() {
  // A window released without closing still writes its file back.
  if (loaded_ && !unloaded_) Unload();
}

void FrmParList::SetShowPar(int16_t ftop, int16_t fleft) {
  ftop_ = ftop;
  fleft_ = fleft;
}

void FrmParList::Load() {
  if (loaded_) return;
  loaded_ = true;
  setWindowTitle(Q(GetParPath()));
  writeBack_ = ParListOpen();

  const int16_t n = ParCount();
  layout_ = ParListLayout(n);
  fgrPar_->setRowCount(n);
  fgrPar_->setColumnWidth(0, layout_.keyColPx);
  fgrPar_->setColumnWidth(1, layout_.valueColPx);
  fgrPar_->verticalHeader()->setMinimumSectionSize(1);
  fgrPar_->verticalHeader()->setDefaultSectionSize(layout_.rowPx);
  fgrPar_->horizontalHeader()->setMinimumSectionSize(1);
  fgrPar_->horizontalHeader()->setFixedHeight(layout_.rowPx);
  fgrPar_->verticalScrollBar()->setFixedWidth(TwipsToPixels(kParScrollBarTwips));

  // Filled from the last entry to the first.
  for (int16_t i = static_cast<int16_t>(n - 1); i >= 0; --i) {
    std::string key;
    ParValue value;
    GetParAt(i, key, value);
    auto* k = new QTableWidgetItem(Q(key));
    k->setTextAlignment(kKeyAlign);
    auto* v = new QTableWidgetItem(Q(ParCellText(value)));
    v->setTextAlignment(kValueAlign);
    fgrPar_->setItem(i, 0, k);
    fgrPar_->setItem(i, 1, v);
    fgrPar_->setRowHeight(i, layout_.rowPx);
  }
  if (n > 0) fgrPar_->setCurrentCell(0, 1);

  const int m = layout_.marginPx;
  fgrPar_->setGeometry(m, m, layout_.widthPx, layout_.heightPx);
  setFixedSize(2 * m + layout_.widthPx, 2 * m + layout_.heightPx);

  QScreen* screen = parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen();
  const QRect avail = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
  const ParWindowPos pos =
      ParListWindowPos(ftop_, fleft_, avail.width(), avail.height(), width(), height());
  move(avail.left() + pos.left, avail.top() + pos.top);
}

int FrmParList::Show() {
  Load();
  return exec();
}

void FrmParList::EditCurrentFile(QWidget* parent) {
  FrmParList editor(parent);
  editor.SetShowPar(-1, -1);
  editor.Show();
}

std::vector<ParRow> FrmParList::Rows() const {
  std::vector<ParRow> rows;
  rows.reserve(static_cast<size_t>(fgrPar_->rowCount()));
  for (int r = 0; r < fgrPar_->rowCount(); ++r) {
    const QTableWidgetItem* k = fgrPar_->item(r, 0);
    const QTableWidgetItem* v = fgrPar_->item(r, 1);
    rows.push_back(
        {k ? k->text().toStdString() : std::string(), v ? v->text().toStdString() : std::string()});
  }
  return rows;
}

void FrmParList::EditCell(int row, int column) {
  if (row < 0 || row >= fgrPar_->rowCount() || column < 0 || column > 1) return;
  fgrPar_->setCurrentCell(row, column);
  QTableWidgetItem* item = fgrPar_->item(row, column);
  txtField_->setGeometry(fgrPar_->visualItemRect(item));
  txtField_->setAlignment(column == 0 ? kKeyAlign : kValueAlign);
  txtField_->setText(item ? item->text() : QString());
  txtField_->show();
  txtField_->setFocus(Qt::MouseFocusReason);
}

void FrmParList::StoreField() {
  const int row = fgrPar_->currentRow();
  const int column = fgrPar_->currentColumn();
  if (row >= 0 && column >= 0) {
    QTableWidgetItem* item = fgrPar_->item(row, column);
    if (!item) {
      item = new QTableWidgetItem;
      item->setTextAlignment(column == 0 ? kKeyAlign : kValueAlign);
      fgrPar_->setItem(row, column, item);
    }
    item->setText(txtField_->text());
  }
  DropField();
  fgrPar_->setFocus();
}

void FrmParList::DropField() {
  if (txtField_->isVisible()) txtField_->hide();
}

bool FrmParList::eventFilter(QObject* watched, QEvent* event) {
  if (watched == txtField_) {
    if (event->type() == QEvent::KeyPress) {
      const auto* key = static_cast<QKeyEvent*>(event);
      if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
        StoreField();
        return true;
      }
      if (key->key() == Qt::Key_Escape) {
        // Leaves the edit, not the window.
        DropField();
        fgrPar_->setFocus();
        return true;
      }
    } else if (event->type() == QEvent::FocusOut) {
      DropField();
    }
  }
  return QDialog::eventFilter(watched, event);
}

void FrmParList::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  fgrPar_->setFocus(Qt::ActiveWindowFocusReason);
}

void FrmParList::Unload() {
  if (unloaded_) return;
  unloaded_ = true;
  DropField();  // an edit not confirmed with Enter is dropped
  writeResult_ = ParListClose(Rows(), writeBack_);
  if (writeResult_ < 0) {
    GetUi().MessageBox("File " + GetParPath() + " could not be written", "Norvantix",
                       MsgIcon::Exclamation);
  }
}

void FrmParList::done(int r) {
  if (loaded_) Unload();
  QDialog::done(r);
}

}  // namespace nvx
