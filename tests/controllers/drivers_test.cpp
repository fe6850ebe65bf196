// Both drivers through the dispatch, against a scripted controller on a real
// pseudo-terminal: exact request bytes, reply and status checks, the mode
// word, the request guard, the motion wait, the home searches and the limit
// search.
#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <string>
#include <vector>

#include "comm/comm_test_util.h"
#include "controllers/allmotion.h"
#include "controllers/imscntrl.h"
#include "support/recording_ui.h"

namespace nvx::test {
namespace {

using PeerScript = std::vector<std::pair<std::string, std::vector<PeerReply>>>;

// One operation of the dispatch and the requests it puts on the line.
struct RequestRow {
  const char* name;
  std::function<int16_t()> op;
  Strings expected;  // requests, without their end character
  int16_t status;
  PeerScript script = {};  // the peer's replies, over the fixture's own
  Strings logTail = {};    // the last log entries after it, in order (none: nothing logged)
};

// Reads the position into a value of 5 and expects `want` in it after.
std::function<int16_t()> GetPos(double want) {
  return [want] {
    double pos = 5;
    const int16_t r = MotorGetPos(pos);
    EXPECT_DOUBLE_EQ(pos, want);
    return r;
  };
}

const char kReady = EzStatus(true);  // '`', code 96
const char kBusy = EzStatus(false);  // '@'
const PeerReply kErr = Ez(EzStatus(true, 2));
const PeerReply kBad = Raw("?\n");
const double kInf = std::numeric_limits<double>::infinity();
const double kNaN = std::numeric_limits<double>::quiet_NaN();
const int16_t kOut = kMotorArgOutOfRange;
const char* const kHomeErr = "EZHR17_MotorHomeSmart: error homing";
const char* const kSeekLimit = "/1v1000V10000L12gD10S13G0D1gD1S03G0D1R";
const auto EzReq = AllMotionCntrl::EZHR17_Request;

int16_t Home() { return MotorHome(-500, 200); }

// Sends `request` through `send` and expects `want` handed back ("keep":
// untouched).
std::function<int16_t()> Checked(int16_t (*send)(const std::string&, std::string&),
                                 std::string request, std::string want) {
  return [=] {
    std::string response = "keep";
    const int16_t r = send(request, response);
    EXPECT_EQ(response, want);
    return r;
  };
}

// An EZHR17 request "?0" answered with `reply`: its status, the response
// handed back and the log entry it leaves.
RequestRow Status(const char* name, const char* reply, int16_t status, std::string response,
                  Strings log = {}) {
  RequestRow row{name, Checked(EzReq, "?0", std::move(response)), {"/1?0"}, status};
  row.script = {{"/1?0", {Raw(reply)}}};
  row.logTail = std::move(log);
  return row;
}

class DriverTest : public LinkOnPty {
 protected:
  void Open(bool ez) {
    OpenLink(ez ? "EZHR17" : "IM483I", ez ? Ez(kReady) : Echo());
    SetPortTimeout(250);
    MotorSelect(ez ? '1' : 'A');
    MotorSetMoveTimeout(5);
    AllMotionCntrl::ModeWord = 0;
    script_ = ez ? PeerScript{{"/1?2", {Ez(kReady, "8000")}}}
                 : PeerScript{{"A^", {Echo(" 0")}}, {"A] 1", {Echo(" 0")}}};
  }

  // Runs each row's operation against a fresh script: its status, the
  // requests, that each went out followed by the end character and nothing
  // else, and what was logged.
  void ExpectRequests(const std::vector<RequestRow>& rows) {
    for (const RequestRow& r : rows) {
      SCOPED_TRACE(r.name);
      peer_->Reset();
      for (const auto& [request, replies] : script_) peer_->Script(request, replies);
      for (const auto& [request, replies] : r.script) peer_->Script(request, replies);
      const std::string logged = CommErrLogText();
      EXPECT_EQ(r.op(), r.status);
      EXPECT_EQ(Requests(), r.expected);
      std::string bytes;
      for (const auto& q : r.expected) bytes += q + end_;
      EXPECT_EQ(peer_->Bytes(), bytes);
      if (r.logTail.empty()) {
        EXPECT_EQ(CommErrLogText(), logged);  // nothing logged
      } else {
        EXPECT_EQ(LogTail(r.logTail.size()), r.logTail);
      }
    }
  }
  Strings Requests() const { return peer_->Requests(); }

  PeerScript script_;  // the replies every row of ExpectRequests starts with
};

TEST_F(DriverTest, Im483iSendsExactRequests) {
  Open(false);
  static int32_t pos = 77;
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
      {"CommandRaw", Checked(MotorCommand, "BV 20", "BV 20"), {"BV 20"}, 1},
      // The position is the response after the echo; not a number, untouched.
      {"Position", GetPos(1067), {"AZ"}, 1, {{"AZ", {Echo(" 1067")}}}},
      {"PositionNotANumber", GetPos(5), {"AZ"}, -1, {{"AZ", {Echo(" 12x")}}}},
      // An echo in the other case fails but hands back the remainder; what came
      // of a reply without its line feed is logged after the backslash.
      {"EchoOtherCase", Checked(IMSCNTRL::IM483I_Request, "Z", " 5"), {"AZ"}, -2,
       {{"AZ", {Raw("az 5\n")}}}, {"AZ!=az 5"}},
      {"EchoShorterThanRequest", Checked(IMSCNTRL::IM483I_Request, "Z", "keep"), {"AZ"}, -3,
       {{"AZ", {Raw("A\n")}}}, {"AZ>A"}},
      {"ReplyMissing", Checked(IMSCNTRL::IM483I_Request, "Z", "keep"), {"AZ"}, -1,
       {{"AZ", {NoReply()}}}, {"Port TimeOut", "AZ\\"}},
      {"ReplyPartial", Checked(IMSCNTRL::IM483I_Request, "Z", "keep"), {"AZ"}, -1,
       {{"AZ", {Raw("AZ 5")}}}, {"AZ\\AZ 5"}},
      {"CommandHandsBackRawReply", Checked(MotorCommand, "AZ", "AZ 42"), {"AZ"}, 1,
       {{"AZ", {Echo(" 42")}}}},
      // The resolution does not look at its first request's status; a settle
      // returns a request failure without waiting.
      {"ResolutionIgnoresFirstStatus", [] { return MotorSetResolution(4); }, {"AH 0", "AD 4"}, 1,
       {{"AH 0", {kBad}}}, {"AH 0>?"}},
      {"SettleFails", [] { return MotorSettle(500); }, {"AE 50"}, -2,
       {{"AE 50", {Raw("xx 50\n")}}}, {"AE 50!=xx 50"}},
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
       {{"AI 125", {kBad}}}, {"AI 125>?"}},
      {"HomeCommandFails", Home, {"AI 125", "AF 500 1", "AM0"}, -1,
       {{"AF 500 1", {kBad}}}, {"AF 500 1>?"}},
      {"HomeWaitFails", Home, {"AI 125", "AF 500 1", "A^", "AM0"}, -2,
       {{"A^", {Echo(" x")}}}},
      {"HomeInputUnreadable", Home,
       {"AI 125", "AF 500 1", "A^", "A] 1", "AM0"}, -3, {{"A] 1", {Echo("")}}}},
      {"HomeBackOffRefused", Home,
       {"AI 125", "AF 500 1", "A^", "A] 1", "AM125", "AM0"}, -4,
       {{"A] 1", {Echo(" 1")}}, {"AM125", {kBad}}}, {"AM125>?"}},
      {"HomeInputUnreadableDuringBackOff", Home,
       {"AI 125", "AF 500 1", "A^", "A] 1", "AM125", "A] 1", "A] 1", "AM0"}, -6,
       {{"A] 1", {Echo(" 1"), Echo(" 1"), kBad}}}, {"A] 1>?"}},
      {"HomeRestoringFails", Home,
       {"AI 125", "AF 500 1", "A^", "A] 1", "AI 200", "AM0"}, -8, {{"AI 200", {kBad}}},
       {"AI 200>?"}},
      {"WaitStopUnreadableStatus", MotorWaitStop, {"A^", "A^"}, -1,
       {{"A^", {Echo(" 1"), Echo(" moving")}}}},
      // Last: they change the time-out and the address.
      {"WaitStopNegativeTimeout", [] { MotorSetMoveTimeout(-1); return MotorWaitStop(); }, {}, -2},
      {"AddressOutOfRange", [] { MotorSelect(300); return MotorSetSlewVel(10); }, {}, kOut},
  });
  // clang-format on
}

TEST_F(DriverTest, Ezhr17SendsExactRequests) {
  Open(true);
  Strings probe;
  for (char c : std::string("123456789ABCDEF")) probe.push_back(std::string("/") + c + "?Q");
  static int32_t pos = 1234;
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
      {"CommandRaw", Checked(MotorCommand, "/2?0", "\xFF/0`\x03"), {"/2?0"}, 1},
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
      // The status character after "/0" carries ready and the error code; the
      // character before "/0" is not looked at.
      Status("StatusReady", "\xFF/0`12\x03\r\n", 1, "`12\x03"),
      Status("StartCharacterNotExamined", "X/0`\x03\r\n", 1, "`\x03"),
      Status("StatusErrorNine", "\xFF/0i12\x03\r\n", -2, "i12\x03",
             {"/1?0-error returned by controller-\xFF/0i12\x03-status-9"}),
      Status("StatusBusyErrorFifteen", "\xFF/0O\x03\r\n", -2, "O\x03",
             {"/1?0-error returned by controller-\xFF/0O\x03-status-15"}),
      Status("NoSlashZero", "\xFF/1`\x03\r\n", -3, "keep", {"/1?0-no 0xFF /0-\xFF/1`\x03"}),
      Status("TooShort", "\xFF/\r\n", -3, "keep", {"/1?0-no 0xFF /0-\xFF/"}),
      Status("NoStatusCharacter", "\xFF/0\r\n", -3, "keep", {"/1?0-no status-\xFF/0"}),
      Status("LineFeedOnlyTimesOut", "\xFF/0`\x03\n", -1, "keep",
             {"/1?0-comm error-\xFF/0`\x03\n"}),
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

// The error log mirrors into the message line while an exchange is still
// inside its receive ("Port TimeOut"); a request issued from there is nested
// in the first one and refused. Once both ended, the next request is accepted.
// The wait polls until the motor stands; an operation on another address from
// inside its event processing runs normally and does not redirect the polls.
TEST_F(DriverTest, NestedRequestIsRefusedAndNestedOperationDoesNotRedirectTheWait) {
  const struct {
    bool ez;
    int16_t (*send)(const std::string&, std::string&);
    int16_t (*inProgress)();
    std::string request, onLine;
    PeerReply late;
    Strings logTail;
    std::string response;  // of the request accepted after
    std::string poll;
    std::vector<PeerReply> polled;  // the replies to the wait's polls
    char address, other;
    Strings waited;  // the wait's requests and the nested one
  } cases[] = {
      // clang-format off
      {false, IMSCNTRL::IM483I_Request, IMSCNTRL::InProgressCount, "Z", "AZ", Echo(" 3"),
       {"Port TimeOut", "inst>0;", "AZ\\"}, " 3",
       "A^", {Echo(" 1"), Echo(" 1"), Echo(" 0")}, 'A', 'B', {"A^", "BV 300", "A^", "A^"}},
      {true, AllMotionCntrl::EZHR17_Request, AllMotionCntrl::InProgressCount, "Q", "/1Q",
       Ez(kReady), {"Port TimeOut", "inst>0;", "/1Q-comm error-"}, "`\x03",
       "/1Q", {Ez(kBusy), Ez(kBusy), Ez(kReady)}, '1', '2', {"/1Q", "/2V300R", "/1Q", "/1Q"}},
      // clang-format on
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.onLine);
    Open(c.ez);
    RecordingLabel label;
    int16_t nested = 0;
    label.onSetText = [&] {
      std::string r;
      if (nested == 0) nested = c.send("V 1", r);
    };
    SetCommStatusLabel(&label);
    peer_->Script(c.onLine, {NoReply(), c.late});
    std::string response;
    EXPECT_EQ(c.send(c.request, response), -1);
    EXPECT_EQ(nested, -4);
    EXPECT_EQ(LogTail(3), c.logTail);
    EXPECT_EQ(Requests(), Strings{c.onLine});
    EXPECT_EQ(c.inProgress(), 0);
    label.onSetText = nullptr;
    EXPECT_EQ(c.send(c.request, response), 1);
    EXPECT_EQ(response, c.response);

    peer_->Reset();
    peer_->Script(c.poll, c.polled);
    RecordingUi ui;
    ScopedUi scoped(ui);
    nested = 0;
    ui.onProcessEvents = [&] {
      if (nested != 0) return;
      MotorSelect(c.other);
      nested = MotorSetSlewVel(300);
    };
    EXPECT_EQ(MotorWaitStop(), 1);
    EXPECT_EQ(ui.processEventsCalls, 2);
    EXPECT_EQ(nested, 1);
    EXPECT_EQ(Requests(), c.waited);
    EXPECT_EQ(MotorAddress(), c.address);
    CloseLink();
  }
}

// A motor that keeps moving runs out of time: for EZHR17 a failed query and a
// ready drive with an error count as moving; the home search still restores
// the speed, the limit search does not look at its program's status, and
// the IM483I home search leaves the lowered initial velocity on this exit. An
// EZHR17 wait on a closed port does not run out of time.
TEST_F(DriverTest, RunsOutOfTimeWhileMoving) {
  const struct {
    const char* name;
    bool ez;
    PeerScript script;
    std::function<int16_t()> op;
    int16_t status;
    Strings first;  // the first requests; the last one repeats or is `last`
    std::string last, never = "";
    const char* lastLog = "";
  } cases[] = {
      // clang-format off
      {"Im483iMoving", false, {{"A^", {Echo(" 1")}}}, MotorWaitStop, -2, {"A^"}, "A^"},
      {"Ezhr17NoReply", true, {{"/1Q", {NoReply()}}}, MotorWaitStop, -2, {"/1Q"}, "/1Q"},
      {"Ezhr17ReadyWithError", true, {{"/1Q", {Ez(EzStatus(true, 9))}}}, MotorWaitStop, -2,
       {"/1Q"}, "/1Q"},
      {"Ezhr17HomeSmart", true, {{"/1Q", {Ez(kBusy)}}},
       [] { return AllMotionCntrl::EZHR17_MotorHomeSmart(-500); }, -1,
       {"/1?2", "/1V500R", "/1Z1000000000R", "/1Q"}, "/1V8000R", "",
       "EZHR17_MotorHomeSmart: timeout"},
      {"Ezhr17SeekLimit", true, {{kSeekLimit, {kErr}}, {"/1Q", {Ez(kBusy)}}},
       AllMotionCntrl::EZHR17_SeekLimit, -2, {kSeekLimit, "/1Q"}, "/1Q"},
      {"Im483iSwitchStaysEngaged", false, {{"A] 1", {Echo(" 1")}}}, Home, -5,
       {"AI 125", "AF 500 1", "A^", "A] 1", "AM125"}, "AM0", "AI 200"},
      // clang-format on
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Open(c.ez);
    MotorSetMoveTimeout(0);
    SetPortTimeout(100);
    for (const auto& [request, replies] : script_) peer_->Script(request, replies);
    for (const auto& [request, replies] : c.script) peer_->Script(request, replies);
    EXPECT_EQ(c.op(), c.status);
    const Strings req = Requests();
    ASSERT_GT(req.size(), c.first.size());
    EXPECT_EQ(Strings(req.begin(), req.begin() + static_cast<long>(c.first.size())), c.first);
    EXPECT_EQ(req.back(), c.last);
    EXPECT_EQ(std::count(req.begin(), req.end(), c.never), 0);
    if (*c.lastLog) { EXPECT_EQ(LastLogLine(), c.lastLog); }
    CloseLink();
  }
  // On a closed port the wait ends after one query.
  Open(true);
  CommClosePort();
  EXPECT_EQ(MotorWaitStop(), -2);
  EXPECT_EQ(LogLines(), (Strings{"CommOut  9 Port is not open", "CommIn2  9 Port is not open",
                                 "Port TimeOut", "/1Q-comm error-"}));
}

}  // namespace
}  // namespace nvx::test
