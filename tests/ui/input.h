// Windows and keys on a desktop, as a person meets them: a window made
// active by the window manager, keys delivered where the window system
// delivers them.
#pragma once

#include <QTest>
#include <QWidget>

namespace nvx::test {

// Shows a window and waits until the window manager has made it the active
// one, as a person's click on it would.
inline bool ShowActive(QWidget* w) {
  w->show();
  w->raise();
  w->activateWindow();
  return QTest::qWaitForWindowActive(w, 20000);  // a loaded machine can take its time
}

// Keys as the window system delivers them: to the keyboard grabber, an open
// pop-up or else the focus window, which hands them to its focus widget.
inline void Key(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
  QTest::keyClick(static_cast<QWidget*>(nullptr), key, mods);
}
inline void Keys(const QString& text) { QTest::keyClicks(static_cast<QWidget*>(nullptr), text); }

// A click as the window system delivers it: through the top-level window, at
// a point of the widget (its centre unless given).
inline void Click(QWidget* w, QPoint at = {-1, -1}, Qt::MouseButton button = Qt::LeftButton) {
  QWidget* top = w->window();
  QTest::mouseClick(top->windowHandle(), button, {},
                    w->mapTo(top, at == QPoint(-1, -1) ? w->rect().center() : at));
}

}  // namespace nvx::test
