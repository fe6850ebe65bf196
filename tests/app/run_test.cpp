// norvantix --run FILE as a process against simulated controllers that the
// test holds, so that the wheels' moves are checked on the simulator.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/joystick.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <thread>

#include "sim/sim.h"
#include "support/process.h"
#include "support/temp_dir.h"

namespace nvx {
namespace {

class RunProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_.copyFrom(NVX_DATA_DIR);
    sim::SimOptions o{.speed_factor = 20};
    sim_ = std::make_unique<sim::ControllerSim>(sim::ControllerKind::kIM483I,
                                                sim::UnitsFromParamFiles(dir_.path()), o);
    ASSERT_EQ(sim_->Start(), 1);
    dir_.writeRaw("ZR_CONFIG.TXT",
                  dir_.read("ZR_CONFIG.TXT") + "\"PORTDEVICE\"," + sim_->SlavePath() + "\r\n");
  }
  std::vector<std::string> Args(const std::string& program) {
    dir_.write("P.PRG", program);
    return {NVX_PROGRAM, "--dir", dir_.path(), "--run", dir_.file("P.PRG")};
  }
  test::ProcessResult Run(const std::string& program) {
    return test::RunProcess(Args(program), env_, 120000);
  }
  test::TempDir dir_, runtime_;
  std::vector<std::pair<std::string, std::string>> env_{{"XDG_RUNTIME_DIR", runtime_.path()}};
  std::unique_ptr<sim::ControllerSim> sim_;
};

TEST_F(RunProgram, OutputsRefusalsErrorsPausesAndSignals) {
  struct Case {
    const char* program;
    std::string out;
    const char* err;
    int code;
  };
  // One pass of the outer block; the inner block's marked line is shown as it stands.
  const std::string R = "Repeat 2 Times",
                    pass = R +
                           " -> OK  ; \n        F Next -> OK  ; \n"
                           "    Endrepeat -> OK  ; \n" +
                           R +
                           " : Rep.# 1 -> OK  ; \n        F Next -> OK  ; \n"
                           "    Endrepeat -> OK  ; \n    B Next -> OK  ; \nEndrepeat -> OK  ; \n";
  const Case cases[] = {
      {nullptr, "", " does not exist", 1},
      {"F 1\nEndrepeat\n", "", "Program has mistakes", 1},
      // The outer block's second pass starts the inner one anew.
      {"F Home;B Home\nRepeat 2 Times\nRepeat 2 Times\nF Next\nEndrepeat\nB Next\nEndrepeat\n"
       "F Wait;B Wait\nF ??;B ??\nEnd\n",
       "F Home;B Home -> OK  ; OK  ; \n" + R + " -> OK  ; \n    " + pass + R +
           " : Rep.# 1 -> OK  ; \n" + pass +
           "F Wait;B Wait -> OK  ; OK  ; \nF ??;B ?? -> F 5 ; B 3 ; \n"
           "PROGRAM FINISHED\n",
       "Executing Repeat.2 Times : Rep.# 1\n", 0},
      {"F 2\nF Foo\nF 4\nEnd\n", "F 2 -> OK  ; \nF Foo -> Error  ; \nPROGRAM STOPPED\n", "", 1},
      {"Ver\nStop\nVer\n", "Ver -> 4.0 ; \nStop -> OK  ; \nPROGRAM PAUSED\n", "", 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.program ? c.program : "missing");
    auto args = Args(c.program ? c.program : "");
    if (!c.program) args.back() = dir_.file("NONE.PRG");
    const auto r = test::RunProcess(args, env_, 120000);
    EXPECT_EQ(r.out, c.out);
    EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
    EXPECT_EQ(r.exitCode, c.code);
    if (c.code != 0) continue;
    // Four filters on from filter 1 on wheel F, two on wheel B (6 filters).
    EXPECT_NEAR(std::fmod(*sim_->Position('1'), 3200), 4 * 3200 / 6.0, 1);
    EXPECT_NEAR(std::fmod(*sim_->Position('2'), 3200), 2 * 3200 / 6.0, 1);
  }
  // The wheel stands where the failing line left it: at filter 2, no move to 4.
  EXPECT_EQ(Run("F ??\n").out, "F ?? -> F 2 ; \nPROGRAM FINISHED\n");

  for (int sig : {SIGTERM, SIGINT}) {
    SCOPED_TRACE(sig);
    auto args = Args("Repeat 30000 Times\nDelay 20\nEndrepeat\nEnd\n");
    std::remove(dir_.file("out").c_str());
    std::string cmd = "exec";
    for (const auto& a : args) cmd += " '" + a + "'";
    test::BackgroundProcess p({"/bin/sh", "-c", cmd + " > " + dir_.file("out") + " 2>/dev/null"},
                              env_);
    for (int i = 0; i < 500 && dir_.read("out").find("Endrepeat -> OK") == std::string::npos; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    p.Kill(sig);
    EXPECT_EQ(p.Wait(20000), 1);
    EXPECT_TRUE(dir_.read("out").ends_with(" ; \nPROGRAM INTERRUPTED\n")) << dir_.read("out");
    // The port was closed and the lock released: the next run has the line.
    EXPECT_EQ(Run("F ?\n").exitCode, 0);
  }
}

// The window program polls a FIFO as its joystick: one poll takes a row's records, the next
// a record of axis 2 at rest, once the row's command has ended.
TEST_F(RunProgram, JoystickButtonsAndFullDeflectionsStepWheelF) {
  const std::string js = dir_.file("js");
  ASSERT_EQ(::mkfifo(js.c_str(), 0600), 0);
  dir_.writeRaw("ZR_JOYCMDS.TXT", "Joy On\r\nF Next\r\nF Next ;F 4\r\nJoy WZ\r\n");
  test::BackgroundProcess p({NVX_PROGRAM, "--dir", dir_.path(), "--joystick", js},
                            {{"XDG_RUNTIME_DIR", runtime_.path()},
                             {"QT_QPA_PLATFORM", "offscreen"},
                             {"DBUS_SESSION_BUS_ADDRESS", "unix:path=" + js}});  // no bus
  int fd = -1, waiting = 0;
  for (int i = 0; i < 6000 && fd < 0; ++i, ::usleep(10000))
    fd = ::open(js.c_str(), O_WRONLY | O_NONBLOCK);
  ASSERT_GE(fd, 0) << "the program did not open its joystick";
  auto B = [](uint8_t n, int16_t v) { return js_event{0, v, JS_EVENT_BUTTON, n}; };
  auto X = [](int16_t v) { return js_event{0, v, JS_EVENT_AXIS, 0}; };
  const double start = *sim_->Position('1');
  // clang-format off
  const struct {
    std::vector<js_event> ev;
    int steps;
  } rows[] = {
      {{}, 0}, {{}, 0}, {{B(0, 1)}, 1}, {{}, 1},  // (start-up readings) button 1 "F Next", held: once
      {{B(1, 1)}, 1}, {{B(0, 0)}, 2},  // 1 and 2 read as none; 2: "F Next ;F 4" is one command
      {{B(1, 0), X(32767)}, 2}, {{X(0), B(3, 1)}, 2},  // mode XY: no step; 4: no entry
      {{B(3, 0)}, 2}, {{B(2, 1)}, 2}, {{B(2, 0), X(32767)}, 3}, {{}, 3},  // 3: "Joy WZ"; one step
      {{X(12124)}, 3}, {{X(32767)}, 3}, {{X(0)}, 3}, {{X(32767)}, 4}};  // +300 is not back, 0 is
  // clang-format on
  for (const auto& r : rows) {
    for (const auto& ev : {r.ev, std::vector<js_event>{{0, 0, JS_EVENT_AXIS, 1}}}) {
      ASSERT_EQ(::write(fd, ev.data(), ev.size() * sizeof(js_event)),
                ssize_t(ev.size() * sizeof(js_event)));
      for (int i = 0; i < 12000 && ::ioctl(fd, FIONREAD, &waiting) == 0 && waiting > 0; ++i)
        ::usleep(5000);
      ASSERT_EQ(waiting, 0);
    }
    EXPECT_NEAR(std::fmod(*sim_->Position('1') - start + 32000, 3200), r.steps * 3200 / 6.0, 1)
        << r.steps;
  }
  ::close(fd);
}

}  // namespace
}  // namespace nvx
