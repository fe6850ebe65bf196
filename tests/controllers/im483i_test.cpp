// The IM483I driver through the dispatch, against a scripted controller on a
// real pseudo-terminal: exact request bytes, echo checks, the request guard,
// the home search and the motion wait.
#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <ostream>
#include <string>
#include <vector>

#include "controllers/imscntrl.h"
#include "link_fixture.h"
#include "support/recording_ui.h"

namespace nvx::test {
namespace {

using Strings = std::vector<std::string>;

class Im483iTest : public ::testing::Test, public LinkFixture {
 protected:
  void SetUp() override { OpenLink("IM483I", 'A', Echo()); }
  void TearDown() override { CloseLink(); }
};

// --- request texts, table-driven ---

struct RequestCase {
  const char* name;
  std::function<int16_t()> op;
  Strings expected;  // requests on the line, without the line feed
  int16_t status;
};

void PrintTo(const RequestCase& c, std::ostream* os) { *os << c.name; }

class Im483iRequestTest : public Im483iTest, public ::testing::WithParamInterface<RequestCase> {};

TEST_P(Im483iRequestTest, SendsExactRequest) {
  const RequestCase& c = GetParam();
  EXPECT_EQ(c.op(), c.status);
  EXPECT_EQ(Requests(), c.expected);
  // Each request went out followed by one line feed and nothing else.
  std::string bytes;
  for (const auto& r : c.expected) bytes += r + "\n";
  EXPECT_EQ(peer_->Bytes(), bytes);
}

int32_t g_pos = 77;

INSTANTIATE_TEST_SUITE_P(
    Table, Im483iRequestTest,
    ::testing::Values(
        RequestCase{"MoveRelPositive", [] { return MotorMoveRel(2.4); }, {"A+2"}, 1},
        RequestCase{"MoveRelNegativeHalfUp", [] { return MotorMoveRel(-2.5); }, {"A-3"}, 1},
        RequestCase{"MoveRelLarge", [] { return MotorMoveRel(1067.0); }, {"A+1067"}, 1},
        RequestCase{"MoveRelZero", [] { return MotorMoveRel(0.0); }, {}, 1},
        RequestCase{"MoveRelNotFinite",
                    [] { return MotorMoveRel(std::numeric_limits<double>::infinity()); },
                    {},
                    kMotorArgOutOfRange},
        RequestCase{
            "MoveRelBeyond32Bit", [] { return MotorMoveRel(3e9); }, {}, kMotorArgOutOfRange},
        RequestCase{"Settle500", [] { return MotorSettle(500); }, {"AE 50"}, 1},
        RequestCase{"SettleHalfToEven", [] { return MotorSettle(25); }, {"AE 2"}, 1},
        RequestCase{"SettleHalfToEvenUp", [] { return MotorSettle(35); }, {"AE 4"}, 1},
        RequestCase{"SettleCapped", [] { return MotorSettle(3000); }, {"AE 255"}, 1},
        RequestCase{"SettleNegative", [] { return MotorSettle(-40); }, {"AE 0"}, 1},
        RequestCase{"Currents", [] { return MotorSetCurrents(10, 50); }, {"AY 10 50"}, 1},
        RequestCase{"CurrentsNegative", [] { return MotorSetCurrents(-5, 0); }, {"AY-5 0"}, 1},
        RequestCase{"Accel", [] { return MotorSetAccel(100, 200); }, {"AK 100 200"}, 1},
        RequestCase{
            "AccelOutOfRange", [] { return MotorSetAccel(100, 70000); }, {}, kMotorArgOutOfRange},
        RequestCase{"AuxFlag", [] { return MotorSetAuxFlag(0); }, {"Al 0"}, 1},
        RequestCase{"AuxPair", [] { return MotorSetAuxPair(10, 50); }, {"AB 10 50"}, 1},
        RequestCase{"AuxPairOutOfRange",
                    [] { return MotorSetAuxPair(-32769, 50); },
                    {},
                    kMotorArgOutOfRange},
        RequestCase{"SlewVel", [] { return MotorSetSlewVel(500); }, {"AV 500"}, 1},
        RequestCase{"SlewVelLimit", [] { return MotorSetSlewVel(32767); }, {"AV 32767"}, 1},
        RequestCase{
            "SlewVelOutOfRange", [] { return MotorSetSlewVel(32768); }, {}, kMotorArgOutOfRange},
        RequestCase{"Resolution", [] { return MotorSetResolution(4); }, {"AH 0", "AD 4"}, 1},
        RequestCase{"InitVel", [] { return MotorSetInitVel(200); }, {"AI 200"}, 1},
        RequestCase{
            "InitVelNegativeLimit", [] { return MotorSetInitVel(-32768); }, {"AI-32768"}, 1},
        RequestCase{
            "InitVelOutOfRange", [] { return MotorSetInitVel(-40000); }, {}, kMotorArgOutOfRange},
        RequestCase{"SetPosIgnoresValue", [] { return MotorSetPos(g_pos); }, {"AO"}, 1},
        RequestCase{
            "HomeOutOfRange", [] { return MotorHome(-40000, 200); }, {}, kMotorArgOutOfRange},
        RequestCase{"ModeBit1NothingSent", [] { return MotorSetModeBit1(1); }, {}, 1},
        RequestCase{"ModeSelNothingSent", [] { return MotorSetModeSel(2); }, {}, 1},
        RequestCase{"FilterStepsNothingSent", [] { return MotorSetFilterSteps(533); }, {}, 1},
        RequestCase{"ProbeUnaddressed", [] { return MotorProbe(); }, {"AX"}, 1},
        RequestCase{"CommandRaw",
                    [] {
                      std::string reply;
                      return MotorCommand("BV 20", reply);
                    },
                    {"BV 20"},
                    1}),
    [](const auto& p) { return std::string(p.param.name); });

// --- replies and their checks ---

TEST_F(Im483iTest, PositionIsTheResponseAfterTheEcho) {
  peer_->Script("AZ", {Echo(" 1067")});
  double pos = 0;
  EXPECT_EQ(MotorGetPos(pos), 1);
  EXPECT_DOUBLE_EQ(pos, 1067.0);
}

TEST_F(Im483iTest, PositionNotANumberLeavesPositionUntouched) {
  peer_->Script("AZ", {Echo(" 12x")});
  double pos = 5;
  EXPECT_EQ(MotorGetPos(pos), -1);
  EXPECT_DOUBLE_EQ(pos, 5.0);
}

TEST_F(Im483iTest, CommandHandsBackRawReply) {
  peer_->Script("AZ", {Echo(" 42")});
  std::string reply;
  EXPECT_EQ(MotorCommand("AZ", reply), 1);
  EXPECT_EQ(reply, "AZ 42");
}

TEST_F(Im483iTest, BadRepliesFailAndAreLogged) {
  const struct {
    const char* name;
    PeerReply reply;  // to "AZ"
    int16_t status;
    std::string response;  // handed back ("keep": untouched)
    Strings logTail;       // the last log entries, in order
  } cases[] = {
      // An echo in the other case fails but hands back the remainder.
      {"other case", Raw("az 5\n"), -2, " 5", {"AZ!=az 5"}},
      {"shorter than the request", Raw("A\n"), -3, "keep", {"AZ>A"}},
      {"missing", NoReply(), -1, "keep", {"Port TimeOut", "AZ\\"}},
      // Last: what came of a reply without its line feed is logged after the backslash.
      {"partial", Raw("AZ 5"), -1, "keep", {"AZ\\AZ 5"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    peer_->Script("AZ", {c.reply});
    std::string response = "keep";
    EXPECT_EQ(IMSCNTRL::IM483I_Request("Z", response), c.status);
    EXPECT_EQ(response, c.response);
    const auto log = LogLines();
    ASSERT_GE(log.size(), c.logTail.size());
    EXPECT_EQ(Strings(log.end() - static_cast<long>(c.logTail.size()), log.end()), c.logTail);
  }
}

TEST_F(Im483iTest, SettleReturnsRequestFailureWithoutWaiting) {
  peer_->Script("AE 50", {Raw("xx 50\n")});
  EXPECT_EQ(MotorSettle(500), -2);
}

TEST_F(Im483iTest, ResolutionIgnoresFirstRequestStatus) {
  peer_->Script("AH 0", {Raw("?\n")});
  EXPECT_EQ(MotorSetResolution(4), 1);
  EXPECT_EQ(Requests(), (Strings{"AH 0", "AD 4"}));
}

TEST_F(Im483iTest, AddressOutsideCharacterRangeIsRefused) {
  MotorSelect(300);
  EXPECT_EQ(MotorSetSlewVel(10), kMotorArgOutOfRange);
  EXPECT_TRUE(Requests().empty());
}

// --- the request guard ---

TEST_F(Im483iTest, NestedRequestInsideExchangeIsRefused) {
  // The error log mirrors into the message line while the exchange is still
  // inside its receive ("Port TimeOut"); a request issued from there is
  // nested in the first one.
  HookLabel label;
  int16_t nested = 0;
  label.onSetText = [&] {
    if (nested != 0) return;
    std::string r;
    nested = IMSCNTRL::IM483I_Request("V 1", r);
  };
  SetCommStatusLabel(&label);
  peer_->Script("AZ", {NoReply(), Echo(" 3")});
  std::string response;
  EXPECT_EQ(IMSCNTRL::IM483I_Request("Z", response), -1);
  EXPECT_EQ(nested, -4);
  const auto log = LogLines();
  ASSERT_GE(log.size(), 3u);
  EXPECT_EQ(log[log.size() - 3], "Port TimeOut");
  EXPECT_EQ(log[log.size() - 2], "inst>0;");
  EXPECT_EQ(log.back(), "AZ\\");
  EXPECT_EQ(Requests(), Strings{"AZ"});
  EXPECT_EQ(IMSCNTRL::InProgressCount(), 0);
  // Once both ended, the next request is accepted.
  label.onSetText = nullptr;
  EXPECT_EQ(IMSCNTRL::IM483I_Request("Z", response), 1);
  EXPECT_EQ(response, " 3");
}

// --- the motion wait ---

TEST_F(Im483iTest, WaitStopPollsUntilStill) {
  peer_->Script("A^", {Echo(" 1"), Echo(" 1"), Echo(" 0")});
  RecordingUi ui;
  ScopedUi scoped(ui);
  EXPECT_EQ(MotorWaitStop(), 1);
  EXPECT_EQ(Requests(), (Strings{"A^", "A^", "A^"}));
  EXPECT_EQ(ui.processEventsCalls, 2);
}

TEST_F(Im483iTest, WaitStopUnreadableStatusFails) {
  peer_->Script("A^", {Echo(" 1"), Echo(" moving")});
  EXPECT_EQ(MotorWaitStop(), -1);
  EXPECT_EQ(Requests().size(), 2u);
}

TEST_F(Im483iTest, WaitStopTimesOut) {
  MotorSetMoveTimeout(0);
  peer_->Script("A^", {Echo(" 1")});
  EXPECT_EQ(MotorWaitStop(), -2);
  EXPECT_GE(Requests().size(), 2u);
}

TEST_F(Im483iTest, WaitStopWithNegativeTimeoutSendsNothing) {
  MotorSetMoveTimeout(-1);
  EXPECT_EQ(MotorWaitStop(), -2);
  EXPECT_TRUE(Requests().empty());
}

TEST_F(Im483iTest, NestedOperationOnOtherAddressDoesNotRedirectPolls) {
  peer_->Script("A^", {Echo(" 1"), Echo(" 1"), Echo(" 0")});
  RecordingUi ui;
  ScopedUi scoped(ui);
  int16_t nested = 0;
  ui.onProcessEvents = [&] {
    if (nested != 0) return;
    MotorSelect('B');
    nested = MotorSetSlewVel(300);
  };
  EXPECT_EQ(MotorWaitStop(), 1);
  EXPECT_EQ(nested, 1);  // the nested request ran normally
  EXPECT_EQ(Requests(), (Strings{"A^", "BV 300", "A^", "A^"}));
  EXPECT_EQ(MotorAddress(), 'A');
}

// --- the home search ---

struct HomeCase {
  const char* name;
  int32_t speed, initVel;
  std::vector<std::pair<std::string, std::vector<PeerReply>>> script;
  Strings expected;
  int16_t result;
};

void PrintTo(const HomeCase& c, std::ostream* os) { *os << c.name; }

class Im483iHomeTest : public Im483iTest, public ::testing::WithParamInterface<HomeCase> {};

TEST_P(Im483iHomeTest, RunsInOrder) {
  const HomeCase& c = GetParam();
  peer_->Script("A^", {Echo(" 0")});
  peer_->Script("A] 1", {Echo(" 0")});
  for (const auto& [req, replies] : c.script) peer_->Script(req, replies);
  EXPECT_EQ(MotorHome(c.speed, c.initVel), c.result);
  EXPECT_EQ(Requests(), c.expected);
}

const PeerReply kBad = Raw("?\n");

INSTANTIATE_TEST_SUITE_P(
    Table, Im483iHomeTest,
    ::testing::Values(
        HomeCase{"BackOffUntilSwitchOpens",
                 -500,
                 200,
                 {{"A^", {Echo(" 1"), Echo(" 0")}},
                  {"A] 1", {Echo(" 1"), Echo(" 3"), Echo(" 1"), Echo(" 2")}}},
                 {"AI 125", "AF 500 1", "A^", "A^", "A] 1", "AM125", "A] 1", "A] 1", "A] 1",
                  "AI 200", "AM0"},
                 1},
        HomeCase{"PositiveSpeedSwitchOpen", 500, 100, {}, {"AF 500 0", "A^", "A] 1", "AM0"}, 1},
        HomeCase{"SlowBackOffRaisedTo20",
                 40,
                 5,
                 {{"A] 1", {Echo(" 1"), Echo(" 0")}}},
                 {"AF 40 0", "A^", "A] 1", "AM-20", "A] 1", "AM0"},
                 1},
        HomeCase{
            "QuarterHalfToEven", -10, 3, {}, {"AI 2", "AF 10 1", "A^", "A] 1", "AI 3", "AM0"}, 1},
        HomeCase{"ZeroSpeed", 0, 0, {}, {"AM0"}, -1},
        HomeCase{"ZeroSpeedAfterLowering", 0, 10, {}, {"AI 0", "AM0"}, -1},
        HomeCase{"LoweringFails", -500, 200, {{"AI 125", {kBad}}}, {"AI 125", "AM0"}, -7},
        HomeCase{"HomeCommandFails",
                 -500,
                 200,
                 {{"AF 500 1", {kBad}}},
                 {"AI 125", "AF 500 1", "AM0"},
                 -1},
        HomeCase{"WaitFails",
                 -500,
                 200,
                 {{"A^", {Echo(" x")}}},
                 {"AI 125", "AF 500 1", "A^", "AM0"},
                 -2},
        HomeCase{"InputUnreadable",
                 -500,
                 200,
                 {{"A] 1", {Echo("")}}},
                 {"AI 125", "AF 500 1", "A^", "A] 1", "AM0"},
                 -3},
        HomeCase{"BackOffRefused",
                 -500,
                 200,
                 {{"A] 1", {Echo(" 1")}}, {"AM125", {kBad}}},
                 {"AI 125", "AF 500 1", "A^", "A] 1", "AM125", "AM0"},
                 -4},
        HomeCase{"InputUnreadableDuringBackOff",
                 -500,
                 200,
                 {{"A] 1", {Echo(" 1"), Echo(" 1"), kBad}}},
                 {"AI 125", "AF 500 1", "A^", "A] 1", "AM125", "A] 1", "A] 1", "AM0"},
                 -6},
        HomeCase{"RestoringFails",
                 -500,
                 200,
                 {{"AI 200", {kBad}}},
                 {"AI 125", "AF 500 1", "A^", "A] 1", "AI 200", "AM0"},
                 -8}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(Im483iTest, SwitchThatStaysEngagedTimesOut) {
  MotorSetMoveTimeout(0);
  peer_->Script("A^", {Echo(" 0")});
  peer_->Script("A] 1", {Echo(" 1")});
  EXPECT_EQ(MotorHome(-500, 200), -5);
  const auto req = Requests();
  ASSERT_GE(req.size(), 6u);
  EXPECT_EQ(req[4], "AM125");
  EXPECT_EQ(req.back(), "AM0");
  // The lowered initial velocity is not restored on this exit.
  for (const auto& r : req) EXPECT_NE(r, "AI 200");
}

}  // namespace
}  // namespace nvx::test
