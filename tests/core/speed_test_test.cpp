#include "core/speed_test.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/recording_ui.h"

namespace nvx {
namespace {

// A wheel of `count` filters standing at `filter`, recording what it was
// asked to do; the clock advances 7 ms for every call into the wheel.
struct FakeWheel {
  int16_t count = 6;
  int16_t filter = 5;     // where the wheel stands
  int16_t curFilter = 5;  // the model's stored filter
  bool readingFails = false;
  uint32_t clock = 1000;
  int16_t selected = 0;
  // A command run nested inside every wait selects this wheel meanwhile.
  int16_t nestedSelects = 0;
  std::vector<int16_t> movedWheels;  // the selected wheel at each move
  std::vector<std::string> calls;
  std::vector<int16_t> moves;  // targets reached, in order
  std::vector<std::string> progress;

  SpeedTestOps Ops() {
    SpeedTestOps o;
    o.selectWheel = [this](int16_t n) {
      selected = n;
      calls.push_back("select " + std::to_string(n));
      return count;
    };
    o.getFilter = [this](int16_t& k) -> int16_t {
      clock += 7;
      calls.push_back("get");
      if (readingFails) return -1;
      k = filter;
      return 1;
    };
    o.goToFilter = [this](int16_t n) -> int16_t {
      clock += 7;
      calls.push_back("go " + std::to_string(n));
      movedWheels.push_back(selected);
      if (n < 1 || n > count) return -1;
      filter = n;
      moves.push_back(n);
      return 1;
    };
    o.waitWheel = [this]() -> int16_t {
      clock += 7;
      calls.push_back("wait");
      if (nestedSelects != 0) selected = nestedSelects;
      return 1;
    };
    o.nextFilter = [this]() -> int16_t {
      clock += 7;
      calls.push_back("next");
      movedWheels.push_back(selected);
      curFilter = static_cast<int16_t>(curFilter >= count ? 1 : curFilter + 1);
      filter = curFilter;
      moves.push_back(filter);
      return 1;
    };
    o.timeMs = [this] { return clock; };
    o.progress = [this](int32_t k, int16_t r) { progress.push_back(SpeedTestProgressText(k, r)); };
    return o;
  }
};

TEST(SpeedTestTest, InputRules) {
  struct Case {
    std::optional<std::string> text;
    std::optional<int16_t> value;
  };
  const Case cases[] = {
      {std::nullopt, std::nullopt},         {std::string(""), std::nullopt},
      {std::string("abc"), std::nullopt},   {std::string("2.5"), int16_t{2}},
      {std::string("3.5"), int16_t{4}},     {std::string(" 7 "), int16_t{7}},
      {std::string("-1"), int16_t{-1}},     {std::string("32767"), int16_t{32767}},
      {std::string("32768"), std::nullopt}, {std::string("-32769"), std::nullopt},
      {std::string("1e9"), std::nullopt},   {std::string("0x10"), std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text.value_or("<cancel>"));
    EXPECT_EQ(SpeedTestInput(c.text), c.value);
  }
}

TEST(SpeedTestTest, ResultText) {
  EXPECT_EQ(SpeedTestResultText(10, 4523), "10 repetitions -4523 msec");
  EXPECT_EQ(SpeedTestResultText(0, 0), "0 repetitions -0 msec");
  EXPECT_EQ(SpeedTestResultText(-3, 1), "-3 repetitions -1 msec");
}

TEST(SpeedTestTest, Targets) {
  struct Case {
    int16_t p, n, count, target;
  };
  const Case cases[] = {{5, 2, 6, 1},
                        {1, 2, 6, 3},
                        {6, 6, 6, 6},
                        {0, 2, 6, 2},
                        {3, 20, 6, 17},
                        {0, 5, 0, 5},
                        {32767, 32767, 0, 32767},
                        {4, 3, 8, 7}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.p) + "+" + std::to_string(c.n));
    EXPECT_EQ(SpeedTestTarget(c.p, c.n, c.count), c.target);
  }
}

TEST(SpeedTestTest, StepOneUsesNextFilterWithWrap) {
  FakeWheel w;  // 6 filters at 5
  RunSpeedTestMoves(1, 1, 3, w.Ops());
  EXPECT_EQ(w.moves, (std::vector<int16_t>{6, 1, 2}));
  EXPECT_EQ(w.curFilter, 2);
  EXPECT_EQ(w.calls, (std::vector<std::string>{"select 1", "next", "wait", "select 1", "next",
                                               "wait", "select 1", "next", "wait", "select 1"}));
}

TEST(SpeedTestTest, StepTwoReadsAndMovesWithoutTouchingCurFilter) {
  FakeWheel w;
  const uint32_t elapsed = RunSpeedTestMoves(2, 2, 2, w.Ops());
  EXPECT_EQ(w.selected, 2);
  EXPECT_EQ(w.moves, (std::vector<int16_t>{1, 3}));
  EXPECT_EQ(w.curFilter, 5);
  EXPECT_EQ(w.calls, (std::vector<std::string>{"select 2", "get", "go 1", "wait", "select 2", "get",
                                               "go 3", "wait", "select 2"}));
  EXPECT_EQ(elapsed, 6u * 7u);
}

TEST(SpeedTestTest, NestedSelectionOfTheOtherWheelDoesNotRedirectTheTest) {
  for (const int16_t n : {int16_t{1}, int16_t{2}}) {
    SCOPED_TRACE(n);
    FakeWheel w;
    w.nestedSelects = 2;
    RunSpeedTestMoves(1, n, 3, w.Ops());
    EXPECT_EQ(w.movedWheels, (std::vector<int16_t>{1, 1, 1}));
    EXPECT_EQ(w.selected, 1);  // the tested wheel stays selected
  }
}

TEST(SpeedTestTest, FailedReadingKeepsLastTarget) {
  FakeWheel w;
  w.readingFails = true;
  RunSpeedTestMoves(1, 2, 3, w.Ops());
  // p starts at 0 and keeps its value: 2, 4, 6.
  EXPECT_EQ(w.moves, (std::vector<int16_t>{2, 4, 6}));
}

TEST(SpeedTestTest, LargeStepExceedsCountAfterOneSubtraction) {
  FakeWheel w;  // at 5 of 6
  RunSpeedTestMoves(1, 20, 1, w.Ops());
  EXPECT_EQ(w.calls, (std::vector<std::string>{"select 1", "get", "go 19", "wait", "select 1"}));
  EXPECT_TRUE(w.moves.empty());
}

TEST(SpeedTestTest, NothingMovesForZeroOrNegative) {
  const int16_t pairs[][2] = {{0, 5}, {-1, 5}, {1, 0}, {2, -4}, {0, 0}};
  for (const auto& pr : pairs) {
    FakeWheel w;
    const uint32_t elapsed = RunSpeedTestMoves(1, pr[0], pr[1], w.Ops());
    EXPECT_EQ(w.calls, (std::vector<std::string>{"select 1"}));
    EXPECT_EQ(elapsed, 0u);
  }
}

TEST(SpeedTestTest, ElapsedIsWrapSafe) {
  FakeWheel w;
  w.clock = 0xFFFFFFF0u;
  EXPECT_EQ(RunSpeedTestMoves(1, 1, 3, w.Ops()), 42u);
}

TEST(SpeedTestTest, ProgressIsShownForSeveralRepetitionsOnly) {
  FakeWheel one;
  RunSpeedTestMoves(1, 1, 1, one.Ops());
  EXPECT_TRUE(one.progress.empty());
  FakeWheel three;
  RunSpeedTestMoves(1, 2, 3, three.Ops());
  EXPECT_EQ(three.progress, (std::vector<std::string>{"Speed test: repetition 1 of 3",
                                                      "Speed test: repetition 2 of 3",
                                                      "Speed test: repetition 3 of 3"}));
  // The same requests as without progress.
  FakeWheel quiet;
  SpeedTestOps ops = quiet.Ops();
  ops.progress = nullptr;
  RunSpeedTestMoves(1, 2, 3, ops);
  EXPECT_EQ(quiet.calls, three.calls);
}

struct WholeTestCase {
  std::vector<std::optional<std::string>> answers;
  const char* msg;
  size_t moves;
  bool refreshed;
};

TEST(SpeedTestTest, WholeEntryWithInputBoxes) {
  const WholeTestCase cases[] = {
      {{std::string("1"), std::string("3")}, "3 repetitions -42 msec", 3, true},
      {{std::string("2.5"), std::string("2")}, "2 repetitions -42 msec", 2, true},
      {{std::string("0"), std::string("4")}, "4 repetitions -0 msec", 0, true},
      {{std::nullopt}, "Error in input - not a number", 0, false},
      {{std::string("")}, "Error in input - not a number", 0, false},
      {{std::string("abc")}, "Error in input - not a number", 0, false},
      {{std::string("1"), std::nullopt}, "Error in input - not a number", 0, false},
      {{std::string("1"), std::string("40000")}, "Error in input - not a number", 0, false},
      {{std::string("99999"), std::string("1")}, "Error in input - not a number", 0, false},
  };
  for (const auto& c : cases) {
    test::RecordingUi ui;
    test::ScopedUi scoped(ui);
    ui.LoadMainWindow();
    for (const auto& a : c.answers) ui.inputAnswers.push_back(a);
    FakeWheel w;
    SpeedTestOps ops = w.Ops();
    const int16_t r = RunSpeedTest(2, ops);
    EXPECT_EQ(ui.msgLine, c.msg);
    EXPECT_EQ(w.moves.size(), c.moves);
    EXPECT_EQ(r, c.refreshed ? 1 : -1);
    if (c.refreshed) {
      EXPECT_EQ(ui.captionRefreshes, (std::vector<int>{2}));
    } else {
      EXPECT_TRUE(ui.captionRefreshes.empty());
      EXPECT_EQ(w.calls.size(), 0u);  // nothing selected, nothing timed
    }
  }
}

}  // namespace
}  // namespace nvx
