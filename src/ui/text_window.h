// A separate, unsaved, read-only text window of the program's own, used to
// show the error log and the command description. Its text can be saved
// under a chosen name.
#pragma once

#include <QMainWindow>
#include <QString>

class QPlainTextEdit;

namespace nvx {

class TextWindow : public QMainWindow {
  Q_OBJECT
 public:
  // Opens (shows) a new window with the text beside `near` (see PlaceNear);
  // it deletes itself when closed.
  static TextWindow* Open(const QString& title, const QString& text, QWidget* near = nullptr);

  TextWindow(const QString& title, const QString& text, QWidget* parent = nullptr);
  // Sizes the window for its text and places it inside the screen's
  // available area: wide enough for the longest line, or wrapping the lines
  // when the screen is too narrow for it, and as high as its lines as far as
  // the screen allows (at least 560x400); right of `near` when there is room,
  // else left of it, else against the area's right edge. Centred on the
  // screen when `near` is null or hidden. Call before showing.
  void PlaceNear(const QWidget* near);
  QString Text() const;
  // Writes the text to the path (through a temporary file). True on success.
  bool SaveTo(const QString& path);

 public slots:
  void SaveAs();

 private:
  QPlainTextEdit* edit_ = nullptr;
};

// Reads a text file for showing: at most maxBytes bytes (a longer file is
// cut there and marked), decoded as UTF-8 when valid, else Latin-1. False
// when the file cannot be read.
bool ReadTextForView(const QString& path, QString& out, qint64 maxBytes = 8 * 1024 * 1024);

}  // namespace nvx
