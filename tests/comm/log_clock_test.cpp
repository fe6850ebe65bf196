// The error log, events, the clock and the wait, and the link over a fake
// port (write failures, floods).
#include <deque>

#include "comm/serial_port.h"
#include "comm_test_util.h"

namespace nvx::test {
namespace {

using Strings = std::vector<std::string>;

class LogTest : public ::testing::Test {
 protected:
  void SetUp() override { Reload(); }
  void TearDown() override { CommUnload(); }
  static void Reload() {
    CommUnload();
    SetSerialPortFactory(nullptr);
    CommInit();
  }
};

TEST_F(LogTest, RingKeepsTheLast101OldestFirst) {
  const struct {
    int count;
    std::string first, last;
    std::size_t lines;
  } cases[] = {{1, "m1", "m1", 1},
               {100, "m1", "m100", 100},
               {101, "m1", "m101", 101},
               {102, "m2", "m102", 101},
               {250, "m150", "m250", 101}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.count);
    Reload();
    for (int i = 1; i <= c.count; ++i) CommLog("m" + std::to_string(i));
    auto lines = LogLines();
    ASSERT_EQ(lines.size(), c.lines);
    EXPECT_EQ(lines.front(), c.first);
    EXPECT_EQ(lines.back(), c.last);
    for (std::size_t i = 1; i < lines.size(); ++i) {
      EXPECT_EQ(std::stoi(lines[i].substr(1)), std::stoi(lines[i - 1].substr(1)) + 1);
    }
  }
}

TEST_F(LogTest, InitClearsTheSlotsButKeepsThePosition) {
  for (int i = 1; i <= 5; ++i) CommLog("old" + std::to_string(i));
  CommInit();
  EXPECT_EQ(CommErrLogText(), "");  // no blank lines for the cleared slots
  CommLog("new");
  EXPECT_EQ(CommErrLogText(), "new\r\n");
  // The next messages continue from the kept position: after 101 more the
  // ring is full and "new" is gone.
  for (int i = 1; i <= 101; ++i) CommLog("n" + std::to_string(i));
  auto lines = LogLines();
  ASSERT_EQ(lines.size(), 101u);
  EXPECT_EQ(lines.front(), "n1");
  EXPECT_EQ(lines.back(), "n101");
}

TEST_F(LogTest, MessageLineMirror) {
  RecordingLabel label;
  CommLog("before");
  CommLogAppend("before too");
  EXPECT_EQ(label.text, "");
  SetCommStatusLabel(&label);
  CommLogAppend("msg");
  EXPECT_EQ(label.text, ", msg");
  CommLogAppend("more");
  EXPECT_EQ(label.text, ", msg, more");
  CommLog("replaced");
  EXPECT_EQ(label.text, "replaced");
  label.text = "OK ";
  CommLogAppend("E1");
  EXPECT_EQ(label.text, "OK , E1");
  EXPECT_EQ(LogLines(), (Strings{"before", "before too", "msg", "more", "replaced", "E1"}));
  CommInit();  // clears the label reference
  CommLog("after init");
  EXPECT_EQ(label.text, "OK , E1");
}

TEST_F(LogTest, OnlyErrorEventsAreLogged) {
  for (int code : {1001, 1004, 1011, 1000, 2, 0, -1007}) CommEvent(static_cast<int16_t>(code));
  EXPECT_EQ(LogLines(), (Strings{"ERROR # 1001", "ERROR # 1004", "ERROR # 1011"}));
}

// --- a scripted port ---
class FakePort : public SerialPort {
 public:
  struct Script {
    bool write_fails = false;
    std::deque<std::string> reads;  // one entry per read
    std::string written;
  };
  explicit FakePort(Script* s) : s_(s) {}
  bool Open(const std::string&) override { return open_ = true; }
  bool Close() override { return !(open_ = false); }
  bool IsOpen() const override { return open_; }
  // The scripted replies answer requests: they arrive once the link waits
  // for them, and none is waiting before a request.
  int BytesWaiting() override { return 0; }
  bool ReadWaiting(std::string& out) override {
    if (!s_->reads.empty()) {
      out += s_->reads.front();
      s_->reads.pop_front();
    }
    return true;
  }
  bool Write(std::string_view data, int) override {
    if (!s_->write_fails) s_->written += data;
    return !s_->write_fails;
  }
  Wait WaitReadable(int timeout_ms) override {
    if (!s_->reads.empty()) return Wait::Readable;
    CurrentClock().SleepForMs(timeout_ms);
    return Wait::Timeout;
  }
  int ErrorCode() const override { return 5; }
  std::string ErrorText() const override { return "Input/output error"; }
  std::vector<int16_t> TakeEvents() override { return {}; }

 private:
  Script* s_;
  bool open_ = false;
};

class LinkOnFake : public ::testing::Test {
 protected:
  void SetUp() override {
    CommUnload();
    SetSerialPortFactory([this] { return std::make_unique<FakePort>(&script); });
    CommInit(UseIm483iFraming);
    ASSERT_EQ(CommOpenPort(1), -1);
    SetPortTimeout(100);
  }
  void TearDown() override {
    CommUnload();
    SetSerialPortFactory(nullptr);
  }
  FakePort::Script script;
  FakeTime time;
};

TEST_F(LinkOnFake, WriteFailureStillReceivesButGivesMinusOne) {
  std::string reply;
  script.reads = {"1", "2\n"};
  EXPECT_EQ(CommInOut("Z", reply), 1);
  EXPECT_EQ(script.written, "Z\n");
  EXPECT_EQ(reply, "12");
  script.write_fails = true;
  script.reads = {"OK\n"};
  EXPECT_EQ(CommOut("V"), -1);
  EXPECT_EQ(LastLogLine(), "CommOut  5 Input/output error");
  EXPECT_EQ(CommInOut("V", reply), -1);
  EXPECT_EQ(reply, "OK");  // the receive ran and completed
  EXPECT_EQ(LastLogLine(), "CommOut  5 Input/output error");
  script.reads = {"/0`\r\n"};
  UseEzhr17Framing();
  EXPECT_EQ(CommInOut2("V", reply), -1);
  EXPECT_EQ(reply, "/0`");
}

TEST_F(LinkOnFake, AFloodIsCutToTheReplyLimitAndStillEnds) {
  std::string big(kMaxReplyBytes + 5000, 'x');
  script.reads = {big.substr(0, 40000), big.substr(40000) + "\n"};
  std::string reply;
  EXPECT_EQ(CommIn(reply), 1);
  EXPECT_EQ(reply.size(), kMaxReplyBytes);
  script.reads = {big};
  EXPECT_EQ(CommIn(reply), -1);
  EXPECT_EQ(reply.size(), kMaxReplyBytes);
  // A terminator just past the limit is stripped: "\r" is the last byte kept.
  UseEzhr17Framing();
  script.reads = {big.substr(0, kMaxReplyBytes - 1) + "\r\n"};
  EXPECT_EQ(CommIn2(reply), 1);
  EXPECT_EQ(reply, big.substr(0, kMaxReplyBytes - 1));
}

TEST_F(LinkOnFake, UnsetFramingEndsAtNul) {
  // A controller type without framing leaves every value 0.
  SetOutEndChar(0);
  SetInTerm1(0);
  script.reads = {std::string("ab\0", 3)};
  std::string reply;
  EXPECT_EQ(CommInOut("Q", reply), 1);
  EXPECT_EQ(script.written, std::string("Q\0", 2));
  EXPECT_EQ(reply, "ab");
}

// --- clock and wait ---

TEST(Clock, DifferencesAndReceiveTimeOutAreWrapSafe) {
  FakeTime time(0xFFFFFFFFu - 20);  // the counter wraps in 21 ms
  uint32_t start = TimeMs();
  WaitMs(60);
  const uint32_t now = TimeMs();
  EXPECT_LT(now, start);  // it did wrap
  EXPECT_EQ(static_cast<uint32_t>(now - start), 61u);
  time.clock.SleepUntilMs(start + 100);
  EXPECT_EQ(static_cast<uint32_t>(TimeMs() - start), 100u);

  CommUnload();
  CommInit(UseIm483iFraming);  // the port stays closed: nothing arrives
  FakeTime wrap(0xFFFFFFFFu - 30);
  SetPortTimeout(100);
  std::string reply;
  start = TimeMs();
  EXPECT_EQ(CommIn(reply), -1);
  EXPECT_EQ(static_cast<uint32_t>(TimeMs() - start), 101u);
  EXPECT_EQ(LastLogLine(), "Port TimeOut");
  CommUnload();
}

}  // namespace
}  // namespace nvx::test
