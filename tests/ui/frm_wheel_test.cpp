#include "ui/frm_wheel.h"

#include <gtest/gtest.h>
#include <linux/joystick.h>

#include <QAbstractItemView>
#include <QClipboard>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
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
#include "joystick/joystick.h"
#include "params/trapar.h"
#include "ui/frm_edit.h"
#include "ui/text_window.h"
#include "ui/widgets.h"
#include "ui_fixture.h"
#include "wheels/wheels.h"

namespace nvx {
namespace {

using test::Plain;
using test::UiFixture;

constexpr sim::ControllerKind kIm = sim::ControllerKind::kIM483I;

std::vector<std::string> MenuCaptions(const QMenu* m) {
  std::vector<std::string> out;
  for (QAction* a : m->actions()) out.push_back(a->isSeparator() ? "-" : Plain(a->text()));
  return out;
}

std::vector<std::string> MenuNames(const QMenu* m) {
  std::vector<std::string> out;
  for (QAction* a : m->actions()) out.push_back(a->objectName().toStdString());
  return out;
}

// A started program with simulated controllers: both wheels online.
class FrmWheelTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(f.Start(), 1); }
  UiFixture f{&kIm};
};

// A started program without controllers: the port does not open.
class FrmWheelOfflineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(f.Start(), -1);
    ASSERT_NE(f.w, nullptr);
  }
  UiFixture f;
};

// The text window on show, if any.
TextWindow* ShownTextWindow() {
  for (QWidget* t : QApplication::topLevelWidgets())
    if (auto* x = qobject_cast<TextWindow*>(t); x && x->isVisible()) return x;
  return nullptr;
}

TEST_F(FrmWheelTest, FrameControlsAndTexts) {
  ASSERT_NE(f.w, nullptr);
  EXPECT_EQ(f.w->objectName(), "frmWheel");
  EXPECT_EQ(f.w->windowTitle(), "Norvantix");
  EXPECT_FALSE(f.w->isVisible());  // created hidden

  const auto frames = f.w->findChildren<QGroupBox*>("fraWheel");
  ASSERT_EQ(frames.size(), 2);
  for (QGroupBox* g : frames) {
    const int i = g->property("index").toInt();
    EXPECT_EQ(g->title().toStdString(), i == 0 ? "F-Filter" : "B-Filter");
    EXPECT_EQ(g->toolTip(), "Filter wheel control");
  }
  EXPECT_EQ(f.w->findChildren<QPushButton*>("cmdWheel").size(), 2);
  auto* cbo = f.Find<QComboBox>("cboCommand");
  ASSERT_TRUE(cbo);
  EXPECT_TRUE(cbo->isEditable());
  EXPECT_EQ(cbo->toolTip(), "Type system command");
  auto* exec = f.Find<QPushButton>("cmdExecute");
  ASSERT_TRUE(exec);
  EXPECT_EQ(Plain(exec->text()), "Execute");
  EXPECT_EQ(exec->toolTip(), "Execute command in the box");
  EXPECT_EQ(f.Find<QLabel>("lblTime")->text(), "Time");
  EXPECT_EQ(f.Find<QLabel>("lblMsg")->text(), "");
  EXPECT_TRUE(IsFormLoaded("frmWheel"));
  EXPECT_FALSE(IsFormLoaded("frmInterp"));
  EXPECT_EQ(MainWinLoaded(), 1);
}

TEST_F(FrmWheelTest, MenuTreeWithCaptionsAndNames) {
  std::vector<std::string> bar, barNames;
  for (QAction* a : f.w->menuBar()->actions()) {
    bar.push_back(Plain(a->text()));
    barNames.push_back(a->objectName().toStdString());
  }
  EXPECT_EQ(barNames, (std::vector<std::string>{"mnuConf", "mnuF", "mnuB", "mnuInterp"}));
  EXPECT_EQ(bar[0], "Config.");
  EXPECT_EQ(bar[3], "Interp.");

  auto* conf = f.Find<QMenu>("mnuConf");
  EXPECT_EQ(MenuCaptions(conf),
            (std::vector<std::string>{"Configuration", "Joystick", "Error Log", "Quit"}));
  EXPECT_EQ(MenuNames(conf),
            (std::vector<std::string>{"mnuConfig", "mnuJoy", "mnuErrLogComm", "mnuQuit"}));
  auto* joy = f.Find<QMenu>("mnuJoy");
  EXPECT_EQ(MenuCaptions(joy), (std::vector<std::string>{"On?", "Calibrate", "Assigned Commands",
                                                         "Toggle Axes", "Param."}));
  EXPECT_EQ(MenuNames(joy), (std::vector<std::string>{"mnuJoyOn", "mnuJoyCalib", "mnuJoyAssgnCmd",
                                                      "mnuTogAxes", "mnuJoyPar"}));
  auto* interp = f.Find<QMenu>("mnuInterp");
  EXPECT_EQ(MenuCaptions(interp), (std::vector<std::string>{"Commands", "Interpreter"}));
  EXPECT_EQ(MenuNames(interp), (std::vector<std::string>{"mnuInterpCmds", "mnuInterpEdit"}));

  // Six filters per wheel in the default files.
  EXPECT_EQ(MenuNames(f.w->WheelMenu(1)),
            (std::vector<std::string>{"mnuFFilt", "mnuFFilt", "mnuFFilt", "mnuFFilt", "mnuFFilt",
                                      "mnuFFilt", "mnuFSep1", "mnuFNext", "mnuFPrev", "mnuFSep2",
                                      "mnuFHome", "mnuFPar", "mnuFSep3", "mnuFReadPar",
                                      "mnuSpeedTestF"}));
  EXPECT_EQ(MenuCaptions(f.w->WheelMenu(2)),
            (std::vector<std::string>{"Filter 1", "Filter 2", "Filter 3", "Filter 4", "Filter 5",
                                      "Filter 6", "-", "Next Filter", "Previous Filter", "-",
                                      "Home", "Parameters", "-", "Read Par. File", "Speed Test"}));
  EXPECT_EQ(MenuNames(f.w->WheelMenu(2)).back(), "mnuSpeedTestB");
  // Accelerators are kept on the captions.
  EXPECT_TRUE(conf->title().contains('&'));
  EXPECT_TRUE(f.Find("mnuQuit")->text().startsWith('&'));
}

TEST_F(FrmWheelTest, CaptionsShowTheCurrentFilter) {
  for (int w = 1; w <= 2; ++w) {
    const std::string letter = w == 1 ? "F" : "B";
    QMenu* m = f.w->WheelMenu(w);
    const int16_t cur = CurFilter(w);
    ASSERT_GE(cur, 1);  // read at loading: the wheel is online
    EXPECT_EQ(Plain(m->title()), letter + "-" + std::to_string(cur));
    EXPECT_EQ(f.CheckedEntry(w), cur - 1);
  }
  const struct {
    int16_t cur;
    const char* menu;
    const char* button;
  } cases[] = {{0, "F-?", "?"}, {12, "F-12", "12"}, {-4, "F-?", "?"}, {3, "F-3", "3"}};
  auto buttons = f.w->findChildren<QPushButton*>("cmdWheel");
  QPushButton* b0 = buttons[0]->property("index").toInt() == 0 ? buttons[0] : buttons[1];
  for (const auto& c : cases) {
    CurFilter(1) = c.cur;
    MainWin().WheelCaption(1);
    EXPECT_EQ(Plain(f.w->WheelMenu(1)->title()), c.menu);
    EXPECT_EQ(b0->text().toStdString(), c.button);
  }
  // FiltCaption follows the selected wheel.
  CurFilter(2) = 4;
  SelectWheel(2);
  MainWin().FiltCaption();
  EXPECT_EQ(Plain(f.w->WheelMenu(2)->title()), "B-4");
  MainWin().WheelCaption(1);
  EXPECT_EQ(Plain(f.w->WheelMenu(1)->title()), "F-3");
}

class FilterCountTest : public ::testing::TestWithParam<int> {};

TEST_P(FilterCountTest, EntriesFollowTheFilterCount) {
  const int n = GetParam();
  UiFixture f(&kIm);
  f.app.dir.write("ZR_PARW1.TXT",
                  "\"W1CONTR\",1\n\"W1HOLDCURRENT\",5\n\"W1RUNCURRENT\",25\n"
                  "\"W1SLEWVELOCITY\",2000\n\"W1INITVELOCITY\",200\n"
                  "\"W1ACCELERATION\",100\n\"W1OFFSETHOME\",100\n"
                  "\"W1FILTPOSITIONS\"," +
                      std::to_string(n) + "\n");
  f.Start();
  std::vector<std::string> expected;
  for (int i = 1; i <= n; ++i) expected.push_back("Filter " + std::to_string(i));
  EXPECT_EQ(f.FilterCaptions(1), expected);
  EXPECT_EQ(f.FilterCaptions(2).size(), 6u);
  const auto entries = f.w->FilterEntries(1);
  for (size_t i = 0; i < entries.size(); ++i) EXPECT_EQ(entries[i]->property("index").toInt(), i);
}

INSTANTIATE_TEST_SUITE_P(Counts, FilterCountTest, ::testing::Values(1, 2, 8, 12));

TEST_F(FrmWheelOfflineTest, WheelsStillGetTheirEntries) {
  EXPECT_EQ(WheelOnline(1), 0);
  EXPECT_EQ(Plain(f.w->WheelMenu(1)->title()), "F-?");
  EXPECT_EQ(Plain(f.w->WheelMenu(2)->title()), "B-?");
  EXPECT_EQ(f.FilterCaptions(1).size(), 6u);
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
}

TEST_F(FrmWheelTest, FilterEntryMovesAndChecks) {
  f.w->FilterEntries(1)[2]->trigger();
  EXPECT_EQ(CurFilter(1), 3);
  EXPECT_EQ(f.w->MessageText(), "F 3");
  EXPECT_EQ(Plain(f.w->WheelMenu(1)->title()), "F-3");
  EXPECT_EQ(f.CheckedEntry(1), 2);
  f.w->FilterEntryClick(2, 5);
  EXPECT_EQ(f.w->MessageText(), "B 6");
  EXPECT_EQ(f.CheckedEntry(2), 5);
  EXPECT_EQ(f.CheckedEntry(1), 2);
  // The wheel really stands at filter 3 afterwards.
  SelectWheel(1);
  WaitWheel();
  int16_t k = 0;
  ASSERT_EQ(GetFilter(k), 1);
  EXPECT_EQ(k, 3);
}

TEST_F(FrmWheelTest, NextAndPreviousWrap) {
  f.w->FilterEntryClick(1, 5);  // filter 6 of 6
  WaitWheel();
  f.w->NextFilterClick(1);
  EXPECT_EQ(f.w->MessageText(), "F 1");
  EXPECT_EQ(Plain(f.w->WheelMenu(1)->title()), "F-1");
  WaitWheel();
  f.w->PrevFilterClick(1);
  EXPECT_EQ(f.w->MessageText(), "F 6");
  EXPECT_EQ(f.w->findChild<WheelDial*>("dialF")->Drawing().centreText, "6");
}

TEST_F(FrmWheelTest, HomeSucceeds) {
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
}

TEST_F(FrmWheelTest, HomeFailedShowsTheBoxAndKeepsCaptions) {
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
  EXPECT_EQ(Plain(f.w->WheelMenu(1)->title()), "F-4");
  EXPECT_EQ(f.Dial(1), "0 ?");  // where the wheel stands is not known
}

TEST_F(FrmWheelTest, ExecuteRunsTheBoxAndTimesIt) {
  MainWin().SetCmdText("Ver");
  QTest::mouseClick(f.Find<QPushButton>("cmdExecute"), Qt::LeftButton);
  EXPECT_EQ(f.w->MessageText(), "4.0 ; ");
  EXPECT_TRUE(std::regex_match(f.w->TimeText(), std::regex(" [0-9]+"))) << f.w->TimeText();
  EXPECT_EQ(f.w->History(), (std::vector<std::string>{"Ver"}));

  // An empty box: an empty history entry and an empty message line.
  MainWin().SetCmdText("");
  f.w->ExecuteClick();
  EXPECT_EQ(f.w->History().front(), "");
  EXPECT_EQ(f.w->MessageText(), "");
}

TEST_F(FrmWheelOfflineTest, HistoryKeepsTheLastThirty) {
  for (int i = 1; i <= 31; ++i) {
    MainWin().SetCmdText("Ver " + std::to_string(i));
    f.w->ExecuteClick();
  }
  const auto h = f.w->History();
  ASSERT_EQ(h.size(), 30u);
  EXPECT_EQ(h.front(), "Ver 31");
  EXPECT_EQ(h.back(), "Ver 2");
  MainWin().SetCmdText("Ver 31");
  f.w->ExecuteClick();
  EXPECT_EQ(f.w->History()[0], "Ver 31");
  EXPECT_EQ(f.w->History()[1], "Ver 31");
  EXPECT_EQ(f.w->CommandText(), "Ver 31");
}

TEST_F(FrmWheelOfflineTest, MessageLineClickClears) {
  MainWin().ShowMsg("something");
  EXPECT_EQ(f.ui.MsgText(), "something");
  QTest::mouseClick(f.Find<QLabel>("lblMsg"), Qt::LeftButton);
  EXPECT_EQ(f.ui.MsgText(), "");
}

TEST_F(FrmWheelTest, WheelButtonPopsUpItsMenu) {
  auto buttons = f.w->findChildren<WheelButton*>("cmdWheel");
  WheelButton* b1 = buttons[0]->property("index").toInt() == 1 ? buttons[0] : buttons[1];
  QTest::mouseClick(b1, Qt::RightButton);
  EXPECT_TRUE(f.w->WheelMenu(2)->isVisible());
  EXPECT_EQ(GetSelWheel(), 2);
  EXPECT_EQ(f.CheckedEntry(2), CurFilter(2) - 1);
  f.w->WheelMenu(2)->hide();

  // Not installed: nothing happens.
  AppSettings().WheelInstalled[2] = 0;
  SelectWheel(1);
  QTest::mouseClick(b1, Qt::RightButton);
  QTest::mouseClick(b1, Qt::LeftButton);
  EXPECT_FALSE(f.w->WheelMenu(2)->isVisible());
  EXPECT_EQ(GetSelWheel(), 1);
}

TEST_F(FrmWheelTest, ConfigurationHidesAWheelMenu) {
  EXPECT_TRUE(f.w->WheelMenu(2)->menuAction()->isVisible());
  f.app.SetConfig("W2_INSTALLED", "0");
  f.app.SetConfig("JOYSTARTON", "1");
  bool editorRan = false;
  f.w->parListEditor = [&] {
    editorRan = true;
    EXPECT_EQ(GetParPath(), f.app.dir.file("ZR_CONFIG.TXT"));
  };
  f.w->ConfigurationClick();
  EXPECT_TRUE(editorRan);
  EXPECT_FALSE(f.w->WheelMenu(2)->menuAction()->isVisible());
  EXPECT_TRUE(f.w->WheelMenu(1)->menuAction()->isVisible());
  EXPECT_EQ(AppSettings().JoyOn, 1);
  EXPECT_EQ(WheelOnline(2), 0);
  EXPECT_EQ(WheelOnline(1), 1);
  EXPECT_EQ(CommPortIsOpen(), -1);
  // The menu stays as it was; the drawing shows the wheel offline.
  EXPECT_EQ(f.FilterCaptions(2).size(), 6u);
  EXPECT_EQ(f.Dial(2), "0 ?");
}

TEST_F(FrmWheelTest, ParametersReinitialisesTheWheel) {
  // Eight filters now.
  std::string par = f.app.dir.read("ZR_PARW1.TXT");
  par.replace(par.find("\"W1FILTPOSITIONS\",6"), 19, "\"W1FILTPOSITIONS\",8");
  f.app.dir.writeRaw("ZR_PARW1.TXT", par);
  f.w->ParametersClick(1);
  EXPECT_EQ(f.w->MessageText(), "F On");
  EXPECT_EQ(f.FilterCaptions(1).size(), 8u);

  // A file that breaks the wheel: offline, entries gone but "Filter 1".
  f.app.dir.write("ZR_PARW1.TXT", "\"W1CONTR\",1\n");
  f.w->ParametersClick(1);
  EXPECT_EQ(f.w->MessageText(), "F Off");
  EXPECT_EQ(f.Dial(1), "0 ?");
  EXPECT_EQ(WheelOnline(1), 0);
  EXPECT_EQ(f.FilterCaptions(1), (std::vector<std::string>{"Filter 1"}));
}

TEST_F(FrmWheelTest, ReadParFile) {
  std::string par = f.app.dir.read("ZR_PARW2.TXT");
  par.replace(par.find("\"W2FILTPOSITIONS\",6"), 19, "\"W2FILTPOSITIONS\",4");
  f.app.dir.writeRaw("ZR_PARW2_FOUR.TXT", par);

  // Cancelled.
  f.w->parFileChooser = [](const std::string&, const std::string&, const std::string&,
                           std::string& dir, std::string& file) {
    dir.clear();
    file.clear();
  };
  f.w->ReadParFileClick(2);
  EXPECT_EQ(f.w->MessageText(), "Parameter file not read");
  EXPECT_EQ(f.FilterCaptions(2).size(), 6u);

  std::string seenPattern, seenTitle, seenStart;
  const std::string dir = f.app.dir.path().substr(0, f.app.dir.path().size() - 1);
  f.w->parFileChooser = [&](const std::string& start, const std::string& pattern,
                            const std::string& title, std::string& d, std::string& file) {
    seenStart = start;
    seenPattern = pattern;
    seenTitle = title;
    d = dir;
    file = "ZR_PARW2_FOUR.TXT";
  };
  f.w->ReadParFileClick(2);
  EXPECT_EQ(seenPattern, "ZR_PARW2*.TXT");
  EXPECT_EQ(seenTitle, "Select a parameter file to load");
  EXPECT_EQ(seenStart, f.app.dir.path());
  EXPECT_EQ(f.app.dir.read("ZR_PARW2.TXT"), par);
  EXPECT_EQ(f.w->MessageText(), "B On");  // Parameters ran after the copy
  EXPECT_EQ(f.FilterCaptions(2).size(), 4u);

  // Its own file chosen: nothing to copy, the file stays whole.
  f.w->parFileChooser = [&](const std::string&, const std::string&, const std::string&,
                            std::string& d, std::string& file) {
    d = dir;
    file = "ZR_PARW2.TXT";
  };
  f.w->ReadParFileClick(2);
  EXPECT_EQ(f.app.dir.read("ZR_PARW2.TXT"), par);
  EXPECT_EQ(f.w->MessageText(), "B On");
  EXPECT_EQ(f.Dial(2), "4 " + std::to_string(CurFilter(2)));

  // A wrong file chosen: the wheel goes offline, and so does its drawing.
  f.w->parFileChooser = [&](const std::string&, const std::string&, const std::string&,
                            std::string& d, std::string& file) {
    d = dir;
    file = "ZR_CONFIG.TXT";
  };
  f.w->ReadParFileClick(2);
  EXPECT_EQ(f.w->MessageText(), "B Off");
  EXPECT_EQ(f.Dial(2), "0 ?");
}

TEST_F(FrmWheelTest, SpeedTestStepsFromFilterFive) {
  struct Case {
    int wheel;
    std::string step, repetitions;
    int16_t caption;  // the filter the panel shows afterwards
    const char* title;
    int16_t standsAt;  // where the wheel really is
  } cases[] = {
      {1, "1", "3", 2, "F-2", 2},    // 6, 1, 2: the panel follows
      {2, "2.5", "2", 5, "B-5", 3},  // 1, then 3: the panel stays as it was
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.wheel);
    f.w->FilterEntryClick(c.wheel, 4);  // filter 5
    WaitWheel();
    f.ui.prompts.clear();
    f.ui.answers = {c.step, c.repetitions};
    f.w->SpeedTestClick(c.wheel);
    ASSERT_EQ(f.ui.prompts.size(), 2u);
    EXPECT_EQ(f.ui.prompts[0],
              "Filter move test|Enter number of positions to switch (1 is switch to adjacent):");
    EXPECT_EQ(f.ui.prompts[1], "Filter move test|Enter number of repetitions:");
    EXPECT_TRUE(std::regex_match(f.w->MessageText(),
                                 std::regex(c.repetitions + " repetitions -[0-9]+ msec")))
        << f.w->MessageText();
    EXPECT_EQ(CurFilter(c.wheel), c.caption);
    EXPECT_EQ(Plain(f.w->WheelMenu(c.wheel)->title()), c.title);
    EXPECT_EQ(f.Dial(c.wheel), "6 " + std::to_string(c.standsAt));  // drawn where it stands
    int16_t k = 0;
    SelectWheel(static_cast<int16_t>(c.wheel));
    ASSERT_EQ(GetFilter(k), 1);
    EXPECT_EQ(k, c.standsAt);
  }
}

TEST_F(FrmWheelTest, SpeedTestBadInputMovesNothing) {
  const std::vector<std::vector<std::optional<std::string>>> inputs = {
      {std::nullopt}, {std::string("x")}, {std::string("1"), std::string("70000")}};
  for (const auto& in : inputs) {
    f.app.sim->ClearRequests();
    f.ui.answers.assign(in.begin(), in.end());
    f.w->SpeedTestClick(1);
    EXPECT_EQ(f.w->MessageText(), "Error in input - not a number");
    EXPECT_TRUE(f.app.sim->Requests().empty());
  }
}

TEST_F(FrmWheelOfflineTest, ErrorLogOpensATextWindowAndTheClipboard) {
  const std::string log = CommErrLogText();
  ASSERT_FALSE(log.empty());
  f.w->ErrorLogClick();
  TextWindow* tw = ShownTextWindow();
  ASSERT_NE(tw, nullptr);
  QString expected = QString::fromStdString(log);
  EXPECT_EQ(QGuiApplication::clipboard()->text(), expected);
  expected.replace("\r\n", "\n");
  EXPECT_EQ(tw->Text(), expected);
  EXPECT_TRUE(tw->findChild<QPlainTextEdit*>()->isReadOnly());
  test::TempDir d;
  EXPECT_TRUE(tw->SaveTo(QString::fromStdString(d.file("log.txt"))));
  EXPECT_EQ(d.read("log.txt"), expected.toStdString());
  tw->close();
  test::FlushDeletes();
}

TEST_F(FrmWheelTest, EmptyErrorLogShowsNothing) {
  CommInit();  // empties the log (the start-up's probe may have logged)
  ASSERT_TRUE(CommErrLogText().empty()) << CommErrLogText();
  QGuiApplication::clipboard()->setText("keep me");
  const auto before = QApplication::topLevelWidgets().size();
  f.w->ErrorLogClick();
  EXPECT_EQ(QApplication::topLevelWidgets().size(), before);
  EXPECT_EQ(QGuiApplication::clipboard()->text(), "keep me");
}

TEST_F(FrmWheelTest, CommandsShowsTheDescriptionOrSaysItIsMissing) {
  f.app.dir.write("ZR_COMMANDS.TXT", "F n  move wheel F\n");
  f.w->CommandsClick();
  TextWindow* tw = ShownTextWindow();
  ASSERT_NE(tw, nullptr);
  EXPECT_EQ(tw->Text(), "F n  move wheel F\n");
  tw->close();
  test::FlushDeletes();
  std::remove(f.app.dir.file("ZR_COMMANDS.TXT").c_str());
  f.w->CommandsClick();
  ASSERT_EQ(f.ui.boxes.size(), 1u);
  EXPECT_NE(f.ui.boxes[0].text.find("ZR_COMMANDS.TXT"), std::string::npos);
}

TEST_F(FrmWheelTest, QuitClosesThePort) {
  QPointer<FrmWheel> w = f.w;
  f.Find("mnuQuit")->trigger();
  EXPECT_EQ(MainWinLoaded(), 0);
  EXPECT_FALSE(IsFormLoaded("frmWheel"));
  EXPECT_EQ(CommIsLoaded(), 0);
  EXPECT_EQ(f.ui.MainWindow(), nullptr);
  MainWin().ShowMsg("ignored");  // no window: nothing happens
  EXPECT_EQ(f.ui.MsgText(), "");
  test::FlushDeletes();
  EXPECT_TRUE(w.isNull());
}

TEST_F(FrmWheelTest, ClosingWithAnAutomationObjectKeepsThePort) {
  AutomationObjectCreated();
  f.ui.ShowMainWindow();
  f.w->close();
  EXPECT_EQ(MainWinLoaded(), 0);
  EXPECT_EQ(CommIsLoaded(), 1);
  EXPECT_EQ(CommPortIsOpen(), -1);
  AutomationObjectEnded();
  EXPECT_EQ(CommIsLoaded(), 0);
}

TEST_F(FrmWheelTest, UnloadFromACommandInsideExecute) {
  QPointer<FrmWheel> w = f.w;
  MainWin().SetCmdText("Unload");
  f.w->ExecuteClick();  // the window must survive its own handler
  EXPECT_EQ(MainWinLoaded(), 0);
  test::FlushDeletes();
  EXPECT_TRUE(w.isNull());
}

TEST_F(FrmWheelTest, QuitWhileACommandWaitsIsSafe) {
  QPointer<FrmWheel> w = f.w;
  bool fired = false;
  QTimer::singleShot(0, f.w, [&] {
    fired = true;
    f.Find("mnuQuit")->trigger();
  });
  MainWin().SetCmdText("F 4;F Wait;F ?");
  f.w->ExecuteClick();
  EXPECT_TRUE(fired);
  EXPECT_EQ(MainWinLoaded(), 0);
  ASSERT_FALSE(w.isNull());  // still alive until its handler returned
  test::FlushDeletes();
  EXPECT_TRUE(w.isNull());
}

TEST_F(FrmWheelOfflineTest, UnloadingClosesTheInterpreterWindow) {
  auto* interp = new QWidget;
  interp->setObjectName("frmInterp");
  interp->setAttribute(Qt::WA_DeleteOnClose);
  interp->show();
  QPointer<QWidget> guard = interp;
  EXPECT_TRUE(IsFormLoaded("frmInterp"));
  EXPECT_FALSE(IsFormLoaded("frminterp"));  // names compare exactly
  ASSERT_NE(f.ui.MainWindow(), nullptr);
  f.ui.UnloadMainWindow();
  EXPECT_FALSE(interp->isVisible());
  EXPECT_FALSE(IsFormLoaded("frmInterp"));
  test::FlushDeletes();
  EXPECT_TRUE(guard.isNull());
}

TEST_F(FrmWheelOfflineTest, StatusLabelFollowsTheWindow) {
  CommLog("Port TimeOut");
  EXPECT_EQ(f.ui.MsgText(), "Port TimeOut");
  CommLogAppend(" 1Z");
  EXPECT_EQ(f.ui.MsgText().rfind("Port TimeOut", 0), 0u);
  EXPECT_NE(f.ui.MsgText().find("1Z"), std::string::npos);
  f.ui.UnloadMainWindow();
  CommLog("after");  // no window: the link writes nowhere, and nothing breaks
  EXPECT_EQ(f.ui.MsgText(), "");
}

TEST_F(FrmWheelTest, JoystickEntriesOnToggleAxesAndParam) {
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
  f.Find("mnuTogAxes")->trigger();
  EXPECT_EQ(JoyAxes(), 0);

  // "Param." edits ZR_JOY.TXT and reads it again afterwards.
  bool editorRan = false;
  f.w->parListEditor = [&] {
    editorRan = true;
    EXPECT_EQ(GetParPath(), f.app.dir.file("ZR_JOY.TXT"));
    std::string joy = f.app.dir.read("ZR_JOY.TXT");
    joy.replace(joy.find("\"JLATENT\",10"), 12, "\"JLATENT\",25");
    f.app.dir.writeRaw("ZR_JOY.TXT", joy);
  };
  f.Find("mnuJoyPar")->trigger();
  EXPECT_TRUE(editorRan);
  EXPECT_EQ(JoyCalibration().DeadBand, 250);
  JoyAxes() = 0;
}

// A file of joystick records polled by the tick; the command list in the edit dialog. A file that
// cannot be written (a directory in its place) is said in a box.
TEST_F(FrmWheelOfflineTest, JoystickCalibrateAndAssignedCommands) {
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
}

}  // namespace
}  // namespace nvx
