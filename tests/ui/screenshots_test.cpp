// Pictures of the main window (also with a long reply and its tooltip, and
// with a wheel offline), an open wheel menu, the error log window, the
// interpreter window during a run, the parameter list editor (with an open
// edit box) and the file dialog.
// They go to $NVX_SCREENSHOT_DIR when it is set (scripts/screenshots.sh),
// else to a temporary directory; either way each must be a real picture.
#include <gtest/gtest.h>

#include <QDir>
#include <QHelpEvent>
#include <QImage>
#include <QMenu>
#include <QPixmap>
#include <QTest>

#include "comm/comm.h"
#include "core/main_model.h"
#include "core/tick.h"
#include "interp/interp.h"
#include "params/trapar.h"
#include "support/recording_ui.h"
#include "ui/frm_files.h"
#include "ui/frm_interp.h"
#include "ui/frm_parlist.h"
#include "ui/text_window.h"
#include "ui_fixture.h"
#include "wheels/wheels.h"

namespace nvx {
namespace {

QString ShotDir(const test::TempDir& tmp) {
  const QString env = qEnvironmentVariable("NVX_SCREENSHOT_DIR");
  const QString dir = env.isEmpty() ? QString::fromStdString(tmp.path()) : env;
  QDir().mkpath(dir);
  return dir;
}

// Saves a widget's picture and checks it is not blank.
void Shoot(QWidget* w, const QString& path) {
  const QImage img = w->grab().toImage();
  ASSERT_FALSE(img.isNull());
  EXPECT_GT(img.width(), 50);
  EXPECT_GT(img.height(), 50);
  bool varied = false;
  const QRgb first = img.pixel(0, 0);
  for (int y = 0; y < img.height() && !varied; y += 3)
    for (int x = 0; x < img.width() && !varied; x += 3) varied = img.pixel(x, y) != first;
  EXPECT_TRUE(varied) << path.toStdString();
  EXPECT_TRUE(img.save(path)) << path.toStdString();
}

TEST(Screenshots, MainWindowWheelMenuErrorLogAndInterpreter) {
  test::TempDir tmp;
  const QString dir = ShotDir(tmp);
  constexpr sim::ControllerKind kind = sim::ControllerKind::kIM483I;
  test::UiFixture f(&kind);
  ASSERT_EQ(f.Start(), 1);
  f.w->FilterEntryClick(1, 2);
  WaitWheel();
  MainWin().SetCmdText("F 3;F Wait");
  f.w->ExecuteClick();
  f.ui.ShowMainWindow();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(f.w));
  QTest::qWait(50);
  Shoot(f.w, dir + "/main_window.png");

  f.w->resize(760, 520);
  QTest::qWait(50);
  Shoot(f.w, dir + "/main_window_large.png");
  f.w->resize(480, 400);

  // A long reply: cut short in the message line, whole in its tooltip.
  std::string line;
  for (int i = 0; i < 150; ++i) line += "Ver;";
  MainWin().SetCmdText(line);
  f.w->ExecuteClick();
  QTest::qWait(50);
  Shoot(f.w, dir + "/long_reply.png");
  auto* msg = f.w->findChild<QWidget*>("lblMsg");
  QHelpEvent help(QEvent::ToolTip, msg->rect().center(), msg->mapToGlobal(msg->rect().center()));
  QApplication::sendEvent(msg, &help);
  QTest::qWait(50);
  QWidget* tip = nullptr;
  for (QWidget* t : QApplication::topLevelWidgets())
    if (t->inherits("QTipLabel") && t->isVisible()) tip = t;
  ASSERT_NE(tip, nullptr);
  Shoot(tip, dir + "/long_reply_tooltip.png");
  tip->hide();

  // Wheel B offline after a failed initialisation: an empty disc with "?".
  f.app.dir.write("ZR_PARW2.TXT", "\"W2CONTR\",1\n");
  f.w->ParametersClick(2);
  QTest::qWait(50);
  Shoot(f.w, dir + "/offline_wheel.png");

  QMenu* m = f.w->WheelMenu(1);
  f.w->WheelMenuOpened(1);
  m->popup(f.w->mapToGlobal(QPoint(60, 30)));
  QTest::qWait(50);
  Shoot(m, dir + "/wheel_menu.png");
  m->hide();

  CommLog("Port TimeOut");
  CommLogAppend(" 1Z");
  CommLog("ERROR # 1010");
  f.w->ErrorLogClick();
  TextWindow* tw = test::ShownTextWindow();
  ASSERT_NE(tw, nullptr);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(tw));
  Shoot(tw, dir + "/error_log.png");
  tw->close();

  // The interpreter window during a run of the sample program.
  f.Find("mnuInterpEdit")->trigger();
  ASSERT_EQ(ReadProgramFile(f.app.dir.file("SAMPLE.PRG")), "Program read");
  StartOver();
  StartRun();
  for (int i = 0; i < 9 && RunState() == 1; ++i) PeriodicTick();
  ASSERT_EQ(RunState(), 1);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(FrmInterp::Instance()));
  Shoot(FrmInterp::Instance(), dir + "/interpreter.png");
  StopRun();
  test::FlushDeletes();
}

TEST(Screenshots, ParListEditorAndFileDialog) {
  test::TempDir tmp;
  const QString dir = ShotDir(tmp);
  test::RecordingUi ui;
  test::ScopedUi scoped(ui);
  tmp.write("ZR_PARW1.TXT",
            "\"W1CONTR\",1\n\"W1ADDRESS\","
            "1\n\"W1FILTPOSITIONS\",6\n\"W1STEPSPERREV\",3200\n"
            "\"W1OFFSET\",12\n\"W1SPEED\",500\n\"W1ACCEL\","
            "2000\n\"W1HOMESPEED\",200\n");
  SetParDir(tmp.path());
  SetParFile("ZR_PARW1.TXT");
  {
    FrmParList f;
    f.SetShowPar(-1, -1);
    f.Load();
    ASSERT_TRUE(test::ShowActive(&f));
    f.EditCell(5, 1);
    QApplication::processEvents();
    Shoot(&f, dir + "/parlist_editor.png");
    f.done(0);
  }
  CurParList().clear();

  for (const char* d : {"programs/old", "programs/tests"})
    std::filesystem::create_directories(tmp.file(d));
  tmp.write("programs/FOCUS.PRG", std::string(1834, 'x'));
  tmp.write("programs/NIGHT_SEQUENCE.PRG", std::string(23456, 'x'));
  tmp.write("programs/FLATS.PRG", "");
  tmp.write("programs/notes.txt", "x");
  FrmFiles files;
  files.SetStartDir(tmp.file("programs"));
  files.SetFilter("*.PRG");
  files.SetPatterns("*.PRG *.*");
  files.SetTitle("Select a program file");
  files.Load();
  files.resize(620, 380);
  files.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&files));
  files.ClickFile(1);
  QApplication::processEvents();
  Shoot(&files, dir + "/file_dialog.png");
  files.DoneClick();
}

}  // namespace
}  // namespace nvx
