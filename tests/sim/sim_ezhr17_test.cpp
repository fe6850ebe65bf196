// The simulated EZHR17 drives, over the pseudo-terminal as the program sees them.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "sim/sim.h"
#include "sim_line.h"

namespace nvx::sim {
namespace {

using test::SimLine;

const std::string kStart = "\xFF/0";
const std::string kEnd = "\x03\r\n";
constexpr char kReady = 0x60;  // ready, no error
constexpr char kBusy = 0x40;

std::string Reply(char status, const std::string& data = "") {
  return kStart + status + data + kEnd;
}

UnitConfig Drive(char address, double start = 0) {
  return {.address = address,
          .start_position = start,
          .switch_position = 2400,
          .switch_width = 40,
          .slew_velocity = 2000};
}

// The limit-search program of the homing, byte for byte.
const char* kSeekLimit = "v1000V10000L12gD10S13G0D1gD1S03G0D1R";

class Ezhr17Test : public ::testing::Test {
 protected:
  void Open(std::vector<UnitConfig> units, SimOptions options = {}) {
    sim_ = std::make_unique<ControllerSim>(ControllerKind::kEZHR17, std::move(units), options);
    ASSERT_EQ(sim_->Start(), 1);
    line_ = std::make_unique<SimLine>(sim_->SlavePath());
    ASSERT_TRUE(line_->Ok());
  }
  std::string Ask(const std::string& request) { return line_->Exchange(request, "\r\n"); }

  bool WaitReady(const std::string& address = "1") {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < deadline) {
      if (Ask("/" + address + "Q\r") == Reply(kReady)) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
  }

  std::unique_ptr<ControllerSim> sim_;
  std::unique_ptr<SimLine> line_;
};

struct ExactCase {
  const char* request;
  std::string reply;
};

TEST_F(Ezhr17Test, RepliesStatusAndDataExactly) {
  Open({Drive('1', 17)});
  const ExactCase cases[] = {
      {"/1?0\r", Reply(kReady, "17")},
      {"/1Q\r", Reply(kReady)},
      {"/1?2\r", Reply(kReady, "2000")},
      {"/1V2500R\r", Reply(kReady)},
      {"/1?2\r", Reply(kReady, "2500")},
      {"/1h10m50R\r", Reply(kReady)},
      {"/1L12R\r", Reply(kReady)},
      {"/1f0R\r", Reply(kReady)},
      {"/1j16R\r", Reply(kReady)},
      {"/1n0R\r", Reply(kReady)},
      {"/1n1R\r", Reply(kReady)},
      {"/1B533R\r", Reply(kReady)},
      {"/1\r", Reply(kReady)},
      {"/1j3R\r", Reply(kReady | 3)},  // not a power of two
      {"/1V0R\r", Reply(kReady | 3)},
      {"/1P-5R\r", Reply(kReady | 3)},
      {"/1XR\r", Reply(kReady | 2)},  // unknown command
      {"/1?Q\r", Reply(kReady | 2)},
      {"/1?9\r", Reply(kReady | 2)},
      {"/1P99999999999999R\r", Reply(kReady | 3)},
      {"/1z-40R\r", Reply(kReady)},
      {"/1?0\r", Reply(kReady, "-40")},
  };
  for (const ExactCase& c : cases) { EXPECT_EQ(Ask(c.request), c.reply) << c.request; }
}

TEST_F(Ezhr17Test, OnlyConfiguredAddressesAnswer) {
  Open({Drive('1'), Drive('A')});
  for (const char* r : {"/2?0\r", "/a?0\r", "/F?Q\r", "1?0\r", "/\r"}) {
    EXPECT_EQ(line_->Exchange(r, "\r\n", 120), "") << r;
  }
  EXPECT_EQ(Ask("/A?0\r"), Reply(kReady, "0"));
  // A stray line feed before the request (a CR LF sender) does not matter.
  EXPECT_EQ(Ask("\n/1?0\r"), Reply(kReady, "0"));
  EXPECT_EQ(sim_->Requests().back(), "\n/1?0\r");
}

TEST_F(Ezhr17Test, ProbeSweepIsLoggedAndAnsweredOnlyByPresentDrives) {
  Open({Drive('3')});
  const std::string addrs = "123456789ABCDEF";
  std::vector<std::string> expected;
  for (char a : addrs) {
    std::string r = std::string("/") + a + "?Q\r";
    expected.push_back(r);
    std::string got = line_->Exchange(r, "\r\n", a == '3' ? 2000 : 60);
    EXPECT_EQ(got, a == '3' ? Reply(kReady | 2) : "") << r;
  }
  EXPECT_EQ(sim_->Requests(), expected);
}

TEST_F(Ezhr17Test, MoveIsBusyRefusesNewRunAndStopsOnT) {
  Open({Drive('1')});  // 2000 steps/s: 20000 steps take 10 s
  EXPECT_EQ(Ask("/1P20000R\r"), Reply(kBusy));
  EXPECT_EQ(Ask("/1Q\r"), Reply(kBusy));
  EXPECT_EQ(Ask("/1D533R\r"), Reply(kBusy | 15));  // refused while busy
  EXPECT_EQ(Ask("/1?2\r"), Reply(kBusy, "2000"));  // queries still answered
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(Ask("/1T\r"), Reply(kReady));
  double p = *sim_->Position('1');
  EXPECT_GT(p, 0);
  EXPECT_LT(p, 20000);
}

struct MoveCase {
  const char* request;
  double end;
};

TEST_F(Ezhr17Test, MovesEndOnTheirTargets) {
  const MoveCase cases[] = {
      {"/1P533R\r", 533},      {"/1D533R\r", -533},   {"/1A1600R\r", 1600},
      {"/1D10D10D10R\r", -30}, {"/1gP100G3R\r", 300}, {"/1P100M50D100R\r", 0},
  };
  SimOptions o;
  o.speed_factor = 100;
  for (const MoveCase& c : cases) {
    Open({Drive('1')}, o);
    EXPECT_EQ(Ask(c.request), Reply(kBusy)) << c.request;
    ASSERT_TRUE(WaitReady()) << c.request;
    EXPECT_EQ(*sim_->Position('1'), c.end) << c.request;
  }
}

TEST_F(Ezhr17Test, StoredCommandRunsOnR) {
  Open({Drive('1')}, {.speed_factor = 100});
  EXPECT_EQ(Ask("/1P200\r"), Reply(kReady));
  EXPECT_EQ(*sim_->Position('1'), 0);
  EXPECT_EQ(Ask("/1R\r"), Reply(kBusy));
  ASSERT_TRUE(WaitReady());
  EXPECT_EQ(Ask("/1?0\r"), Reply(kReady, "200"));
}

TEST_F(Ezhr17Test, SetPositionKeepsTheWheelWhereItIs) {
  Open({Drive('1', 700)}, {.speed_factor = 100});
  EXPECT_EQ(Ask("/1z0R\r"), Reply(kReady));
  EXPECT_EQ(Ask("/1?0\r"), Reply(kReady, "0"));
  EXPECT_EQ(*sim_->MechanicalPosition('1'), 700);
  // z after a move inside one program takes effect where the move ends.
  Ask("/1P100z5R\r");
  ASSERT_TRUE(WaitReady());
  EXPECT_EQ(Ask("/1?0\r"), Reply(kReady, "5"));
  EXPECT_EQ(*sim_->MechanicalPosition('1'), 800);
}

// The limit search of the homing: down in steps of 10 until the switch is
// met, then on one step at a time until it clears, and one step more.
TEST_F(Ezhr17Test, LimitSearchLeavesWheelJustBelowSwitch) {
  Open({Drive('1', 1000)}, {.speed_factor = 20});
  EXPECT_EQ(Ask("/1z0R\r"), Reply(kReady));
  EXPECT_EQ(Ask(std::string("/1") + kSeekLimit + "\r"), Reply(kBusy));
  ASSERT_TRUE(WaitReady());
  // The switch spans 2400..2439 of each turn: one turn down that is
  // -800..-761; the first step below it is -801, one more gives -802.
  // The count started at 0 on 1000.
  EXPECT_EQ(*sim_->MechanicalPosition('1'), -802);
  EXPECT_EQ(Ask("/1?0\r"), Reply(kReady, "-1802"));
  EXPECT_EQ(Ask("/1?2\r"), Reply(kReady, "10000"));  // the search's speed stays
  EXPECT_FALSE(*sim_->SwitchEngaged('1'));
}

TEST_F(Ezhr17Test, LimitSearchStartingOnTheSwitch) {
  Open({Drive('1', 2420)}, {.speed_factor = 20});
  Ask(std::string("/1") + kSeekLimit + "\r");
  ASSERT_TRUE(WaitReady());
  EXPECT_EQ(*sim_->MechanicalPosition('1'), 2398);
}

TEST_F(Ezhr17Test, LimitSearchWithoutSwitchNeverEnds) {
  UnitConfig u = Drive('1');
  u.has_switch = false;
  Open({u}, {.speed_factor = 20});
  Ask(std::string("/1") + kSeekLimit + "\r");
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(Ask("/1Q\r"), Reply(kBusy));
  EXPECT_LT(*sim_->Position('1'), 0);
  EXPECT_EQ(Ask("/1T\r"), Reply(kReady));
}

TEST_F(Ezhr17Test, LoopWithoutMotionStaysBusyUntilTerminated) {
  Open({Drive('1')});
  EXPECT_EQ(Ask("/1gG0R\r"), Reply(kBusy));
  EXPECT_EQ(Ask("/1Q\r"), Reply(kBusy));
  EXPECT_EQ(Ask("/1T\r"), Reply(kReady));
  EXPECT_EQ(*sim_->Position('1'), 0);
  // Moving first, then looping without motion: ends up standing busy.
  EXPECT_EQ(Ask("/1P100gG0R\r"), Reply(kBusy));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(Ask("/1Q\r"), Reply(kBusy));
  EXPECT_EQ(*sim_->Position('1'), 100);
  EXPECT_EQ(Ask("/1T\r"), Reply(kReady));
}

// The home of EZHR17_MotorHome: "V500R" then "Z1000000000R".
TEST_F(Ezhr17Test, HomeCommandStopsOnSwitchAndZeroes) {
  Open({Drive('1', 1000)}, {.speed_factor = 20});
  EXPECT_EQ(Ask("/1?2\r"), Reply(kReady, "2000"));
  EXPECT_EQ(Ask("/1V500R\r"), Reply(kReady));
  EXPECT_EQ(Ask("/1Z1000000000R\r"), Reply(kBusy));
  ASSERT_TRUE(WaitReady());
  EXPECT_EQ(Ask("/1?0\r"), Reply(kReady, "0"));
  EXPECT_EQ(*sim_->MechanicalPosition('1'), 2439 - 3200);
  EXPECT_TRUE(*sim_->SwitchEngaged('1'));
  EXPECT_EQ(Ask("/1V2000R\r"), Reply(kReady));
}

TEST_F(Ezhr17Test, HomeCommandWithinLimitThatMissesTheSwitch) {
  Open({Drive('1', 1000)}, {.speed_factor = 100});
  Ask("/1Z100R\r");
  ASSERT_TRUE(WaitReady());
  EXPECT_EQ(Ask("/1?0\r"), Reply(kReady, "900"));
}

struct FaultCase {
  const char* name;
  Fault fault;
  std::string reply;  // to "/1?0" on a drive at 0
};

TEST_F(Ezhr17Test, FaultsChangeTheReply) {
  const FaultCase cases[] = {
      {"none", Fault::kNone, Reply(kReady, "0")},
      {"no reply", Fault::kNoReply, ""},
      {"garbled", Fault::kGarbled, "\xFF#?" + std::string(1, kReady) + "0" + kEnd},
      {"partial", Fault::kPartial, kStart + kReady + "0\x03"},
      {"error", Fault::kErrorStatus, Reply(kReady | 9, "0")},
  };
  for (const FaultCase& c : cases) {
    Open({Drive('1')}, {.fault = c.fault});
    EXPECT_EQ(line_->Exchange("/1?0\r", "\r\n", 200), c.reply) << c.name;
  }
}

TEST_F(Ezhr17Test, ErrorStatusKeepsTheBusyBit) {
  Open({Drive('1')}, {.fault = Fault::kErrorStatus, .fault_skip = 1, .error_code = 5});
  EXPECT_EQ(Ask("/1P20000R\r"), Reply(kBusy));
  EXPECT_EQ(Ask("/1Q\r"), Reply(kBusy | 5));
}

TEST_F(Ezhr17Test, PacedRepliesKeepTheirBytes) {
  Open({Drive('1', -55)}, {.paced = true});
  EXPECT_EQ(Ask("/1?0\r"), Reply(kReady, "-55"));
}

TEST_F(Ezhr17Test, SpeedFactorChangeKeepsPosition) {
  Open({Drive('1')});
  Ask("/1P20000R\r");
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  double before = *sim_->Position('1');
  sim_->SetOptions({.speed_factor = 1000});
  double after = *sim_->Position('1');
  EXPECT_GE(after, before);
  EXPECT_LT(after, before + 2000);  // no jump when the clock speeds up
  ASSERT_TRUE(WaitReady());
  EXPECT_EQ(*sim_->Position('1'), 20000);
}

}  // namespace
}  // namespace nvx::sim
