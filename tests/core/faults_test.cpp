// Faults on the line and in the program directory, against the program as it starts up
// (in-process, on a fake clock) with the simulated controllers on a pseudo-terminal.
// Line rows: the command run during the fault fails ("Error ", or "Off " for a port that could
// not be opened again) within its time-outs; once the fault is gone the next commands work.
// File rows: a write into a read-only or full program directory fails and leaves the directory
// as it was, with no temporary file; the same write works afterwards. (Parameter and joystick
// calibration files are the params and joystick tests'.)
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <thread>

#include "comm/comm.h"
#include "core/app.h"
#include "core/commands.h"
#include "core/main_model.h"
#include "core/tick.h"
#include "interp/interp.h"
#include "joystick/joystick.h"
#include "support/app_fixture.h"

namespace nvx {
namespace {

using Kind = sim::ControllerKind;
using test::AppFixture;

constexpr int kPortTimeoutMs = 250;
constexpr int kMoveTimeoutS = 5;
// The longest a command may take while the line is faulty: a wait, the move
// time-out (counted in whole seconds, so up to one more) and two reply
// time-outs around it; one exchange, its reply time-out.
constexpr int64_t kWaitMs = (kMoveTimeoutS + 1) * 1000 + 2 * kPortTimeoutMs;
constexpr int64_t kExchangeMs = 2 * kPortTimeoutMs;
const char* const kRecovery = "F Wait;F 4;F Wait;F ??";
const char* const kRecovered = "OK  ; OK  ; OK  ; F 4 ; ";
const sim::SimOptions kFast{.speed_factor = 20};

enum class How {
  kSim,        // the simulator's fault for `count` requests from the faulty command on
  kLateReply,  // one reply comes after its time-out, before the next command
  kHangUp,     // the line hangs up (pseudo-terminal closed) during the wait
  kRemoved,    // the device goes away and the port is opened again meanwhile
  kUnload,     // "Unload" closes the port: wheel commands fail
};

struct LineFault {
  const char* name;
  int kinds;  // 1: IM483I, 2: EZHR17, 3: both
  How how;
  sim::Fault fault;
  int count;
  const char* during;  // after "F 3" started a move
  int64_t longestMs;   // the fake time it may take at most
};

TEST(Faults, OnTheLine) {
  // clang-format off
  const LineFault cases[] = {
      {"stops answering mid-move", 3, How::kSim, sim::Fault::kNoReply, -1, "F Wait", kWaitMs},
      {"garbage", 3, How::kSim, sim::Fault::kGarbled, 1, "F ?", kExchangeMs},
      {"wrong echo", 1, How::kSim, sim::Fault::kWrongCase, 1, "F ?", kExchangeMs},
      {"drive error", 2, How::kSim, sim::Fault::kErrorStatus, 1, "F ?", kExchangeMs},
      {"partial reply", 3, How::kSim, sim::Fault::kPartial, 1, "F ?", kExchangeMs},
      {"stale bytes after a time-out", 3, How::kLateReply, sim::Fault::kNone, 0, "F ?", kExchangeMs},
      {"hang-up during a wait", 3, How::kHangUp, sim::Fault::kHangUp, -1, "F Wait", kWaitMs},
      {"device removed", 3, How::kRemoved, sim::Fault::kNone, 0, "F 5", kExchangeMs},
      {"port closed by Unload", 3, How::kUnload, sim::Fault::kNone, 0, "Unload;F 2", kExchangeMs},
  };
  // clang-format on
  std::unique_ptr<AppFixture> app;
  std::string link;
  auto relink = [&] {
    std::filesystem::remove(link);
    std::filesystem::create_symlink(app->sim->SlavePath(), link);
  };
  for (size_t row = 0; row < 2 * std::size(cases); ++row) {
    const LineFault& c = cases[row / 2];
    const Kind kind = row % 2 ? Kind::kEZHR17 : Kind::kIM483I;
    if (!(c.kinds & (row % 2 ? 2 : 1))) continue;
    SCOPED_TRACE(std::string(c.name) + " on " + sim::ControllerKindName(kind));
    app = std::make_unique<AppFixture>(&kind);
    // The port is a link to the pseudo-terminal, as a udev name is to a
    // USB adapter, so that the device can go and come back.
    link = app->dir.file("ttyNVX");
    relink();
    app->SetConfig("PORTDEVICE", link);
    app->SetConfig("PORTTIMEOUT", std::to_string(kPortTimeoutMs));
    app->SetConfig("MOVETIMEOUT", std::to_string(kMoveTimeoutS));
    ASSERT_EQ(app->Start(), 1) << CommErrLogText();
    ASSERT_EQ(ExecCmdLine("F 3"), "OK  ; ");
    sim::SimOptions o = kFast;
    o.fault = c.fault;
    o.fault_count = c.count;
    if (c.how == How::kLateReply) o.reply_delay_ms = kPortTimeoutMs + 200;
    app->sim->SetOptions(o);
    const uint64_t sent = app->sim->BytesSent();
    if (c.how == How::kRemoved) {
      app->sim->Stop();
      std::filesystem::remove(link);
      MainWin().ConfigurationClick();  // the configuration's "OK": the port closed and opened again
    }

    const int64_t t0 = app->time.clock.ElapsedMs();
    std::vector<std::string> replies;
    ExecCmdLine(c.during, &replies);
    EXPECT_LE(app->time.clock.ElapsedMs() - t0, c.longestMs);
    EXPECT_TRUE(std::any_of(replies.begin(), replies.end(), ReplyCountsAsFailed));
    PeriodicTick();  // the port's events, as the window's timer delivers them

    // The fault goes.
    if (c.how == How::kLateReply) {
      // The late reply arrives while the line is quiet, before the next command.
      for (int i = 0; i < 200 && app->sim->BytesSent() == sent; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
      ASSERT_GT(app->sim->BytesSent(), sent);
      // ... and is in the port's input (looked at, not read).
      const int fd = ::open(link.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
      pollfd p{fd, POLLIN, 0};
      ASSERT_EQ(::poll(&p, 1, 5000), 1);
      ::close(fd);
    }
    if (c.how == How::kHangUp || c.how == How::kRemoved) {
      // A new simulator on a new pseudo-terminal, behind the same link.
      app->sim->Stop();
      app->sim = std::make_unique<sim::ControllerSim>(
          kind, sim::UnitsFromParamFiles(app->dir.path()), kFast);
      app->time.FollowSim(*app->sim);
      ASSERT_EQ(app->sim->Start(), 1);
      relink();
      MainWin().ConfigurationClick();
    } else if (c.how == How::kUnload) {
      MainWin().Load();
      ASSERT_EQ(OpenConfiguredPort(), 1);
    } else {
      app->sim->SetOptions(kFast);
    }
    EXPECT_EQ(ExecCmdLine(kRecovery), kRecovered) << CommErrLogText();
    app.reset();
  }
}

// --- files ---

enum class Dir { kReadOnly, kFull };

// Runs a write in a child process whose program directory is read-only (as
// seen by an unprivileged user) or full (no file may grow past 16 bytes);
// true when the write reported its failure.
bool FailsIn(Dir how, const std::string& dir, const std::function<bool()>& writeFailed) {
  const pid_t pid = fork();
  if (pid == 0) {
    if (how == Dir::kReadOnly) {
      ::chmod(dir.c_str(), 0555);
      // Root writes anywhere: the write runs as nobody.
      if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(3);
    } else {
      ::signal(SIGXFSZ, SIG_IGN);
      const rlimit small{16, 16};
      ::setrlimit(RLIMIT_FSIZE, &small);
    }
    _exit(writeFailed() ? 0 : 1);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  ::chmod(dir.c_str(), 0700);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::map<std::string, std::string> Files(const test::TempDir& dir) {
  std::map<std::string, std::string> files;
  for (const auto& e : std::filesystem::directory_iterator(dir.path())) {
    files[e.path().filename().string()] = dir.read(e.path().filename().string());
  }
  return files;
}

TEST(FileFaults, ReadOnlyOrFullDirectory) {
  struct Case {
    const char* name;
    const char* file;
    std::function<int16_t()> write;  // 1 when written
  };
  std::string interpMsg;
  SetInterpMessageSink([&](const std::string& text) { interpMsg = text; });
  ProgramFileDialogs dialogs;
  const Case cases[] = {
      {"joystick commands", "ZR_JOYCMDS.TXT",
       [] {
         JoyCommands().items = {"Ver", "F Next", "B Next"};
         return SaveJoyCmds();
       }},
      {"program", "SAMPLE.PRG",
       [&] {
         SetProgram({"Repeat 2 Times", "F Next", "Endrepeat"});
         WriteProgram(dialogs);
         return static_cast<int16_t>(interpMsg == "Program written" ? 1 : -1);
       }},
  };
  for (const Case& c : cases) {
    for (Dir how : {Dir::kReadOnly, Dir::kFull}) {
      SCOPED_TRACE(std::string(c.name) + (how == Dir::kFull ? " full" : " read-only"));
      AppFixture app;
      app.Start();
      dialogs.choose = [&app](const std::string&, const std::string&, const std::string&,
                              const std::string&, std::string& dir, std::string& file) {
        dir = app.dir.path();
        file = "SAMPLE.PRG";
      };
      dialogs.confirm = [](const std::string&, const std::string&) { return true; };
      const auto before = Files(app.dir);
      EXPECT_TRUE(FailsIn(how, app.dir.path(), [&] { return c.write() < 0; }));
      EXPECT_EQ(Files(app.dir), before);
      // The same write once the fault is gone.
      EXPECT_EQ(c.write(), 1);
      EXPECT_NE(app.dir.read(c.file), before.at(c.file));
      EXPECT_EQ(Files(app.dir).size(), before.size());
    }
  }
  SetInterpMessageSink(nullptr);
}

}  // namespace
}  // namespace nvx
