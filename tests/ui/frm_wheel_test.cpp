#include "ui/frm_wheel.h"

#include <gtest/gtest.h>
#include <linux/joystick.h>

#include <QComboBox>
#include <QGroupBox>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
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
#include "ui_fixture.h"
#include "wheels/wheels.h"

namespace nvx {
namespace {

using test::Entries;
using test::FrmWheelOfflineTest;
using test::FrmWheelTest;
using test::kIm;
using test::Plain;
using test::UiFixture;

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

}  // namespace
}  // namespace nvx
