// Pictures of the program's windows, to $NVX_SCREENSHOT_DIR when it is set
// (scripts/screenshots.sh), else to a temporary directory; each must be a
// real picture, not a blank one.
#include <gtest/gtest.h>

#include <QDir>
#include <QHelpEvent>
#include <QImage>
#include <QMenu>
#include <QTest>

#include "comm/comm.h"
#include "core/main_model.h"
#include "core/tick.h"
#include "interp/interp.h"
#include "params/trapar.h"
#include "ui/frm_files.h"
#include "ui/frm_interp.h"
#include "ui/frm_parlist.h"
#include "ui_fixture.h"
#include "wheels/wheels.h"

namespace nvx {
namespace {

class Screenshots : public ::testing::Test {
 protected:
  void SetUp() override {
    if (dir.isEmpty()) dir = QString::fromStdString(tmp.path());
    QDir().mkpath(dir);
  }
  // Saves a widget's picture once it is on the screen, and checks it is not blank.
  void Shoot(QWidget* w, const char* name) {
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
    QTest::qWait(50);
    const QImage img = w->grab().toImage();
    EXPECT_TRUE(img.width() > 50 && img.height() > 50) << name;
    bool varied = false;
    for (int y = 0; y < img.height() && !varied; y += 3)
      for (int x = 0; x < img.width() && !varied; x += 3)
        varied = img.pixel(x, y) != img.pixel(0, 0);
    EXPECT_TRUE(varied) << name;
    EXPECT_TRUE(img.save(dir + "/" + name)) << name;
  }
  test::TempDir tmp;
  QString dir = qEnvironmentVariable("NVX_SCREENSHOT_DIR");
};

// The main window (also large, with a long reply and its tooltip, and with a
// wheel offline), an open wheel menu, the error log, the interpreter during
// a run, the parameter list editor with an open edit box, the file dialog.
TEST_F(Screenshots, Windows) {
  constexpr sim::ControllerKind kind = sim::ControllerKind::kIM483I;
  test::UiFixture f(&kind);
  ASSERT_EQ(f.Start(), 1);
  f.w->FilterEntryClick(1, 2);
  WaitWheel();
  MainWin().SetCmdText("F 3;F Wait");
  f.w->ExecuteClick();
  f.ui.ShowMainWindow();
  Shoot(f.w, "main_window.png");
  f.w->resize(760, 520);
  Shoot(f.w, "main_window_large.png");
  f.w->resize(480, 400);

  // A long reply: cut short in the message line, whole in its tooltip.
  MainWin().SetCmdText(QString("Ver;").repeated(150).toStdString());
  f.w->ExecuteClick();
  Shoot(f.w, "long_reply.png");
  auto* msg = f.w->findChild<QWidget*>("lblMsg");
  QHelpEvent help(QEvent::ToolTip, msg->rect().center(), msg->mapToGlobal(msg->rect().center()));
  QApplication::sendEvent(msg, &help);
  QWidget* tip = nullptr;
  ASSERT_TRUE(QTest::qWaitFor([&] {
    for (QWidget* t : QApplication::topLevelWidgets())
      if (t->inherits("QTipLabel") && t->isVisible()) tip = t;
    return tip != nullptr;
  }));
  Shoot(tip, "long_reply_tooltip.png");
  tip->hide();

  // Wheel B offline after a failed initialisation: an empty disc with "?".
  f.app.dir.write("ZR_PARW2.TXT", "\"W2CONTR\",1\n");
  f.w->ParametersClick(2);
  Shoot(f.w, "offline_wheel.png");

  QMenu* m = f.w->WheelMenu(1);
  f.w->WheelMenuOpened(1);
  m->popup(f.w->mapToGlobal(QPoint(60, 30)));
  Shoot(m, "wheel_menu.png");
  m->hide();

  CommLog("Port TimeOut");
  CommLogAppend(" 1Z");
  CommLog("ERROR # 1010");
  f.w->ErrorLogClick();
  ASSERT_NE(test::Shown(), nullptr);
  Shoot(test::Shown(), "error_log.png");
  test::Shown()->close();

  f.Find("mnuInterpEdit")->trigger();
  ASSERT_EQ(ReadProgramFile(f.app.dir.file("SAMPLE.PRG")), "Program read");
  StartOver();
  StartRun();
  for (int i = 0; i < 9 && RunState() == 1; ++i) PeriodicTick();
  ASSERT_EQ(RunState(), 1);
  Shoot(FrmInterp::Instance(), "interpreter.png");
  StopRun();

  SetParDir(f.app.dir.path());
  SetParFile("ZR_PARW1.TXT");
  {
    FrmParList p;
    p.SetShowPar(-1, -1);
    p.Load();
    ASSERT_TRUE(test::ShowActive(&p));
    p.EditCell(5, 1);
    Shoot(&p, "parlist_editor.png");
    p.done(0);
  }
  CurParList().clear();

  std::filesystem::create_directories(f.app.dir.file("programs"));
  FrmFiles files;
  files.SetStartDir(f.app.dir.path());
  files.SetFilter("*.TXT");
  files.SetPatterns("*.TXT *.*");
  files.SetTitle("Select a parameter file");
  files.Load();
  files.resize(620, 380);
  files.show();
  files.ClickFile(1);
  Shoot(&files, "file_dialog.png");
  files.DoneClick();
  test::FlushDeletes();
}

}  // namespace
}  // namespace nvx
