#include "ui/text_window.h"

#include <QAction>
#include <QFile>
#include <QFileDialog>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QScreen>
#include <QScrollBar>
#include <QStringDecoder>
#include <QWindow>
#include <QtMath>
#include <algorithm>

#include "params/trapar.h"

namespace nvx {

namespace {

constexpr int kGap = 8;               // between a window and the one it opens beside
constexpr QSize kSmallest(560, 400);  // a window for a short text
constexpr qsizetype kMeasuredLines = 2000;

// The top-left corner for a frame of the given size beside `near`, inside
// `avail`.
QPoint BesideInside(const QRect& near, const QSize& frame, const QRect& avail) {
  const int right = avail.x() + avail.width();  // one past the last column
  int x = near.x() + near.width() + kGap;
  if (x + frame.width() > right) {
    const int left = near.x() - kGap - frame.width();
    x = left >= avail.x() ? left : right - frame.width();
  }
  const int maxX = std::max(avail.x(), right - frame.width());
  const int maxY = std::max(avail.y(), avail.y() + avail.height() - frame.height());
  return {std::clamp(x, avail.x(), maxX), std::clamp(near.y(), avail.y(), maxY)};
}

}  // namespace

TextWindow* TextWindow::Open(const QString& title, const QString& text, QWidget* near) {
  auto* w = new TextWindow(title, text);
  w->setAttribute(Qt::WA_DeleteOnClose);
  w->PlaceNear(near);
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

void TextWindow::PlaceNear(const QWidget* near) {
  const QWindow* owner = near && near->isVisible() ? near->window()->windowHandle() : nullptr;
  const QScreen* screen = owner ? owner->screen() : QGuiApplication::primaryScreen();
  if (!screen) return;
  const QRect avail = screen->availableGeometry();
  // The window manager's frame, as it framed the window this one opens
  // beside (not known for this one before it is shown).
  const QMargins m = owner ? owner->frameMargins() : QMargins();
  const QSize frame(m.left() + m.right(), m.top() + m.bottom());
  const QSize room = avail.size() - frame;

  // Room for every line, as far as the screen allows; long lines wrap when
  // even the screen's width is too narrow for them.
  const QFontMetrics fm(edit_->font());
  const QStringList lines = Text().split(QLatin1Char('\n'));
  int longest = 0;
  for (qsizetype i = 0; i < lines.size() && i < kMeasuredLines; ++i)
    longest = std::max(longest, fm.horizontalAdvance(lines[i]));
  const int margins = 2 * edit_->frameWidth() + 2 * qCeil(edit_->document()->documentMargin());
  const int wantedWidth =
      std::max(kSmallest.width(), longest + margins + fm.averageCharWidth() +
                                      edit_->verticalScrollBar()->sizeHint().width());
  const auto shownLines = static_cast<int>(std::min(lines.size(), kMeasuredLines));
  const int wantedHeight = std::max(
      kSmallest.height(), shownLines * fm.lineSpacing() + margins + menuBar()->sizeHint().height());
  if (wantedWidth > room.width()) edit_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  const QSize size(std::min(wantedWidth, room.width()), std::min(wantedHeight, room.height()));
  resize(size);

  move(owner ? BesideInside(owner->frameGeometry(), size + frame, avail)
             : avail.center() - QPoint(size.width(), size.height()) / 2);
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
