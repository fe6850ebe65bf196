// The drivers against the simulated controllers: whole home searches, moves
// and waits, with the simulator's own model deciding every reply, on a fake
// clock.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/settings.h"
#include "comm/comm.h"
#include "controllers/allmotion.h"
#include "controllers/motcon.h"
#include "sim/sim.h"
#include "support/fake_time.h"

namespace nvx::test {
namespace {

class SimTest : public ::testing::Test {
 protected:
  void Open(sim::ControllerKind kind, const std::string& type, char address) {
    sim::UnitConfig unit;
    unit.address = address;
    unit.start_position = 1000;
    sim::SimOptions options;
    options.fixed_steps_per_s = 20000;  // keeps every move short
    sim_ = std::make_unique<sim::ControllerSim>(kind, std::vector<sim::UnitConfig>{unit}, options);
    time_.FollowSim(*sim_);
    ASSERT_EQ(sim_->Start(), 1);
    SetControllerType(AppSettings(), type);
    AppSettings().WaitPollingInterval = 10;
    CommInit(MotorSetLineEnds);
    SetPortDevice(sim_->SlavePath());
    ASSERT_EQ(CommOpenPort(1), -1);
    SetPortTimeout(500);
    MotorSelect(address);
    MotorSetMoveTimeout(10);
    AllMotionCntrl::ModeWord = 0;
  }

  void TearDown() override {
    CommClosePort();
    CommUnload();
    SetPortDevice("");
    if (sim_) sim_->Stop();
  }

  FakeTime time_;
  std::unique_ptr<sim::ControllerSim> sim_;
};

TEST_F(SimTest, Im483iMoveWaitAndRead) {
  Open(sim::ControllerKind::kIM483I, "IM483I", 'A');
  double before = 0;
  ASSERT_EQ(MotorGetPos(before), 1);
  EXPECT_EQ(MotorSetSlewVel(2000), 1);
  EXPECT_EQ(MotorMoveRel(-250.4), 1);
  EXPECT_EQ(MotorWaitStop(), 1);
  double after = 0;
  ASSERT_EQ(MotorGetPos(after), 1);
  EXPECT_DOUBLE_EQ(after - before, -250.0);
}

TEST_F(SimTest, Im483iHomeSearchLeavesTheSwitch) {
  Open(sim::ControllerKind::kIM483I, "IM483I", 'A');
  EXPECT_EQ(MotorHome(-500, 200), 1);
  EXPECT_EQ(sim_->SwitchEngaged('A'), std::optional<bool>(false));
  EXPECT_EQ(sim_->IsMoving('A'), std::optional<bool>(false));
  const auto req = sim_->Requests();
  ASSERT_GE(req.size(), 3u);
  EXPECT_EQ(req[0], "AI 125\n");
  EXPECT_EQ(req[1], "AF 500 1\n");
  EXPECT_EQ(req.back(), "AM0\n");
}

TEST_F(SimTest, Ezhr17MoveWaitAndRead) {
  Open(sim::ControllerKind::kEZHR17, "EZHR17", '1');
  double before = 0;
  ASSERT_EQ(MotorGetPos(before), 1);
  EXPECT_EQ(MotorMoveRel(532.5), 1);
  EXPECT_EQ(MotorWaitStop(), 1);
  double after = 0;
  ASSERT_EQ(MotorGetPos(after), 1);
  EXPECT_DOUBLE_EQ(after - before, 533.0);
}

TEST_F(SimTest, Ezhr17HomeRestoresTopSpeed) {
  Open(sim::ControllerKind::kEZHR17, "EZHR17", '1');
  EXPECT_EQ(MotorSetSlewVel(3000), 1);
  EXPECT_EQ(MotorHome(-500, 0), 1);
  EXPECT_EQ(sim_->SlewVelocity('1'), std::optional<int32_t>(3000));
  double pos = -1;
  ASSERT_EQ(MotorGetPos(pos), 1);
  EXPECT_DOUBLE_EQ(pos, 0.0);
}

TEST_F(SimTest, Ezhr17SeekLimitRunsToTheSwitchAndWaits) {
  Open(sim::ControllerKind::kEZHR17, "EZHR17", '1');
  EXPECT_EQ(AllMotionCntrl::EZHR17_SeekLimit(), 1);
  EXPECT_EQ(sim_->IsMoving('1'), std::optional<bool>(false));
  // The search runs in the negative direction from 1000 to the switch edge
  // (2400..2439 of each revolution), so it ends near 2400 - 3200.
  const auto mech = sim_->MechanicalPosition('1');
  ASSERT_TRUE(mech.has_value());
  EXPECT_LT(*mech, 1000.0);
  EXPECT_NEAR(*mech, -800.0 + 20.0, 40.0);
}

TEST_F(SimTest, ProbeSweepsEveryAddress) {
  Open(sim::ControllerKind::kEZHR17, "EZHR17", '1');
  EXPECT_EQ(MotorProbe(), 1);
  const auto req = sim_->Requests();
  ASSERT_EQ(req.size(), 15u);
  EXPECT_EQ(req.front(), "/1?Q\r");
  EXPECT_EQ(req.back(), "/F?Q\r");
}

}  // namespace
}  // namespace nvx::test
