// The INDI driver as INDI users run it: a real indiserver on a free loopback
// port hosts indi_norvantix_wheel, and indi_setprop, indi_getprop and
// indi_eval drive it as separate processes.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "core/app.h"
#include "sim/sim.h"
#include "support/process.h"
#include "support/temp_dir.h"

namespace nvx {
namespace {

using test::BackgroundProcess;
using test::RunProcess;

std::string Bin(const char* program) { return std::string(NVX_INDI_BIN) + program; }

int FreeLoopbackPort() {
  const int s = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
  ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
  ::close(s);
  return ntohs(a.sin_port);
}

// "Norvantix F." and the like: the device of a wheel, before its properties.
std::string Dev(char wheel) { return std::string("Norvantix ") + wheel + "."; }

class IndiDriver : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_.copyFrom(NVX_DATA_DIR);
    SetKey("ZR_CONFIG.TXT", "MOVETIMEOUT", "8");
    std::filesystem::create_directory(home_.file("log"));
    // indiserver's own chatter goes to a file; -l keeps the driver's messages.
    server_ = std::make_unique<BackgroundProcess>(
        std::vector<std::string>{"/bin/sh", "-c", "exec \"$@\" 2>" + home_.file("server.log"), "sh",
                                 Bin("indiserver"), "-p", port_, "-u", home_.file("socket"), "-r",
                                 "0", "-l", home_.file("log"), NVX_INDI_DRIVER},
        env_);
    for (int i = 0; i < 100 && Get('B', "CONNECTION.CONNECT").empty(); ++i) usleep(100000);
  }
  // Replaces (or adds) one key of a data file.
  void SetKey(const std::string& file, const std::string& key, const std::string& value) {
    std::string text = dir_.read(file);
    const auto p = text.find("\"" + key + "\"");
    if (p != std::string::npos) text.erase(p, text.find("\r\n", p) + 2 - p);
    dir_.writeRaw(file, text + "\"" + key + "\"," + value + "\r\n");
  }
  bool Set(const std::string& assignment) {
    return RunProcess({Bin("indi_setprop"), "-p", port_, assignment}, env_, 20000).exitCode == 0;
  }
  // A property (element) of a wheel's device, and a wait (indi_eval) until
  // one passes a test.
  std::string Get(char wheel, const std::string& element) {
    const std::vector<std::string> argv = {Bin("indi_getprop"), "-1", "-t", "5", "-p", port_,
                                           Dev(wheel) + element};
    const std::string v = RunProcess(argv, env_).out;
    return v.substr(0, v.find('\n'));
  }
  bool Until(char wheel, const std::string& element, const std::string& test, int seconds = 20) {
    const std::string expr = "\"" + Dev(wheel) + element + "\"" + test;
    return RunProcess({Bin("indi_eval"), "-w", "-t", std::to_string(seconds), "-p", port_, expr},
                      env_, (seconds + 10) * 1000)
               .exitCode == 0;
  }
  // Sets a property of the wheel and waits until its state is no longer
  // Busy (2); returns the state. A property never set is Idle (0) until the
  // driver takes the new value: wait for that first, or the Idle read before
  // the driver saw the value passes for the end of the work.
  std::string SetAndWait(char wheel, const std::string& property, const std::string& element) {
    const bool idle = Get(wheel, property + "._STATE") == "Idle";
    Set(Dev(wheel) + property + "." + element);
    if (idle) Until(wheel, property + "._STATE", "!=0");
    Until(wheel, property + "._STATE", "!=2");
    return Get(wheel, property + "._STATE");
  }
  bool Connect(char wheel, bool simulate = true) {
    return Set(Dev(wheel) + "PROGRAM_DIR.DIR=" + dir_.path()) &&
           Set(Dev(wheel) + (simulate ? "SIMULATION.ENABLE=On" : "SIMULATION.DISABLE=On")) &&
           SetAndWait(wheel, "CONNECTION", "CONNECT=On") == "Ok";
  }
  std::string Slot(char wheel, const std::string& slot) {
    return SetAndWait(wheel, "FILTER_SLOT", "FILTER_SLOT_VALUE=" + slot);
  }
  // One command line through COMMAND_LINE of wheel F; its REPLY (INDI's text
  // transport drops the joined reply's last blank).
  std::string Line(const std::string& line) {
    SetAndWait('F', "COMMAND_LINE", "LINE=" + line);
    return Get('F', "COMMAND_LINE.REPLY");
  }
  // What the driver told clients (indiserver's log of driver messages).
  std::string Messages() const {
    std::string all;
    for (const auto& f : std::filesystem::directory_iterator(home_.file("log")))
      all += std::string(std::istreambuf_iterator<char>(std::ifstream(f.path()).rdbuf()), {});
    return all;
  }
  // The driver's open files (it is indiserver's one child).
  std::string DriverFiles() const {
    const std::string server = std::to_string(server_->pid());
    std::string pid, files;
    std::ifstream("/proc/" + server + "/task/" + server + "/children") >> pid;
    for (const auto& f : std::filesystem::directory_iterator("/proc/" + pid + "/fd"))
      files += std::filesystem::read_symlink(f.path()).string() + "\n";
    return files;
  }
  // The controllers on a pseudo-terminal that the configuration names.
  std::unique_ptr<sim::ControllerSim> StartLine() {
    auto s = std::make_unique<sim::ControllerSim>(*sim::KindFromConfig(dir_.path()),
                                                  sim::UnitsFromParamFiles(dir_.path()));
    s->Start();
    SetKey("ZR_CONFIG.TXT", "PORTDEVICE", s->SlavePath());
    return s;
  }

  test::TempDir dir_, home_;
  const std::string port_ = std::to_string(FreeLoopbackPort());
  const std::vector<std::pair<std::string, std::string>> env_{{"HOME", home_.path()},
                                                              {"XDG_RUNTIME_DIR", home_.path()}};
  std::unique_ptr<BackgroundProcess> server_;
};

TEST_F(IndiDriver, MovesReadsBackNamesSlotsClosesThePortAndServesTwoClients) {
  ASSERT_TRUE(Connect('F'));
  EXPECT_EQ(Get('F', "FILTER_SLOT.FILTER_SLOT_VALUE"), "1");
  for (const auto& [slot, name] : {std::pair{1, "CLEAR"}, {2, "RED"}, {5, "Filter 5"}, {6, "DARK"}})
    EXPECT_EQ(Get('F', "FILTER_NAME.FILTER_SLOT_NAME_" + std::to_string(slot)), name);
  EXPECT_EQ(Slot('F', "3"), "Ok");
  EXPECT_EQ(Get('F', "FILTER_SLOT.FILTER_SLOT_VALUE"), "3");
  EXPECT_EQ(Line("CON 1Z"), "1Z 1067 ;");  // the controller stands at filter 3
  EXPECT_EQ(Line("F ??"), "F 3 ;");
  for (const char* bad : {"0", "7", "2.5"}) {
    EXPECT_EQ(Slot('F', bad), "Alert") << bad;
    EXPECT_EQ(Line("CON 1Z"), "1Z 1067 ;") << bad;
  }
  EXPECT_NE(Messages().find("Slot 7 is not a filter of wheel F: choose 1 to 6."),
            std::string::npos);
  EXPECT_EQ(Get('F', "WHEEL_HOME._STATE"), "Idle");
  Set(Dev('F') + "WHEEL_HOME.HOME=On");
  EXPECT_TRUE(Until('F', "WHEEL_HOME._STATE", "==1"));
  EXPECT_EQ(Get('F', "FILTER_SLOT.FILTER_SLOT_VALUE"), "1");

  EXPECT_NE(DriverFiles().find("/dev/pts/"), std::string::npos);
  ASSERT_TRUE(Set(Dev('F') + "CONNECTION.DISCONNECT=On"));
  EXPECT_TRUE(Until('F', "CONNECTION.CONNECT", "==0"));
  EXPECT_EQ(DriverFiles().find("/dev/pts/"), std::string::npos) << DriverFiles();
  EXPECT_EQ(DriverFiles().find("norvantix.lock"), std::string::npos);

  // Connected again with a slow wheel F (its move to slot 3, 1067 steps, takes
  // about 4 s): another client moves the other wheel meanwhile.
  SetKey("ZR_PARW1.TXT", "W1SLEWVELOCITY", "250");
  SetKey("ZR_PARW1.TXT", "W1INITVELOCITY", "100");
  ASSERT_TRUE(Connect('F'));
  EXPECT_EQ(Get('B', "PROGRAM_DIR.DIR"), dir_.path());  // one setting of the driver
  ASSERT_TRUE(Connect('B'));
  BackgroundProcess slowMove(
      {Bin("indi_setprop"), "-p", port_, Dev('F') + "FILTER_SLOT.FILTER_SLOT_VALUE=3"}, env_);
  EXPECT_TRUE(Until('F', "FILTER_SLOT._STATE", "==2"));
  EXPECT_EQ(Slot('B', "4"), "Ok");  // another client, the other wheel, meanwhile
  EXPECT_EQ(Get('F', "FILTER_SLOT._STATE"), "Busy");
  EXPECT_TRUE(Until('F', "FILTER_SLOT._STATE", "==1"));
  EXPECT_EQ(Get('F', "FILTER_SLOT.FILTER_SLOT_VALUE"), "3");
  EXPECT_EQ(Get('B', "FILTER_SLOT.FILTER_SLOT_VALUE"), "4");
}

TEST_F(IndiDriver, ControllerThatStopsAnsweringTurnsTheMoveToAlert) {
  SetKey("ZR_PARW1.TXT", "W1SLEWVELOCITY", "250");
  auto line = StartLine();
  ASSERT_TRUE(Connect('F', false));
  Set(Dev('F') + "FILTER_SLOT.FILTER_SLOT_VALUE=4");
  EXPECT_TRUE(Until('F', "FILTER_SLOT._STATE", "==2"));
  sim::SimOptions silent = line->Options();
  silent.fault = sim::Fault::kNoReply;
  line->SetOptions(silent);
  // Within the move time-out (8 s here).
  EXPECT_TRUE(Until('F', "FILTER_SLOT._STATE", "==3", 12));
}

TEST_F(IndiDriver, ConnectingFailsWithAReasonAndSendsNothingWhenRefused) {
  const struct {
    const char* key;  // a configuration change, or "lock": another instance runs
    const char* value;
    char wheel;
    const char* why;
  } cases[] = {
      {"lock", "", 'F', "Norvantix is already running"},
      {"W2_INSTALLED", "0", 'B', "wheel B is not installed"},
      {"CONTRTYPE", "EZHR17", 'F', "wheel F does not answer"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.key);
    auto line = StartLine();
    const bool other = std::string(c.key) == "lock";
    if (other) { ASSERT_TRUE(AcquireSingleInstance(home_.file("norvantix.lock"))); }
    if (!other) SetKey("ZR_CONFIG.TXT", c.key, c.value);
    line->ClearRequests();
    EXPECT_FALSE(Connect(c.wheel, false));
    EXPECT_EQ(Get(c.wheel, "CONNECTION._STATE"), "Alert");
    EXPECT_NE(Messages().find(c.why), std::string::npos) << Messages();
    if (other) { EXPECT_TRUE(line->Requests().empty()); }
    ReleaseSingleInstance();
  }
}

}  // namespace
}  // namespace nvx
