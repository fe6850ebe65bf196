#include <gtest/gtest.h>

#include "base/settings.h"
#include "comm/comm.h"
#include "core/app.h"
#include "core/commands.h"
#include "params/trapar.h"
#include "support/app_fixture.h"

namespace nvx {
namespace {

using test::AppFixture;

struct ConfigCase {
  const char* name;
  const char* file;  // '\n' becomes CR LF
  int16_t result;
  int16_t port, timeout, move, poll;
  const char* type;
  int16_t joy, w1, w2;
  std::vector<std::string> messages;  // after the directory path is put in for %
};

TEST(ReadConfig, RulesOfEveryKey) {
  const std::string full =
      "\"MPORT\",2\n\"PORTTIMEOUT\",500\n\"MOVETIMEOUT\",10\n\"WAITPOLLINGINTERVAL\",20\n"
      "\"CONTRTYPE\",EZHR17\n\"JOYSTARTON\",1\n\"W1_INSTALLED\",1\n\"W2_INSTALLED\",1\n";
  // Every case starts from the settings 7/7/7/7/"OLD"/7/7/7.
  const ConfigCase cases[] = {
      {"all keys", full.c_str(), 1, 2, 500, 10, 20, "EZHR17", 1, 1, 1, {}},
      {"halves to even",
       "\"MPORT\",1\n\"PORTTIMEOUT\",1000\n\"MOVETIMEOUT\",2.5\n\"WAITPOLLINGINTERVAL\",3.5\n",
       1,
       1,
       1000,
       2,
       4,
       "IM483I",
       0,
       0,
       0,
       {}},
      {"missing MPORT",
       "\"PORTTIMEOUT\",900\n\"MOVETIMEOUT\",5\n\"WAITPOLLINGINTERVAL\",20\n\"W1_INSTALLED\",1\n",
       -1,
       7,
       900,
       5,
       20,
       "IM483I",
       0,
       1,
       0,
       {"Parameter MPORT not found in %ZR_CONFIG.TXT"}},
      {"all four missing",
       "\"CONTRTYPE\",EZHR17\n",
       -1,
       7,
       7,
       7,
       7,
       "EZHR17",
       0,
       0,
       0,
       {"Parameter MPORT not found in %ZR_CONFIG.TXT",
        "Parameter PORTTIMEOUT not found in %ZR_CONFIG.TXT",
        "Parameter MOVETIMEOUT not found in %ZR_CONFIG.TXT",
        "Parameter WAITPOLLINGINTERVAL not found in %ZR_CONFIG.TXT"}},
      {"MPORT not a number stops the reading",
       "\"MPORT\",com1\n\"PORTTIMEOUT\",900\n\"MOVETIMEOUT\",5\n\"WAITPOLLINGINTERVAL\",20\n"
       "\"CONTRTYPE\",EZHR17\n\"W1_INSTALLED\",1\n",
       -1,
       7,
       7,
       7,
       7,
       "OLD",
       7,
       7,
       7,
       {}},
      {"out of 16-bit range stops the reading",
       "\"MPORT\",1\n\"PORTTIMEOUT\",40000\n\"MOVETIMEOUT\",5\n\"WAITPOLLINGINTERVAL\",20\n",
       -1,
       1,
       7,
       7,
       7,
       "OLD",
       7,
       7,
       7,
       {}},
      {"bad W1_INSTALLED stops before W2",
       "\"MPORT\",1\n\"PORTTIMEOUT\",9\n\"MOVETIMEOUT\",5\n\"WAITPOLLINGINTERVAL\",20\n"
       "\"W1_INSTALLED\",yes\n\"W2_INSTALLED\",1\n",
       -1,
       1,
       9,
       5,
       20,
       "IM483I",
       0,
       7,
       7,
       {}},
      {"installed 2 is stored as it is",
       "\"MPORT\",1\n\"PORTTIMEOUT\",9\n\"MOVETIMEOUT\",5\n"
       "\"WAITPOLLINGINTERVAL\",20\n\"W1_INSTALLED\",2\n\"W2_INSTALLED\",-0.4\n",
       1,
       1,
       9,
       5,
       20,
       "IM483I",
       0,
       2,
       0,
       {}},
      {"lower-case type kept as written",
       "\"MPORT\",1\n\"PORTTIMEOUT\",9\n\"MOVETIMEOUT\",5\n"
       "\"WAITPOLLINGINTERVAL\",20\n\"CONTRTYPE\",ezhr17\n",
       1,
       1,
       9,
       5,
       20,
       "ezhr17",
       0,
       0,
       0,
       {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    AppFixture app;
    app.dir.write("ZR_CONFIG.TXT", c.file);
    SetParDir(app.dir.path());
    Settings& s = AppSettings();
    s = Settings{};
    s.PortNumber = s.PortTimeout = s.MoveTimeout = s.WaitPollingInterval = 7;
    SetControllerType(s, "OLD");
    s.JoyOn = s.WheelInstalled[1] = s.WheelInstalled[2] = 7;
    EXPECT_EQ(ReadConfig(), c.result);
    EXPECT_EQ(s.PortNumber, c.port);
    EXPECT_EQ(s.PortTimeout, c.timeout);
    EXPECT_EQ(s.MoveTimeout, c.move);
    EXPECT_EQ(s.WaitPollingInterval, c.poll);
    EXPECT_EQ(s.ControllerType, c.type);
    EXPECT_EQ(s.Controller, ParseControllerType(c.type));
    EXPECT_EQ(s.JoyOn, c.joy);
    EXPECT_EQ(s.WheelInstalled[1], c.w1);
    EXPECT_EQ(s.WheelInstalled[2], c.w2);
    ASSERT_EQ(app.ui.boxes.size(), c.messages.size());
    for (size_t i = 0; i < c.messages.size(); ++i) {
      std::string expected = c.messages[i];
      expected.replace(expected.find('%'), 1, app.dir.path());
      EXPECT_EQ(app.ui.boxes[i].text, expected);
      EXPECT_EQ(app.ui.boxes[i].icon, MsgIcon::Critical);
    }
  }
}

TEST(ReadConfig, MissingFileLeavesSettingsAlone) {
  AppFixture app;
  std::remove(app.dir.file("ZR_CONFIG.TXT").c_str());
  SetParDir(app.dir.path());
  AppSettings().PortNumber = 5;
  EXPECT_EQ(ReadConfig(), -1);
  EXPECT_EQ(AppSettings().PortNumber, 5);
  ASSERT_EQ(app.ui.boxes.size(), 1u);
  EXPECT_EQ(app.ui.boxes[0].text, "File " + app.dir.file("ZR_CONFIG.TXT") + " does not exist");
}

TEST(StartUp, FailingStepsDoNotStopTheSequence) {
  AppFixture app;  // the port device does not exist
  std::remove(app.dir.file("ZR_SYMCONST.TXT").c_str());
  std::remove(app.dir.file("ZR_PARW2.TXT").c_str());
  EXPECT_EQ(app.Start(), -1);
  // The joystick start command ran ("Ver"), the window was made, the wheels are off.
  EXPECT_EQ(CommandCount(), 1);
  EXPECT_EQ(IsFormLoaded("frmWheel"), 1);
  EXPECT_TRUE(SymConst().empty());
  EXPECT_EQ(ExecCmdLine("F 1;B ?;CommandCount"), "Off  ; Off  ;  4 ; ");
  bool sawSymMessage = false;
  for (const auto& b : app.ui.boxes) {
    if (b.text == "File " + app.dir.file("ZR_SYMCONST.TXT") + " does not exist")
      sawSymMessage = true;
  }
  EXPECT_TRUE(sawSymMessage);
  EXPECT_NE(CommErrLogText().find("CommOpenPort "), std::string::npos);
}

TEST(StartUp, JoystickStartCommandRunsBeforeAnythingElse) {
  AppFixture app;
  app.dir.write("ZR_JOYCMDS.TXT", "F 3\nF Next\n");
  app.Start();
  // The first entry ran while no wheel was online: it answered "Off " and
  // left nothing in the message line.
  EXPECT_EQ(LastWheel(), "F");
  EXPECT_EQ(CommandCount(), 1);
  EXPECT_EQ(app.ui.msgLine, "");
  EXPECT_EQ(ExecCmd("CommandCount"), " 2");
}

TEST(StartUp, MissingJoystickCommandFileStillCountsTheEmptyCommand) {
  AppFixture app;
  std::remove(app.dir.file("ZR_JOYCMDS.TXT").c_str());
  EXPECT_EQ(app.Start(), -1);
  EXPECT_EQ(CommandCount(), 1);
  ASSERT_EQ(JoyCommands().items.size(), 1u);
  EXPECT_EQ(JoyCommands().items[0], "");
}

}  // namespace
}  // namespace nvx
