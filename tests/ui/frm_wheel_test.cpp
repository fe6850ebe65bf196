#include "ui/frm_wheel.h"

#include <gtest/gtest.h>
#include <linux/joystick.h>

#include <QClipboard>
#include <QComboBox>
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
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>

#include "base/settings.h"
#include "comm/comm.h"
#include "core/app.h"
#include "core/commands.h"
#include "core/main_model.h"
#include "core/tick.h"
#include "interp/interp.h"
#include "joystick/joystick.h"
#include "params/trapar.h"
#include "ui/frm_edit.h"
#include "ui/frm_files.h"
#include "ui/frm_interp.h"
#include "ui/frm_parlist.h"
#include "ui/text_window.h"
#include "ui/widgets.h"
#include "ui_fixture.h"
#include "wheels/wheels.h"

namespace nvx {
namespace {

using test::Plain;
using test::Shown;
using test::UiFixture;

constexpr sim::ControllerKind kIm = sim::ControllerKind::kIM483I;

// A menu's (or the menu bar's) entries joined by '|': their object names, or
// their captions with "-" for a separator.
std::string Entries(const QWidget* m, bool names) {
  std::string out;
  for (QAction* a : m->actions())
    out += (out.empty() ? "" : "|") + (names              ? a->objectName().toStdString()
                                       : a->isSeparator() ? std::string("-")
                                                          : Plain(a->text()));
  return out;
}

// A started program with simulated controllers (both wheels online), or
// without them (the port does not open).
template <bool kOnline>
class Window : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(f.Start(), kOnline ? 1 : -1);
    ASSERT_NE(f.w, nullptr);
  }
  std::string Title(int wheel) const { return Plain(f.w->WheelMenu(wheel)->title()); }
  std::string Button(int wheel) const {
    for (auto* b : f.w->findChildren<QPushButton*>("cmdWheel"))
      if (b->property("index").toInt() == wheel - 1) return b->text().toStdString();
    return "";
  }
  UiFixture f{kOnline ? &kIm : nullptr};
};
using FrmWheelTest = Window<true>;
using FrmWheelOfflineTest = Window<false>;

// The started window on a desktop (an X server with a window manager), shown
// and made active: keys and clicks as the window system delivers them.
class DesktopTest : public FrmWheelTest {
 protected:
  void SetUp() override {
    FrmWheelTest::SetUp();
    if (HasFatalFailure()) return;
    f.ui.ShowMainWindow();
    ASSERT_TRUE(test::ShowActive(f.w));
    box = f.Find<QComboBox>("cboCommand");
  }
  QComboBox* box = nullptr;
};

TEST_F(FrmWheelTest, ControlsAndMenusWithTheirTexts) {
  EXPECT_EQ(f.w->objectName(), "frmWheel");
  EXPECT_EQ(f.w->windowTitle(), "Norvantix");
  EXPECT_FALSE(f.w->isVisible());  // created hidden
  const auto frames = f.w->findChildren<QGroupBox*>("fraWheel");
  ASSERT_EQ(frames.size(), 2);
  for (QGroupBox* g : frames) {
    EXPECT_EQ(g->title(), g->property("index").toInt() == 0 ? "F-Filter" : "B-Filter");
    EXPECT_EQ(g->toolTip(), "Filter wheel control");
  }
  EXPECT_EQ(f.w->findChildren<QPushButton*>("cmdWheel").size(), 2);
  EXPECT_TRUE(f.Find<QComboBox>("cboCommand")->isEditable());
  const struct {
    const char *name, *text, *tip;
  } controls[] = {{"cboCommand", "", "Type system command"},
                  {"cmdExecute", "Execute", "Execute command in the box"},
                  {"lblTime", "Time", "Duration of the last command line in milliseconds"},
                  {"lblMsg", "", ""}};
  for (const auto& c : controls) {
    auto* w = f.Find<QWidget>(c.name);
    ASSERT_NE(w, nullptr) << c.name;
    const QVariant text = w->property("text");
    EXPECT_EQ(text.isValid() ? Plain(text.toString()) : "", c.text) << c.name;
    EXPECT_EQ(w->toolTip(), c.tip) << c.name;
  }

  // Six filters per wheel in the default files.
  const std::string wheel =
      "Filter 1|Filter 2|Filter 3|Filter 4|Filter 5|Filter 6|-|Next Filter|"
      "Previous Filter|-|Home|Parameters|-|Read Par. File|Speed Test";
  const auto names = [](char w) {  // the wheel's entries, '?' standing for its letter
    std::string n =
        "mnu?Filt|mnu?Filt|mnu?Filt|mnu?Filt|mnu?Filt|mnu?Filt|mnu?Sep1|mnu?Next|"
        "mnu?Prev|mnu?Sep2|mnu?Home|mnu?Par|mnu?Sep3|mnu?ReadPar|mnuSpeedTest?";
    std::replace(n.begin(), n.end(), '?', w);
    return n;
  };
  const struct {
    const QWidget* menu;
    std::string captions, names;
  } menus[] = {
      {f.w->menuBar(), "Config.|" + Title(1) + "|" + Title(2) + "|Interp.",
       "mnuConf|mnuF|mnuB|mnuInterp"},
      {f.Find<QMenu>("mnuConf"), "Configuration|Joystick|Error Log|Quit",
       "mnuConfig|mnuJoy|mnuErrLogComm|mnuQuit"},
      {f.Find<QMenu>("mnuJoy"), "On?|Calibrate|Assigned Commands|Toggle Axes|Param.",
       "mnuJoyOn|mnuJoyCalib|mnuJoyAssgnCmd|mnuTogAxes|mnuJoyPar"},
      {f.Find<QMenu>("mnuInterp"), "Commands|Interpreter", "mnuInterpCmds|mnuInterpEdit"},
      {f.w->WheelMenu(1), wheel, names('F')},
      {f.w->WheelMenu(2), wheel, names('B')},
  };
  for (const auto& m : menus) {
    EXPECT_EQ(Entries(m.menu, false), m.captions);
    EXPECT_EQ(Entries(m.menu, true), m.names);
  }
  // Accelerators are kept on the captions.
  EXPECT_TRUE(f.Find<QMenu>("mnuConf")->title().contains('&'));
  EXPECT_TRUE(f.Find("mnuQuit")->text().startsWith('&'));

  // Closed while an automation object holds the link: the port stays open
  // until the object ends.
  AutomationObjectCreated();
  f.ui.ShowMainWindow();
  f.w->close();
  EXPECT_EQ(MainWinLoaded(), 0);
  EXPECT_EQ(CommIsLoaded(), 1);
  EXPECT_EQ(CommPortIsOpen(), -1);
  AutomationObjectEnded();
  EXPECT_EQ(CommIsLoaded(), 0);
}

// Filter entries move and check; next and previous wrap round. The speed
// test asks for the step and the repetitions and shows the result; the panel
// keeps the filter it showed when the steps end between filters. Home
// succeeds, shows the wheel busy, or fails.
TEST_F(FrmWheelTest, FilterEntriesSpeedTestAndHome) {
  const struct {
    int wheel, entry;  // entry -1: next, -2: previous
    const char *msg, *title;
    int checkedF, checkedB;  // -1: not looked at
  } steps[] = {{1, 2, "F 3", "F-3", 2, -1},
               {2, 5, "B 6", "B-6", 2, 5},
               {1, 5, "F 6", "F-6", 5, 5},
               {1, -1, "F 1", "F-1", -1, -1},
               {1, -2, "F 6", "F-6", -1, -1}};
  for (const auto& s : steps) {
    SCOPED_TRACE(s.msg);
    if (s.entry == 2) f.w->FilterEntries(s.wheel)[2]->trigger();
    if (s.entry > 2) f.w->FilterEntryClick(s.wheel, s.entry);
    if (s.entry == -1) f.w->NextFilterClick(s.wheel);
    if (s.entry == -2) f.w->PrevFilterClick(s.wheel);
    EXPECT_EQ(f.w->MessageText(), s.msg);
    EXPECT_EQ(Title(s.wheel) + " " + Button(s.wheel), std::string(s.title) + " " + s.msg[2]);
    for (int w : {1, 2}) {
      const int checked = w == 1 ? s.checkedF : s.checkedB;
      if (checked >= 0) { EXPECT_EQ(f.CheckedEntry(w), checked) << w; }
    }
    EXPECT_EQ(f.Dial(s.wheel), std::string("6 ") + s.msg[2]);
    // The wheel really stands there afterwards.
    SelectWheel(static_cast<int16_t>(s.wheel));
    WaitWheel();
    int16_t k = 0;
    ASSERT_EQ(GetFilter(k), 1);
    EXPECT_EQ(k, s.msg[2] - '0');
  }

  f.w->FilterEntryClick(2, 4);  // filter 5
  WaitWheel();
  f.ui.answers = {std::string("2.5"), std::string("2")};
  f.w->SpeedTestClick(2);
  EXPECT_EQ(f.ui.prompts,
            (std::vector<std::string>{"Filter move test|Enter number of positions to switch (1 is "
                                      "switch to adjacent):",
                                      "Filter move test|Enter number of repetitions:"}));
  EXPECT_TRUE(std::regex_match(f.w->MessageText(), std::regex("2 repetitions -[0-9]+ msec")))
      << f.w->MessageText();
  EXPECT_EQ(CurFilter(2), 5);  // 1, then 3
  EXPECT_EQ(Title(2), "B-5");
  EXPECT_EQ(f.Dial(2), "6 3");  // drawn where it stands
  int16_t k = 0;
  ASSERT_EQ(GetFilter(k), 1);
  EXPECT_EQ(k, 3);

  // Home: done, busy while it waits, or failed.
  CurFilter(2) = 0;
  f.w->HomeClick(2);
  EXPECT_TRUE(f.ui.boxes.empty());
  EXPECT_EQ(CmdBusy(), 0);
  EXPECT_EQ(CurFilter(2), 1);
  EXPECT_EQ(f.w->MessageText(), "B 1");
  EXPECT_EQ(f.CheckedEntry(2), 0);
  // Busy while the homing waits, from the menu and from the command box.
  std::set<Qt::CursorShape> seen;
  f.ui.duringEvents = [&] { seen.insert(f.w->cursor().shape()); };
  f.w->HomeClick(1);
  EXPECT_TRUE(seen.count(Qt::WaitCursor));
  seen.clear();
  MainWin().SetCmdText("F Home");
  f.w->ExecuteClick();
  EXPECT_TRUE(seen.count(Qt::WaitCursor));
  EXPECT_EQ(f.w->cursor().shape(), Qt::ArrowCursor);
  f.ui.duringEvents = nullptr;

  // Failed: the box, and the caption kept.
  CurFilter(1) = 4;
  MainWin().WheelCaption(1);
  auto o = f.app.sim->Options();
  o.fault = sim::Fault::kNoReply;
  f.app.sim->SetOptions(o);
  f.w->HomeClick(1);
  ASSERT_EQ(f.ui.boxes.size(), 1u);
  EXPECT_EQ(f.ui.boxes[0].text, "Home Failed");
  EXPECT_EQ(CmdBusy(), 0);
  EXPECT_EQ(CurFilter(1), 4);
  EXPECT_EQ(Title(1), "F-4");
  EXPECT_EQ(f.Dial(1), "0 ?");  // where the wheel stands is not known
}

// "Parameters" reads the wheel's file again; "Read Par. File" copies a
// chosen one over it first. A file that breaks the wheel leaves it offline
// with the entry "Filter 1".
TEST_F(FrmWheelTest, ParametersAndReadParFile) {
  const std::string four = f.WriteFilterCount(2, 4, "ZR_PARW2_FOUR.TXT");
  const std::string own = f.WriteFilterCount(2, 8), config = f.app.dir.read("ZR_CONFIG.TXT");
  const std::string dir = f.app.dir.path().substr(0, f.app.dir.path().size() - 1);
  std::string chosen, seen;
  f.w->parFileChooser = [&](const std::string& start, const std::string& pattern,
                            const std::string& title, std::string& d, std::string& file) {
    seen = start + "|" + pattern + "|" + title;
    d = dir;
    file = chosen;
  };
  const struct {
    const char* chosen;  // nullptr: "Parameters"
    const std::string& file;
    const char* msg;
    int filters;  // 0: offline
  } cases[] = {{nullptr, own, "B On", 8},
               {"ZR_PARW2_FOUR.TXT", four, "B On", 4},
               {"ZR_CONFIG.TXT", config, "B Off", 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.chosen ? c.chosen : "Parameters");
    seen.clear();
    chosen = c.chosen ? c.chosen : "";
    c.chosen ? f.w->ReadParFileClick(2) : f.w->ParametersClick(2);
    EXPECT_EQ(seen,
              c.chosen ? f.app.dir.path() + "|ZR_PARW2*.TXT|Select a parameter file to load" : "");
    EXPECT_EQ(f.app.dir.read("ZR_PARW2.TXT"), c.file);
    EXPECT_EQ(f.w->MessageText(), c.msg);
    EXPECT_EQ(WheelOnline(2), c.filters ? 1 : 0);
    EXPECT_EQ(f.w->FilterEntries(2).size(), c.filters ? c.filters : 1u);
    EXPECT_EQ(f.Dial(2), c.filters ? std::to_string(c.filters) + " " + std::to_string(CurFilter(2))
                                   : std::string("0 ?"));
  }
}

// The window goes by "Quit", by an "Unload" command inside its own Execute
// handler, or by "Quit" while a command waits; it is deleted only after its
// handler has returned, and the port closes with it.
TEST(FrmWheelEndTest, QuitAndUnloadCloseThePort) {
  for (int way : {0, 1, 2}) {
    SCOPED_TRACE(way);
    UiFixture f{&kIm};
    ASSERT_EQ(f.Start(), 1);
    QPointer<FrmWheel> w = f.w;
    bool fired = false;
    QTimer::singleShot(0, f.w, [&] {
      fired = true;
      if (way == 2) f.Find("mnuQuit")->trigger();
    });
    if (way == 0) f.Find("mnuQuit")->trigger();
    if (way > 0) {
      MainWin().SetCmdText(way == 1 ? "Unload" : "F 4;F Wait;F ?");
      f.w->ExecuteClick();
      EXPECT_TRUE(fired);
    }
    ASSERT_FALSE(w.isNull());  // still alive until its handler returned
    EXPECT_EQ(MainWinLoaded(), 0);
    EXPECT_FALSE(IsFormLoaded("frmWheel"));
    EXPECT_EQ(CommIsLoaded(), 0);
    EXPECT_EQ(f.ui.MainWindow(), nullptr);
    MainWin().ShowMsg("ignored");  // no window: nothing happens
    EXPECT_EQ(f.ui.MsgText(), "");
    test::FlushDeletes();
    EXPECT_TRUE(w.isNull());
  }
}

// Offline wheels still get their entries. The joystick entries; calibration
// from a file of joystick records polled by the tick; the command list in the
// edit dialog. A file that cannot be written (a directory in its place) is
// said in a box.
TEST_F(FrmWheelOfflineTest, WheelAndJoystickEntries) {
  EXPECT_EQ(WheelOnline(1), 0);
  EXPECT_EQ(Title(1) + " " + Title(2) + " " + Button(1), "F-? B-? ?");
  EXPECT_EQ(f.w->FilterEntries(1).size(), 6u);
  EXPECT_EQ(f.CheckedEntry(1), -1);
  // A filter entry on an offline wheel changes nothing; the entry does not
  // toggle its own check mark either.
  MainWin().ShowMsg("before");
  const int16_t sel = GetSelWheel();
  f.w->FilterEntries(1)[2]->trigger();
  EXPECT_EQ(f.w->MessageText(), "before");
  EXPECT_EQ(CurFilter(1), 0);
  EXPECT_EQ(f.CheckedEntry(1), -1);
  EXPECT_EQ(GetSelWheel(), sel);
  // Next and previous on an offline wheel show the unchanged number.
  f.w->NextFilterClick(2);
  EXPECT_EQ(f.w->MessageText(), "B 0");
  EXPECT_EQ(CurFilter(2), 0);
  // No joystick device here reads as a stick at rest, so "On?" switches on.
  AppSettings().JoyOn = 0;
  f.Find("mnuJoyOn")->trigger();
  EXPECT_EQ(AppSettings().JoyOn, JoyCentred() == 1 ? 1 : 0);
  AppSettings().JoyOn = 1;
  f.Find("mnuJoyOn")->trigger();
  EXPECT_EQ(AppSettings().JoyOn, 0);
  JoyAxes() = 0;
  f.Find("mnuTogAxes")->trigger();
  EXPECT_EQ(JoyAxes(), 1);
  // "Param." edits ZR_JOY.TXT and reads it again afterwards.
  std::string par;
  f.w->parListEditor = [&] {
    par = GetParPath();
    std::string joy = f.app.dir.read("ZR_JOY.TXT");
    joy.replace(joy.find("\"JLATENT\",10"), 12, "\"JLATENT\",25");
    f.app.dir.writeRaw("ZR_JOY.TXT", joy);
  };
  f.Find("mnuJoyPar")->trigger();
  EXPECT_EQ(par, f.app.dir.file("ZR_JOY.TXT"));
  EXPECT_EQ(JoyCalibration().DeadBand, 250);

  const std::string js = f.app.dir.file("js"), cmds = f.app.dir.read("ZR_JOYCMDS.TXT");
  auto poll = [&js](std::vector<js_event> ev) {
    std::ofstream(js, std::ios::app)
        .write(reinterpret_cast<char*>(ev.data()), std::streamsize(ev.size() * sizeof(js_event)));
    PeriodicTick();
  };
  auto block = [this](const char* name) {
    std::filesystem::remove(f.app.dir.file(name));
    std::filesystem::create_directory(f.app.dir.file(name));
    return "File " + f.app.dir.file(name) + " could not be written";
  };
  f.app.dir.writeRaw("js", "");
  SetJoystickDevice(js);
  AppSettings().JoyOn = 1;
  QAction* calib = f.Find("mnuJoyCalib");
  const std::vector<int16_t> wide{-32000, 32000, 0};
  for (int row : {0, 1, 2}) {  // accepted; nothing deflected: refused; accepted, not written
    const std::string box = row == 2 ? block("ZR_JOY.TXT") : "";
    calib->trigger();
    EXPECT_TRUE(calib->isChecked());
    for (int16_t x : row == 1 ? std::vector<int16_t>{} : wide)
      poll({{0, x, JS_EVENT_AXIS, 0}, {0, x, JS_EVENT_AXIS, 1}});
    calib->trigger();
    const std::string msg = row == 1 ? "Not calibrated. Using old par." : "Calibrated";
    EXPECT_EQ(std::make_tuple(calib->isChecked(), f.ui.MsgText(), JoyCalibration().Axis1Left),
              std::make_tuple(false, msg, -32000));
    EXPECT_TRUE(row == 2 ? f.ui.boxes.back().text == box
                         : f.app.dir.read("ZR_JOY.TXT").find("\"JAXIS2_R\", 32000\r\n") !=
                               std::string::npos);
  }
  using R = std::tuple<std::string, std::string,
                       int16_t>;  // message, file, JoyAxes (the start command ran)
  const std::string edited = "Joy WZ\r\nVer;F 3, F Prev\r\n",
                    kept = "Joystick commands not assigned";
  for (const auto& [button, want] :
       {std::pair{"cmdCancel", R{kept, cmds, 0}},
        std::pair{"cmdDone", R{"Joystick commands assigned", edited, 1}},
        std::pair{"", R{kept, "", 0}}}) {  // not written: the list stays
    const std::string box = *button ? "" : block("ZR_JOYCMDS.TXT");
    JoyAxes() = 0;
    QTimer::singleShot(0, f.w, [b = *button ? button : "cmdDone"] {
      auto* d = qobject_cast<FrmEdit*>(QApplication::activeModalWidget());
      ASSERT_NE(d, nullptr);
      auto* t = d->findChild<QPlainTextEdit*>("txtText");
      const std::string shown =
          std::regex_replace(JoinLines(JoyCommands()), std::regex("\r\n"), "\n");
      EXPECT_EQ(t->toPlainText().toStdString(), shown);
      t->setPlainText(JoyCommands().items[0] == "Ver" ? "Joy WZ\nVer;F 3, F Prev" : "Ver");
      d->findChild<QPushButton*>(b)->click();
    });
    f.Find("mnuJoyAssgnCmd")->trigger();
    EXPECT_EQ(R(f.ui.MsgText(), f.app.dir.read("ZR_JOYCMDS.TXT"), JoyAxes()), want);
    EXPECT_TRUE(*button || f.ui.boxes.back().text == box);
  }
  poll({{0, 1, JS_EVENT_BUTTON, 0}});  // button 1 of the kept list: one command, its reply shown
  EXPECT_EQ(f.ui.MsgText(), "Button 1 - Ver;F 3 Error Unknown command");
  SetJoystickDevice("/dev/input/js0");
  // The status line follows the link's messages while the window is there.
  CommLog("Port TimeOut");
  CommLogAppend("1Z");
  EXPECT_EQ(f.ui.MsgText(), "Port TimeOut, 1Z");
  f.ui.UnloadMainWindow();
  CommLog("after");  // no window: the link writes nowhere, and nothing breaks
  EXPECT_EQ(f.ui.MsgText(), "");
}

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
  EXPECT_EQ(test::Shown(), nullptr);
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
