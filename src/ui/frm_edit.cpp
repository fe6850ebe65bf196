#include "ui/frm_edit.h"

#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace nvx {

FrmEdit::FrmEdit(QWidget* parent) : QDialog(parent) {
  setObjectName("frmEdit");
  setWindowTitle("Edit");
  auto* lay = new QVBoxLayout(this);
  txtText_ = new QPlainTextEdit(this);
  txtText_->setObjectName("txtText");
  txtText_->setLineWrapMode(QPlainTextEdit::NoWrap);
  lay->addWidget(txtText_, 1);
  auto* row = new QHBoxLayout;
  auto* done = new QPushButton("Done", this);
  done->setObjectName("cmdDone");
  auto* cancel = new QPushButton("Cancel", this);
  cancel->setObjectName("cmdCancel");
  row->addStretch(1);
  row->addWidget(done);
  row->addWidget(cancel);
  lay->addLayout(row);
  connect(done, &QPushButton::clicked, this, [this] { DoneClick(); });
  connect(cancel, &QPushButton::clicked, this, [this] { CancelClick(); });
  resize(460, 320);
}

void FrmEdit::SetText(const std::string& text) {
  QString t = QString::fromStdString(text);
  t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  txtText_->setPlainText(t);
}

int FrmEdit::Show() {
  accepted_ = 0;
  return exec();
}

void FrmEdit::DoneClick() {
  accepted_ = 1;
  QString t = txtText_->toPlainText();
  t.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
  result_ = t.toStdString();
  accept();
}

void FrmEdit::CancelClick() {
  accepted_ = 0;
  result_.clear();
  reject();
}

}  // namespace nvx
