// The error log, events, the clock and the wait.
#include "comm_test_util.h"

namespace nvx::test {
namespace {

class LogTest : public ::testing::Test {
 protected:
  void SetUp() override { Reload(); }
  void TearDown() override { CommUnload(); }
  static void Reload() {
    CommUnload();
    CommInit();
  }
};

TEST_F(LogTest, RingKeepsTheLast101OldestFirstAndInitClearsTheSlots) {
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
  // CommInit clears the slots but keeps the position.
  Reload();
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

TEST_F(LogTest, MessageLineMirrorAndErrorEvents) {
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
  // Only error events are logged.
  for (int code : {1001, 1004, 1011, 1000, 2, 0, -1007}) CommEvent(static_cast<int16_t>(code));
  EXPECT_EQ(LogLines(), (Strings{"after init", "ERROR # 1001", "ERROR # 1004", "ERROR # 1011"}));
}

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
  CommInit([] {  // the port stays closed: nothing arrives
    SetOutEndChar(10);
    SetInTerm1(10);
  });
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
