#include "app/gui_main.h"

#include <QApplication>
#include <QMessageBox>
#include <QMetaObject>
#include <cstdio>

#include "core/app.h"
#include "core/main_model.h"
#include "ipc/dbus_roads.h"
#include "ui/frm_parlist.h"
#include "ui/frm_wheel.h"
#include "ui/qt_ui.h"

namespace nvx {

namespace {

// Ends the event loop when nothing holds the program any more: no main
// window loaded and no automation object alive.
void QuitGuiIfIdle() {
  if (MainWinLoaded() != 0 || AutoObjAlive() != 0 || AutomationObjectsHeld()) return;
  if (QCoreApplication* app = QCoreApplication::instance()) {
    // Queued: the loop may not be running yet, or a handler may still be on
    // the stack; the loop ends once control is back in it.
    QMetaObject::invokeMethod(
        app, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
  }
}

}  // namespace

int RunGui(int& argc, char** argv, const std::string& programDir, bool automation) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("Norvantix");
  QApplication::setQuitOnLastWindowClosed(false);

  if (!AcquireSingleInstance(DefaultLockPath())) {
    QString text = QString::fromUtf8(kAlreadyRunningText);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    // Also on standard error, for starts from a terminal or by the bus.
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
    QMessageBox box(QMessageBox::Critical, QString::fromUtf8(kAlreadyRunningTitle), text,
                    QMessageBox::Ok);
    box.exec();
    return 3;
  }

  QtUi ui;
  SetUi(&ui);
  SetProgramEndHook([] { QuitGuiIfIdle(); });
  ui.SetMainWindowUnloadedHook([] { QuitGuiIfIdle(); });
  // The parameter list editor behind "Configuration" and the wheels'
  // "Parameters" entries.
  ui.SetMainWindowLoadedHook(
      [](FrmWheel& w) { w.parListEditor = [&w] { FrmParList::EditCurrentFile(&w); }; });

  const int16_t started = InitApp(programDir);
  // The D-Bus roads open once start-up is over; without a session bus the
  // program runs without them.
  DBusRoads roads;
  if (std::string busError; !roads.Start(busError)) {
    std::fprintf(stderr, "norvantix: D-Bus roads not available: %s\n", busError.c_str());
  }
  if (!(automation && started == 1)) ui.ShowMainWindow();

  int rc = 0;
  if (MainWinLoaded() != 0 || AutoObjAlive() != 0 || automation) rc = QApplication::exec();

  // Ending without the window's own unloading (the loop was ended from
  // outside) still follows the closing rules.
  MainWin().Unload();
  SetProgramEndHook(nullptr);
  SetUi(nullptr);
  return rc;
}

}  // namespace nvx
