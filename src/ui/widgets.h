// Small widgets of the main window: the clickable message line, the wheel
// button that also answers a right-button press, and the wheel drawing.
#pragma once

#include <QLabel>
#include <QPushButton>
#include <QWidget>

#include "core/wheel_view.h"

namespace nvx {

// A label that reports a press of any mouse button. It shows its text in
// the lines its height holds, wrapped at words; a longer text is cut short
// with "…" at the end of the last line and shown whole in the tooltip.
class ClickLabel : public QLabel {
  Q_OBJECT
 public:
  explicit ClickLabel(QWidget* parent = nullptr);
 signals:
  void pressed();

 protected:
  bool event(QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  // The lines as shown; `cut` tells whether the text was cut short.
  QStringList ShownLines(bool* cut = nullptr) const;
};

// A push button whose right-button press is reported as well (the left
// button gives the usual click).
class WheelButton : public QPushButton {
  Q_OBJECT
 public:
  explicit WheelButton(QWidget* parent = nullptr);
 signals:
  void rightPressed();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
};

// Draws a wheel: its filter positions round a circle, the current one marked
// and its number (or "?") in the middle. It shows what it is told, nothing
// live.
class WheelDial : public QWidget {
  Q_OBJECT
 public:
  explicit WheelDial(QWidget* parent = nullptr);
  void SetState(int16_t count, int16_t curFilter);
  const WheelDrawing& Drawing() const { return drawing_; }
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  WheelDrawing drawing_;
};

}  // namespace nvx
