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
  std::string file;  // '\n' becomes CR LF; none when empty
  int16_t result;
  int16_t port, timeout, move, poll;
  const char* type;
  int16_t joy, w1, w2;
  std::vector<std::string> missing;  // keys named in "Parameter ... not found" boxes
};

TEST(ReadConfig, RulesOfEveryKey) {
  const std::string four =
      "\"MPORT\",1\n\"PORTTIMEOUT\",9\n\"MOVETIMEOUT\",5\n"
      "\"WAITPOLLINGINTERVAL\",20\n";
  // Every case starts from the settings 7/7/7/7/"OLD"/7/7/7.
  // clang-format off
  const ConfigCase cases[] = {
      {"all keys", "\"MPORT\",2\n\"PORTTIMEOUT\",500\n\"MOVETIMEOUT\",10\n\"WAITPOLLINGINTERVAL\",20\n"
       "\"CONTRTYPE\",EZHR17\n\"JOYSTARTON\",1\n\"W1_INSTALLED\",1\n\"W2_INSTALLED\",1\n",
       1, 2, 500, 10, 20, "EZHR17", 1, 1, 1, {}},
      {"halves to even", "\"MPORT\",1\n\"PORTTIMEOUT\",1000\n\"MOVETIMEOUT\",2.5\n"
       "\"WAITPOLLINGINTERVAL\",3.5\n", 1, 1, 1000, 2, 4, "IM483I", 0, 0, 0, {}},
      {"missing MPORT", "\"PORTTIMEOUT\",900\n\"MOVETIMEOUT\",5\n\"WAITPOLLINGINTERVAL\",20\n"
       "\"W1_INSTALLED\",1\n", -1, 7, 900, 5, 20, "IM483I", 0, 1, 0, {"MPORT"}},
      {"all four missing", "\"CONTRTYPE\",EZHR17\n", -1, 7, 7, 7, 7, "EZHR17", 0, 0, 0,
       {"MPORT", "PORTTIMEOUT", "MOVETIMEOUT", "WAITPOLLINGINTERVAL"}},
      {"MPORT not a number stops the reading", "\"MPORT\",com1\n\"PORTTIMEOUT\",900\n"
       "\"MOVETIMEOUT\",5\n\"WAITPOLLINGINTERVAL\",20\n\"CONTRTYPE\",EZHR17\n\"W1_INSTALLED\",1\n",
       -1, 7, 7, 7, 7, "OLD", 7, 7, 7, {}},
      {"out of 16-bit range stops the reading", "\"MPORT\",1\n\"PORTTIMEOUT\",40000\n"
       "\"MOVETIMEOUT\",5\n\"WAITPOLLINGINTERVAL\",20\n", -1, 1, 7, 7, 7, "OLD", 7, 7, 7, {}},
      {"bad W1_INSTALLED stops before W2", four + "\"W1_INSTALLED\",yes\n\"W2_INSTALLED\",1\n",
       -1, 1, 9, 5, 20, "IM483I", 0, 7, 7, {}},
      {"installed 2 is stored as it is", four + "\"W1_INSTALLED\",2\n\"W2_INSTALLED\",-0.4\n",
       1, 1, 9, 5, 20, "IM483I", 0, 2, 0, {}},
      {"lower-case type kept as written", four + "\"CONTRTYPE\",ezhr17\n",
       1, 1, 9, 5, 20, "ezhr17", 0, 0, 0, {}},
      {"no file leaves the settings alone", "", -1, 7, 7, 7, 7, "OLD", 7, 7, 7, {}},
  };
  // clang-format on
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    AppFixture app;
    const std::string path = app.dir.file("ZR_CONFIG.TXT");
    if (c.file.empty()) std::remove(path.c_str());
    else app.dir.write("ZR_CONFIG.TXT", c.file);
    SetParDir(app.dir.path());
    Settings& s = AppSettings();
    s = Settings{};
    s.PortNumber = s.PortTimeout = s.MoveTimeout = s.WaitPollingInterval = 7;
    SetControllerType(s, "OLD");
    s.JoyOn = s.WheelInstalled[1] = s.WheelInstalled[2] = 7;
    EXPECT_EQ(ReadConfig(), c.result);
    EXPECT_EQ(std::vector<int>({s.PortNumber, s.PortTimeout, s.MoveTimeout, s.WaitPollingInterval,
                                s.JoyOn, s.WheelInstalled[1], s.WheelInstalled[2]}),
              std::vector<int>({c.port, c.timeout, c.move, c.poll, c.joy, c.w1, c.w2}));
    EXPECT_EQ(s.ControllerType, c.type);
    EXPECT_EQ(s.Controller, ParseControllerType(c.type));
    std::vector<std::string> boxes;
    for (const auto& key : c.missing) boxes.push_back("Parameter " + key + " not found in " + path);
    if (c.file.empty()) boxes.push_back("File " + path + " does not exist");
    ASSERT_EQ(app.ui.boxes.size(), boxes.size());
    for (size_t i = 0; i < boxes.size(); ++i) {
      EXPECT_EQ(app.ui.boxes[i].text, boxes[i]);
      EXPECT_EQ(app.ui.boxes[i].icon, c.file.empty() ? MsgIcon::None : MsgIcon::Critical);
    }
  }
}

TEST(StartUp, FailingStepsDoNotStopTheSequence) {
  AppFixture app;  // the port device does not exist
  for (const char* f : {"ZR_SYMCONST.TXT", "ZR_PARW2.TXT"}) std::remove(app.dir.file(f).c_str());
  app.dir.write("ZR_JOYCMDS.TXT", "F 3\nF Next\n");
  EXPECT_EQ(app.Start(), -1);
  // The joystick start command ran first, while no wheel was online: it answered "Off " and
  // left nothing in the message line. The window was made, the wheels are off.
  EXPECT_EQ(CommandCount(), 1);
  EXPECT_EQ(LastWheel(), "F");
  EXPECT_EQ(app.ui.msgLine, "");
  EXPECT_EQ(IsFormLoaded("frmWheel"), 1);
  EXPECT_TRUE(SymConst().empty());
  EXPECT_EQ(ExecCmdLine("F 1;B ?;CommandCount"), "Off  ; Off  ;  4 ; ");
  EXPECT_NE(CommErrLogText().find("CommOpenPort "), std::string::npos);
}

}  // namespace
}  // namespace nvx
