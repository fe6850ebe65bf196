#include "ui/frm_wheel.h"

#include <gtest/gtest.h>

#include <QClipboard>
#include <QDir>
#include <QGroupBox>
#include <QHelpEvent>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <QWindow>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>

#include "comm/comm.h"
#include "core/app.h"
#include "core/main_model.h"
#include "core/tick.h"
#include "interp/interp.h"
#include "ui/frm_files.h"
#include "ui/frm_interp.h"
#include "ui/frm_parlist.h"
#include "ui/text_window.h"
#include "ui/widgets.h"
#include "ui_fixture.h"
#include "wheels/wheels.h"

namespace nvx {
namespace {

using test::DesktopTest;
using test::Shown;

// Into the box as the window opens, by a click near its start or by a Tab;
// a key typed goes to the end of the line, and Return or keypad Enter runs
// the line once. Text windows open inside the screen's free area, moved left
// when there is no room beside the window they belong to, read-only; the
// command description is wide enough for its lines or wraps them. The error
// log and the file listing go on the clipboard, too; an empty log opens
// nothing, and a missing command description is said in a box.
TEST_F(DesktopTest, TypedLinesAndTextWindows) {
  enum Into { kOpened, kClick, kTab };
  const std::pair<Into, Qt::Key> ways[] = {{kOpened, Qt::Key_Return},
                                           {kOpened, Qt::Key_Enter},
                                           {kClick, Qt::Key_Return},
                                           {kTab, Qt::Key_Enter}};
  std::vector<std::string> history;  // newest first
  for (const auto& [into, key] : ways) {
    const std::string n = std::to_string(history.size() + 1);  // the filter, typed last
    SCOPED_TRACE(n);
    box->setEditText("F   ");
    if (into != kOpened) f.Find<QPushButton>("cmdExecute")->setFocus();
    if (into == kClick) test::Click(box->lineEdit(), QPoint(4, box->lineEdit()->height() / 2));
    if (into == kTab) test::Key(Qt::Key_Backtab);
    ASSERT_EQ(QApplication::focusWidget(), box);
    QApplication::processEvents();
    test::Keys(QString::fromStdString(n));
    test::Key(key, key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
    history.insert(history.begin(), "F   " + n);
    EXPECT_EQ(f.w->History(), history);
    EXPECT_EQ(f.w->CommandText(), "F " + n);  // the wheel command's echo
    EXPECT_EQ(f.w->MessageText(), "OK  ; ");
  }

  const QRect avail = f.w->screen()->availableGeometry();
  FrmFiles files;
  files.SetStartDir(f.app.dir.path());
  files.SetPatterns("*.TXT *.*");
  files.Load();
  for (QWidget* w : {static_cast<QWidget*>(f.w), static_cast<QWidget*>(&files)}) {
    w->move(avail.right() - w->frameGeometry().width() - 20, avail.top() + 40);
    ASSERT_TRUE(test::ShowActive(w));
  }
  CommLog("Port TimeOut");
  const struct {
    std::function<void()> open;
    std::string text;  // as read or put on the clipboard
    bool clipboard;
  } opens[] = {{[&] { f.w->ErrorLogClick(); }, CommErrLogText(), true},
               {[&] { f.w->CommandsClick(); }, f.app.dir.read("ZR_COMMANDS.TXT"), false},
               {[&] { files.FileListToTextClick(); }, files.ListingText(), true}};
  for (const auto& o : opens) {
    o.open();
    TextWindow* tw = Shown();  // the others are closed
    ASSERT_NE(tw, nullptr);
    SCOPED_TRACE(tw->windowTitle().toStdString());
    const QString text = QString::fromStdString(o.text);
    if (o.clipboard) { EXPECT_EQ(QGuiApplication::clipboard()->text(), text); }
    EXPECT_EQ(tw->Text(), QString(text).replace("\r\n", "\n"));
    // Once the window manager has framed it.
    ASSERT_TRUE(QTest::qWaitFor([&] { return tw->windowHandle()->frameMargins().top() > 0; }));
    EXPECT_TRUE(avail.contains(tw->windowHandle()->frameGeometry()));
    auto* edit = tw->findChild<QPlainTextEdit*>();
    EXPECT_TRUE(edit->isReadOnly());
    EXPECT_TRUE(edit->lineWrapMode() != QPlainTextEdit::NoWrap ||
                edit->horizontalScrollBar()->maximum() == 0);
    tw->close();
  }
  files.CancelClick();

  CommInit();  // empties the log
  QGuiApplication::clipboard()->setText("keep me");
  f.w->ErrorLogClick();
  EXPECT_EQ(Shown(), nullptr);
  EXPECT_EQ(QGuiApplication::clipboard()->text(), "keep me");
  std::remove(f.app.dir.file("ZR_COMMANDS.TXT").c_str());
  f.w->CommandsClick();
  ASSERT_EQ(f.ui.boxes.size(), 1u);
  EXPECT_EQ(f.ui.boxes[0].text, "File " + f.app.dir.file("ZR_COMMANDS.TXT") + " does not exist");
}

// Pictures of the program's windows, to $NVX_SCREENSHOT_DIR when it is set
// (scripts/screenshots.sh), else to a temporary directory; each must be a
// real picture, not a blank one.
class Screenshots : public DesktopTest {
 protected:
  void SetUp() override {
    DesktopTest::SetUp();
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

// A typed line of 150 commands: the joined replies keep the message line and
// the wheel panels at their heights; the line shows the start, its tooltip the
// whole reply; the line's time is shown. Execute on an empty box gives an
// empty history entry and message line; a click on the message line clears
// it. Pictured: the main window (also large, and with a wheel not installed),
// the long reply and its tooltip, an open wheel menu, the error log, the
// interpreter during a run, the parameter list editor with an open edit box,
// the file dialog.
TEST_F(Screenshots, Windows) {
  auto* msg = f.Find<QLabel>("lblMsg");
  auto heights = [&] {
    std::vector<int> h{msg->height()};
    for (QGroupBox* p : f.w->findChildren<QGroupBox*>("fraWheel")) h.push_back(p->height());
    return h;
  };
  const std::vector<int> before = heights();
  QString line, reply;
  for (int i = 0; i < 150; ++i) line += "Ver;", reply += "4.0 ; ";
  test::Keys(line);
  test::Key(Qt::Key_Return);
  QApplication::processEvents();
  ASSERT_EQ(f.w->MessageText(), reply.toStdString());
  EXPECT_EQ(heights(), before);
  Shoot(f.w, "long_reply.png");
  QHelpEvent help(QEvent::ToolTip, msg->rect().center(), msg->mapToGlobal(msg->rect().center()));
  QApplication::sendEvent(msg, &help);
  EXPECT_EQ(QToolTip::text(), reply);
  QWidget* tip = nullptr;
  ASSERT_TRUE(QTest::qWaitFor([&] {
    for (QWidget* t : QApplication::topLevelWidgets())
      if (t->inherits("QTipLabel") && t->isVisible()) tip = t;
    return tip != nullptr;
  }));
  Shoot(tip, "long_reply_tooltip.png");
  tip->hide();
  EXPECT_TRUE(std::regex_match(f.w->TimeText(), std::regex(" [0-9]+"))) << f.w->TimeText();
  box->clearEditText();
  test::Click(f.Find<QPushButton>("cmdExecute"));
  EXPECT_EQ(f.w->History(), (std::vector<std::string>{"", line.toStdString()}));
  EXPECT_EQ(f.w->MessageText(), "");
  MainWin().ShowMsg("something");
  EXPECT_EQ(f.ui.MsgText(), "something");
  test::Click(msg);
  EXPECT_EQ(f.ui.MsgText(), "");

  f.w->FilterEntryClick(1, 2);
  WaitWheel();
  MainWin().SetCmdText("F 3;F Wait");
  f.w->ExecuteClick();
  Shoot(f.w, "main_window.png");
  f.w->resize(760, 520);
  Shoot(f.w, "main_window_large.png");
  f.w->resize(480, 400);

  // Opened from the menu bar, a wheel's menu reads the wheel back first.
  CurFilter(1) = 5;
  QMenuBar* bar = f.w->menuBar();
  test::Click(bar, bar->actionGeometry(f.w->WheelMenu(1)->menuAction()).center());
  ASSERT_TRUE(QTest::qWaitFor([&] { return f.w->WheelMenu(1)->isVisible(); }));
  EXPECT_EQ(CurFilter(1), 3);
  EXPECT_EQ(f.CheckedEntry(1), 2);
  Shoot(f.w->WheelMenu(1), "wheel_menu.png");
  f.w->WheelMenu(1)->hide();
  // A right click on a wheel's button pops up its menu with the filter
  // checked. "Configuration" edits ZR_CONFIG.TXT: a wheel no longer installed
  // loses its menu (kept as it was), is drawn offline, and its button does
  // nothing.
  auto buttons = f.w->findChildren<WheelButton*>("cmdWheel");
  WheelButton* b1 = buttons[0]->property("index").toInt() == 1 ? buttons[0] : buttons[1];
  QTest::mouseClick(b1, Qt::RightButton);
  EXPECT_TRUE(f.w->WheelMenu(2)->isVisible());
  EXPECT_EQ(GetSelWheel(), 2);
  EXPECT_EQ(f.CheckedEntry(2), CurFilter(2) - 1);
  f.w->WheelMenu(2)->hide();
  EXPECT_TRUE(f.w->WheelMenu(2)->menuAction()->isVisible());
  f.app.SetConfig("W2_INSTALLED", "0");
  std::string edited;
  f.w->parListEditor = [&] { edited = GetParPath(); };
  f.w->ConfigurationClick();
  EXPECT_EQ(edited, f.app.dir.file("ZR_CONFIG.TXT"));
  EXPECT_FALSE(f.w->WheelMenu(2)->menuAction()->isVisible());
  EXPECT_TRUE(f.w->WheelMenu(1)->menuAction()->isVisible());
  EXPECT_EQ(f.w->FilterEntries(2).size(), 6u);
  EXPECT_EQ(f.Dial(2), "0 ?");
  Shoot(f.w, "offline_wheel.png");
  SelectWheel(1);
  QTest::mouseClick(b1, Qt::RightButton);
  QTest::mouseClick(b1, Qt::LeftButton);
  EXPECT_FALSE(f.w->WheelMenu(2)->isVisible());
  EXPECT_EQ(GetSelWheel(), 1);

  CommLog("Port TimeOut");
  CommLogAppend(" 1Z");
  CommLog("ERROR # 1010");
  f.w->ErrorLogClick();
  ASSERT_NE(Shown(), nullptr);
  Shoot(Shown(), "error_log.png");
  Shown()->close();

  f.Find("mnuInterpEdit")->trigger();
  ASSERT_EQ(ReadProgramFile(f.app.dir.file("SAMPLE.PRG")), "Program read");
  StartOver();
  StartRun();
  for (int i = 0; i < 9 && RunState() == 1; ++i) PeriodicTick();
  ASSERT_EQ(RunState(), 1);
  Shoot(FrmInterp::Instance(), "interpreter.png");
  StopRun();

  f.w->parListEditor = [&] { FrmParList::EditCurrentFile(f.w); };
  f.WriteFilterCount(1, 7, "ZR_PARW1_SEVEN.TXT");
  std::vector<std::string> offered;
  std::string editorTitle;
  // "Read Par. File" through the program's own dialogs: the file dialog, the
  // copy chosen; then the editor, an edit box open, changes the count to 8.
  QTimer::singleShot(0, [&] {
    FrmFiles* d = Shown<FrmFiles>();
    ASSERT_NE(d, nullptr);
    offered = d->ListedFiles();
    d->ClickFile(1);
    Shoot(d, "file_dialog.png");
    if (offered.size() == 2) d->DoubleClickFile(1);
    if (d->isVisible()) d->CancelClick();
    QTimer::singleShot(0, [&] {
      FrmParList* e = Shown<FrmParList>();
      ASSERT_NE(e, nullptr);
      editorTitle = e->windowTitle().toStdString();
      e->EditCell(5, 1);
      Shoot(e, "parlist_editor.png");
      QTableWidget* g = e->Grid();
      for (int r = 0; r < g->rowCount(); ++r)
        if (g->item(r, 0)->text() == "W1FILTPOSITIONS") g->item(r, 1)->setText("8");
      e->close();
    });
  });
  f.w->ReadParFileClick(1);
  EXPECT_EQ(offered, (std::vector<std::string>{"ZR_PARW1.TXT", "ZR_PARW1_SEVEN.TXT"}));
  EXPECT_EQ(editorTitle, f.app.dir.file("ZR_PARW1.TXT"));
  EXPECT_NE(f.app.dir.read("ZR_PARW1.TXT").find("\"W1FILTPOSITIONS\",8\r\n"), std::string::npos);
  EXPECT_EQ(f.w->MessageText(), "F On");
  EXPECT_EQ(f.w->FilterEntries(1).size(), 8u);
  // Cancelled in the file dialog: nothing copied, no editor.
  QTimer::singleShot(0, [&] {
    if (FrmFiles* d = Shown<FrmFiles>()) d->CancelClick();
  });
  f.w->ReadParFileClick(1);
  EXPECT_EQ(f.w->MessageText(), "Parameter file not read");
  test::FlushDeletes();
}

}  // namespace
}  // namespace nvx
