// The link over a real pseudo-terminal: framing, time-outs, failures.
#include <chrono>
#include <thread>

#include "comm_test_util.h"

namespace nvx::test {
namespace {

// The link open with IM483I framing; nothing answers on the far side.
class LinkTest : public LinkOnPty {
 protected:
  void SetUp() override { OpenLink("IM483I"); }

  // Sends the pieces from a thread, pausing gap_ms of real time and moving
  // the clock on by advance_ms before each piece.
  std::thread Feed(std::vector<std::string> pieces, int gap_ms, int advance_ms = 0) {
    for (const auto& piece : pieces) peer_->Owe(piece.size());
    return std::thread([this, pieces = std::move(pieces), gap_ms, advance_ms] {
      for (const auto& piece : pieces) {
        std::this_thread::sleep_for(std::chrono::milliseconds(gap_ms));
        time_.clock.Advance(advance_ms);
        peer_->Send(piece, true);
      }
    });
  }
};

TEST_F(LinkTest, OpenSetsNineSixHundredEightNoneOneRawAndCommOutAppendsTheEndCharacter) {
  termios tio{};
  ASSERT_EQ(tcgetattr(pty_->Fd(), &tio), 0);
  EXPECT_EQ(cfgetispeed(&tio), static_cast<speed_t>(B9600));
  EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B9600));
  EXPECT_EQ(tio.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS | CLOCAL | CREAD),
            static_cast<tcflag_t>(CS8 | CLOCAL | CREAD));
  EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG), 0u);
  EXPECT_EQ(tio.c_iflag & (IXON | IXOFF | ICRNL), 0u);
  EXPECT_EQ(tio.c_oflag & OPOST, 0u);
  EXPECT_EQ(CommPortIsOpen(), -1);
  // A controller type without framing leaves every value 0: requests end in
  // NUL and so do replies.
  EXPECT_EQ(CommOut("V"), 1);
  SetOutEndChar(13);
  EXPECT_EQ(CommOut("/1?0R"), 1);
  SetOutEndChar(0);
  EXPECT_EQ(CommOut("Q"), 1);
  std::string reply;
  EXPECT_EQ(CommIn(reply), -1);  // nothing answers; the wait lets the peer read all
  EXPECT_EQ(peer_->Bytes(), std::string("V\n/1?0R\rQ\0", 10));
  SetInTerm1(0);
  ASSERT_TRUE(peer_->Send(std::string("ab\0", 3)));
  EXPECT_EQ(CommIn(reply), 1);
  EXPECT_EQ(reply, "ab");
}

// A reply is taken up to its terminator (CommIn: LF, IM483I; CommIn2: CR LF,
// EZHR17), as it arrives on the line, or the receive times out with what came
// and the time-out is mirrored to the message line.
TEST_F(LinkTest, ReplyIsTakenOrTimesOut) {
  const struct {
    const char* name;
    bool two;                         // CommIn2 instead of CommIn
    std::vector<std::string> pieces;  // as they arrive on the line
    int16_t result;
    std::string reply;
  } cases[] = {
      // clang-format off
      {"Im483iOneRead", false, {"123\n"}, 1, "123"},
      {"Im483iInPieces", false, {"1", "2", "3", "\n"}, 1, "123"},
      {"Im483iEmptyReply", false, {"\n"}, 1, ""},
      {"Im483iCarriageReturnIsKept", false, {"12\r\n"}, 1, "12\r"},
      {"Im483iTerminatorThenMoreInOneRead", false, {"12\n3"}, -1, "12\n3"},
      {"Im483iPartialReply", false, {"12"}, -1, "12"},
      {"Im483iNothing", false, {}, -1, ""},
      {"BinaryBytesPassUnchanged", false, {std::string("\x00\xff\x7f\n", 4)}, 1,
       std::string("\x00\xff\x7f", 3)},
      {"Ezhr17OneRead", true, {"/0`123\r\n"}, 1, "/0`123"},
      {"Ezhr17InPieces", true, {"/0", "`12", "3\r", "\n"}, 1, "/0`123"},
      {"Ezhr17TerminatorSplitByteByByte", true, {"a", "\r", "\n"}, 1, "a"},
      {"Ezhr17OnlyTerminator", true, {"\r\n"}, 1, ""},
      {"Ezhr17LineFeedAloneTimesOut", true, {"abc\n"}, -1, "abc\n"},
      {"Ezhr17CarriageReturnAloneTimesOut", true, {"abc\r"}, -1, "abc\r"},
      {"Ezhr17SingleLineFeedTimesOut", true, {"\n"}, -1, "\n"},
      {"Ezhr17TerminatorThenMore", true, {"ab\r\nc"}, -1, "ab\r\nc"},
      {"Ezhr17ReversedTerminator", true, {"ab\n\r"}, -1, "ab\n\r"},
      // clang-format on
  };
  SetPortTimeout(300);
  RecordingLabel label;
  SetCommStatusLabel(&label);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.two) UseEzhr17Framing();
    const size_t logged = LogLines().size();
    label.text = "";
    std::thread feeder = Feed(c.pieces, 15);
    std::string reply = "stale";
    const uint32_t t0 = TimeMs();
    EXPECT_EQ(c.two ? CommIn2(reply) : CommIn(reply), c.result);
    feeder.join();
    EXPECT_EQ(reply, c.reply);
    EXPECT_EQ(LogLines().size(), logged + (c.result < 0 ? 1 : 0));
    EXPECT_EQ(label.text, c.result < 0 ? "Port TimeOut" : "");
    if (c.result < 0) {
      EXPECT_EQ(LastLogLine(), "Port TimeOut");
      EXPECT_GT(FakeSince(t0), 300);
    }
  }
}

TEST_F(LinkTest, AFloodIsCutToTheReplyLimitAndStillEnds) {
  SetPortTimeout(100);
  const std::string big(kMaxReplyBytes + 5000, 'x');
  const struct {
    bool two;
    std::vector<std::string> pieces;
    int16_t result;
    std::string reply;
  } cases[] = {
      {false, {big.substr(0, 40000), big.substr(40000) + "\n"}, 1, big.substr(0, kMaxReplyBytes)},
      {false, {big}, -1, big.substr(0, kMaxReplyBytes)},
      // A terminator just past the limit is stripped: "\r" is the last byte kept.
      {true, {big.substr(0, kMaxReplyBytes - 1) + "\r\n"}, 1, big.substr(0, kMaxReplyBytes - 1)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.pieces.size());
    if (c.two) UseEzhr17Framing();
    std::thread feeder = Feed(c.pieces, 1);
    std::string reply;
    EXPECT_EQ(c.two ? CommIn2(reply) : CommIn(reply), c.result);
    feeder.join();
    EXPECT_TRUE(reply == c.reply) << reply.size();
  }
}

// With output suspended on the line the request cannot leave: the write
// fails by its time-out, the receive still runs, and the result is -1.
TEST_F(LinkTest, AFailedWriteStillReceivesButGivesMinusOne) {
  ASSERT_EQ(tcflow(held_->Fd(), TCOOFF), 0);
  RecordingLabel label;
  SetCommStatusLabel(&label);
  SetPortTimeout(100);
  std::string reply;
  for (const bool two : {false, true}) {
    SCOPED_TRACE(two);
    if (two) UseEzhr17Framing();
    label.onSetText = [this, two] { peer_->Send(two ? "/0`\r\n" : "OK\n"); };  // after the failure
    EXPECT_EQ(two ? CommInOut2("V", reply) : CommInOut("V", reply), -1);
    EXPECT_EQ(reply, two ? "/0`" : "OK");
    EXPECT_EQ(LastLogLine(), "CommOut  11 Write incomplete: 0 of 2 bytes written");
  }
  label.onSetText = nullptr;
  ASSERT_EQ(tcflow(held_->Fd(), TCOON), 0);
  EXPECT_EQ(CommOut("V"), 1);
}

TEST_F(LinkTest, ReplyAtTheEdgeOfTheDefaultTimeOutAndLateBytes) {
  // The receive's first poll costs 1 ms: the reply comes 999 ms, then
  // 1001 ms after the start.
  for (const int advance : {998, 1000}) {
    std::thread feeder = Feed({"42\n"}, 10, advance);
    std::string reply;
    EXPECT_EQ(CommIn(reply), advance < 1000 ? 1 : -1) << advance;
    feeder.join();
    EXPECT_EQ(reply, advance < 1000 ? "42" : "") << advance;
    EXPECT_EQ(CommIn(reply), advance < 1000 ? -1 : 1) << "the late reply is read next";
  }
  // CommInOut writes the request, then reads its reply only: what came late
  // for the request before is dropped.
  SetPortTimeout(100);
  std::string reply;
  ASSERT_TRUE(peer_->Send("la"));
  EXPECT_EQ(CommIn(reply), -1);
  ASSERT_TRUE(peer_->Send("te\n"));
  pollfd p{held_->Fd(), POLLIN, 0};  // waits until the bytes are in the port's input
  ASSERT_EQ(::poll(&p, 1, 5000), 1);
  peer_->Script("V", {Raw("abc\n")});
  EXPECT_EQ(CommInOut("V", reply), 1);
  EXPECT_EQ(reply, "abc");
}

// A failed open is logged with its code and text and leaves the port as it
// was; without an open port each failure is logged once and the receive
// times out. Then the host's life: init, unload, defaults and the port path.
TEST_F(LinkTest, OpenFailurePortNotOpenAndLifecycle) {
  RecordingLabel label;
  SetCommStatusLabel(&label);
  SetPortDevice("/nonexistent-norvantix/ttyS0");
  EXPECT_EQ(CommOpenPort(1), 0);
  EXPECT_EQ(label.text, "CommOpenPort  2 No such file or directory");
  EXPECT_EQ(CommPortIsOpen(), -1);  // still open on the pty
  SetPortDevice("/dev/null");       // not a terminal
  EXPECT_EQ(CommOpenPort(1), 0);
  CommUnload();  // closes the port
  EXPECT_EQ(CommPortIsOpen(), 0);
  SetPortTimeout(120);
  std::string reply = "x";
  const uint32_t t0 = TimeMs();
  EXPECT_EQ(CommInOut("V", reply), -1);
  EXPECT_GT(FakeSince(t0), 120);
  EXPECT_EQ(reply, "");
  EXPECT_EQ(CommInOut2("V", reply), -1);
  EXPECT_EQ(LogLines(), (Strings{"CommOpenPort  2 No such file or directory",
                                 "CommOpenPort  25 Inappropriate ioctl for device",
                                 "CommOut  9 Port is not open", "CommIn  9 Port is not open",
                                 "Port TimeOut", "CommOut  9 Port is not open",
                                 "CommIn2  9 Port is not open", "Port TimeOut"}));
  SetPortDevice("");
  EXPECT_EQ(PortDevicePath(1), "/dev/ttyS0");
  EXPECT_EQ(PortDevicePath(4), "/dev/ttyS3");
  SetPortDevice("/dev/ttyUSB0");
  EXPECT_EQ(PortDevicePath(4), "/dev/ttyUSB0");
  SetPortDevice("");
  CommUnload();
  EXPECT_EQ(CommIsLoaded(), 0);
  int calls = 0;
  CommInit([&] { ++calls; });
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(CommIsLoaded(), 1);
  EXPECT_EQ(GetPortTimeout(), 1000);
  EXPECT_EQ(CommPortIsOpen(), 0);
  SetPortTimeout(250);
  CommUnload();
  EXPECT_EQ(CommIsLoaded(), 0);
  // Any operation re-creates the host, with its port closed.
  EXPECT_EQ(CommPortIsOpen(), 0);
  EXPECT_EQ(CommClosePort(), -1);
  CommInit();
  EXPECT_EQ(GetPortTimeout(), 1000);
  CommUnload();
}

// A hang-up ends a receive by its time-out and becomes one event; a write to
// the dead line fails with an I/O error, one event however many failed; the
// port opened again on another line works.
TEST_F(LinkTest, HangUpEndsByTheTimeOutAndBecomesAnEvent) {
  SetPortTimeout(200);
  ASSERT_TRUE(peer_->Send("12"));
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  HangUp();
  std::string reply;
  const uint32_t t0 = TimeMs();
  EXPECT_EQ(CommIn(reply), -1);
  EXPECT_GT(FakeSince(t0), 200);
  EXPECT_EQ(CommIn(reply), -1);
  CommDeliverEvents();
  CommDeliverEvents();
  EXPECT_EQ(CommOut("V"), -1);
  EXPECT_EQ(CommOut("V"), -1);
  CommDeliverEvents();
  EXPECT_EQ(LogLines(), (Strings{"Port TimeOut", "Port TimeOut", "ERROR # 1007",
                                 "CommOut  5 Input/output error", "CommOut  5 Input/output error",
                                 "ERROR # 1011"}));

  NewLine('\n', NoReply());
  ASSERT_EQ(CommClosePort(), -1);
  ASSERT_EQ(CommOpenPort(1), -1);
  ASSERT_TRUE(peer_->Send("7\n"));
  EXPECT_EQ(CommIn(reply), 1);
  EXPECT_EQ(reply, "7");
}

}  // namespace
}  // namespace nvx::test
