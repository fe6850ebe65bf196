// The EZHR17 driver through the dispatch, against a scripted drive on a real
// pseudo-terminal: exact command strings, reply and status checks, the mode
// word, the homing operations, the limit search and the motion wait.
#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "link_fixture.h"
#include "support/recording_ui.h"

namespace nvx::test {
namespace {

const char kReady = EzStatus(true);  // '`', code 96
const char kBusy = EzStatus(false);  // '@'
const PeerReply kErr = Ez(EzStatus(true, 2));
const double kNaN = std::numeric_limits<double>::quiet_NaN();
const char* const kHomeErr = "EZHR17_MotorHomeSmart: error homing";
const char* const kSeekLimit = "/1v1000V10000L12gD10S13G0D1gD1S03G0D1R";

class Ezhr17Test : public ::testing::Test, public LinkFixture {
 protected:
  void SetUp() override {
    OpenLink("EZHR17", '1', Ez(kReady));
    script_ = {{"/1?2", {Ez(kReady, "8000")}}};
  }
  void TearDown() override { CloseLink(); }
};

TEST_F(Ezhr17Test, SendsExactRequests) {
  Strings probe;
  for (char c : std::string("123456789ABCDEF")) probe.push_back(std::string("/") + c + "?Q");
  static int32_t pos = 1234;
  const int16_t kOut = kMotorArgOutOfRange;
  // clang-format off
  ExpectRequests({
      {"MoveRelNegativeHalfUp", [] { return MotorMoveRel(-532.5); }, {"/1D533R"}, 1},
      {"MoveRelPositive", [] { return MotorMoveRel(533.4); }, {"/1P533R"}, 1},
      {"MoveRelZero", [] { return MotorMoveRel(0.0); }, {}, 1},
      {"MoveRelBelowHalfStep", [] { return MotorMoveRel(0.3); }, {}, 1},
      {"MoveRelBelowHalfStepBack", [] { return MotorMoveRel(-0.4); }, {}, 1},
      {"MoveRelNaN", [] { return MotorMoveRel(kNaN); }, {}, kOut},
      {"Currents", [] { return MotorSetCurrents(10, 50); }, {"/1h10m50R"}, 1},
      {"AccelOnly", [] { return MotorSetAccel(12, 99); }, {"/1L12R"}, 1},
      {"AccelWide", [] { return MotorSetAccel(70000, 1); }, {"/1L70000R"}, 1},
      {"AuxFlag", [] { return MotorSetAuxFlag(0); }, {"/1f0R"}, 1},
      {"SlewVel", [] { return MotorSetSlewVel(2000); }, {"/1V2000R"}, 1},
      {"SlewVelWide", [] { return MotorSetSlewVel(100000); }, {"/1V100000R"}, 1},
      {"Resolution", [] { return MotorSetResolution(4); }, {"/1j16R"}, 1},
      {"ResolutionZero", [] { return MotorSetResolution(0); }, {"/1j1R"}, 1},
      {"ResolutionNegative", [] { return MotorSetResolution(-1); }, {}, kOut},
      {"ResolutionTooLarge", [] { return MotorSetResolution(31); }, {}, kOut},
      {"SetPosSendsValue", [] { return MotorSetPos(pos); }, {"/1z1234R"}, 1},
      {"FilterSteps", [] { return MotorSetFilterSteps(400); }, {"/1B400R"}, 1},
      {"InitVelNothing", [] { return MotorSetInitVel(200); }, {}, 0},
      {"AuxPairNothing", [] { return MotorSetAuxPair(10, 50); }, {}, 0},
      {"SettleNothing", [] { return MotorSettle(500); }, {}, 1},
      {"ProbeFifteenAddresses", [] { return MotorProbe(); }, probe, 1},
      {"CommandRaw", [] { std::string r; return MotorCommand("/2?0", r); }, {"/2?0"}, 1},
      {"HomeDirect", [] { return AllMotionCntrl::EZHR17_MotorHome(-500); },
       {"/1V500R", "/1Z1000000000R"}, 1},
      // The mode word keeps its other bits.
      {"ModeBit1Clear", [] { return MotorSetModeBit1(0); }, {"/1n0R"}, 1},
      {"ModeSel1", [] { return MotorSetModeSel(1); }, {"/1n1R"}, 1},
      {"ModeBit1ClearAgain", [] { return MotorSetModeBit1(0); }, {"/1n1R"}, 1},
      {"ModeSel1Again", [] { return MotorSetModeSel(1); }, {"/1n1R"}, 1},
      {"ModeBit1Set", [] { return MotorSetModeBit1(1); }, {"/1n3R"}, 1},
      {"ModeSel2", [] { return MotorSetModeSel(2); }, {"/1n6R"}, 1},
      {"ModeSel0", [] { return MotorSetModeSel(0); }, {"/1n2R"}, 1},
      {"ModeBit1ClearLast", [] { return MotorSetModeBit1(0); }, {"/1n0R"}, 1},
      {"ModeBit1FiveSetsOnlyBitOne", [] { return MotorSetModeBit1(5); }, {"/1n2R"}, 1},
      // The position is between the status and the trailing character.
      {"Position", GetPos(-1234), {"/1?0"}, 1, {{"/1?0", {Ez(kReady, "-1234")}}}},
      {"PositionNotANumber", GetPos(5), {"/1?0"}, -1, {{"/1?0", {Ez(kReady, "12a")}}},
       {"error reading position:12a"}},
      {"PositionMissing", GetPos(5), {"/1?0"}, -1, {{"/1?0", {NoReply()}}},
       {"error reading position:"}},
      // Homing saves the top speed, homes, waits and restores the speed, even
      // after a failure.
      {"HomeSmart", [] { return MotorHome(-500, 99); },
       {"/1?2", "/1V500R", "/1Z1000000000R", "/1Q", "/1Q", "/1V8000R"}, 1,
       {{"/1Q", {Ez(kBusy), Ez(kReady)}}}},
      {"HomeReadTopSpeedFails", [] { return MotorHome(500, 0); }, {"/1?2"}, -1,
       {{"/1?2", {kErr}}}, {"EZHR17_MotorHomeSmart: error reading max speedb\x03"}},
      {"HomeTopSpeedNotANumber", [] { return MotorHome(500, 0); }, {"/1?2"}, -1,
       {{"/1?2", {Ez(kReady, "fast")}}}, {"EZHR17_MotorHomeSmart: bad read of max speedfast"}},
      {"HomeZeroSpeedStillRestores", [] { return MotorHome(0, 0); }, {"/1?2", "/1V8000R"}, -1,
       {}, {"EZHR17_MotorHome: zero home speed", kHomeErr}},
      {"HomeSpeedRefused", [] { return MotorHome(300, 0); }, {"/1?2", "/1V300R", "/1V8000R"}, -1,
       {{"/1V300R", {kErr}}}, {"EZHR17_MotorHome: error setting home speed", kHomeErr}},
      {"HomingRefused", [] { return MotorHome(300, 0); },
       {"/1?2", "/1V300R", "/1Z1000000000R", "/1V8000R"}, -1,
       {{"/1Z1000000000R", {kErr}}}, {"EZHR17_MotorHome: error homing", kHomeErr}},
      {"HomeRestoreFails", [] { return MotorHome(300, 0); },
       {"/1?2", "/1V300R", "/1Z1000000000R", "/1Q", "/1V8000R"}, -1,
       {{"/1V8000R", {kErr}}}, {"EZHR17_MotorHomeSmart: error restoring max speed"}},
      // The limit search runs its program and waits.
      {"SeekLimit", [] { return MotorSeekLimit(); }, {kSeekLimit, "/1Q", "/1Q"}, 1,
       {{"/1Q", {Ez(kBusy), Ez(kReady)}}}},
  });
  // clang-format on
}

// --- replies and status ---

TEST_F(Ezhr17Test, RequestChecksReplyAndStatus) {
  const struct {
    const char* name;
    std::string reply;  // to "/1?0"
    int16_t status;
    std::string response;  // handed back ("keep": untouched)
    std::string log;       // the new log entry ("" when nothing is logged)
  } cases[] = {
      {"ReadyNoError", "\xFF/0`12\x03\r\n", 1, "`12\x03", ""},
      {"StartCharacterNotExamined", "X/0`\x03\r\n", 1, "`\x03", ""},
      {"ErrorNine", "\xFF/0i12\x03\r\n", -2, "i12\x03",
       "/1?0-error returned by controller-\xFF/0i12\x03-status-9"},
      {"BusyErrorFifteen", "\xFF/0O\x03\r\n", -2, "O\x03",
       "/1?0-error returned by controller-\xFF/0O\x03-status-15"},
      {"NoSlashZero", "\xFF/1`\x03\r\n", -3, "keep", "/1?0-no 0xFF /0-\xFF/1`\x03"},
      {"TooShort", "\xFF/\r\n", -3, "keep", "/1?0-no 0xFF /0-\xFF/"},
      {"NoStatusCharacter", "\xFF/0\r\n", -3, "keep", "/1?0-no status-\xFF/0"},
      {"LineFeedOnlyTimesOut", "\xFF/0`\x03\n", -1, "keep", "/1?0-comm error-\xFF/0`\x03\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    peer_->Script("/1?0", {Raw(c.reply)});
    const size_t logged = LogLines().size();
    std::string response = "keep";
    EXPECT_EQ(AllMotionCntrl::EZHR17_Request("?0", response), c.status);
    EXPECT_EQ(response, c.response);
    if (c.log.empty()) {
      EXPECT_EQ(LogLines().size(), logged);
    } else {
      EXPECT_EQ(LogLines().back(), c.log);
    }
  }
}

TEST_F(Ezhr17Test, NestedRequestInsideExchangeIsRefused) {
  RecordingLabel label;
  int16_t nested = 0;
  label.onSetText = [&] {
    std::string r;
    if (nested == 0) nested = AllMotionCntrl::EZHR17_Request("V5R", r);
  };
  SetCommStatusLabel(&label);
  peer_->Script("/1Q", {NoReply(), Ez(kReady)});
  std::string response;
  EXPECT_EQ(AllMotionCntrl::EZHR17_Request("Q", response), -1);
  EXPECT_EQ(nested, -4);
  EXPECT_EQ(LogTail(2), (Strings{"inst>0;", "/1Q-comm error-"}));
  EXPECT_EQ(Requests(), Strings{"/1Q"});
  EXPECT_EQ(AllMotionCntrl::InProgressCount(), 0);
  label.onSetText = nullptr;
  EXPECT_EQ(AllMotionCntrl::EZHR17_Request("Q", response), 1);
}

// --- the motion wait ---

TEST_F(Ezhr17Test, WaitStopPollsUntilReadyWithoutRedirectingANestedOperation) {
  peer_->Script("/1Q", {Ez(kBusy), Ez(kBusy), Ez(kReady)});
  RecordingUi ui;
  ScopedUi scoped(ui);
  int16_t nested = 0;
  ui.onProcessEvents = [&] {
    if (nested != 0) return;
    MotorSelect('2');
    nested = MotorMoveRel(10);
  };
  EXPECT_EQ(MotorWaitStop(), 1);
  EXPECT_EQ(ui.processEventsCalls, 2);
  EXPECT_EQ(nested, 1);
  EXPECT_EQ(Requests(), (Strings{"/1Q", "/2P10R", "/1Q", "/1Q"}));
  EXPECT_EQ(MotorAddress(), '1');
}

// A failed query and a ready drive with an error both count as busy.
TEST_F(Ezhr17Test, WaitStopCountsFailuresAsBusyAndTimesOut) {
  MotorSetMoveTimeout(0);
  SetPortTimeout(100);
  for (const PeerReply& reply : {NoReply(), Ez(EzStatus(true, 9))}) {
    peer_->Reset();
    peer_->Script("/1Q", {reply});
    EXPECT_EQ(MotorWaitStop(), -2);
    EXPECT_GE(Requests().size(), 2u);
  }
}

TEST_F(Ezhr17Test, WaitStopOnAClosedPortEndsAfterOneQuery) {
  CommClosePort();
  EXPECT_EQ(MotorWaitStop(), -2);
  EXPECT_EQ(LogLines(), (Strings{"CommOut  9 Port is not open", "CommIn2  9 Port is not open",
                                 "Port TimeOut", "/1Q-comm error-"}));
}

// --- homing and the limit search ---

TEST_F(Ezhr17Test, HomeSmartTimesOutAndStillRestoresSpeed) {
  MotorSetMoveTimeout(0);
  peer_->Script("/1?2", {Ez(kReady, "8000")});
  peer_->Script("/1Q", {Ez(kBusy)});
  EXPECT_EQ(AllMotionCntrl::EZHR17_MotorHomeSmart(-500), -1);
  const auto req = Requests();
  ASSERT_GE(req.size(), 5u);
  EXPECT_EQ(Strings(req.begin(), req.begin() + 3), (Strings{"/1?2", "/1V500R", "/1Z1000000000R"}));
  EXPECT_EQ(req.back(), "/1V8000R");
  EXPECT_EQ(LogLines().back(), "EZHR17_MotorHomeSmart: timeout");
}

// The limit search does not look at its program's status.
TEST_F(Ezhr17Test, SeekLimitIgnoresProgramStatusAndTimesOut) {
  MotorSetMoveTimeout(0);
  peer_->Script(kSeekLimit, {kErr});
  peer_->Script("/1Q", {Ez(kBusy)});
  EXPECT_EQ(AllMotionCntrl::EZHR17_SeekLimit(), -2);
  EXPECT_GE(Requests().size(), 3u);
}

}  // namespace
}  // namespace nvx::test
