// The simulated EZHR17 drives, over the pseudo-terminal as the program sees them.
#include "sim_line.h"

namespace nvx::sim {
namespace {

using test::kStill;

const std::string kEnd = "\x03\r\n";
constexpr char kReady = 0x60;  // ready, no error
constexpr char kBusy = 0x40;

std::string Reply(char status, const std::string& data = "") {
  return "\xFF/0" + std::string(1, status) + data + kEnd;
}

UnitConfig Drive(char address, double start = 0) {
  return {.address = address, .start_position = start};
}

// The limit-search program of the homing, byte for byte.
const std::string kSeekLimit = "/1v1000V10000L12gD10S13G0D1gD1S03G0D1R\r";

class Ezhr17Test : public test::SimFixture {
 protected:
  Ezhr17Test() : SimFixture(ControllerKind::kEZHR17) {}
};

TEST_F(Ezhr17Test, Dialogs) {
  const std::string ready = Reply(kReady), busy = Reply(kBusy);
  const SimOptions fast{.speed_factor = 100}, slow{.speed_factor = 20};
  // clang-format off
  Talk({
      {"replies", {Drive('1', 17)}, {}, {
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
      {"only configured addresses answer", {Drive('1'), Drive('A')}, {}, {
          {"/2?0\r", ""}, {"/a?0\r", ""}, {"/F?Q\r", ""}, {"1?0\r", ""}, {"/\r", ""},
          {"/A?0\r", Reply(kReady, "0")}, {"\n/1?0\r", Reply(kReady, "0")}}},
      // 2000 steps/s: 20000 steps take 10 s. A run is refused while busy,
      // queries are still answered, and T stops the move.
      {"busy until terminated", {Drive('1')}, {}, {
          {"/1P20000R\r", busy}, {"/1Q\r", busy}, {"/1D533R\r", Reply(kBusy | 15)},
          {"/1?2\r", Reply(kBusy, "2000")}, {"/1T\r", ready}, {"/1Q\r", ready}}},
      {"move P", {Drive('1')}, fast, {{"/1P533R\r", busy}, {"1", kStill}}, 533},
      {"move D", {Drive('1')}, fast, {{"/1D533R\r", busy}, {"1", kStill}}, -533},
      {"move A", {Drive('1')}, fast, {{"/1A1600R\r", busy}, {"1", kStill}}, 1600},
      {"moves in a row", {Drive('1')}, fast, {{"/1D10D10D10R\r", busy}, {"1", kStill}}, -30},
      {"loop", {Drive('1')}, fast, {{"/1gP100G3R\r", busy}, {"1", kStill}}, 300},
      {"there and back", {Drive('1')}, fast, {{"/1P100M50D100R\r", busy}, {"1", kStill}}, 0},
      {"stored command runs on R", {Drive('1')}, fast, {
          {"/1P200\r", ready}, {"/1?0\r", Reply(kReady, "0")}, {"/1R\r", busy}, {"1", kStill},
          {"/1?0\r", Reply(kReady, "200")}}},
      // z sets the count, not the wheel; after a move inside one program it
      // takes effect where the move ends.
      {"set position", {Drive('1', 700)}, fast, {
          {"/1z0R\r", ready}, {"/1?0\r", Reply(kReady, "0")}, {"/1P100z5R\r", busy},
          {"1", kStill}, {"/1?0\r", Reply(kReady, "5")}}, 800},
      // The limit search: down in steps of 10 until the switch is met, then on
      // one step at a time until it clears, and one step more. The switch spans
      // 2400..2439 of each turn: one turn down that is -800..-761; the first
      // step below it is -801, one more gives -802. The count started at 0 on
      // 1000, and the search's speed stays.
      {"limit search", {Drive('1', 1000)}, slow, {
          {"/1z0R\r", ready}, {kSeekLimit, busy}, {"1", kStill},
          {"/1?0\r", Reply(kReady, "-1802")}, {"/1?2\r", Reply(kReady, "10000")}}, -802},
      {"limit search starting on the switch", {Drive('1', 2420)}, slow, {
          {kSeekLimit, busy}, {"1", kStill}}, 2398},
      // The home of EZHR17_MotorHome: "V500R" then "Z1000000000R".
      {"home command stops on the switch and zeroes", {Drive('1', 1000)}, slow, {
          {"/1?2\r", Reply(kReady, "2000")}, {"/1V500R\r", ready}, {"/1Z1000000000R\r", busy},
          {"1", kStill}, {"/1?0\r", Reply(kReady, "0")}, {"/1V2000R\r", ready}}, 2439 - 3200},
      {"home command within a limit that misses the switch", {Drive('1', 1000)}, fast, {
          {"/1Z100R\r", busy}, {"1", kStill}, {"/1?0\r", Reply(kReady, "900")}}},
      {"fault: none", {Drive('1')}, {.fault = Fault::kNone}, {{"/1?0\r", Reply(kReady, "0")}}},
      {"fault: no reply", {Drive('1')}, {.fault = Fault::kNoReply}, {{"/1?0\r", ""}}},
      {"fault: garbled", {Drive('1')}, {.fault = Fault::kGarbled}, {
          {"/1?0\r", "\xFF#?" + std::string(1, kReady) + "0" + kEnd}}},
      {"fault: partial", {Drive('1')}, {.fault = Fault::kPartial}, {
          {"/1?0\r", "\xFF/0" + std::string(1, kReady) + "0\x03"}}},
      {"fault: error", {Drive('1')}, {.fault = Fault::kErrorStatus}, {
          {"/1?0\r", Reply(kReady | 9, "0")}}},
      {"error status keeps the busy bit", {Drive('1')},
       {.fault = Fault::kErrorStatus, .fault_skip = 1, .error_code = 5}, {
          {"/1P20000R\r", busy}, {"/1Q\r", Reply(kBusy | 5)}}},
      {"paced replies keep their bytes", {Drive('1', -55)}, {.paced = true}, {
          {"/1?0\r", Reply(kReady, "-55")}}},
  });
  // clang-format on
}

TEST_F(Ezhr17Test, ProbeSweepIsLoggedAndAnsweredOnlyByPresentDrives) {
  Open({Drive('3')});
  std::vector<std::string> expected;
  for (char a : std::string("123456789ABCDEF")) {
    expected.push_back(std::string("/") + a + "?Q\r");
    EXPECT_EQ(Ask(expected.back(), a == '3' ? "\r\n" : ""), a == '3' ? Reply(kReady | 2) : "");
  }
  EXPECT_EQ(sim_->Requests(), expected);
}

// A search without a switch, or a loop without motion, stays busy until
// terminated.
TEST_F(Ezhr17Test, EndlessProgramsStayBusyUntilTerminated) {
  UnitConfig u = Drive('1');
  u.has_switch = false;
  Open({u}, {.speed_factor = 20});
  Ask(kSeekLimit);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(Ask("/1Q\r"), Reply(kBusy));
  EXPECT_LT(*sim_->Position('1'), 0);
  EXPECT_EQ(Ask("/1T\r"), Reply(kReady));
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

TEST_F(Ezhr17Test, SpeedFactorChangeKeepsPosition) {
  Open({Drive('1')});
  Ask("/1P20000R\r");
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  double before = *sim_->Position('1');
  sim_->SetOptions({.speed_factor = 1000});
  double after = *sim_->Position('1');
  EXPECT_GE(after, before);
  EXPECT_LT(after, before + 2000);  // no jump when the clock speeds up
  ASSERT_TRUE(WaitStill('1'));
  EXPECT_EQ(*sim_->Position('1'), 20000);
}

}  // namespace
}  // namespace nvx::sim
