#include "ui/text_window.h"

#include <QAction>
#include <QFile>
#include <QFileDialog>
#include <QFontDatabase>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QScreen>
#include <QStringDecoder>

#include "params/trapar.h"

namespace nvx {

TextWindow* TextWindow::Open(const QString& title, const QString& text, QWidget* near) {
  auto* w = new TextWindow(title, text);
  w->setAttribute(Qt::WA_DeleteOnClose);
  if (near && near->isVisible()) {
    w->move(near->frameGeometry().topRight() + QPoint(8, 0));
  }
  w->show();
  w->raise();
  w->activateWindow();
  return w;
}

TextWindow::TextWindow(const QString& title, const QString& text, QWidget* parent)
    : QMainWindow(parent) {
  setObjectName("frmText");
  setWindowTitle(title);
  edit_ = new QPlainTextEdit(this);
  edit_->setObjectName("txtText");
  edit_->setReadOnly(true);
  edit_->setLineWrapMode(QPlainTextEdit::NoWrap);
  edit_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  edit_->setPlainText(text);
  setCentralWidget(edit_);

  QMenu* file = menuBar()->addMenu(tr("&File"));
  QAction* save = file->addAction(tr("&Save As..."), this, &TextWindow::SaveAs);
  save->setObjectName("mnuSaveAs");
  save->setShortcut(QKeySequence::Save);
  file->addSeparator();
  QAction* close = file->addAction(tr("&Close"), this, &QWidget::close);
  close->setObjectName("mnuClose");
  close->setShortcut(QKeySequence::Close);
  resize(560, 400);
}

QString TextWindow::Text() const { return edit_->toPlainText(); }

bool TextWindow::SaveTo(const QString& path) {
  if (path.isEmpty()) return false;
  const QByteArray bytes = Text().toUtf8();
  return WriteFileAtomic(path.toStdString(), bytes.toStdString()) == 1;
}

void TextWindow::SaveAs() {
  const QString path = QFileDialog::getSaveFileName(this, tr("Save Text As"), QString(),
                                                    tr("Text files (*.TXT *.txt);;All files (*)"));
  if (path.isEmpty()) return;
  if (!SaveTo(path)) {
    QMessageBox::warning(this, windowTitle(), tr("The text could not be written to %1.").arg(path));
  }
}

bool ReadTextForView(const QString& path, QString& out, qint64 maxBytes) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return false;
  QByteArray bytes = f.read(maxBytes);
  const bool cut = !f.atEnd();
  QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  QString text = utf8.decode(bytes);
  if (utf8.hasError()) text = QString::fromLatin1(bytes);
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text.replace(QChar(0), QChar(0xFFFD));
  if (cut) text += QStringLiteral("\n[...]\n");
  out = text;
  return true;
}

}  // namespace nvx
