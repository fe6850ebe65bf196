#include "wheels/wheelmath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>

namespace nvx {
namespace {

constexpr double kSix = 3200.0 / 6.0;
constexpr double kSeven = 3200.0 / 7.0;

TEST(StepsPerRevolution, IsThe3200StepsForEveryFilterCount) {
  for (int count : {1, 2, 3, 5, 6, 7, 8, 9, 11, 13, 256, 3200}) {
    const auto n = static_cast<int16_t>(count);
    SCOPED_TRACE(n);
    EXPECT_EQ(StepsPerRevolution(n, 3200.0 / n), 3200);
  }
}

TEST(StepsPerRevolution, RefusesUnusableGeometry) {
  EXPECT_EQ(StepsPerRevolution(0, 533.3), std::nullopt);
  EXPECT_EQ(StepsPerRevolution(-3, 533.3), std::nullopt);
  EXPECT_EQ(StepsPerRevolution(6, 0.0), std::nullopt);
  EXPECT_EQ(StepsPerRevolution(6, -533.3), std::nullopt);
  EXPECT_EQ(StepsPerRevolution(6, std::numeric_limits<double>::infinity()), std::nullopt);
  EXPECT_EQ(StepsPerRevolution(6, std::nan("")), std::nullopt);
  EXPECT_EQ(StepsPerRevolution(1, 0.4), std::nullopt);  // rounds to 0 steps
  EXPECT_EQ(StepsPerRevolution(1, 1e12), std::nullopt);
}

struct TargetCase {
  int32_t filter;
  double spf;
  int64_t steps;
};

class FilterTargetTable : public ::testing::TestWithParam<TargetCase> {};

TEST_P(FilterTargetTable, RoundsToNearestWithHalvesDown) {
  const auto& c = GetParam();
  EXPECT_EQ(FilterTargetSteps(c.filter, c.spf), c.steps);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FilterTargetTable,
    ::testing::Values(
        // Six filters lie at 0, 533, 1067, 1600, 2133, 2667.
        TargetCase{1, kSix, 0}, TargetCase{2, kSix, 533}, TargetCase{3, kSix, 1067},
        TargetCase{4, kSix, 1600}, TargetCase{5, kSix, 2133}, TargetCase{6, kSix, 2667},
        TargetCase{7, kSix, 3200}, TargetCase{0, kSix, -533},
        // Seven: 457.14, 914.29, 1371.43, 1828.57, 2285.71, 2742.86.
        TargetCase{2, kSeven, 457}, TargetCase{3, kSeven, 914}, TargetCase{4, kSeven, 1371},
        TargetCase{5, kSeven, 1829}, TargetCase{6, kSeven, 2286}, TargetCase{7, kSeven, 2743},
        // Exact halves go down, unlike halves-to-even (37.5 would give 38).
        TargetCase{2, 12.5, 12}, TargetCase{4, 12.5, 37}, TargetCase{0, 12.5, -13},
        TargetCase{2, 2.5, 2}, TargetCase{3, 2.5, 5}));

struct MoveCase {
  double position;
  int32_t filter;
  int16_t n;
  double spf;
  int64_t move;
};

class ShortestMoveTable : public ::testing::TestWithParam<MoveCase> {};

TEST_P(ShortestMoveTable, Moves) {
  const auto& c = GetParam();
  const auto m = ShortestMove(c.position, c.filter, c.n, c.spf);
  ASSERT_TRUE(m.has_value());
  EXPECT_EQ(*m, c.move);
}

INSTANTIATE_TEST_SUITE_P(
    SixFilters, ShortestMoveTable,
    ::testing::Values(MoveCase{0, 6, 6, kSix, -533}, MoveCase{0, 2, 6, kSix, 533},
                      MoveCase{0, 4, 6, kSix, -1600},  // half a revolution: negative way
                      MoveCase{0, 3, 6, kSix, 1067}, MoveCase{0, 1, 6, kSix, 0},
                      MoveCase{-100, 1, 6, kSix, 100}, MoveCase{3300, 1, 6, kSix, -100},
                      MoveCase{0, 7, 6, kSix, 0},      // filter 7 of six is filter 1
                      MoveCase{0, 0, 6, kSix, -533},   // filter 0 of six is filter 6
                      MoveCase{0, -6, 6, kSix, -533}, MoveCase{533, 3, 6, kSix, 534},
                      MoveCase{2667, 1, 6, kSix, 533}, MoveCase{1067, 6, 6, kSix, -1600},
                      // Positions are rounded halves-to-even before the move.
                      MoveCase{266.5, 1, 6, kSix, -266}, MoveCase{267.5, 1, 6, kSix, -268},
                      // Far from the first revolution, both ways.
                      MoveCase{6400 + 1067, 3, 6, kSix, 0}, MoveCase{-6400, 2, 6, kSix, 533},
                      MoveCase{-2147483648.0, 1, 6, kSix, -1152}));

// A position more than half a revolution below 0 and a filter beyond N + 1
// still give a move of at most half a revolution.
INSTANTIATE_TEST_SUITE_P(
    NeverLongerThanHalf, ShortestMoveTable,
    ::testing::Values(MoveCase{-3100, 6, 6, kSix, -633}, MoveCase{-3100, 1, 6, kSix, -100},
                      MoveCase{-1700, 1, 6, kSix, -1500}, MoveCase{0, 13, 6, kSix, 0},
                      MoveCase{0, 14, 6, kSix, 533}, MoveCase{0, 32767, 6, kSix, 0}));

INSTANTIATE_TEST_SUITE_P(
    OtherCounts, ShortestMoveTable,
    ::testing::Values(
        // One filter: it is everywhere; the move goes to the nearest revolution mark.
        MoveCase{1000, 1, 1, 3200.0, -1000}, MoveCase{1600, 1, 1, 3200.0, -1600},
        MoveCase{1601, 1, 1, 3200.0, 1599}, MoveCase{0, 2, 1, 3200.0, 0},
        // Five: 0, 640, 1280, 1920, 2560.
        MoveCase{0, 4, 5, 640.0, -1280}, MoveCase{0, 3, 5, 640.0, 1280},
        MoveCase{2560, 1, 5, 640.0, 640}, MoveCase{640, 5, 5, 640.0, -1280},
        // Eight: 400 apart; filter 5 is the half revolution.
        MoveCase{0, 5, 8, 400.0, -1600}, MoveCase{100, 5, 8, 400.0, 1500},
        MoveCase{2800, 2, 8, 400.0, 800},
        // Seven, with fractional steps per filter.
        MoveCase{0, 4, 7, kSeven, 1371}, MoveCase{0, 5, 7, kSeven, -1371},
        MoveCase{1371, 1, 7, kSeven, -1371}, MoveCase{2743, 1, 7, kSeven, 457},
        MoveCase{2743, 2, 7, kSeven, 914},
        // 256 filters of 12.5 steps: the target of filter 4 is 37, not 38.
        MoveCase{0, 4, 256, 12.5, 37}));

TEST(ShortestMove, EndsOnTheTargetFilter) {
  for (int count : {1, 3, 5, 6, 7, 8, 12}) {
    const auto n = static_cast<int16_t>(count);
    const double spf = 3200.0 / n;
    for (double p : {-7000.0, -3100.0, -1.0, 0.0, 17.0, 1600.0, 3199.0, 9999.0}) {
      for (int32_t k = -n; k <= 2 * n + 1; ++k) {
        SCOPED_TRACE(testing::Message() << "n=" << n << " p=" << p << " k=" << k);
        const auto m = ShortestMove(p, k, n, spf);
        ASSERT_TRUE(m.has_value());
        EXPECT_LE(*m, 1600);
        EXPECT_GE(*m, -1600);
        const auto f = FilterAtPosition(p + static_cast<double>(*m), n, spf);
        ASSERT_TRUE(f.has_value());
        const int32_t want = ((k - 1) % n + n) % n + 1;
        EXPECT_EQ(*f, want);
      }
    }
  }
}

TEST(ShortestMove, RefusesWhatCannotBeMoved) {
  EXPECT_EQ(ShortestMove(0, 1, 0, kSix), std::nullopt);
  EXPECT_EQ(ShortestMove(0, 1, -1, kSix), std::nullopt);
  EXPECT_EQ(ShortestMove(0, 1, 6, 0.0), std::nullopt);
  EXPECT_EQ(ShortestMove(2147483648.0, 1, 6, kSix), std::nullopt);
  EXPECT_EQ(ShortestMove(-2147483649.0, 1, 6, kSix), std::nullopt);
  EXPECT_EQ(ShortestMove(std::nan(""), 1, 6, kSix), std::nullopt);
  EXPECT_EQ(ShortestMove(std::numeric_limits<double>::infinity(), 1, 6, kSix), std::nullopt);
}

struct FilterCase {
  double position;
  int16_t n;
  double spf;
  int16_t filter;
};

class FilterAtTable : public ::testing::TestWithParam<FilterCase> {};

TEST_P(FilterAtTable, Reads) {
  const auto& c = GetParam();
  const auto f = FilterAtPosition(c.position, c.n, c.spf);
  ASSERT_TRUE(f.has_value());
  EXPECT_EQ(*f, c.filter);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FilterAtTable,
    ::testing::Values(
        // Six: exactly half-way between 1 and 2 gives 1; 266.67 is just past it.
        FilterCase{800.0 / 3.0, 6, kSix, 1}, FilterCase{kSix / 2, 6, kSix, 1},
        FilterCase{266.67, 6, kSix, 2}, FilterCase{-533, 6, kSix, 6},
        FilterCase{3200, 6, kSix, 1}, FilterCase{0, 6, kSix, 1}, FilterCase{1067, 6, kSix, 3},
        FilterCase{2667, 6, kSix, 6}, FilterCase{-3200, 6, kSix, 1},
        FilterCase{-1600, 6, kSix, 4}, FilterCase{-266.67, 6, kSix, 6},
        FilterCase{-800.0 / 3.0, 6, kSix, 6},  // half-way below 1 goes down to 6
        FilterCase{6400 + 533, 6, kSix, 2},
        // One filter is everywhere.
        FilterCase{1234, 1, 3200.0, 1}, FilterCase{-99999, 1, 3200.0, 1},
        // Five and eight.
        FilterCase{320, 5, 640.0, 1}, FilterCase{320.001, 5, 640.0, 2},
        FilterCase{-320, 5, 640.0, 5}, FilterCase{200, 8, 400.0, 1}, FilterCase{200.5, 8, 400.0, 2},
        FilterCase{3000, 8, 400.0, 8}, FilterCase{3000.1, 8, 400.0, 1},
        // Seven.
        FilterCase{kSeven / 2, 7, kSeven, 1}, FilterCase{229, 7, kSeven, 2},
        FilterCase{2743, 7, kSeven, 7}, FilterCase{3000, 7, kSeven, 1}));

TEST(FilterAtPosition, StaysInRangeForHugePositions) {
  for (double p : {1e20, -1e20, 1e300, -1e300, 2147483648.0 * 4}) {
    const auto f = FilterAtPosition(p, 6, kSix);
    ASSERT_TRUE(f.has_value());
    EXPECT_GE(*f, 1);
    EXPECT_LE(*f, 6);
  }
}

TEST(FilterAtPosition, RefusesWhatCannotBeRead) {
  EXPECT_EQ(FilterAtPosition(0, 0, kSix), std::nullopt);
  EXPECT_EQ(FilterAtPosition(0, 6, 0.0), std::nullopt);
  EXPECT_EQ(FilterAtPosition(std::nan(""), 6, kSix), std::nullopt);
  EXPECT_EQ(FilterAtPosition(std::numeric_limits<double>::infinity(), 6, kSix), std::nullopt);
}

struct StepCase {
  int32_t current;
  int16_t n;
  int32_t next;
  int32_t prev;
};

class NextPrevTable : public ::testing::TestWithParam<StepCase> {};

TEST_P(NextPrevTable, Wraps) {
  const auto& c = GetParam();
  EXPECT_EQ(NextFilterNumber(c.current, c.n), c.next);
  EXPECT_EQ(PrevFilterNumber(c.current, c.n), c.prev);
}

INSTANTIATE_TEST_SUITE_P(Cases, NextPrevTable,
                         ::testing::Values(StepCase{6, 6, 1, 5}, StepCase{0, 6, 1, 6},
                                           StepCase{1, 6, 2, 6}, StepCase{3, 6, 4, 2},
                                           StepCase{5, 6, 6, 4},
                                           StepCase{1, 1, 1, 1}, StepCase{0, 1, 1, 1},
                                           StepCase{8, 8, 1, 7},
                                           // Recorded numbers beyond 1..N: the
                                           // filter they stand for steps on.
                                           StepCase{7, 6, 2, 6}, StepCase{13, 6, 2, 6},
                                           StepCase{32767, 6, 2, 6}, StepCase{-3, 6, 4, 2},
                                           StepCase{-6, 6, 1, 5}, StepCase{-32768, 6, 5, 3}));

TEST(NormalFilterNumber, KeepsZeroToNAndFoldsTheRest) {
  EXPECT_EQ(NormalFilterNumber(0, 6), 0);
  EXPECT_EQ(NormalFilterNumber(6, 6), 6);
  EXPECT_EQ(NormalFilterNumber(7, 6), 1);
  EXPECT_EQ(NormalFilterNumber(12, 6), 6);
  EXPECT_EQ(NormalFilterNumber(-1, 6), 5);
  EXPECT_EQ(NormalFilterNumber(-2147483647 - 1, 7), 5);
  EXPECT_EQ(NormalFilterNumber(9, 0), 9);  // no geometry: left alone
}

struct JoyCase {
  double a;
  double full;
  bool latched;
  int step;
  bool latchedAfter;
};

class JoyTable : public ::testing::TestWithParam<JoyCase> {};

TEST_P(JoyTable, Decides) {
  const auto& c = GetParam();
  const JoyStep s = JoyStepDecide(c.a, c.full, c.latched);
  EXPECT_EQ(s.step, c.step);
  EXPECT_EQ(s.latched, c.latchedAfter);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, JoyTable,
    ::testing::Values(JoyCase{-900, 1000, false, -1, true}, JoyCase{-900, 1000, true, 0, true},
                      JoyCase{900, 1000, false, 1, true}, JoyCase{900, 1000, true, 0, true},
                      JoyCase{800, 1000, false, 0, false},   // strictly beyond 0.8 needed
                      JoyCase{-800, 1000, false, 0, false}, JoyCase{801, 1000, false, 1, true},
                      JoyCase{-200, 1000, true, 0, true},    // strictly inside 0.2 re-arms
                      JoyCase{200, 1000, true, 0, true}, JoyCase{-199, 1000, true, 0, false},
                      JoyCase{199, 1000, true, 0, false}, JoyCase{0, 1000, true, 0, false},
                      JoyCase{500, 1000, true, 0, true}, JoyCase{500, 1000, false, 0, false},
                      JoyCase{-32768, 32767, false, -1, true}));

TEST(JoyStepDecide, StepsOncePerDeflection) {
  bool latch = false;
  int steps = 0;
  for (double a : {-900.0, -950.0, -900.0, -300.0, -900.0, -100.0, -900.0, 0.0, 900.0, 1000.0}) {
    const JoyStep s = JoyStepDecide(a, 1000, latch);
    latch = s.latched;
    steps += s.step;
  }
  // Back at -900, held (-950, -900, -300, -900: no re-arm), re-armed at -100,
  // back again at -900, re-armed at 0, forward at 900.
  EXPECT_EQ(steps, -1 - 1 + 1);
  EXPECT_TRUE(latch);
}

}  // namespace
}  // namespace nvx
