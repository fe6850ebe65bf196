// The simulated controllers over the pseudo-terminal, as the program sees
// them.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "sim/sim.h"
#include "support/pty_line.h"

namespace nvx::sim {
namespace {

// A step's reply that means: ask the unit named by the request until it
// stands still.
inline const std::string kStill = "<still>";

// One conversation with a fresh simulator: each request's reply, exactly.
struct Dialog {
  const char* name;
  std::vector<UnitConfig> units;
  SimOptions options;
  std::vector<std::pair<std::string, std::string>> steps;  // request, reply
  std::optional<double> mech = {};  // the first unit's mechanical position at the end
};

UnitConfig Unit(char address, double start = 0) {
  return {.address = address, .start_position = start};
}

class SimFixture : public ::testing::Test {
 protected:
  explicit SimFixture(ControllerKind kind)
      : kind_(kind), end_(kind == ControllerKind::kEZHR17 ? "\r\n" : "\n") {}

  void Open(std::vector<UnitConfig> units, SimOptions options = {}) {
    sim_ = std::make_unique<ControllerSim>(kind_, std::move(units), options);
    ASSERT_EQ(sim_->Start(), 1);
    line_ = std::make_unique<test::PtyLine>(sim_->SlavePath());
    ASSERT_TRUE(line_->Ok());
  }
  // A reply that does not end like one comes within 200 ms or not at all.
  std::string Ask(const std::string& request, const std::string& want = "\n") {
    const bool whole = want.size() >= end_.size() && want.ends_with(end_);
    return line_->Exchange(request, end_, whole ? 2000 : 200);
  }
  // Asks `request` until the reply is `want` (or 5 s pass); true when it came.
  bool AskUntil(const std::string& request, const std::string& want) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < deadline) {
      if (Ask(request) == want) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
  }
  bool WaitStill(char a) {
    return kind_ == ControllerKind::kEZHR17
               ? AskUntil(std::string("/") + a + "Q\r", std::string("\xFF/0`\x03\r\n"))
               : AskUntil(std::string(1, a) + "^\n", std::string(1, a) + "^ 0\n");
  }
  // A fresh unit asked for its position under a fault.
  Dialog Faulty(const char* name, Fault fault, std::string reply) const {
    const bool ez = kind_ == ControllerKind::kEZHR17;
    const char* request = ez ? "/1?0\r" : "AZ\n";
    return {name, {Unit(request[ez])}, {.fault = fault}, {{request, std::move(reply)}}};
  }
  void Talk(const std::vector<Dialog>& dialogs) {
    for (const Dialog& d : dialogs) {
      SCOPED_TRACE(d.name);
      Open(d.units, d.options);
      for (const auto& [request, reply] : d.steps) {
        if (reply == kStill) {
          ASSERT_TRUE(WaitStill(request[0]));
        } else {
          EXPECT_EQ(Ask(request, reply), reply) << request;
        }
      }
      if (d.mech) { EXPECT_EQ(sim_->MechanicalPosition(d.units[0].address), d.mech); }
    }
  }

  ControllerKind kind_;
  std::string end_;
  std::unique_ptr<ControllerSim> sim_;
  std::unique_ptr<test::PtyLine> line_;
};

// ---- IM483I ----

class Im483iTest : public SimFixture {
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
      Faulty("none", Fault::kNone, "AZ 0\n"), Faulty("no reply", Fault::kNoReply, ""),
      Faulty("garbled", Fault::kGarbled, "## 0\n"), Faulty("partial", Fault::kPartial, "AZ 0"),
      Faulty("case", Fault::kWrongCase, "az 0\n"), Faulty("error", Fault::kErrorStatus, "AZ?\n"),
      {"slow reply", {Unit('A')}, {.reply_delay_ms = 400}, {{"AZ\n", "AZ 0\n"}}},
      {"paced replies keep their bytes", {Unit('A', -1234)}, {.paced = true}, {
          {"AZ\n", "AZ-1234\n"}, {"AY 10 50\n", "AY 10 50\n"}}},
  });
  // clang-format on
}

// A move takes time and M0 stops it on a whole step; without a switch a
// search runs until stopped; "M" runs both ways.
TEST_F(Im483iTest, MovesSearchesAndRunsStopOnM0) {
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
  p = *sim_->Position('A');
  EXPECT_LT(p, 0);
  Ask("AM125\n");
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  Ask("AM0\n");
  EXPECT_GT(*sim_->Position('A'), p);
}

// A fault hits only the chosen requests of the chosen unit; a hang-up closes
// the line.
TEST_F(Im483iTest, FaultHitsOnlyChosenRequestsOfChosenUnitAndHangUpClosesTheLine) {
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
  sim_->SetOptions({.fault = Fault::kHangUp, .fault_skip = 1});
  EXPECT_EQ(Ask("AZ\n"), "AZ 0\n");
  EXPECT_FALSE(sim_->HungUp());
  EXPECT_EQ(line_->Exchange("AZ\n", "\n", 1000), "");
  EXPECT_TRUE(line_->HungUp());
  EXPECT_TRUE(sim_->HungUp());
  sim_->Stop();  // stopping after a hang-up is safe
}

// Start twice fails, and the program opening and closing the line does not
// end the simulator. Requests written in pieces or back to back are served;
// each is logged whole with its line feed, answered or not. Stop is repeatable.
TEST_F(Im483iTest, ReopenedLineSplitAndBackToBackRequestsLogAndAccessors) {
  sim_ = std::make_unique<ControllerSim>(kind_, std::vector<UnitConfig>{Unit('A')});
  EXPECT_EQ(sim_->SlavePath(), "");
  ASSERT_EQ(sim_->Start(), 1);
  EXPECT_EQ(sim_->Start(), -1);
  for (int i = 0; i < 3; ++i) {
    test::PtyLine line(sim_->SlavePath());
    ASSERT_TRUE(line.Ok());
    EXPECT_EQ(line.Exchange("AZ\n", "\n"), "AZ 0\n");
  }
  sim_->ClearRequests();
  line_ = std::make_unique<test::PtyLine>(sim_->SlavePath());
  ASSERT_TRUE(line_->Write("A"));
  ASSERT_TRUE(line_->Write("V 5"));
  EXPECT_EQ(line_->Exchange("00\n", "\n"), "AV 500\n");
  ASSERT_TRUE(line_->Write("AZ\nA^\n"));
  EXPECT_EQ(line_->ReadUntil("A^ 0\n"), "AZ 0\nA^ 0\n");
  line_->Write("QZ\n");  // no such unit: logged, not answered
  EXPECT_EQ(line_->ReadFor(100), "");
  EXPECT_EQ(sim_->Requests(), (std::vector<std::string>{"AV 500\n", "AZ\n", "A^\n", "QZ\n"}));
  sim_->ClearRequests();
  EXPECT_TRUE(sim_->Requests().empty());
  EXPECT_TRUE(sim_->SetMechanicalPosition('A', 2410));
  EXPECT_TRUE(*sim_->SwitchEngaged('A'));
  EXPECT_EQ(Ask("A] 1\n"), "A] 1 1\n");
  EXPECT_FALSE(sim_->SetMechanicalPosition('Z', 0));
  EXPECT_FALSE(sim_->Position('Z').has_value());
  EXPECT_FALSE(sim_->IsMoving('Z').has_value());
  EXPECT_FALSE(*sim_->IsMoving('A'));
  EXPECT_EQ(sim_->Kind(), ControllerKind::kIM483I);
  sim_->Stop();
  sim_->Stop();
}

// ---- EZHR17 ----

const std::string kEnd = "\x03\r\n";
constexpr char kReady = 0x60;  // ready, no error
constexpr char kBusy = 0x40;

std::string Reply(char status, const std::string& data = "") {
  return "\xFF/0" + std::string(1, status) + data + kEnd;
}

// The limit-search program of the homing, byte for byte.
const std::string kSeekLimit = "/1v1000V10000L12gD10S13G0D1gD1S03G0D1R\r";

class Ezhr17Test : public SimFixture {
 protected:
  Ezhr17Test() : SimFixture(ControllerKind::kEZHR17) {}
};

TEST_F(Ezhr17Test, Dialogs) {
  const std::string ready = Reply(kReady), busy = Reply(kBusy);
  const SimOptions fast{.speed_factor = 100}, slow{.speed_factor = 20};
  // A program run to its end, and where it leaves the wheel.
  auto Moves = [&](const char* program, double mech) {
    return Dialog{program, {Unit('1')}, fast, {{program, busy}, {"1", kStill}}, mech};
  };
  // The probe of every address: only the drive present answers.
  Dialog probe{"probe sweep", {Unit('3')}, {}, {}};
  for (char a : std::string("123456789ABCDEF")) {
    probe.steps.push_back({std::string("/") + a + "?Q\r", a == '3' ? Reply(kReady | 2) : ""});
  }
  // clang-format off
  Talk({
      {"replies", {Unit('1', 17)}, {}, {
          {"/1?0\r", Reply(kReady, "17")}, {"/1Q\r", ready}, {"/1?2\r", Reply(kReady, "2000")},
          {"/1V2500R\r", ready}, {"/1?2\r", Reply(kReady, "2500")}, {"/1h10m50R\r", ready},
          {"/1L12R\r", ready}, {"/1f0R\r", ready}, {"/1j16R\r", ready}, {"/1n0R\r", ready},
          {"/1n1R\r", ready}, {"/1B533R\r", ready}, {"/1\r", ready},
          {"/1j3R\r", Reply(kReady | 3)},  // not a power of two
          {"/1V0R\r", Reply(kReady | 3)}, {"/1P-5R\r", Reply(kReady | 3)},
          {"/1XR\r", Reply(kReady | 2)},  // unknown command
          {"/1?Q\r", Reply(kReady | 2)}, {"/1?9\r", Reply(kReady | 2)},
          {"/1P99999999999999R\r", Reply(kReady | 3)},
          {"/1z-40R\r", ready}, {"/1?0\r", Reply(kReady, "-40")}}},
      // A stray line feed before a request (a CR LF sender) does not matter.
      {"only configured addresses answer", {Unit('1'), Unit('A')}, {}, {
          {"/2?0\r", ""}, {"/a?0\r", ""}, {"/F?Q\r", ""}, {"1?0\r", ""}, {"/\r", ""},
          {"/A?0\r", Reply(kReady, "0")}, {"\n/1?0\r", Reply(kReady, "0")}}},
      // 2000 steps/s: 20000 steps take 10 s. A run is refused while busy,
      // queries are still answered, and T stops the move.
      {"busy until terminated", {Unit('1')}, {}, {
          {"/1P20000R\r", busy}, {"/1Q\r", busy}, {"/1D533R\r", Reply(kBusy | 15)},
          {"/1?2\r", Reply(kBusy, "2000")}, {"/1T\r", ready}, {"/1Q\r", ready}}},
      Moves("/1P533R\r", 533), Moves("/1D533R\r", -533), Moves("/1A1600R\r", 1600),
      Moves("/1D10D10D10R\r", -30), Moves("/1gP100G3R\r", 300), Moves("/1P100M50D100R\r", 0),
      {"stored command runs on R", {Unit('1')}, fast, {
          {"/1P200\r", ready}, {"/1?0\r", Reply(kReady, "0")}, {"/1R\r", busy}, {"1", kStill},
          {"/1?0\r", Reply(kReady, "200")}}},
      // z sets the count, not the wheel; after a move inside one program it
      // takes effect where the move ends.
      {"set position", {Unit('1', 700)}, fast, {
          {"/1z0R\r", ready}, {"/1?0\r", Reply(kReady, "0")}, {"/1P100z5R\r", busy},
          {"1", kStill}, {"/1?0\r", Reply(kReady, "5")}}, 800},
      // The limit search: down in steps of 10 until the switch is met, then on
      // one step at a time until it clears, and one step more. The switch spans
      // 2400..2439 of each turn: one turn down that is -800..-761; the first
      // step below it is -801, one more gives -802. The count started at 0 on
      // 1000, and the search's speed stays.
      {"limit search", {Unit('1', 1000)}, slow, {
          {"/1z0R\r", ready}, {kSeekLimit, busy}, {"1", kStill},
          {"/1?0\r", Reply(kReady, "-1802")}, {"/1?2\r", Reply(kReady, "10000")}}, -802},
      {"limit search starting on the switch", {Unit('1', 2420)}, slow, {
          {kSeekLimit, busy}, {"1", kStill}}, 2398},
      // The home of EZHR17_MotorHome: "V500R" then "Z1000000000R".
      {"home command stops on the switch and zeroes", {Unit('1', 1000)}, slow, {
          {"/1?2\r", Reply(kReady, "2000")}, {"/1V500R\r", ready}, {"/1Z1000000000R\r", busy},
          {"1", kStill}, {"/1?0\r", Reply(kReady, "0")}, {"/1V2000R\r", ready}}, 2439 - 3200},
      {"home command within a limit that misses the switch", {Unit('1', 1000)}, fast, {
          {"/1Z100R\r", busy}, {"1", kStill}, {"/1?0\r", Reply(kReady, "900")}}},
      Faulty("none", Fault::kNone, Reply(kReady, "0")), Faulty("no reply", Fault::kNoReply, ""),
      Faulty("garbled", Fault::kGarbled, "\xFF#?`0" + kEnd),
      Faulty("partial", Fault::kPartial, "\xFF/0`0\x03"),
      Faulty("error", Fault::kErrorStatus, Reply(kReady | 9, "0")),
      {"error status keeps the busy bit", {Unit('1')},
       {.fault = Fault::kErrorStatus, .fault_skip = 1, .error_code = 5}, {
          {"/1P20000R\r", busy}, {"/1Q\r", Reply(kBusy | 5)}}},
      {"paced replies keep their bytes", {Unit('1', -55)}, {.paced = true}, {
          {"/1?0\r", Reply(kReady, "-55")}}},
      probe,
  });
  // clang-format on
}

// A search without a switch, or a loop without motion, stays busy until
// terminated.
TEST_F(Ezhr17Test, EndlessProgramsStayBusyUntilTerminatedAndSpeedChangesKeepPosition) {
  UnitConfig u = Unit('1');
  u.has_switch = false;
  Open({u}, {.speed_factor = 20});
  Ask(kSeekLimit);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(Ask("/1Q\r"), Reply(kBusy));
  EXPECT_LT(*sim_->Position('1'), 0);
  EXPECT_EQ(Ask("/1T\r"), Reply(kReady));
  Open({Unit('1')});
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
  // A change of speed factor during a move keeps the position.
  Ask("/1P20000R\r");
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  double before = *sim_->Position('1');
  sim_->SetOptions({.speed_factor = 1000});
  double after = *sim_->Position('1');
  EXPECT_GE(after, before);
  EXPECT_LT(after, before + 2000);  // no jump when the clock speeds up
  ASSERT_TRUE(WaitStill('1'));
  EXPECT_EQ(*sim_->Position('1'), 20100);
}

}  // namespace
}  // namespace nvx::sim
