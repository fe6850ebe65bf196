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
  return QTest::qWaitForWindowActive(w);
}

// Keys as the window system delivers them: to the keyboard grabber, an open
// pop-up or else the focus window, which hands them to its focus widget.
inline void Key(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
  QTest::keyClick(static_cast<QWidget*>(nullptr), key, mods);
}
inline void Keys(const QString& text) { QTest::keyClicks(static_cast<QWidget*>(nullptr), text); }

}  // namespace nvx::test
