// The wheel operations against simulated controllers on a pseudo-terminal:
// the whole road through the dispatch, the drivers and the serial link.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "base/numbers.h"
#include "base/settings.h"
#include "comm/comm.h"
#include "controllers/allmotion.h"
#include "controllers/motcon.h"
#include "sim/sim.h"
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
  ControllerKind Kind() const { return GetParam(); }
  bool Ez() const { return Kind() == ControllerKind::kEZHR17; }
  char A1() const { return Ez() ? '1' : 'A'; }
  char A2() const { return Ez() ? '2' : 'B'; }

  // Starts the simulator with the given units and opens the link to it.
  void Open(std::vector<UnitConfig> units, sim::SimOptions options = Fast()) {
    sim_ = std::make_unique<ControllerSim>(Kind(), std::move(units), options);
    ASSERT_EQ(sim_->Start(), 1);
    AppSettings().ControllerType = Ez() ? "EZHR17" : "IM483I";
    AppSettings().MoveTimeout = 10;
    AppSettings().WaitPollingInterval = 5;
    AllMotionCntrl::ModeWord = 0;
    CommInit(MotorSetLineEnds);
    SetPortDevice(sim_->SlavePath());
    ASSERT_EQ(CommOpenPort(1), -1);
    SetPortTimeout(300);
  }

  // Two units at the default addresses, standing at 0, and both wheel files:
  // wheel 1 six filters, wheel 2 eight.
  void OpenTwo(sim::SimOptions options = Fast(), double offset1 = 0) {
    WheelFileValues w1;
    w1.contr = std::string(1, A1());
    w1.offset = FormatNumber(offset1);
    PutWheel(1, w1);
    WheelFileValues w2;
    w2.contr = std::string(1, A2());
    w2.filt = "8";
    PutWheel(2, w2);
    UnitConfig u1;
    u1.address = A1();
    UnitConfig u2;
    u2.address = A2();
    Open({u1, u2}, options);
  }

  void InstallBoth() {
    AppSettings().WheelInstalled[1] = 1;
    AppSettings().WheelInstalled[2] = 1;
  }

  // The request of a command as it appears on the line for unit `a`.
  std::string Req(char a, const std::string& cmd) const {
    return Ez() ? "/" + std::string(1, a) + cmd + "\r" : std::string(1, a) + cmd + "\n";
  }
  bool Sent(const std::string& request) const {
    const auto r = sim_->Requests();
    return std::find(r.begin(), r.end(), request) != r.end();
  }
  std::string Move(char a, int64_t steps) const {
    if (Ez()) return Req(a, (steps > 0 ? "P" : "D") + FormatInt(std::llabs(steps)) + "R");
    return Req(a, (steps > 0 ? "+" : "-") + FormatInt(std::llabs(steps)));
  }
  double Pos(char a) const { return sim_->Position(a).value_or(1e9); }

  void TearDown() override {
    CommClosePort();
    CommUnload();
    SetPortDevice("");
    sim_.reset();
    WheelDirTest::TearDown();
  }

  std::unique_ptr<ControllerSim> sim_;
};

std::string KindName(const ::testing::TestParamInfo<ControllerKind>& info) {
  return info.param == ControllerKind::kEZHR17 ? "EZHR17" : "IM483I";
}

TEST_P(SimWheelTest, InitDevicesBringsBothWheelsOnline) {
  OpenTwo();
  InstallBoth();
  MotorSetMoveTimeout(0);
  ASSERT_EQ(InitDevices(), 1);
  EXPECT_EQ(MotorMoveTimeout(), 10);
  EXPECT_EQ(WheelOnline(1), 1);
  EXPECT_EQ(WheelOnline(2), 1);
  EXPECT_EQ(GetJoyWheel(), 1);
  EXPECT_EQ(GetSelWheel(), 2);  // the last wheel initialised stays selected
  // The filter read during initialisation is not stored.
  EXPECT_EQ(CurFilter(1), 0);
  EXPECT_EQ(CurFilter(2), 0);
  EXPECT_TRUE(ui_.boxes.empty());

  // Wheel 1's configuration, in order, then its position read.
  std::vector<std::string> want;
  if (Ez()) {
    want = {"/1j16R\r", "/1h10m50R\r", "/1V2000R\r", "/1L100R\r", "/1f0R\r",
            "/1n0R\r",  "/1n1R\r",     "/1B533R\r",  "/1?0\r"};
  } else {
    want = {"AH 0\n",   "AD 4\n",    "AY 10 50\n", "AV 2000\n", "AI 500\n",
            "AK 100 100\n", "AB 10 50\n", "Al 0\n", "AZ\n"};
  }
  const auto r = sim_->Requests();
  ASSERT_GE(r.size(), want.size());
  EXPECT_EQ(std::vector<std::string>(r.begin(), r.begin() + static_cast<long>(want.size())),
            want);
  // Wheel 2 has eight filters of 400 steps.
  if (Ez()) {
    EXPECT_TRUE(Sent("/2B400R\r"));
  }
}

TEST_P(SimWheelTest, GoToFilterThenGetFilter) {
  OpenTwo();
  InstallBoth();
  ASSERT_EQ(InitDevices(), 1);
  SelectWheel(1);
  ASSERT_EQ(GoToFilter(3), 1);
  EXPECT_EQ(CurFilter(1), 0);  // the caller stores the target
  EXPECT_TRUE(Sent(Move(A1(), 1067)));
  ASSERT_EQ(WaitWheel(), 1);
  EXPECT_DOUBLE_EQ(Pos(A1()), 1067);
  int16_t k = 0;
  ASSERT_EQ(GetFilter(k), 1);
  EXPECT_EQ(k, 3);

  // From filter 3 to filter 6 is half a revolution: the negative way.
  sim_->ClearRequests();
  ASSERT_EQ(GoToFilter(6), 1);
  EXPECT_TRUE(Sent(Move(A1(), -1600)));
  ASSERT_EQ(WaitWheel(), 1);
  ASSERT_EQ(GetFilter(k), 1);
  EXPECT_EQ(k, 6);
  EXPECT_DOUBLE_EQ(Pos(A1()), -533);

  // Wheel 2, eight filters.
  SelectWheel(2);
  ASSERT_EQ(GoToFilter(8), 1);
  ASSERT_EQ(WaitWheel(), 1);
  EXPECT_DOUBLE_EQ(Pos(A2()), -400);
  ASSERT_EQ(GetFilter(k), 1);
  EXPECT_EQ(k, 8);
  // Filter 9 of eight is filter 1, by the short way.
  ASSERT_EQ(GoToFilter(9), 1);
  ASSERT_EQ(WaitWheel(), 1);
  EXPECT_DOUBLE_EQ(Pos(A2()), 0);
}

TEST_P(SimWheelTest, GoToFilterWaitsForTheMoveInProgress) {
  OpenTwo(Fast(2000));
  InstallBoth();
  ASSERT_EQ(InitDevices(), 1);
  SelectWheel(1);
  ASSERT_EQ(GoToFilter(4), 1);  // -1600, 0.8 s
  ASSERT_EQ(GoToFilter(5), 1);  // waits, then -1600 + 533
  ASSERT_EQ(WaitWheel(), 1);
  EXPECT_DOUBLE_EQ(Pos(A1()), -1067);
  int16_t k = 0;
  ASSERT_EQ(GetFilter(k), 1);
  EXPECT_EQ(k, 5);
}

TEST_P(SimWheelTest, NextAndPrevWrapAndRecord) {
  OpenTwo();
  InstallBoth();
  ASSERT_EQ(InitDevices(), 1);
  SelectWheel(1);
  CurFilter(1) = 0;
  ASSERT_EQ(DevPrevFilter(), 1);  // undetermined goes to N
  EXPECT_EQ(CurFilter(1), 6);
  ASSERT_EQ(WaitWheel(), 1);
  EXPECT_DOUBLE_EQ(Pos(A1()), -533);
  ASSERT_EQ(DevNextFilter(), 1);  // 6 of 6 wraps to 1
  EXPECT_EQ(CurFilter(1), 1);
  ASSERT_EQ(WaitWheel(), 1);
  EXPECT_DOUBLE_EQ(Pos(A1()), 0);
  ASSERT_EQ(DevPrevFilter(), 1);
  EXPECT_EQ(CurFilter(1), 6);
  ASSERT_EQ(WaitWheel(), 1);
  int16_t k = 0;
  ASSERT_EQ(GetFilter(k), 1);
  EXPECT_EQ(k, 6);

  // A recorded 7 of six (after a move to filter 7) is filter 1: next is 2.
  ASSERT_EQ(GoToFilter(7), 1);
  CurFilter(1) = 7;
  ASSERT_EQ(WaitWheel(), 1);
  ASSERT_EQ(DevNextFilter(), 1);
  EXPECT_EQ(CurFilter(1), 2);
  ASSERT_EQ(WaitWheel(), 1);
  EXPECT_DOUBLE_EQ(Pos(A1()), 533);
}

TEST_P(SimWheelTest, StepRecordsTheFilterEvenWhenTheMoveFails) {
  OpenTwo();
  InstallBoth();
  ASSERT_EQ(InitDevices(), 1);
  SelectWheel(2);
  CurFilter(2) = 3;
  sim::SimOptions o = Fast();
  o.fault = sim::Fault::kNoReply;
  sim_->SetOptions(o);
  SetPortTimeout(100);
  MotorSetMoveTimeout(1);
  EXPECT_LT(DevNextFilter(), 0);
  EXPECT_EQ(CurFilter(2), 4);
}

TEST_P(SimWheelTest, JoystickStepsOncePerDeflection) {
  OpenTwo();
  InstallBoth();
  ASSERT_EQ(InitDevices(), 1);
  ASSERT_EQ(GetJoyWheel(), 1);
  SelectWheel(2);
  CurFilter(1) = 1;
  ASSERT_EQ(JoyStepWheel(-900, 1000), 1);
  EXPECT_EQ(CurFilter(1), 6);
  EXPECT_EQ(GetJoyStepLatch(), 1);
  EXPECT_EQ(GetSelWheel(), 1);
  EXPECT_EQ(ui_.captions, std::vector<int>{1});
  ASSERT_EQ(WaitWheel(), 1);
  EXPECT_DOUBLE_EQ(Pos(A1()), -533);

  sim_->ClearRequests();
  EXPECT_EQ(JoyStepWheel(-900, 1000), 1);   // held: nothing
  EXPECT_EQ(JoyStepWheel(-200, 1000), 1);   // not yet inside the dead band
  EXPECT_EQ(JoyStepWheel(900, 1000), 1);    // still latched
  EXPECT_TRUE(sim_->Requests().empty());
  EXPECT_EQ(CurFilter(1), 6);
  EXPECT_EQ(JoyStepWheel(150, 1000), 1);    // re-arms
  EXPECT_EQ(GetJoyStepLatch(), 0);
  EXPECT_EQ(JoyStepWheel(800, 1000), 1);    // exactly 0.8: no step
  EXPECT_TRUE(sim_->Requests().empty());
  ASSERT_EQ(JoyStepWheel(801, 1000), 1);
  EXPECT_EQ(CurFilter(1), 1);
  EXPECT_EQ(ui_.captions, (std::vector<int>{1, 1}));
  ASSERT_EQ(WaitWheel(), 1);
  EXPECT_DOUBLE_EQ(Pos(A1()), 0);
}

TEST_P(SimWheelTest, JoystickActsOnTheSecondWheelWhenTheFirstIsOffline) {
  OpenTwo();
  AppSettings().WheelInstalled[2] = 1;
  ASSERT_EQ(InitDevices(), 1);
  EXPECT_EQ(WheelOnline(1), 0);
  EXPECT_EQ(GetJoyWheel(), 2);
  CurFilter(2) = 8;
  ASSERT_EQ(JoyStepWheel(1000, 1000), 1);
  EXPECT_EQ(CurFilter(2), 1);
  EXPECT_EQ(ui_.captions, std::vector<int>{2});
}

TEST_P(SimWheelTest, UnreachableWheelStaysOffline) {
  WheelFileValues w1;
  w1.contr = std::string(1, A1());
  PutWheel(1, w1);
  WheelFileValues w2;
  w2.contr = "C";  // no unit answers to it
  PutWheel(2, w2);
  UnitConfig u1;
  u1.address = A1();
  Open({u1});
  InstallBoth();
  EXPECT_EQ(InitDevices(), -1);
  EXPECT_EQ(WheelOnline(1), 1);
  EXPECT_EQ(WheelOnline(2), 0);
  EXPECT_EQ(GetJoyWheel(), 1);
  // Its configuration stopped at the first failed step.
  EXPECT_FALSE(Sent(Req('C', Ez() ? "h10m50R" : "Y 10 50")));
  EXPECT_FALSE(Sent(Req('C', Ez() ? "?0" : "Z")));
}

TEST_P(SimWheelTest, FirstWheelOfflineSecondOnline) {
  WheelFileValues w1;
  w1.contr = "C";
  PutWheel(1, w1);
  WheelFileValues w2;
  w2.contr = std::string(1, A2());
  PutWheel(2, w2);
  UnitConfig u2;
  u2.address = A2();
  Open({u2});
  InstallBoth();
  SetJoyWheel(1);
  EXPECT_EQ(InitDevices(), -1);
  EXPECT_EQ(WheelOnline(1), 0);
  EXPECT_EQ(WheelOnline(2), 1);
  EXPECT_EQ(GetJoyWheel(), 2);
}

TEST_P(SimWheelTest, HomingPutsFilterOneAtTheOffset) {
  WheelFileValues w1;
  w1.contr = std::string(1, A1());
  w1.offset = "100";
  PutWheel(1, w1);
  UnitConfig u1;
  u1.address = A1();
  u1.start_position = 1000;
  Open({u1}, Fast(8000));
  AppSettings().WheelInstalled[1] = 1;
  ASSERT_EQ(InitDevices(), 1);
  SelectWheel(1);
  ASSERT_EQ(HomeWheel(), 1);
  EXPECT_FALSE(sim_->IsMoving(A1()).value_or(true));
  if (Ez()) {
    // The origin is not moved: HomeRef is where the wheel stands after the
    // offset move has ended.
    EXPECT_DOUBLE_EQ(WheelPar(1).HomeRef, Pos(A1()));
    EXPECT_TRUE(Sent("/1z0R\r"));
    EXPECT_TRUE(Sent("/1v1000V10000L12gD10S13G0D1gD1S03G0D1R\r"));
    EXPECT_TRUE(Sent("/1P100R\r"));
    // The wheel's own speeds come back after the limit search.
    EXPECT_EQ(sim_->SlewVelocity('1'), 2000);
  } else {
    EXPECT_DOUBLE_EQ(Pos(A1()), 0);  // the controller's origin is filter 1
    EXPECT_TRUE(Sent("AF 500 1\n"));
    EXPECT_TRUE(Sent("A+100\n"));
    EXPECT_TRUE(Sent("AE 50\n"));
    EXPECT_TRUE(Sent("AO\n"));
  }
  // Filter 1 is the offset beyond the edge of the switch (2400..2439),
  // whatever the start.
  const double mech1 = *sim_->MechanicalPosition(A1());
  EXPECT_NEAR(Wrapped(mech1), 2520, 60);
  int16_t k = 0;
  ASSERT_EQ(GetFilter(k), 1);
  EXPECT_EQ(k, 1);

  ASSERT_EQ(GoToFilter(2), 1);
  ASSERT_EQ(WaitWheel(), 1);
  EXPECT_DOUBLE_EQ(*sim_->MechanicalPosition(A1()) - mech1, 533);
  ASSERT_EQ(GetFilter(k), 1);
  EXPECT_EQ(k, 2);
}

TEST_P(SimWheelTest, HomingASlowOffsetMoveStillReadsItsEnd) {
  WheelFileValues w1;
  w1.contr = std::string(1, A1());
  w1.offset = "-1500";
  PutWheel(1, w1);
  UnitConfig u1;
  u1.address = A1();
  Open({u1}, Fast(3000));  // the offset move takes half a second
  AppSettings().WheelInstalled[1] = 1;
  ASSERT_EQ(InitDevices(), 1);
  SelectWheel(1);
  ASSERT_EQ(HomeWheel(), 1);
  int16_t k = 0;
  ASSERT_EQ(GetFilter(k), 1);
  EXPECT_EQ(k, 1);
  if (Ez()) {
    EXPECT_DOUBLE_EQ(WheelPar(1).HomeRef, Pos(A1()));
  }
}

TEST_P(SimWheelTest, HomingWithoutASwitchFailsButFinishesItsSteps) {
  WheelFileValues w1;
  w1.contr = std::string(1, A1());
  w1.offset = "100";
  PutWheel(1, w1);
  UnitConfig u1;
  u1.address = A1();
  u1.has_switch = false;
  Open({u1});
  AppSettings().WheelInstalled[1] = 1;
  AppSettings().MoveTimeout = 1;
  ASSERT_EQ(InitDevices(), 1);
  SelectWheel(1);
  WheelPar(1).HomeRef = 77;
  sim_->ClearRequests();
  EXPECT_EQ(HomeWheel(), -1);
  if (Ez()) {
    // Every step ran after the failed search.
    EXPECT_TRUE(Sent("/1P100R\r"));
    EXPECT_TRUE(Sent("/1?0\r"));
    EXPECT_TRUE(Sent("/1V2000R\r"));
    EXPECT_TRUE(Sent("/1L100R\r"));
    EXPECT_NE(WheelPar(1).HomeRef, 77);
  } else {
    // No offset move after a failed search; settle and origin all the same.
    EXPECT_FALSE(Sent("A+100\n"));
    EXPECT_TRUE(Sent("AE 50\n"));
    EXPECT_TRUE(Sent("AO\n"));
  }
}

TEST_P(SimWheelTest, ANestedCommandOnTheOtherWheelDoesNotRedirectTheWaitingOne) {
  OpenTwo(Fast(2000));
  InstallBoth();
  ASSERT_EQ(InitDevices(), 1);
  SelectWheel(1);
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
  EXPECT_GT(ui_.events, 0);
  EXPECT_EQ(GetSelWheel(), 2);  // the nested command's selection stays
  SelectWheel(1);
  ASSERT_EQ(WaitWheel(), 1);
  SelectWheel(2);
  ASSERT_EQ(WaitWheel(), 1);
  EXPECT_DOUBLE_EQ(Wrapped(Pos(A1())), 533);
  EXPECT_DOUBLE_EQ(Pos(A2()), 400);
}

TEST_P(SimWheelTest, ANestedStepOnTheOtherWheelKeepsEachWheelsFilter) {
  OpenTwo(Fast(2000));
  InstallBoth();
  ASSERT_EQ(InitDevices(), 1);
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

TEST_P(SimWheelTest, ANestedCommandDuringHomingLeavesTheHomedWheelsReference) {
  WheelFileValues w1;
  w1.contr = std::string(1, A1());
  w1.offset = "50";
  PutWheel(1, w1);
  WheelFileValues w2;
  w2.contr = std::string(1, A2());
  w2.filt = "8";
  PutWheel(2, w2);
  UnitConfig u1;
  u1.address = A1();
  u1.start_position = 800;
  UnitConfig u2;
  u2.address = A2();
  Open({u1, u2}, Fast(4000));
  InstallBoth();
  ASSERT_EQ(InitDevices(), 1);
  WheelPar(2).HomeRef = 0;
  ui_.onceHook = [&] {
    SelectWheel(2);
    GoToFilter(3);
  };
  SelectWheel(1);
  ASSERT_EQ(HomeWheel(), 1);
  EXPECT_EQ(WheelPar(2).HomeRef, 0);
  SelectWheel(2);
  ASSERT_EQ(WaitWheel(), 1);
  EXPECT_DOUBLE_EQ(Pos(A2()), 800);
  SelectWheel(1);
  int16_t k = 0;
  ASSERT_EQ(GetFilter(k), 1);
  EXPECT_EQ(k, 1);
  if (Ez()) {
    EXPECT_DOUBLE_EQ(WheelPar(1).HomeRef, Pos(A1()));
  }
}

INSTANTIATE_TEST_SUITE_P(Both, SimWheelTest,
                         ::testing::Values(ControllerKind::kIM483I, ControllerKind::kEZHR17),
                         KindName);

// EZHR17 positions are taken relative to HomeRef.
class SimEzhr17Ref : public SimWheelTest {};

TEST_P(SimEzhr17Ref, PositionsAreRelativeToHomeRef) {
  OpenTwo();
  AppSettings().WheelInstalled[1] = 1;
  ASSERT_EQ(InitDevices(), 1);
  ASSERT_TRUE(sim_->SetMechanicalPosition('1', 200));
  WheelPar(1).HomeRef = 200;
  SelectWheel(1);
  int16_t k = 0;
  ASSERT_EQ(GetFilter(k), 1);
  EXPECT_EQ(k, 1);
  ASSERT_EQ(GoToFilter(2), 1);
  EXPECT_TRUE(Sent("/1P533R\r"));
  ASSERT_EQ(WaitWheel(), 1);
  EXPECT_DOUBLE_EQ(Pos('1'), 733);
  WheelPar(1).HomeRef = 733 - 1600;  // now filter 4 stands in the beam
  ASSERT_EQ(GetFilter(k), 1);
  EXPECT_EQ(k, 4);
}

INSTANTIATE_TEST_SUITE_P(Only, SimEzhr17Ref, ::testing::Values(ControllerKind::kEZHR17), KindName);

}  // namespace
}  // namespace nvx::test
