// The IM483I driver through the dispatch, against a scripted controller on a
// real pseudo-terminal: exact request bytes, echo checks, the request guard,
// the home search and the motion wait.
#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "controllers/imscntrl.h"
#include "link_fixture.h"
#include "support/recording_ui.h"

namespace nvx::test {
namespace {

const PeerReply kBad = Raw("?\n");
int16_t Home() { return MotorHome(-500, 200); }
const double kInf = std::numeric_limits<double>::infinity();

class Im483iTest : public ::testing::Test, public LinkFixture {
 protected:
  void SetUp() override {
    OpenLink("IM483I", 'A', Echo());
    script_ = {{"A^", {Echo(" 0")}}, {"A] 1", {Echo(" 0")}}};
  }
  void TearDown() override { CloseLink(); }
};

TEST_F(Im483iTest, SendsExactRequests) {
  static int32_t pos = 77;
  const int16_t kOut = kMotorArgOutOfRange;
  // clang-format off
  ExpectRequests({
      {"MoveRelPositive", [] { return MotorMoveRel(2.4); }, {"A+2"}, 1},
      {"MoveRelNegativeHalfUp", [] { return MotorMoveRel(-2.5); }, {"A-3"}, 1},
      {"MoveRelLarge", [] { return MotorMoveRel(1067.0); }, {"A+1067"}, 1},
      {"MoveRelZero", [] { return MotorMoveRel(0.0); }, {}, 1},
      {"MoveRelNotFinite", [] { return MotorMoveRel(kInf); }, {}, kOut},
      {"MoveRelBeyond32Bit", [] { return MotorMoveRel(3e9); }, {}, kOut},
      {"Settle500", [] { return MotorSettle(500); }, {"AE 50"}, 1},
      {"SettleHalfToEven", [] { return MotorSettle(25); }, {"AE 2"}, 1},
      {"SettleHalfToEvenUp", [] { return MotorSettle(35); }, {"AE 4"}, 1},
      {"SettleCapped", [] { return MotorSettle(3000); }, {"AE 255"}, 1},
      {"SettleNegative", [] { return MotorSettle(-40); }, {"AE 0"}, 1},
      {"Currents", [] { return MotorSetCurrents(10, 50); }, {"AY 10 50"}, 1},
      {"CurrentsNegative", [] { return MotorSetCurrents(-5, 0); }, {"AY-5 0"}, 1},
      {"Accel", [] { return MotorSetAccel(100, 200); }, {"AK 100 200"}, 1},
      {"AccelOutOfRange", [] { return MotorSetAccel(100, 70000); }, {}, kOut},
      {"AuxFlag", [] { return MotorSetAuxFlag(0); }, {"Al 0"}, 1},
      {"AuxPair", [] { return MotorSetAuxPair(10, 50); }, {"AB 10 50"}, 1},
      {"AuxPairOutOfRange", [] { return MotorSetAuxPair(-32769, 50); }, {}, kOut},
      {"SlewVel", [] { return MotorSetSlewVel(500); }, {"AV 500"}, 1},
      {"SlewVelLimit", [] { return MotorSetSlewVel(32767); }, {"AV 32767"}, 1},
      {"SlewVelOutOfRange", [] { return MotorSetSlewVel(32768); }, {}, kOut},
      {"Resolution", [] { return MotorSetResolution(4); }, {"AH 0", "AD 4"}, 1},
      {"InitVel", [] { return MotorSetInitVel(200); }, {"AI 200"}, 1},
      {"InitVelNegativeLimit", [] { return MotorSetInitVel(-32768); }, {"AI-32768"}, 1},
      {"InitVelOutOfRange", [] { return MotorSetInitVel(-40000); }, {}, kOut},
      {"SetPosIgnoresValue", [] { return MotorSetPos(pos); }, {"AO"}, 1},
      {"HomeOutOfRange", [] { return MotorHome(-40000, 200); }, {}, kOut},
      {"ModeBit1NothingSent", [] { return MotorSetModeBit1(1); }, {}, 1},
      {"ModeSelNothingSent", [] { return MotorSetModeSel(2); }, {}, 1},
      {"FilterStepsNothingSent", [] { return MotorSetFilterSteps(533); }, {}, 1},
      {"ProbeUnaddressed", [] { return MotorProbe(); }, {"AX"}, 1},
      {"CommandRaw", [] { std::string r; return MotorCommand("BV 20", r); }, {"BV 20"}, 1},
      // The position is the response after the echo; not a number, untouched.
      {"Position", GetPos(1067), {"AZ"}, 1, {{"AZ", {Echo(" 1067")}}}},
      {"PositionNotANumber", GetPos(5), {"AZ"}, -1, {{"AZ", {Echo(" 12x")}}}},
      // The resolution does not look at its first request's status; a settle
      // returns a request failure without waiting.
      {"ResolutionIgnoresFirstStatus", [] { return MotorSetResolution(4); }, {"AH 0", "AD 4"}, 1,
       {{"AH 0", {kBad}}}},
      {"SettleFails", [] { return MotorSettle(500); }, {"AE 50"}, -2,
       {{"AE 50", {Raw("xx 50\n")}}}},
      // The home search: lower the initial velocity, search, wait, back off at
      // a quarter of the speed (at least 20) until the switch opens, restore.
      {"HomeBackOffUntilSwitchOpens", Home,
       {"AI 125", "AF 500 1", "A^", "A^", "A] 1", "AM125", "A] 1", "A] 1", "A] 1", "AI 200", "AM0"},
       1, {{"A^", {Echo(" 1"), Echo(" 0")}},
           {"A] 1", {Echo(" 1"), Echo(" 3"), Echo(" 1"), Echo(" 2")}}}},
      {"HomePositiveSpeedSwitchOpen", [] { return MotorHome(500, 100); },
       {"AF 500 0", "A^", "A] 1", "AM0"}, 1},
      {"HomeSlowBackOffRaisedTo20", [] { return MotorHome(40, 5); },
       {"AF 40 0", "A^", "A] 1", "AM-20", "A] 1", "AM0"}, 1, {{"A] 1", {Echo(" 1"), Echo(" 0")}}}},
      {"HomeQuarterHalfToEven", [] { return MotorHome(-10, 3); },
       {"AI 2", "AF 10 1", "A^", "A] 1", "AI 3", "AM0"}, 1},
      {"HomeZeroSpeed", [] { return MotorHome(0, 0); }, {"AM0"}, -1},
      {"HomeZeroSpeedAfterLowering", [] { return MotorHome(0, 10); }, {"AI 0", "AM0"}, -1},
      {"HomeLoweringFails", Home, {"AI 125", "AM0"}, -7,
       {{"AI 125", {kBad}}}},
      {"HomeCommandFails", Home, {"AI 125", "AF 500 1", "AM0"}, -1,
       {{"AF 500 1", {kBad}}}},
      {"HomeWaitFails", Home, {"AI 125", "AF 500 1", "A^", "AM0"}, -2,
       {{"A^", {Echo(" x")}}}},
      {"HomeInputUnreadable", Home,
       {"AI 125", "AF 500 1", "A^", "A] 1", "AM0"}, -3, {{"A] 1", {Echo("")}}}},
      {"HomeBackOffRefused", Home,
       {"AI 125", "AF 500 1", "A^", "A] 1", "AM125", "AM0"}, -4,
       {{"A] 1", {Echo(" 1")}}, {"AM125", {kBad}}}},
      {"HomeInputUnreadableDuringBackOff", Home,
       {"AI 125", "AF 500 1", "A^", "A] 1", "AM125", "A] 1", "A] 1", "AM0"}, -6,
       {{"A] 1", {Echo(" 1"), Echo(" 1"), kBad}}}},
      {"HomeRestoringFails", Home,
       {"AI 125", "AF 500 1", "A^", "A] 1", "AI 200", "AM0"}, -8, {{"AI 200", {kBad}}}},
      // Last: they change the time-out and the address.
      {"WaitStopNegativeTimeout", [] { MotorSetMoveTimeout(-1); return MotorWaitStop(); }, {}, -2},
      {"AddressOutOfRange", [] { MotorSelect(300); return MotorSetSlewVel(10); }, {}, kOut},
  });
  // clang-format on
}

// --- replies and their checks ---

TEST_F(Im483iTest, RepliesAreCheckedAndBadOnesLogged) {
  peer_->Script("AZ", {Echo(" 42")});
  std::string reply;
  EXPECT_EQ(MotorCommand("AZ", reply), 1);  // the raw reply
  EXPECT_EQ(reply, "AZ 42");
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
    EXPECT_EQ(LogTail(c.logTail.size()), c.logTail);
  }
}

// --- the request guard ---

TEST_F(Im483iTest, NestedRequestInsideExchangeIsRefused) {
  // The error log mirrors into the message line while the exchange is still
  // inside its receive ("Port TimeOut"); a request issued from there is
  // nested in the first one.
  RecordingLabel label;
  int16_t nested = 0;
  label.onSetText = [&] {
    std::string r;
    if (nested == 0) nested = IMSCNTRL::IM483I_Request("V 1", r);
  };
  SetCommStatusLabel(&label);
  peer_->Script("AZ", {NoReply(), Echo(" 3")});
  std::string response;
  EXPECT_EQ(IMSCNTRL::IM483I_Request("Z", response), -1);
  EXPECT_EQ(nested, -4);
  EXPECT_EQ(LogTail(3), (Strings{"Port TimeOut", "inst>0;", "AZ\\"}));
  EXPECT_EQ(Requests(), Strings{"AZ"});
  EXPECT_EQ(IMSCNTRL::InProgressCount(), 0);
  // Once both ended, the next request is accepted.
  label.onSetText = nullptr;
  EXPECT_EQ(IMSCNTRL::IM483I_Request("Z", response), 1);
  EXPECT_EQ(response, " 3");
}

// --- the motion wait ---

TEST_F(Im483iTest, WaitStopPollsUntilStillWithoutRedirectingANestedOperation) {
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
  EXPECT_EQ(ui.processEventsCalls, 2);
  EXPECT_EQ(nested, 1);  // the nested request ran normally
  EXPECT_EQ(Requests(), (Strings{"A^", "BV 300", "A^", "A^"}));
  EXPECT_EQ(MotorAddress(), 'A');
}

TEST_F(Im483iTest, WaitStopFailsOnUnreadableStatusAndTimesOut) {
  peer_->Script("A^", {Echo(" 1"), Echo(" moving")});
  EXPECT_EQ(MotorWaitStop(), -1);
  EXPECT_EQ(Requests().size(), 2u);
  peer_->Reset(true);
  MotorSetMoveTimeout(0);
  peer_->Script("A^", {Echo(" 1")});
  EXPECT_EQ(MotorWaitStop(), -2);
  EXPECT_GE(Requests().size(), 2u);
}

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
