// The simulated IM483I units, over the pseudo-terminal as the program sees them.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <thread>

#include "sim/sim.h"
#include "sim_line.h"

namespace nvx::sim {
namespace {

using test::SimLine;

UnitConfig Unit(char address, double start = 0) {
  return {.address = address,
          .start_position = start,
          .switch_position = 2400,
          .switch_width = 40,
          .slew_velocity = 2000};
}

class Im483iTest : public ::testing::Test {
 protected:
  void Open(std::vector<UnitConfig> units, SimOptions options = {}) {
    sim_ = std::make_unique<ControllerSim>(ControllerKind::kIM483I, std::move(units), options);
    ASSERT_EQ(sim_->Start(), 1);
    line_ = std::make_unique<SimLine>(sim_->SlavePath());
    ASSERT_TRUE(line_->Ok());
  }
  std::string Ask(const std::string& request) { return line_->Exchange(request, "\n"); }

  // Asks `request` until the reply is `want` (or 5 s pass); true when it came.
  bool AskUntil(const std::string& request, const std::string& want) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < deadline) {
      if (Ask(request) == want) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
  }
  bool WaitStand(char a) {
    return AskUntil(std::string(1, a) + "^\n", std::string(1, a) + "^ 0\n");
  }

  std::unique_ptr<ControllerSim> sim_;
  std::unique_ptr<SimLine> line_;
};

struct ExactCase {
  const char* request;
  const char* reply;
};

TEST_F(Im483iTest, RepliesEchoAndValuesExactly) {
  Open({Unit('A')});
  const ExactCase cases[] = {
      {"AZ\n", "AZ 0\n"},
      {"A^\n", "A^ 0\n"},
      {"A] 1\n", "A] 1 0\n"},
      {"AV 500\n", "AV 500\n"},
      {"AI 200\n", "AI 200\n"},
      {"AY 10 50\n", "AY 10 50\n"},
      {"AK 100 100\n", "AK 100 100\n"},
      {"Al 0\n", "Al 0\n"},
      {"AB 10 50\n", "AB 10 50\n"},
      {"AH 0\n", "AH 0\n"},
      {"AD 4\n", "AD 4\n"},
      {"AE 50\n", "AE 50\n"},
      {"AO\n", "AO\n"},
      {"AX\n", "AX\n"},                // not known: echoed
      {"A?what 12\n", "A?what 12\n"},  // not known: echoed
      {"A\n", "A\n"},
  };
  for (const ExactCase& c : cases) { EXPECT_EQ(Ask(c.request), c.reply) << c.request; }
}

TEST_F(Im483iTest, LogsEveryRequestWithItsLineFeed) {
  Open({Unit('A')});
  Ask("AV 500\n");
  Ask("AZ\n");
  line_->Send("QZ\n");  // no such unit: logged, not answered
  EXPECT_EQ(line_->ReadFor(100), "");
  EXPECT_EQ(sim_->Requests(), (std::vector<std::string>{"AV 500\n", "AZ\n", "QZ\n"}));
  sim_->ClearRequests();
  EXPECT_TRUE(sim_->Requests().empty());
}

TEST_F(Im483iTest, UnitNotConfiguredStaysSilentAndLineGoesOn) {
  Open({Unit('A'), Unit('B')});
  EXPECT_EQ(line_->Exchange("CZ\n", "\n", 150), "");
  EXPECT_EQ(line_->Exchange("aZ\n", "\n", 150), "");  // names are exact
  EXPECT_EQ(Ask("BZ\n"), "BZ 0\n");
}

TEST_F(Im483iTest, UnitsMoveEachByItsOwnAddress) {
  Open({Unit('A'), Unit('B', 100)}, {.speed_factor = 50});
  EXPECT_EQ(Ask("A+533\n"), "A+533\n");
  EXPECT_EQ(Ask("B-1067\n"), "B-1067\n");
  ASSERT_TRUE(WaitStand('A'));
  ASSERT_TRUE(WaitStand('B'));
  EXPECT_EQ(Ask("AZ\n"), "AZ 533\n");
  EXPECT_EQ(Ask("BZ\n"), "BZ-967\n");
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

TEST_F(Im483iTest, OriginMovesTheCountNotTheWheel) {
  Open({Unit('A')}, {.speed_factor = 100});
  Ask("A-533\n");
  ASSERT_TRUE(WaitStand('A'));
  EXPECT_EQ(Ask("AZ\n"), "AZ-533\n");
  EXPECT_EQ(Ask("AO\n"), "AO\n");
  EXPECT_EQ(Ask("AZ\n"), "AZ 0\n");
  EXPECT_EQ(*sim_->MechanicalPosition('A'), -533);
}

TEST_F(Im483iTest, SlewVelocityAndFixedSpeedSetTheMoveTime) {
  // With a fixed speed the request "V" does not matter; the move still ends
  // on its target.
  Open({Unit('A')}, {.fixed_steps_per_s = 100000});
  Ask("AV 1\n");
  EXPECT_EQ(*sim_->SlewVelocity('A'), 1);
  Ask("A+3200\n");
  ASSERT_TRUE(WaitStand('A'));
  EXPECT_EQ(Ask("AZ\n"), "AZ 3200\n");
}

// The home search as the driver runs it: lower the initial velocity, "F",
// poll "^", read the switch, back off at a quarter of the speed until the
// switch clears, restore, stop.
TEST_F(Im483iTest, HomeSearchFindsSwitchAndBacksOff) {
  Open({Unit('A', 1000)}, {.speed_factor = 20});
  EXPECT_EQ(Ask("AI 125\n"), "AI 125\n");
  EXPECT_EQ(Ask("AF 500 1\n"), "AF 500 1\n");
  ASSERT_TRUE(WaitStand('A'));
  // Searching downwards from 1000, the switch (2400..2439 of each turn) is
  // met at its upper edge one turn lower.
  EXPECT_EQ(*sim_->MechanicalPosition('A'), 2439 - 3200);
  EXPECT_EQ(Ask("A] 1\n"), "A] 1 1\n");
  EXPECT_EQ(Ask("AM125\n"), "AM125\n");
  EXPECT_TRUE(AskUntil("A] 1\n", "A] 1 0\n"));
  EXPECT_EQ(Ask("AI 200\n"), "AI 200\n");
  EXPECT_EQ(Ask("AM0\n"), "AM0\n");
  EXPECT_EQ(Ask("A^\n"), "A^ 0\n");
  double p = *sim_->MechanicalPosition('A');
  EXPECT_GE(p, 2440 - 3200);  // just off the switch, on the upper side
  EXPECT_LT(p, 2440 - 3200 + 200);
  EXPECT_FALSE(*sim_->SwitchEngaged('A'));
}

TEST_F(Im483iTest, HomeSearchUpwardsStopsAtLowerEdge) {
  Open({Unit('A', 1000)}, {.speed_factor = 20});
  Ask("AF 500 0\n");
  ASSERT_TRUE(WaitStand('A'));
  EXPECT_EQ(*sim_->MechanicalPosition('A'), 2400);
  EXPECT_EQ(Ask("A] 1\n"), "A] 1 1\n");
}

TEST_F(Im483iTest, HomeSearchWithoutSwitchRunsUntilStopped) {
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
}

TEST_F(Im483iTest, ConstantVelocityRunsBothWays) {
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

TEST_F(Im483iTest, MalformedMovesAreEchoedAndIgnored) {
  Open({Unit('A')});
  const char* requests[] = {"A+\n", "A+abc\n", "A-1e400\n", "AM x\n", "AF 500\n", "AF 0 1\n"};
  for (const char* r : requests) {
    EXPECT_EQ(Ask(r), r) << r;
    EXPECT_EQ(Ask("A^\n"), "A^ 0\n") << r;
  }
  EXPECT_EQ(Ask("AZ\n"), "AZ 0\n");
}

struct FaultCase {
  const char* name;
  Fault fault;
  const char* reply;  // to "AZ\n" on a unit at 0; nullptr: nothing comes
};

TEST_F(Im483iTest, FaultsChangeTheReply) {
  const FaultCase cases[] = {
      {"none", Fault::kNone, "AZ 0\n"},
      {"no reply", Fault::kNoReply, nullptr},
      {"garbled", Fault::kGarbled, "## 0\n"},
      {"partial", Fault::kPartial, "AZ 0"},
      {"wrong case", Fault::kWrongCase, "az 0\n"},
      {"error", Fault::kErrorStatus, "AZ?\n"},
  };
  for (const FaultCase& c : cases) {
    Open({Unit('A')}, {.fault = c.fault});
    std::string got = line_->Exchange("AZ\n", "\n", 200);
    EXPECT_EQ(got, c.reply ? c.reply : "") << c.name;
    EXPECT_EQ(sim_->Requests().size(), 1u) << c.name;
  }
}

TEST_F(Im483iTest, FaultHitsOnlyChosenRequestsOfChosenUnit) {
  SimOptions o;
  o.fault = Fault::kWrongCase;
  o.fault_address = 'B';
  o.fault_skip = 1;
  o.fault_count = 1;
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
  ASSERT_TRUE(line_->Send("AZ\n"));
  EXPECT_EQ(line_->ReadFor(100), "");
  EXPECT_EQ(line_->ReadUntil("\n", 3000), "AZ 0\n");
}

TEST_F(Im483iTest, PacedReplyKeepsItsBytes) {
  Open({Unit('A', -1234)}, {.paced = true});
  EXPECT_EQ(Ask("AZ\n"), "AZ-1234\n");
  EXPECT_EQ(Ask("AY 10 50\n"), "AY 10 50\n");
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
  ASSERT_TRUE(line_->Send("A"));
  ASSERT_TRUE(line_->Send("V 5"));
  EXPECT_EQ(line_->Exchange("00\n", "\n"), "AV 500\n");
  ASSERT_TRUE(line_->Send("AZ\nA^\n"));
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

TEST(ControllerSimTest, StartTwiceFailsAndStopIsRepeatable) {
  ControllerSim sim(ControllerKind::kIM483I, {Unit('A')});
  EXPECT_EQ(sim.SlavePath(), "");
  ASSERT_EQ(sim.Start(), 1);
  EXPECT_EQ(sim.Start(), -1);
  EXPECT_NE(sim.SlavePath(), "");
  sim.Stop();
  sim.Stop();
}

TEST(ControllerSimTest, ProgramOpeningAndClosingTheLineDoesNotEndIt) {
  ControllerSim sim(ControllerKind::kIM483I, {Unit('A')});
  ASSERT_EQ(sim.Start(), 1);
  for (int i = 0; i < 3; ++i) {
    SimLine line(sim.SlavePath());
    ASSERT_TRUE(line.Ok());
    EXPECT_EQ(line.Exchange("AZ\n", "\n"), "AZ 0\n");
  }
}

}  // namespace
}  // namespace nvx::sim
