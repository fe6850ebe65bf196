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
  std::string calls;                 // s<wheel> select, g get, <n> go, w wait, n next
  std::vector<int16_t> moves;        // targets reached, in order
  std::vector<std::string> progress;

  void Call(const std::string& c) {
    clock += c[0] == 's' ? 0 : 7;
    calls += (calls.empty() ? "" : " ") + c;
  }
  int16_t Moved(int16_t n) {
    movedWheels.push_back(selected);
    filter = n;
    moves.push_back(n);
    return 1;
  }
  SpeedTestOps Ops() {
    SpeedTestOps o;
    o.selectWheel = [this](int16_t n) {
      Call("s" + std::to_string(selected = n));
      return count;
    };
    o.getFilter = [this](int16_t& k) -> int16_t {
      Call("g");
      if (readingFails) return -1;
      k = filter;
      return 1;
    };
    o.goToFilter = [this](int16_t n) -> int16_t {
      Call(std::to_string(n));
      if (n < 1 || n > count) return movedWheels.push_back(selected), -1;
      return Moved(n);
    };
    o.waitWheel = [this]() -> int16_t {
      Call("w");
      if (nestedSelects != 0) selected = nestedSelects;
      return 1;
    };
    o.nextFilter = [this]() -> int16_t {
      Call("n");
      curFilter = static_cast<int16_t>(curFilter >= count ? 1 : curFilter + 1);
      return Moved(curFilter);
    };
    o.timeMs = [this] { return clock; };
    o.progress = [this](int32_t k, int16_t r) { progress.push_back(SpeedTestProgressText(k, r)); };
    return o;
  }
};

TEST(SpeedTestTest, MovesOfOneRun) {
  // A wheel of 6 filters at 5.
  // nestedSelects: the wheel a command nested in each wait selects.
  // clang-format off
  struct Case { const char* name; int16_t wheel, n, reps; bool readingFails; int16_t nestedSelects;
      std::vector<int16_t> moves; const char* calls; int16_t curFilter; uint32_t elapsedMs; };
  const Case cases[] = {
      {"step one: next filter with wrap", 1, 1, 3, false, 0, {6, 1, 2}, "s1 n w s1 n w s1 n w s1", 2, 42},
      {"step two: read and move, the model's filter kept", 2, 2, 2, false, 0, {1, 3},
       "s2 g 1 w s2 g 3 w s2", 5, 42},
      {"nested selection, step one", 1, 1, 3, false, 2, {6, 1, 2}, "s1 n w s1 n w s1 n w s1", 2, 42},
      {"nested selection, step two", 2, 2, 3, false, 1, {1, 3, 5},
       "s2 g 1 w s2 g 3 w s2 g 5 w s2", 5, 63},
      {"failed reading keeps the last target", 1, 2, 3, true, 0, {2, 4, 6},
       "s1 g 2 w s1 g 4 w s1 g 6 w s1", 5, 63},
      {"large step exceeds the count after one subtraction", 1, 20, 1, false, 0, {},
       "s1 g 19 w s1", 5, 21},
      {"no step", 1, 0, 5, false, 0, {}, "s1", 5, 0}, {"negative step", 1, -1, 5, false, 0, {}, "s1", 5, 0},
      {"no repetition", 1, 1, 0, false, 0, {}, "s1", 5, 0},
      {"negative repetitions", 1, 2, -4, false, 0, {}, "s1", 5, 0},
  };
  // clang-format on
  // Progress for several repetitions only; the same requests without it.
  for (const Case& c : cases) {
    for (const bool shown : {true, false}) {
      SCOPED_TRACE(std::string(c.name) + (shown ? "" : ", no progress"));
      FakeWheel w;
      w.readingFails = c.readingFails;
      w.nestedSelects = c.nestedSelects;
      SpeedTestOps ops = w.Ops();
      if (!shown) ops.progress = nullptr;
      const uint32_t elapsed = RunSpeedTestMoves(c.wheel, c.n, c.reps, ops);
      EXPECT_EQ(w.moves, c.moves);
      EXPECT_EQ(w.calls, c.calls);
      EXPECT_EQ(w.curFilter, c.curFilter);
      EXPECT_EQ(elapsed, c.elapsedMs);
      // The tested wheel stays selected and every move was on it.
      EXPECT_EQ(w.selected, c.wheel);
      EXPECT_EQ(w.movedWheels, std::vector<int16_t>(w.movedWheels.size(), c.wheel));
      std::vector<std::string> progress;
      for (int k = 1; shown && c.reps > 1 && c.n > 0 && k <= c.reps; ++k)
        progress.push_back("Speed test: repetition " + std::to_string(k) + " of " +
                           std::to_string(c.reps));
      EXPECT_EQ(w.progress, progress);
    }
  }
  FakeWheel w;
  w.clock = 0xFFFFFFF0u;
  EXPECT_EQ(RunSpeedTestMoves(1, 1, 3, w.Ops()), 42u);  // wrap-safe
}

TEST(SpeedTestTest, InputTargetResultTextAndWholeEntryWithInputBoxes) {
  using S = std::string;
  // clang-format off
  const std::pair<std::optional<S>, std::optional<int16_t>> inputs[] = {
      {std::nullopt, std::nullopt}, {S(""), std::nullopt}, {S("abc"), std::nullopt}, {S("2.5"), 2},
      {S("3.5"), 4}, {S(" 7 "), 7}, {S("-1"), -1}, {S("32767"), 32767}, {S("32768"), std::nullopt},
      {S("-32769"), std::nullopt}, {S("1e9"), std::nullopt}, {S("0x10"), std::nullopt}};
  // From p, n filters on, on a wheel of count filters.
  const int16_t targets[][4] = {{5, 2, 6, 1}, {1, 2, 6, 3}, {6, 6, 6, 6}, {0, 2, 6, 2},
      {3, 20, 6, 17}, {0, 5, 0, 5}, {32767, 32767, 0, 32767}, {4, 3, 8, 7}};
  // clang-format on
  for (const auto& [text, value] : inputs)
    EXPECT_EQ(SpeedTestInput(text), value) << text.value_or("<cancel>");
  for (const auto& t : targets)
    EXPECT_EQ(SpeedTestTarget(t[0], t[1], t[2]), t[3]) << t[0] << "+" << t[1];
  EXPECT_EQ(SpeedTestResultText(10, 4523), "10 repetitions -4523 msec");
  EXPECT_EQ(SpeedTestResultText(-3, 0), "-3 repetitions -0 msec");

  const char* const bad = "Error in input - not a number";
  struct Case {
    std::vector<std::optional<S>> answers;
    const char* msg;
    size_t moves;
    bool refreshed;
  };
  // clang-format off
  const Case cases[] = {
      {{S("1"), S("3")}, "3 repetitions -42 msec", 3, true},
      {{S("2.5"), S("2")}, "2 repetitions -42 msec", 2, true},
      {{S("0"), S("4")}, "4 repetitions -0 msec", 0, true},
      {{std::nullopt}, bad, 0, false}, {{S("1"), std::nullopt}, bad, 0, false},
      {{S("99999"), S("1")}, bad, 0, false}, {{S("1"), S("40000")}, bad, 0, false},
  };
  // clang-format on
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
