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
#include <sstream>

#include "core/app.h"
#include "sim/sim.h"
#include "support/process.h"
#include "support/temp_dir.h"

namespace nvx {
namespace {

using test::BackgroundProcess;
using test::RunProcess;
using test::TempDir;

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

class IndiDriver : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_.copyFrom(NVX_DATA_DIR);
    SetKey("ZR_CONFIG.TXT", "MOVETIMEOUT", "8");
    port_ = std::to_string(FreeLoopbackPort());
    std::filesystem::create_directory(home_.file("log"));
    // indiserver's own chatter goes to a file; -l keeps the driver's messages.
    server_ = std::make_unique<BackgroundProcess>(
        std::vector<std::string>{"/bin/sh", "-c", "exec \"$@\" 2>" + home_.file("server.log"), "sh",
                                 Bin("indiserver"), "-p", port_, "-u", home_.file("socket"), "-r",
                                 "0", "-l", home_.file("log"), NVX_INDI_DRIVER},
        Env());
    for (int i = 0; i < 100 && Get("Norvantix B.CONNECTION.CONNECT").empty(); ++i) usleep(100000);
  }

  std::vector<std::pair<std::string, std::string>> Env() const {
    return {{"HOME", home_.path()}, {"XDG_RUNTIME_DIR", home_.path()}};
  }
  // Replaces (or adds) one key of a data file.
  void SetKey(const std::string& file, const std::string& key, const std::string& value) {
    std::string text = dir_.read(file);
    const auto p = text.find("\"" + key + "\"");
    if (p != std::string::npos) text.erase(p, text.find("\r\n", p) + 2 - p);
    dir_.writeRaw(file, text + "\"" + key + "\"," + value + "\r\n");
  }
  bool Set(const std::string& spec) {
    return RunProcess({Bin("indi_setprop"), "-p", port_, spec}, Env(), 20000).exitCode == 0;
  }
  std::string Get(const std::string& what) {
    std::string v =
        RunProcess({Bin("indi_getprop"), "-1", "-t", "5", "-p", port_, what}, Env()).out;
    return v.substr(0, v.find('\n'));
  }
  // Waits until an indi_eval expression holds.
  bool Until(const std::string& expr, int seconds = 20) {
    return RunProcess({Bin("indi_eval"), "-w", "-t", std::to_string(seconds), "-p", port_, expr},
                      Env(), (seconds + 10) * 1000)
               .exitCode == 0;
  }
  bool Connect(char wheel, bool simulate = true) {
    const std::string d = std::string("Norvantix ") + wheel + ".";
    return Set(d + "PROGRAM_DIR.DIR=" + dir_.path()) &&
           Set(d + (simulate ? "SIMULATION.ENABLE=On" : "SIMULATION.DISABLE=On")) &&
           Set(d + "CONNECTION.CONNECT=On") && Until("\"" + d + "CONNECTION._STATE\"!=2") &&
           Get(d + "CONNECTION._STATE") == "Ok";
  }
  // FILTER_SLOT of a wheel := slot, and its state once the driver is done.
  std::string Slot(char wheel, const std::string& slot) {
    const std::string p = std::string("Norvantix ") + wheel + ".FILTER_SLOT.";
    Set(p + "FILTER_SLOT_VALUE=" + slot);
    Until("\"" + p + "_STATE\"!=2");
    return Get(p + "_STATE");
  }
  // One command line through COMMAND_LINE of wheel F; its REPLY (INDI's text
  // transport drops the joined reply's last blank).
  std::string Line(const std::string& line) {
    Set("Norvantix F.COMMAND_LINE.LINE=" + line);
    Until("\"Norvantix F.COMMAND_LINE._STATE\"!=2");
    return Get("Norvantix F.COMMAND_LINE.REPLY");
  }
  // What the driver told clients (indiserver's log of driver messages).
  std::string Messages() const {
    std::string all;
    for (const auto& f : std::filesystem::directory_iterator(home_.file("log"))) {
      std::ifstream in(f.path());
      all += std::string(std::istreambuf_iterator<char>(in), {});
    }
    return all;
  }
  // The driver's open files (it is indiserver's one child).
  std::string DriverFiles() const {
    std::ifstream c("/proc/" + std::to_string(server_->pid()) + "/task/" +
                    std::to_string(server_->pid()) + "/children");
    std::string pid, files;
    c >> pid;
    for (const auto& f : std::filesystem::directory_iterator("/proc/" + pid + "/fd")) {
      files += std::filesystem::read_symlink(f.path()).string() + "\n";
    }
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

  TempDir dir_, home_;
  std::string port_;
  std::unique_ptr<BackgroundProcess> server_;
};

TEST_F(IndiDriver, MovesReadsBackNamesSlotsAndClosesThePortOnDisconnect) {
  ASSERT_TRUE(Connect('F'));
  EXPECT_EQ(Get("Norvantix F.FILTER_SLOT.FILTER_SLOT_VALUE"), "1");
  const std::pair<int, const char*> names[] = {
      {1, "CLEAR"}, {2, "RED"}, {5, "Filter 5"}, {6, "DARK"}};
  for (const auto& [slot, name] : names) {
    EXPECT_EQ(Get("Norvantix F.FILTER_NAME.FILTER_SLOT_NAME_" + std::to_string(slot)), name);
  }
  EXPECT_EQ(Slot('F', "3"), "Ok");
  EXPECT_EQ(Get("Norvantix F.FILTER_SLOT.FILTER_SLOT_VALUE"), "3");
  EXPECT_EQ(Line("CON 1Z"), "1Z 1067 ;");  // the controller stands at filter 3
  EXPECT_EQ(Line("F ??"), "F 3 ;");
  for (const char* bad : {"0", "7", "2.5"}) {
    EXPECT_EQ(Slot('F', bad), "Alert") << bad;
    EXPECT_EQ(Line("CON 1Z"), "1Z 1067 ;") << bad;
  }
  EXPECT_NE(Messages().find("Slot 7 is not a filter of wheel F: choose 1 to 6."),
            std::string::npos);
  EXPECT_EQ(Get("Norvantix F.WHEEL_HOME._STATE"), "Idle");
  Set("Norvantix F.WHEEL_HOME.HOME=On");
  EXPECT_TRUE(Until("\"Norvantix F.WHEEL_HOME._STATE\"==1"));
  EXPECT_EQ(Get("Norvantix F.FILTER_SLOT.FILTER_SLOT_VALUE"), "1");

  EXPECT_NE(DriverFiles().find("/dev/pts/"), std::string::npos);
  ASSERT_TRUE(Set("Norvantix F.CONNECTION.DISCONNECT=On"));
  EXPECT_TRUE(Until("\"Norvantix F.CONNECTION.CONNECT\"==0"));
  EXPECT_EQ(DriverFiles().find("/dev/pts/"), std::string::npos) << DriverFiles();
  EXPECT_EQ(DriverFiles().find("norvantix.lock"), std::string::npos);
}

TEST_F(IndiDriver, TwoClientsAndTwoWheelsAtOnce) {
  // A slow wheel F: its move to slot 3 (1067 steps) takes about 4 s.
  SetKey("ZR_PARW1.TXT", "W1SLEWVELOCITY", "250");
  SetKey("ZR_PARW1.TXT", "W1INITVELOCITY", "100");
  ASSERT_TRUE(Connect('F'));
  EXPECT_EQ(Get("Norvantix B.PROGRAM_DIR.DIR"), dir_.path());  // one setting of the driver
  ASSERT_TRUE(Connect('B'));
  BackgroundProcess slowMove(
      {Bin("indi_setprop"), "-p", port_, "Norvantix F.FILTER_SLOT.FILTER_SLOT_VALUE=3"}, Env());
  EXPECT_TRUE(Until("\"Norvantix F.FILTER_SLOT._STATE\"==2"));
  EXPECT_EQ(Slot('B', "4"), "Ok");  // another client, the other wheel, meanwhile
  EXPECT_EQ(Get("Norvantix F.FILTER_SLOT._STATE"), "Busy");
  EXPECT_TRUE(Until("\"Norvantix F.FILTER_SLOT._STATE\"==1"));
  EXPECT_EQ(Get("Norvantix F.FILTER_SLOT.FILTER_SLOT_VALUE"), "3");
  EXPECT_EQ(Get("Norvantix B.FILTER_SLOT.FILTER_SLOT_VALUE"), "4");
}

TEST_F(IndiDriver, ControllerThatStopsAnsweringTurnsTheMoveToAlert) {
  SetKey("ZR_PARW1.TXT", "W1SLEWVELOCITY", "250");
  auto line = StartLine();
  ASSERT_TRUE(Connect('F', false));
  Set("Norvantix F.FILTER_SLOT.FILTER_SLOT_VALUE=4");
  EXPECT_TRUE(Until("\"Norvantix F.FILTER_SLOT._STATE\"==2"));
  sim::SimOptions silent = line->Options();
  silent.fault = sim::Fault::kNoReply;
  line->SetOptions(silent);
  // Within the move time-out (8 s here).
  EXPECT_TRUE(Until("\"Norvantix F.FILTER_SLOT._STATE\"==3", 12));
}

TEST_F(IndiDriver, ConnectingFailsWithAReasonAndSendsNothingWhenRefused) {
  struct Case {
    const char* key;  // a configuration change, or "lock": another instance runs
    const char* value;
    char wheel;
    const char* why;
  };
  const Case cases[] = {
      {"lock", "", 'F', "Norvantix is already running"},
      {"W2_INSTALLED", "0", 'B', "wheel B is not installed"},
      {"CONTRTYPE", "EZHR17", 'F', "wheel F does not answer"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key);
    auto line = StartLine();
    const bool other = std::string(c.key) == "lock";
    if (other) {
      ASSERT_TRUE(AcquireSingleInstance(home_.file("norvantix.lock")));
    } else {
      SetKey("ZR_CONFIG.TXT", c.key, c.value);
    }
    line->ClearRequests();
    EXPECT_FALSE(Connect(c.wheel, false));
    EXPECT_EQ(Get(std::string("Norvantix ") + c.wheel + ".CONNECTION._STATE"), "Alert");
    EXPECT_NE(Messages().find(c.why), std::string::npos) << Messages();
    if (other) { EXPECT_TRUE(line->Requests().empty()); }
    ReleaseSingleInstance();
  }
}

}  // namespace
}  // namespace nvx
