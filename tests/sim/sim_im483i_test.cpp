// The simulated IM483I units, over the pseudo-terminal as the program sees them.
#include <cmath>

#include "sim_line.h"

namespace nvx::sim {
namespace {

using test::Dialog;
using test::kStill;

UnitConfig Unit(char address, double start = 0) {
  return {.address = address, .start_position = start};
}

class Im483iTest : public test::SimFixture {
 protected:
  Im483iTest() : SimFixture(ControllerKind::kIM483I) {}
};

TEST_F(Im483iTest, Dialogs) {
  // clang-format off
  Talk({
      {"replies", {Unit('A')}, {}, {
          {"AZ\n", "AZ 0\n"}, {"A^\n", "A^ 0\n"}, {"A] 1\n", "A] 1 0\n"}, {"AV 500\n", "AV 500\n"},
          {"AI 200\n", "AI 200\n"}, {"AY 10 50\n", "AY 10 50\n"}, {"AK 100 100\n", "AK 100 100\n"},
          {"Al 0\n", "Al 0\n"}, {"AB 10 50\n", "AB 10 50\n"}, {"AH 0\n", "AH 0\n"},
          {"AD 4\n", "AD 4\n"}, {"AE 50\n", "AE 50\n"}, {"AO\n", "AO\n"},
          {"AX\n", "AX\n"}, {"A?what 12\n", "A?what 12\n"}, {"A\n", "A\n"}}},  // not known: echoed
      // Names are exact; a unit not configured stays silent and the line goes on.
      {"unit not configured", {Unit('A'), Unit('B')}, {}, {
          {"CZ\n", ""}, {"aZ\n", ""}, {"BZ\n", "BZ 0\n"}}},
      {"units move each by its own address", {Unit('A'), Unit('B', 100)}, {.speed_factor = 50}, {
          {"A+533\n", "A+533\n"}, {"B-1067\n", "B-1067\n"}, {"A", kStill}, {"B", kStill},
          {"AZ\n", "AZ 533\n"}, {"BZ\n", "BZ-967\n"}}},
      {"origin moves the count, not the wheel", {Unit('A')}, {.speed_factor = 100}, {
          {"A-533\n", "A-533\n"}, {"A", kStill}, {"AZ\n", "AZ-533\n"}, {"AO\n", "AO\n"},
          {"AZ\n", "AZ 0\n"}}, -533},
      // With a fixed speed "V" does not matter; the move still ends on its target.
      {"fixed speed", {Unit('A')}, {.fixed_steps_per_s = 100000}, {
          {"AV 1\n", "AV 1\n"}, {"A+3200\n", "A+3200\n"}, {"A", kStill}, {"AZ\n", "AZ 3200\n"}}},
      // The home search as the driver runs it: searching downwards from 1000,
      // the switch (2400..2439 of each turn) is met at its upper edge one turn
      // lower; upwards, at its lower edge. (Backing off the switch is the
      // constant-velocity run below; tests/wheels home whole wheels.)
      {"home search downwards", {Unit('A', 1000)}, {.speed_factor = 20}, {
          {"AI 125\n", "AI 125\n"}, {"AF 500 1\n", "AF 500 1\n"}, {"A", kStill},
          {"A] 1\n", "A] 1 1\n"}}, 2439 - 3200},
      {"home search upwards", {Unit('A', 1000)}, {.speed_factor = 20}, {
          {"AF 500 0\n", "AF 500 0\n"}, {"A", kStill}, {"A] 1\n", "A] 1 1\n"}}, 2400},
      {"malformed moves are echoed and ignored", {Unit('A')}, {}, {
          {"A+\n", "A+\n"}, {"A^\n", "A^ 0\n"}, {"A+abc\n", "A+abc\n"}, {"A^\n", "A^ 0\n"},
          {"A-1e400\n", "A-1e400\n"}, {"A^\n", "A^ 0\n"}, {"AM x\n", "AM x\n"}, {"A^\n", "A^ 0\n"},
          {"AF 500\n", "AF 500\n"}, {"A^\n", "A^ 0\n"}, {"AF 0 1\n", "AF 0 1\n"},
          {"A^\n", "A^ 0\n"}, {"AZ\n", "AZ 0\n"}}},
      {"fault: none", {Unit('A')}, {.fault = Fault::kNone}, {{"AZ\n", "AZ 0\n"}}},
      {"fault: no reply", {Unit('A')}, {.fault = Fault::kNoReply}, {{"AZ\n", ""}}},
      {"fault: garbled", {Unit('A')}, {.fault = Fault::kGarbled}, {{"AZ\n", "## 0\n"}}},
      {"fault: partial", {Unit('A')}, {.fault = Fault::kPartial}, {{"AZ\n", "AZ 0"}}},
      {"fault: wrong case", {Unit('A')}, {.fault = Fault::kWrongCase}, {{"AZ\n", "az 0\n"}}},
      {"fault: error", {Unit('A')}, {.fault = Fault::kErrorStatus}, {{"AZ\n", "AZ?\n"}}},
      {"paced replies keep their bytes", {Unit('A', -1234)}, {.paced = true}, {
          {"AZ\n", "AZ-1234\n"}, {"AY 10 50\n", "AY 10 50\n"}}},
  });
  // clang-format on
}

TEST_F(Im483iTest, LogsEveryRequestWithItsLineFeed) {
  Open({Unit('A')});
  Ask("AV 500\n");
  Ask("AZ\n");
  line_->Write("QZ\n");  // no such unit: logged, not answered
  EXPECT_EQ(line_->ReadFor(100), "");
  EXPECT_EQ(sim_->Requests(), (std::vector<std::string>{"AV 500\n", "AZ\n", "QZ\n"}));
  sim_->ClearRequests();
  EXPECT_TRUE(sim_->Requests().empty());
}

TEST_F(Im483iTest, MoveTakesTimeAndStopsOnM0) {
  Open({Unit('A')});  // 2000 steps/s: 20000 steps take 10 s
  EXPECT_EQ(Ask("A+20000\n"), "A+20000\n");
  EXPECT_EQ(Ask("A^\n"), "A^ 1\n");
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(Ask("AM0\n"), "AM0\n");
  EXPECT_EQ(Ask("A^\n"), "A^ 0\n");
  double p = *sim_->Position('A');
  EXPECT_GT(p, 0);
  EXPECT_LT(p, 20000);
  EXPECT_EQ(p, std::round(p));  // stops on a whole step
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_EQ(*sim_->Position('A'), p);  // and stays there
}

// Without a switch a search runs until stopped; "M" runs both ways.
TEST_F(Im483iTest, SearchWithoutSwitchAndConstantVelocityRunUntilStopped) {
  UnitConfig u = Unit('A');
  u.has_switch = false;
  Open({u}, {.speed_factor = 100});
  Ask("AF 500 1\n");
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(Ask("A^\n"), "A^ 1\n");
  EXPECT_EQ(Ask("A] 1\n"), "A] 1 0\n");
  EXPECT_LT(*sim_->Position('A'), 0);
  Ask("AM0\n");
  EXPECT_EQ(Ask("A^\n"), "A^ 0\n");
  Open({Unit('A')}, {.speed_factor = 10});
  Ask("AM-125\n");
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_EQ(Ask("A^\n"), "A^ 1\n");
  Ask("AM0\n");
  double p = *sim_->Position('A');
  EXPECT_LT(p, 0);
  Ask("AM125\n");
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  Ask("AM0\n");
  EXPECT_GT(*sim_->Position('A'), p);
}

TEST_F(Im483iTest, FaultHitsOnlyChosenRequestsOfChosenUnit) {
  const SimOptions o{
      .fault = Fault::kWrongCase, .fault_address = 'B', .fault_skip = 1, .fault_count = 1};
  Open({Unit('A'), Unit('B')}, o);
  EXPECT_EQ(Ask("AZ\n"), "AZ 0\n");
  EXPECT_EQ(Ask("BZ\n"), "BZ 0\n");  // skipped
  EXPECT_EQ(Ask("AZ\n"), "AZ 0\n");  // other unit
  EXPECT_EQ(Ask("BZ\n"), "bz 0\n");  // the one
  EXPECT_EQ(Ask("BZ\n"), "BZ 0\n");  // count used up
  // Setting the options again starts the count again.
  sim_->SetOptions(o);
  EXPECT_EQ(Ask("BZ\n"), "BZ 0\n");
  EXPECT_EQ(Ask("BZ\n"), "bz 0\n");
}

TEST_F(Im483iTest, SlowReplyComesLate) {
  Open({Unit('A')}, {.reply_delay_ms = 400});
  ASSERT_TRUE(line_->Write("AZ\n"));
  EXPECT_EQ(line_->ReadFor(100), "");
  EXPECT_EQ(line_->ReadUntil("\n", 3000), "AZ 0\n");
}

TEST_F(Im483iTest, HangUpClosesTheLine) {
  Open({Unit('A')}, {.fault = Fault::kHangUp, .fault_skip = 1});
  EXPECT_EQ(Ask("AZ\n"), "AZ 0\n");
  EXPECT_FALSE(sim_->HungUp());
  EXPECT_EQ(line_->Exchange("AZ\n", "\n", 1000), "");
  EXPECT_TRUE(line_->HungUp());
  EXPECT_TRUE(sim_->HungUp());
  sim_->Stop();  // stopping after a hang-up is safe
}

TEST_F(Im483iTest, SplitRequestsAndBackToBackRequestsAreServed) {
  Open({Unit('A')});
  ASSERT_TRUE(line_->Write("A"));
  ASSERT_TRUE(line_->Write("V 5"));
  EXPECT_EQ(line_->Exchange("00\n", "\n"), "AV 500\n");
  ASSERT_TRUE(line_->Write("AZ\nA^\n"));
  EXPECT_EQ(line_->ReadUntil("A^ 0\n"), "AZ 0\nA^ 0\n");
}

TEST_F(Im483iTest, SetMechanicalPositionAndAccessors) {
  Open({Unit('A')});
  EXPECT_TRUE(sim_->SetMechanicalPosition('A', 2410));
  EXPECT_TRUE(*sim_->SwitchEngaged('A'));
  EXPECT_EQ(Ask("A] 1\n"), "A] 1 1\n");
  EXPECT_FALSE(sim_->SetMechanicalPosition('Z', 0));
  EXPECT_FALSE(sim_->Position('Z').has_value());
  EXPECT_FALSE(sim_->IsMoving('Z').has_value());
  EXPECT_FALSE(*sim_->IsMoving('A'));
  EXPECT_EQ(sim_->Kind(), ControllerKind::kIM483I);
}

// Start twice fails, Stop is repeatable, and the program opening and
// closing the line does not end the simulator.
TEST(ControllerSimTest, StartStopAndReopenedLine) {
  ControllerSim sim(ControllerKind::kIM483I, {Unit('A')});
  EXPECT_EQ(sim.SlavePath(), "");
  ASSERT_EQ(sim.Start(), 1);
  EXPECT_EQ(sim.Start(), -1);
  EXPECT_NE(sim.SlavePath(), "");
  for (int i = 0; i < 3; ++i) {
    test::PtyLine line(sim.SlavePath());
    ASSERT_TRUE(line.Ok());
    EXPECT_EQ(line.Exchange("AZ\n", "\n"), "AZ 0\n");
  }
  sim.Stop();
  sim.Stop();
}

}  // namespace
}  // namespace nvx::sim
