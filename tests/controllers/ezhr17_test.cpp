// The EZHR17 driver through the dispatch, against a scripted drive on a real
// pseudo-terminal: exact command strings, reply and status checks, the mode
// word, the homing operations, the limit search and the motion wait.
#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <ostream>
#include <string>
#include <vector>

#include "link_fixture.h"
#include "support/recording_ui.h"

namespace nvx::test {
namespace {

using Strings = std::vector<std::string>;

const char kReady = EzStatus(true);  // '`', code 96
const char kBusy = EzStatus(false);  // '@'

class Ezhr17Test : public ::testing::Test, public LinkFixture {
 protected:
  void SetUp() override { OpenLink("EZHR17", '1', Ez(kReady)); }
  void TearDown() override { CloseLink(); }
};

struct RequestCase {
  const char* name;
  std::function<int16_t()> op;
  Strings expected;  // requests on the line, without the carriage return
  int16_t status;
};

void PrintTo(const RequestCase& c, std::ostream* os) { *os << c.name; }

class Ezhr17RequestTest : public Ezhr17Test, public ::testing::WithParamInterface<RequestCase> {};

TEST_P(Ezhr17RequestTest, SendsExactRequest) {
  const RequestCase& c = GetParam();
  EXPECT_EQ(c.op(), c.status);
  EXPECT_EQ(Requests(), c.expected);
  std::string bytes;
  for (const auto& r : c.expected) bytes += r + "\r";
  EXPECT_EQ(peer_->Bytes(), bytes);
}

int32_t g_pos = 1234;

Strings ProbeStrings() {
  Strings s;
  for (char c : std::string("123456789ABCDEF")) s.push_back(std::string("/") + c + "?Q");
  return s;
}

INSTANTIATE_TEST_SUITE_P(
    Table, Ezhr17RequestTest,
    ::testing::Values(
        RequestCase{"MoveRelNegativeHalfUp", [] { return MotorMoveRel(-532.5); }, {"/1D533R"}, 1},
        RequestCase{"MoveRelPositive", [] { return MotorMoveRel(533.4); }, {"/1P533R"}, 1},
        RequestCase{"MoveRelZero", [] { return MotorMoveRel(0.0); }, {}, 1},
        RequestCase{"MoveRelBelowHalfStep", [] { return MotorMoveRel(0.3); }, {}, 1},
        RequestCase{"MoveRelBelowHalfStepBack", [] { return MotorMoveRel(-0.4); }, {}, 1},
        RequestCase{"MoveRelNaN",
                    [] { return MotorMoveRel(std::numeric_limits<double>::quiet_NaN()); },
                    {},
                    kMotorArgOutOfRange},
        RequestCase{"Currents", [] { return MotorSetCurrents(10, 50); }, {"/1h10m50R"}, 1},
        RequestCase{"AccelOnly", [] { return MotorSetAccel(12, 99); }, {"/1L12R"}, 1},
        RequestCase{"AccelWide", [] { return MotorSetAccel(70000, 1); }, {"/1L70000R"}, 1},
        RequestCase{"AuxFlag", [] { return MotorSetAuxFlag(0); }, {"/1f0R"}, 1},
        RequestCase{"SlewVel", [] { return MotorSetSlewVel(2000); }, {"/1V2000R"}, 1},
        RequestCase{"SlewVelWide", [] { return MotorSetSlewVel(100000); }, {"/1V100000R"}, 1},
        RequestCase{"Resolution", [] { return MotorSetResolution(4); }, {"/1j16R"}, 1},
        RequestCase{"ResolutionZero", [] { return MotorSetResolution(0); }, {"/1j1R"}, 1},
        RequestCase{
            "ResolutionNegative", [] { return MotorSetResolution(-1); }, {}, kMotorArgOutOfRange},
        RequestCase{
            "ResolutionTooLarge", [] { return MotorSetResolution(31); }, {}, kMotorArgOutOfRange},
        RequestCase{"SetPosSendsValue", [] { return MotorSetPos(g_pos); }, {"/1z1234R"}, 1},
        RequestCase{"FilterSteps", [] { return MotorSetFilterSteps(400); }, {"/1B400R"}, 1},
        RequestCase{"InitVelNothing", [] { return MotorSetInitVel(200); }, {}, 0},
        RequestCase{"AuxPairNothing", [] { return MotorSetAuxPair(10, 50); }, {}, 0},
        RequestCase{"SettleNothing", [] { return MotorSettle(500); }, {}, 1},
        RequestCase{"ProbeFifteenAddresses", [] { return MotorProbe(); }, ProbeStrings(), 1},
        RequestCase{"CommandRaw",
                    [] {
                      std::string reply;
                      return MotorCommand("/2?0", reply);
                    },
                    {"/2?0"},
                    1},
        RequestCase{"HomeDirect",
                    [] { return AllMotionCntrl::EZHR17_MotorHome(-500); },
                    {"/1V500R", "/1Z1000000000R"},
                    1}),
    [](const auto& p) { return std::string(p.param.name); });

// --- replies and status ---

TEST_F(Ezhr17Test, PositionIsBetweenStatusAndTrailingCharacter) {
  const struct {
    PeerReply reply;  // to "/1?0"
    int16_t status;
    double pos;       // 5 before the read
    std::string log;  // the last log entry ("" when not looked at)
  } cases[] = {{Ez(kReady, "-1234"), 1, -1234.0, ""},
               {Ez(kReady, "12a"), -1, 5.0, "error reading position:12a"},
               {NoReply(), -1, 5.0, "error reading position:"}};
  for (const auto& c : cases) {
    peer_->Script("/1?0", {c.reply});
    double pos = 5;
    EXPECT_EQ(MotorGetPos(pos), c.status) << c.log;
    EXPECT_DOUBLE_EQ(pos, c.pos) << c.log;
    if (!c.log.empty()) { EXPECT_EQ(LogLines().back(), c.log); }
  }
}

TEST_F(Ezhr17Test, StartCharacterIsNotExamined) {
  peer_->Script("/1V10R", {Raw(std::string("X/0") + kReady + "\x03\r\n")});
  EXPECT_EQ(MotorSetSlewVel(10), 1);
}

struct StatusCase {
  const char* name;
  std::string reply;
  int16_t status;
  std::string response;  // handed back ("keep": untouched)
  std::string log;       // last log entry ("" when nothing is logged)
};

void PrintTo(const StatusCase& c, std::ostream* os) { *os << c.name; }

class Ezhr17StatusTest : public Ezhr17Test, public ::testing::WithParamInterface<StatusCase> {};

TEST_P(Ezhr17StatusTest, ChecksReply) {
  const StatusCase& c = GetParam();
  peer_->Script("/1?0", {Raw(c.reply)});
  std::string response = "keep";
  EXPECT_EQ(AllMotionCntrl::EZHR17_Request("?0", response), c.status);
  EXPECT_EQ(response, c.response);
  const auto log = LogLines();
  if (c.log.empty()) {
    EXPECT_TRUE(log.empty());
  } else {
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back(), c.log);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, Ezhr17StatusTest,
    ::testing::Values(
        StatusCase{"ReadyNoError", "\xFF/0`12\x03\r\n", 1, "`12\x03", ""},
        StatusCase{"ErrorNine", "\xFF/0i12\x03\r\n", -2, "i12\x03",
                   "/1?0-error returned by controller-\xFF/0i12\x03-status-9"},
        StatusCase{"BusyErrorFifteen", "\xFF/0O\x03\r\n", -2, "O\x03",
                   "/1?0-error returned by controller-\xFF/0O\x03-status-15"},
        StatusCase{"NoSlashZero", "\xFF/1`\x03\r\n", -3, "keep", "/1?0-no 0xFF /0-\xFF/1`\x03"},
        StatusCase{"TooShort", "\xFF/\r\n", -3, "keep", "/1?0-no 0xFF /0-\xFF/"},
        StatusCase{"NoStatusCharacter", "\xFF/0\r\n", -3, "keep", "/1?0-no status-\xFF/0"},
        StatusCase{"LineFeedOnlyTimesOut", "\xFF/0`\x03\n", -1, "keep",
                   "/1?0-comm error-\xFF/0`\x03\n"}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(Ezhr17Test, NestedRequestInsideExchangeIsRefused) {
  HookLabel label;
  int16_t nested = 0;
  label.onSetText = [&] {
    if (nested != 0) return;
    std::string r;
    nested = AllMotionCntrl::EZHR17_Request("V5R", r);
  };
  SetCommStatusLabel(&label);
  peer_->Script("/1Q", {NoReply(), Ez(kReady)});
  std::string response;
  EXPECT_EQ(AllMotionCntrl::EZHR17_Request("Q", response), -1);
  EXPECT_EQ(nested, -4);
  const auto log = LogLines();
  ASSERT_GE(log.size(), 3u);
  EXPECT_EQ(log[log.size() - 2], "inst>0;");
  EXPECT_EQ(log.back(), "/1Q-comm error-");
  EXPECT_EQ(Requests(), Strings{"/1Q"});
  EXPECT_EQ(AllMotionCntrl::InProgressCount(), 0);
  label.onSetText = nullptr;
  EXPECT_EQ(AllMotionCntrl::EZHR17_Request("Q", response), 1);
}

// --- the mode word ---

TEST_F(Ezhr17Test, ModeWordKeepsItsOtherBits) {
  EXPECT_EQ(MotorSetModeBit1(0), 1);
  EXPECT_EQ(MotorSetModeSel(1), 1);
  EXPECT_EQ(MotorSetModeBit1(0), 1);
  EXPECT_EQ(MotorSetModeSel(1), 1);
  EXPECT_EQ(MotorSetModeBit1(1), 1);
  EXPECT_EQ(MotorSetModeSel(2), 1);
  EXPECT_EQ(MotorSetModeSel(0), 1);
  EXPECT_EQ(MotorSetModeBit1(0), 1);
  EXPECT_EQ(Requests(),
            (Strings{"/1n0R", "/1n1R", "/1n1R", "/1n1R", "/1n3R", "/1n6R", "/1n2R", "/1n0R"}));
}

TEST_F(Ezhr17Test, ModeBitValueOtherThanOneStillSetsOnlyBitOne) {
  EXPECT_EQ(MotorSetModeBit1(5), 1);
  EXPECT_EQ(AllMotionCntrl::ModeWord, 2);
}

// --- the motion wait ---

TEST_F(Ezhr17Test, WaitStopPollsUntilReady) {
  peer_->Script("/1Q", {Ez(kBusy), Ez(kBusy), Ez(kReady)});
  RecordingUi ui;
  ScopedUi scoped(ui);
  EXPECT_EQ(MotorWaitStop(), 1);
  EXPECT_EQ(Requests(), (Strings{"/1Q", "/1Q", "/1Q"}));
  EXPECT_EQ(ui.processEventsCalls, 2);
}

TEST_F(Ezhr17Test, WaitStopCountsFailedQueryAsBusyAndTimesOut) {
  MotorSetMoveTimeout(0);
  SetPortTimeout(100);
  peer_->Script("/1Q", {NoReply()});
  EXPECT_EQ(MotorWaitStop(), -2);
  EXPECT_GE(Requests().size(), 2u);
}

TEST_F(Ezhr17Test, WaitStopOnAClosedPortEndsAfterOneQuery) {
  CommClosePort();
  EXPECT_EQ(MotorWaitStop(), -2);
  EXPECT_EQ(LogLines(), (Strings{"CommOut  9 Port is not open", "CommIn2  9 Port is not open",
                                 "Port TimeOut", "/1Q-comm error-"}));
}

TEST_F(Ezhr17Test, WaitStopReadyWithErrorCountsAsBusy) {
  MotorSetMoveTimeout(0);
  peer_->Script("/1Q", {Ez(EzStatus(true, 9))});
  EXPECT_EQ(MotorWaitStop(), -2);
}

TEST_F(Ezhr17Test, NestedOperationOnOtherAddressDoesNotRedirectPolls) {
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
  EXPECT_EQ(nested, 1);
  EXPECT_EQ(Requests(), (Strings{"/1Q", "/2P10R", "/1Q", "/1Q"}));
  EXPECT_EQ(MotorAddress(), '1');
}

// --- homing and the limit search ---

TEST_F(Ezhr17Test, HomeSmartSavesHomesWaitsRestores) {
  peer_->Script("/1?2", {Ez(kReady, "8000")});
  peer_->Script("/1Q", {Ez(kBusy), Ez(kReady)});
  EXPECT_EQ(MotorHome(-500, 99), 1);
  EXPECT_EQ(Requests(), (Strings{"/1?2", "/1V500R", "/1Z1000000000R", "/1Q", "/1Q", "/1V8000R"}));
}

struct HomeCase {
  const char* name;
  int32_t speed;
  std::vector<std::pair<std::string, std::vector<PeerReply>>> script;
  Strings expected;
  int16_t result;
  Strings logTail;  // the last log entries, in order
};

void PrintTo(const HomeCase& c, std::ostream* os) { *os << c.name; }

class Ezhr17HomeTest : public Ezhr17Test, public ::testing::WithParamInterface<HomeCase> {};

TEST_P(Ezhr17HomeTest, Home) {
  const HomeCase& c = GetParam();
  peer_->Script("/1?2", {Ez(kReady, "8000")});
  for (const auto& [req, replies] : c.script) peer_->Script(req, replies);
  MotorSetMoveTimeout(0);
  EXPECT_EQ(AllMotionCntrl::EZHR17_MotorHomeSmart(c.speed, 0), c.result);
  EXPECT_EQ(Requests(), c.expected);
  const auto log = LogLines();
  ASSERT_GE(log.size(), c.logTail.size());
  EXPECT_EQ(Strings(log.end() - static_cast<long>(c.logTail.size()), log.end()), c.logTail);
}

const PeerReply kErr = Ez(EzStatus(true, 2));

INSTANTIATE_TEST_SUITE_P(
    Table, Ezhr17HomeTest,
    ::testing::Values(
        HomeCase{"ReadTopSpeedFails",
                 500,
                 {{"/1?2", {kErr}}},
                 {"/1?2"},
                 -1,
                 {"EZHR17_MotorHomeSmart: error reading max speedb\x03"}},
        HomeCase{"TopSpeedNotANumber",
                 500,
                 {{"/1?2", {Ez(kReady, "fast")}}},
                 {"/1?2"},
                 -1,
                 {"EZHR17_MotorHomeSmart: bad read of max speedfast"}},
        HomeCase{"ZeroSpeedStillRestores",
                 0,
                 {},
                 {"/1?2", "/1V8000R"},
                 -1,
                 {"EZHR17_MotorHome: zero home speed", "EZHR17_MotorHomeSmart: error homing"}},
        HomeCase{
            "SpeedRefused",
            300,
            {{"/1V300R", {kErr}}},
            {"/1?2", "/1V300R", "/1V8000R"},
            -1,
            {"EZHR17_MotorHome: error setting home speed", "EZHR17_MotorHomeSmart: error homing"}},
        HomeCase{"HomingRefused",
                 300,
                 {{"/1Z1000000000R", {kErr}}},
                 {"/1?2", "/1V300R", "/1Z1000000000R", "/1V8000R"},
                 -1,
                 {"EZHR17_MotorHome: error homing", "EZHR17_MotorHomeSmart: error homing"}},
        HomeCase{"RestoreFails",
                 300,
                 {{"/1V8000R", {kErr}}},
                 {"/1?2", "/1V300R", "/1Z1000000000R", "/1Q", "/1V8000R"},
                 -1,
                 {"EZHR17_MotorHomeSmart: error restoring max speed"}}),
    [](const auto& p) { return std::string(p.param.name); });

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

TEST_F(Ezhr17Test, HomeDirectWithZeroSpeedSendsNothing) {
  EXPECT_EQ(AllMotionCntrl::EZHR17_MotorHome(0), -1);
  EXPECT_TRUE(Requests().empty());
  EXPECT_EQ(LogLines().back(), "EZHR17_MotorHome: zero home speed");
}

TEST_F(Ezhr17Test, SeekLimitRunsProgramAndWaits) {
  peer_->Script("/1Q", {Ez(kBusy), Ez(kReady)});
  EXPECT_EQ(AllMotionCntrl::EZHR17_SeekLimit(), 1);
  EXPECT_EQ(Requests(), (Strings{"/1v1000V10000L12gD10S13G0D1gD1S03G0D1R", "/1Q", "/1Q"}));
}

TEST_F(Ezhr17Test, SeekLimitIgnoresProgramStatusAndTimesOut) {
  MotorSetMoveTimeout(0);
  peer_->Script("/1v1000V10000L12gD10S13G0D1gD1S03G0D1R", {kErr});
  peer_->Script("/1Q", {Ez(kBusy)});
  EXPECT_EQ(AllMotionCntrl::EZHR17_SeekLimit(), -2);
  EXPECT_GE(Requests().size(), 3u);
}

}  // namespace
}  // namespace nvx::test
