// The wheel operations against simulated controllers on a pseudo-terminal:
// the whole road through the dispatch, the drivers and the serial link, on a
// fake clock.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "base/numbers.h"
#include "base/settings.h"
#include "comm/comm.h"
#include "controllers/allmotion.h"
#include "controllers/motcon.h"
#include "sim/sim.h"
#include "support/fake_time.h"
#include "wheels/wheels.h"
#include "wheels_fixture.h"

namespace nvx::test {
namespace {

using sim::ControllerKind;
using sim::ControllerSim;
using sim::UnitConfig;

// Moves at a fixed speed so a test never waits long; 4000 steps/s turns
// half a revolution in 0.4 s.
sim::SimOptions Fast(double stepsPerS = 4000) {
  sim::SimOptions o;
  o.fixed_steps_per_s = stepsPerS;
  return o;
}

// Counted position modulo one revolution, 0..3199.
double Wrapped(double p) {
  double r = std::fmod(p, 3200.0);
  return r < 0 ? r + 3200.0 : r;
}

class SimWheelTest : public WheelDirTest, public ::testing::WithParamInterface<ControllerKind> {
 protected:
  bool Ez() const { return GetParam() == ControllerKind::kEZHR17; }
  char A1() const { return Ez() ? '1' : 'A'; }
  char A2() const { return Ez() ? '2' : 'B'; }

  // Starts the simulator with the given units and opens the link to it.
  void Open(std::vector<UnitConfig> units, sim::SimOptions options = Fast()) {
    sim_ = std::make_unique<ControllerSim>(GetParam(), std::move(units), options);
    time_.FollowSim(*sim_);
    ASSERT_EQ(sim_->Start(), 1);
    SetControllerType(AppSettings(), Ez() ? "EZHR17" : "IM483I");
    AppSettings().MoveTimeout = 10;
    AppSettings().WaitPollingInterval = 5;
    AllMotionCntrl::ModeWord = 0;
    CommInit(MotorSetLineEnds);
    SetPortDevice(sim_->SlavePath());
    ASSERT_EQ(CommOpenPort(1), -1);
    SetPortTimeout(300);
  }
  // Wheel file `n` for the unit at `a`.
  void PutW(int n, char a, const std::string& offset = "0", const std::string& filt = "6") {
    PutWheel(n, {.contr = std::string(1, a), .offset = offset, .filt = filt});
  }
  // Two units at the default addresses and both wheel files: wheel 1 six
  // filters, wheel 2 eight.
  void OpenTwo(sim::SimOptions options = Fast()) {
    PutW(1, A1());
    PutW(2, A2(), "0", "8");
    Open({{.address = A1()}, {.address = A2()}}, options);
  }
  // Wheel 1 alone, installed.
  void OpenOne(const std::string& offset, UnitConfig u, sim::SimOptions options = Fast()) {
    PutW(1, A1(), offset);
    u.address = A1();
    Open({u}, options);
    AppSettings().WheelInstalled[1] = 1;
  }
  void InstallBoth() { AppSettings().WheelInstalled[1] = AppSettings().WheelInstalled[2] = 1; }
  // Both wheels installed and initialised, wheel 1 selected.
  void StartBoth() {
    InstallBoth();
    ASSERT_EQ(InitDevices(), 1);
    SelectWheel(1);
  }
  int16_t Filter() {  // the filter read from the controller
    int16_t k = 0;
    return GetFilter(k) == 1 ? k : -1;
  }
  void GoWait(int16_t n) {
    EXPECT_EQ(GoToFilter(n), 1) << n;
    EXPECT_EQ(WaitWheel(), 1) << n;
  }

  // The request of a command as it appears on the line for unit `a`.
  std::string Req(char a, const std::string& cmd) const {
    return Ez() ? "/" + std::string(1, a) + cmd + "\r" : std::string(1, a) + cmd + "\n";
  }
  bool Sent(const std::string& request) const {
    const auto r = sim_->Requests();
    return std::find(r.begin(), r.end(), request) != r.end();
  }
  void ExpectSent(const std::vector<std::string>& requests, bool sent = true) const {
    for (const auto& r : requests) EXPECT_EQ(Sent(r), sent) << r;
  }
  std::string Move(char a, int64_t steps) const {
    const std::string n = FormatInt(std::llabs(steps));
    return Ez() ? Req(a, (steps > 0 ? "P" : "D") + n + "R") : Req(a, (steps > 0 ? "+" : "-") + n);
  }
  double Pos(char a) const { return sim_->Position(a).value_or(1e9); }

  void TearDown() override {
    CommClosePort();
    CommUnload();
    SetPortDevice("");
    sim_.reset();
    WheelDirTest::TearDown();
  }

  FakeTime time_;
  std::unique_ptr<ControllerSim> sim_;
};

TEST_P(SimWheelTest, InitDevicesThenGoToNextPrevJoystickAndGetFilter) {
  OpenTwo();
  InstallBoth();
  ASSERT_EQ(InitDevices(), 1);
  EXPECT_EQ(WheelOnline(1), 1);
  EXPECT_EQ(WheelOnline(2), 1);
  EXPECT_EQ(GetJoyWheel(), 1);
  EXPECT_EQ(GetSelWheel(), 2);  // the last wheel initialised stays selected
  // The filter read during initialisation is not stored.
  EXPECT_EQ(CurFilter(1), 0);
  EXPECT_EQ(CurFilter(2), 0);
  EXPECT_TRUE(ui_.boxes.empty());

  // Wheel 1's configuration, in order, then its position read.
  const char* want =
      Ez() ? "/1j16R\r/1h10m50R\r/1V2000R\r/1L100R\r/1f0R\r/1n0R\r/1n1R\r/1B533R\r/1?0\r"
           : "AH 0\nAD 4\nAY 10 50\nAV 2000\nAI 500\nAK 100 100\nAB 10 50\nAl 0\nAZ\n";
  std::string first9;
  for (size_t i = 0; i < 9 && i < sim_->Requests().size(); ++i) first9 += sim_->Requests()[i];
  EXPECT_EQ(first9, want);
  // Wheel 2 has eight filters of 400 steps.
  if (Ez()) { EXPECT_TRUE(Sent("/2B400R\r")); }

  SelectWheel(1);
  ASSERT_EQ(GoToFilter(3), 1);
  EXPECT_EQ(CurFilter(1), 0);  // the caller stores the target
  EXPECT_EQ(WaitWheel(), 1);
  // Wheel, target filter, the one move sent, position and filter read after.
  // From 3 to 6 is half a revolution: the negative way; filter 9 of wheel 2's
  // eight is filter 1, by the short way.
  // clang-format off
  const struct { int16_t wheel, target; int64_t move; double pos; int16_t filter; } steps[] = {
      {1, 3, 1067, 1067, 3}, {1, 6, -1600, -533, 6}, {2, 8, -400, -400, 8}, {2, 9, 400, 0, 1}};
  // clang-format on
  for (const auto& s : steps) {
    SCOPED_TRACE(s.target);
    SelectWheel(s.wheel);
    const char a = s.wheel == 1 ? A1() : A2();
    if (s.target != 3) GoWait(s.target);
    EXPECT_TRUE(Sent(Move(a, s.move)));
    EXPECT_DOUBLE_EQ(Pos(a), s.pos);
    EXPECT_EQ(Filter(), s.filter);
    sim_->ClearRequests();
  }
  // A move while one is in progress waits for it: from 6 to 3 is -1600
  // (0.8 s), then 533 on to 4.
  SelectWheel(1);
  sim_->SetOptions(Fast(2000));
  ASSERT_EQ(GoToFilter(3), 1);
  GoWait(4);
  EXPECT_DOUBLE_EQ(Pos(A1()), -1600);
  EXPECT_EQ(Filter(), 4);

  // Next and previous: undetermined goes to N; 6 of 6 wraps to 1.
  CurFilter(1) = 0;
  // clang-format off
  const struct { int16_t (*op)(); int16_t filter; double pos; } turns[] = {
      {DevPrevFilter, 6, -533}, {DevNextFilter, 1, 0}, {DevPrevFilter, 6, -533}};
  // clang-format on
  for (const auto& s : turns) {
    ASSERT_EQ(s.op(), 1);
    EXPECT_EQ(CurFilter(1), s.filter);
    ASSERT_EQ(WaitWheel(), 1);
    EXPECT_DOUBLE_EQ(Pos(A1()), s.pos);
    EXPECT_EQ(Filter(), s.filter);
  }
  // The joystick steps its wheel once per deflection, selecting it.
  SelectWheel(2);
  ASSERT_EQ(GetJoyWheel(), 1);
  ASSERT_EQ(JoyStepWheel(-900, 1000), 1);
  EXPECT_EQ(CurFilter(1), 5);
  EXPECT_EQ(GetJoyStepLatch(), 1);
  EXPECT_EQ(GetSelWheel(), 1);
  EXPECT_EQ(ui_.captions, std::vector<int>{1});
  ASSERT_EQ(WaitWheel(), 1);
  EXPECT_DOUBLE_EQ(Pos(A1()), -1067);

  sim_->ClearRequests();
  // Held, not yet inside the dead band, still latched: nothing.
  for (int16_t a : std::initializer_list<int16_t>{-900, -200, 900}) {
    EXPECT_EQ(JoyStepWheel(a, 1000), 1) << a;
  }
  EXPECT_TRUE(sim_->Requests().empty());
  EXPECT_EQ(CurFilter(1), 5);
  EXPECT_EQ(JoyStepWheel(150, 1000), 1);  // re-arms
  EXPECT_EQ(GetJoyStepLatch(), 0);
  ASSERT_EQ(JoyStepWheel(801, 1000), 1);
  EXPECT_EQ(CurFilter(1), 6);
  EXPECT_EQ(ui_.captions, (std::vector<int>{1, 1}));
  ASSERT_EQ(WaitWheel(), 1);
  EXPECT_DOUBLE_EQ(Pos(A1()), -533);
  if (!Ez()) return;
  // EZHR17 positions are taken relative to HomeRef.
  ASSERT_TRUE(sim_->SetMechanicalPosition('1', 200));
  WheelPar(1).HomeRef = 200;
  EXPECT_EQ(Filter(), 1);
  GoWait(2);
  EXPECT_TRUE(Sent("/1P533R\r"));
  EXPECT_DOUBLE_EQ(Pos('1'), 733);
  WheelPar(1).HomeRef = 733 - 1600;  // now filter 4 stands in the beam
  EXPECT_EQ(Filter(), 4);
}

// One wheel file names an address no unit answers to: that wheel stays
// offline and the joystick goes to, and steps, the other.
TEST_P(SimWheelTest, UnreachableWheelStaysOffline) {
  for (int missing : {2, 1}) {
    SCOPED_TRACE(missing);
    const char present = missing == 2 ? A1() : A2();
    PutW(1, missing == 1 ? 'C' : A1());
    PutW(2, missing == 2 ? 'C' : A2());
    Open({{.address = present}});
    InstallBoth();
    if (missing == 1) SetJoyWheel(1);  // moves off the wheel that is offline
    EXPECT_EQ(InitDevices(), -1);
    EXPECT_EQ(WheelOnline(1), missing == 1 ? 0 : 1);
    EXPECT_EQ(WheelOnline(2), missing == 2 ? 0 : 1);
    EXPECT_EQ(GetJoyWheel(), 3 - missing);
    CurFilter(3 - missing) = 6;
    ASSERT_EQ(JoyStepWheel(1000, 1000), 1);
    EXPECT_EQ(CurFilter(3 - missing), 1);
    EXPECT_EQ(ui_.captions.back(), 3 - missing);
    // Its configuration stopped at the first failed step.
    ExpectSent({Req('C', Ez() ? "h10m50R" : "Y 10 50"), Req('C', Ez() ? "?0" : "Z")}, false);
    CommClosePort();
    CommUnload();
    ResetWheels();
  }
}

TEST_P(SimWheelTest, HomingPutsFilterOneAtTheOffset) {
  OpenOne("100", {.start_position = 1000}, Fast(8000));
  ASSERT_EQ(InitDevices(), 1);
  SelectWheel(1);
  ASSERT_EQ(HomeWheel(), 1);
  EXPECT_FALSE(sim_->IsMoving(A1()).value_or(true));
  if (Ez()) {
    // The origin is not moved: HomeRef is where the wheel stands after the
    // offset move has ended.
    EXPECT_DOUBLE_EQ(WheelPar(1).HomeRef, Pos(A1()));
    ExpectSent({"/1z0R\r", "/1v1000V10000L12gD10S13G0D1gD1S03G0D1R\r", "/1P100R\r"});
    // The wheel's own speeds come back after the limit search.
    EXPECT_EQ(sim_->SlewVelocity('1'), 2000);
  } else {
    EXPECT_DOUBLE_EQ(Pos(A1()), 0);  // the controller's origin is filter 1
    ExpectSent({"AF 500 1\n", "A+100\n", "AE 50\n", "AO\n"});
  }
  // Filter 1 is the offset beyond the edge of the switch (2400..2439),
  // whatever the start.
  const double mech1 = *sim_->MechanicalPosition(A1());
  EXPECT_NEAR(Wrapped(mech1), 2520, 60);
  EXPECT_EQ(Filter(), 1);
  GoWait(2);
  EXPECT_DOUBLE_EQ(*sim_->MechanicalPosition(A1()) - mech1, 533);
  EXPECT_EQ(Filter(), 2);
  // An offset move of half a second still has its end read.
  sim_->SetOptions(Fast(3000));
  WheelPar(1).homeOffset = -1500;
  ASSERT_EQ(HomeWheel(), 1);
  EXPECT_EQ(Filter(), 1);
  if (Ez()) { EXPECT_DOUBLE_EQ(WheelPar(1).HomeRef, Pos(A1())); }
}

TEST_P(SimWheelTest, HomingWithoutASwitchFailsButFinishesItsSteps) {
  OpenOne("100", {.has_switch = false});
  AppSettings().MoveTimeout = 1;
  ASSERT_EQ(InitDevices(), 1);
  SelectWheel(1);
  WheelPar(1).HomeRef = 77;
  sim_->ClearRequests();
  EXPECT_EQ(HomeWheel(), -1);
  if (Ez()) {
    // Every step ran after the failed search.
    ExpectSent({"/1P100R\r", "/1?0\r", "/1V2000R\r", "/1L100R\r"});
    EXPECT_NE(WheelPar(1).HomeRef, 77);
  } else {
    // No offset move after a failed search; settle and origin all the same.
    ExpectSent({"A+100\n"}, false);
    ExpectSent({"AE 50\n", "AO\n"});
  }
}

TEST_P(SimWheelTest, ANestedCommandOnTheOtherWheelDoesNotRedirectTheWaitingOne) {
  OpenTwo(Fast(2000));
  StartBoth();
  ASSERT_EQ(GoToFilter(4), 1);  // wheel 1 turns -1600 for 0.8 s
  int16_t nested = 0;
  ui_.onceHook = [&] {
    // Wheel 2 (eight filters) to filter 2: 400 steps, done long before wheel 1.
    SelectWheel(2);
    nested = GoToFilter(2);
  };
  // Still wheel 1's operation: it waits for wheel 1, then goes to wheel 1's
  // filter 2 (533 on six), not to wheel 2's geometry.
  ASSERT_EQ(GoToFilter(2), 1);
  EXPECT_EQ(nested, 1);
  EXPECT_EQ(GetSelWheel(), 2);  // the nested command's selection stays
  for (int16_t w : std::initializer_list<int16_t>{1, 2}) {
    SelectWheel(w);
    ASSERT_EQ(WaitWheel(), 1);
  }
  EXPECT_DOUBLE_EQ(Wrapped(Pos(A1())), 533);
  EXPECT_DOUBLE_EQ(Pos(A2()), 400);

  // A nested step on the other wheel keeps each wheel's filter.
  SelectWheel(1);
  CurFilter(1) = 1;
  CurFilter(2) = 0;
  ASSERT_EQ(GoToFilter(4), 1);  // wheel 1 busy for 0.8 s
  ui_.onceHook = [&] {
    SelectWheel(2);
    DevNextFilter();
  };
  ASSERT_EQ(DevPrevFilter(), 1);
  EXPECT_EQ(CurFilter(1), 6);
  EXPECT_EQ(CurFilter(2), 1);
  SelectWheel(1);
  ASSERT_EQ(WaitWheel(), 1);
  EXPECT_DOUBLE_EQ(Wrapped(Pos(A1())), 2667);
}

INSTANTIATE_TEST_SUITE_P(Both, SimWheelTest,
                         ::testing::Values(ControllerKind::kIM483I, ControllerKind::kEZHR17),
                         [](const auto& p) {
                           return p.param == ControllerKind::kEZHR17 ? "EZHR17" : "IM483I";
                         });

}  // namespace
}  // namespace nvx::test
