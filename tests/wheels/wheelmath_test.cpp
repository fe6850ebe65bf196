#include "wheels/wheelmath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <initializer_list>
#include <limits>
#include <optional>
#include <tuple>
#include <vector>

namespace nvx {
namespace {

constexpr double kSix = 3200.0 / 6.0;
constexpr double kSeven = 3200.0 / 7.0;
constexpr double kInf = std::numeric_limits<double>::infinity();
const double kNaN = std::nan("");

TEST(StepsPerRevolution, Is3200ForEveryFilterCountAndRefusesUnusableGeometry) {
  for (int16_t n : std::initializer_list<int16_t>{1, 2, 3, 5, 6, 7, 8, 9, 11, 13, 256, 3200}) {
    EXPECT_EQ(StepsPerRevolution(n, 3200.0 / n), 3200) << n;
  }
  // {1, 0.4} rounds to 0 steps.
  const std::vector<std::tuple<int16_t, double>> bad = {
      {0, 533.3}, {-3, 533.3}, {6, 0.0}, {6, -533.3}, {6, kInf}, {6, kNaN}, {1, 0.4}, {1, 1e12}};
  for (auto [n, spf] : bad) EXPECT_EQ(StepsPerRevolution(n, spf), std::nullopt) << n << " " << spf;
}

// Six filters lie at 0, 533, 1067, 1600, 2133, 2667; seven at 457.14, 914.29,
// 1371.43, 1828.57, 2285.71, 2742.86. Exact halves go down, unlike
// halves-to-even (37.5 would give 38).
TEST(FilterTargetSteps, RoundsToNearestWithHalvesDown) {
  const std::vector<std::tuple<int32_t, double, int64_t>> cases = {
      {1, kSix, 0},      {2, kSix, 533},    {3, kSix, 1067},   {4, kSix, 1600},   {5, kSix, 2133},
      {6, kSix, 2667},   {7, kSix, 3200},   {0, kSix, -533},   {2, kSeven, 457},  {3, kSeven, 914},
      {4, kSeven, 1371}, {5, kSeven, 1829}, {6, kSeven, 2286}, {7, kSeven, 2743}, {2, 12.5, 12},
      {4, 12.5, 37},     {0, 12.5, -13},    {2, 2.5, 2},       {3, 2.5, 5}};
  for (auto [filter, spf, steps] : cases) {
    EXPECT_EQ(FilterTargetSteps(filter, spf), steps) << filter << " " << spf;
  }
}

// Six filters (half a revolution goes the negative way; filter 7 is 1, 0 is 6;
// positions round halves-to-even; far revolutions both ways; below minus half
// a revolution or a filter beyond N + 1 still at most half); one filter is
// everywhere (to the nearest revolution mark); five (0, 640, ..., 2560); eight
// (400 apart); seven (fractional); 256 filters of 12.5: filter 4 is at 37.
TEST(ShortestMove, Moves) {
  // clang-format off
  const std::vector<std::tuple<double, int32_t, int16_t, double, int64_t>> cases = {
      {0, 6, 6, kSix, -533}, {0, 2, 6, kSix, 533}, {0, 4, 6, kSix, -1600}, {0, 3, 6, kSix, 1067},
      {0, 1, 6, kSix, 0}, {-100, 1, 6, kSix, 100}, {3300, 1, 6, kSix, -100}, {0, 7, 6, kSix, 0},
      {0, 0, 6, kSix, -533}, {0, -6, 6, kSix, -533}, {533, 3, 6, kSix, 534},
      {2667, 1, 6, kSix, 533}, {1067, 6, 6, kSix, -1600}, {266.5, 1, 6, kSix, -266},
      {267.5, 1, 6, kSix, -268}, {6400 + 1067, 3, 6, kSix, 0}, {-6400, 2, 6, kSix, 533},
      {-2147483648.0, 1, 6, kSix, -1152}, {-3100, 6, 6, kSix, -633}, {-3100, 1, 6, kSix, -100},
      {-1700, 1, 6, kSix, -1500}, {0, 13, 6, kSix, 0}, {0, 14, 6, kSix, 533},
      {0, 32767, 6, kSix, 0}, {1000, 1, 1, 3200.0, -1000}, {1600, 1, 1, 3200.0, -1600},
      {1601, 1, 1, 3200.0, 1599}, {0, 2, 1, 3200.0, 0}, {0, 4, 5, 640.0, -1280},
      {0, 3, 5, 640.0, 1280}, {2560, 1, 5, 640.0, 640}, {640, 5, 5, 640.0, -1280},
      {0, 5, 8, 400.0, -1600}, {100, 5, 8, 400.0, 1500}, {2800, 2, 8, 400.0, 800},
      {0, 4, 7, kSeven, 1371}, {0, 5, 7, kSeven, -1371}, {1371, 1, 7, kSeven, -1371},
      {2743, 1, 7, kSeven, 457}, {2743, 2, 7, kSeven, 914}, {0, 4, 256, 12.5, 37}};
  // clang-format on
  for (auto [position, filter, n, spf, move] : cases) {
    SCOPED_TRACE(testing::Message() << "p=" << position << " k=" << filter << " n=" << n);
    EXPECT_EQ(ShortestMove(position, filter, n, spf), std::optional<int64_t>(move));
  }
  // clang-format off
  const std::vector<std::tuple<double, int16_t, double>> refused = {{0, 0, kSix}, {0, -1, kSix},
      {0, 6, 0.0}, {2147483648.0, 6, kSix}, {-2147483649.0, 6, kSix}, {kNaN, 6, kSix},
      {kInf, 6, kSix}};
  // clang-format on
  for (auto [position, n, spf] : refused) {
    EXPECT_EQ(ShortestMove(position, 1, n, spf), std::nullopt) << position << " " << n;
  }
}

TEST(ShortestMove, EndsOnTheTargetFilter) {
  for (int16_t n : std::initializer_list<int16_t>{1, 3, 5, 6, 7, 8, 12}) {
    const double spf = 3200.0 / n;
    for (double p : {-7000.0, -3100.0, -1.0, 0.0, 17.0, 1600.0, 3199.0, 9999.0}) {
      for (int32_t k = -n; k <= 2 * n + 1; ++k) {
        SCOPED_TRACE(testing::Message() << "n=" << n << " p=" << p << " k=" << k);
        const auto m = ShortestMove(p, k, n, spf);
        ASSERT_TRUE(m.has_value());
        EXPECT_LE(std::abs(*m), 1600);
        const int32_t want = ((k - 1) % n + n) % n + 1;
        EXPECT_EQ(FilterAtPosition(p + static_cast<double>(*m), n, spf),
                  std::optional<int16_t>(static_cast<int16_t>(want)));
      }
    }
  }
}

// Exactly half-way between two filters reads as the lower one (below 1: 6).
TEST(FilterAtPosition, Reads) {
  // clang-format off
  const std::vector<std::tuple<double, int16_t, double, int16_t>> cases = {
      {800.0 / 3.0, 6, kSix, 1}, {kSix / 2, 6, kSix, 1}, {266.67, 6, kSix, 2}, {-533, 6, kSix, 6},
      {3200, 6, kSix, 1}, {0, 6, kSix, 1}, {1067, 6, kSix, 3}, {2667, 6, kSix, 6},
      {-3200, 6, kSix, 1}, {-1600, 6, kSix, 4}, {-266.67, 6, kSix, 6}, {-800.0 / 3.0, 6, kSix, 6},
      {6400 + 533, 6, kSix, 2}, {1234, 1, 3200.0, 1}, {-99999, 1, 3200.0, 1}, {320, 5, 640.0, 1},
      {320.001, 5, 640.0, 2}, {-320, 5, 640.0, 5}, {200, 8, 400.0, 1}, {200.5, 8, 400.0, 2},
      {3000, 8, 400.0, 8}, {3000.1, 8, 400.0, 1}, {kSeven / 2, 7, kSeven, 1}, {229, 7, kSeven, 2},
      {2743, 7, kSeven, 7}, {3000, 7, kSeven, 1}};
  // clang-format on
  for (auto [position, n, spf, filter] : cases) {
    EXPECT_EQ(FilterAtPosition(position, n, spf), std::optional<int16_t>(filter))
        << position << " n=" << n;
  }
  for (double p : {1e20, -1e20, 1e300, -1e300, 2147483648.0 * 4}) {
    const auto f = FilterAtPosition(p, 6, kSix);
    ASSERT_TRUE(f.has_value()) << p;
    EXPECT_TRUE(*f >= 1 && *f <= 6) << p;
  }
  EXPECT_EQ(FilterAtPosition(0, 0, kSix), std::nullopt);
  EXPECT_EQ(FilterAtPosition(0, 6, 0.0), std::nullopt);
  EXPECT_EQ(FilterAtPosition(kNaN, 6, kSix), std::nullopt);
  EXPECT_EQ(FilterAtPosition(kInf, 6, kSix), std::nullopt);
}

// Recorded numbers beyond 1..N: the filter they stand for steps on.
TEST(FilterNumbers, NextPrevWrapAndNormalFolds) {
  const std::vector<std::tuple<int32_t, int16_t, int32_t, int32_t>> cases = {
      {6, 6, 1, 5},     {0, 6, 1, 6},  {1, 6, 2, 6},  {3, 6, 4, 2},     {5, 6, 6, 4},
      {1, 1, 1, 1},     {0, 1, 1, 1},  {8, 8, 1, 7},  {7, 6, 2, 6},     {13, 6, 2, 6},
      {32767, 6, 2, 6}, {-3, 6, 4, 2}, {-6, 6, 1, 5}, {-32768, 6, 5, 3}};
  for (auto [current, n, next, prev] : cases) {
    EXPECT_EQ(NextFilterNumber(current, n), next) << current << " of " << n;
    EXPECT_EQ(PrevFilterNumber(current, n), prev) << current << " of " << n;
  }
  // 0..N are kept; no geometry (N = 0) leaves the number alone.
  const std::vector<std::tuple<int32_t, int16_t, int32_t>> folds = {
      {0, 6, 0}, {6, 6, 6}, {7, 6, 1}, {12, 6, 6}, {-1, 6, 5}, {-2147483647 - 1, 7, 5}, {9, 0, 9}};
  for (auto [k, n, normal] : folds) EXPECT_EQ(NormalFilterNumber(k, n), normal) << k;
}

// A step needs strictly beyond 0.8 of full; strictly inside 0.2 re-arms.
TEST(JoyStepDecide, Decides) {
  // clang-format off
  const std::vector<std::tuple<double, double, bool, int, bool>> cases = {
      {-900, 1000, false, -1, true}, {-900, 1000, true, 0, true}, {900, 1000, false, 1, true},
      {900, 1000, true, 0, true}, {800, 1000, false, 0, false}, {-800, 1000, false, 0, false},
      {801, 1000, false, 1, true}, {-200, 1000, true, 0, true}, {200, 1000, true, 0, true},
      {-199, 1000, true, 0, false}, {199, 1000, true, 0, false}, {0, 1000, true, 0, false},
      {500, 1000, true, 0, true}, {500, 1000, false, 0, false}, {-32768, 32767, false, -1, true}};
  // clang-format on
  for (auto [a, full, latched, step, latchedAfter] : cases) {
    const JoyStep s = JoyStepDecide(a, full, latched);
    EXPECT_EQ(s.step, step) << a << " latched " << latched;
    EXPECT_EQ(s.latched, latchedAfter) << a << " latched " << latched;
  }
}

}  // namespace
}  // namespace nvx
