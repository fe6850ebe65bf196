#include "wheels/wheelmath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <initializer_list>
#include <limits>
#include <optional>

namespace nvx {
namespace {

constexpr double kSix = 3200.0 / 6.0;
constexpr double kSeven = 3200.0 / 7.0;
constexpr double kInf = std::numeric_limits<double>::infinity();
const double kNaN = std::nan("");

TEST(StepsPerRevolution, IsThe3200StepsForEveryFilterCount) {
  for (int16_t n : std::initializer_list<int16_t>{1, 2, 3, 5, 6, 7, 8, 9, 11, 13, 256, 3200}) {
    EXPECT_EQ(StepsPerRevolution(n, 3200.0 / n), 3200) << n;
  }
}

TEST(StepsPerRevolution, RefusesUnusableGeometry) {
  const struct {
    int16_t n;
    double spf;
  } cases[] = {{0, 533.3}, {-3, 533.3}, {6, 0.0}, {6, -533.3},
               {6, kInf},  {6, kNaN},   {1, 0.4},  // rounds to 0 steps
               {1, 1e12}};
  for (const auto& c : cases) {
    EXPECT_EQ(StepsPerRevolution(c.n, c.spf), std::nullopt) << c.n << " " << c.spf;
  }
}

TEST(FilterTargetSteps, RoundsToNearestWithHalvesDown) {
  const struct {
    int32_t filter;
    double spf;
    int64_t steps;
  } cases[] = {// Six filters lie at 0, 533, 1067, 1600, 2133, 2667.
               {1, kSix, 0},
               {2, kSix, 533},
               {3, kSix, 1067},
               {4, kSix, 1600},
               {5, kSix, 2133},
               {6, kSix, 2667},
               {7, kSix, 3200},
               {0, kSix, -533},
               // Seven: 457.14, 914.29, 1371.43, 1828.57, 2285.71, 2742.86.
               {2, kSeven, 457},
               {3, kSeven, 914},
               {4, kSeven, 1371},
               {5, kSeven, 1829},
               {6, kSeven, 2286},
               {7, kSeven, 2743},
               // Exact halves go down, unlike halves-to-even (37.5 would give 38).
               {2, 12.5, 12},
               {4, 12.5, 37},
               {0, 12.5, -13},
               {2, 2.5, 2},
               {3, 2.5, 5}};
  for (const auto& c : cases) {
    EXPECT_EQ(FilterTargetSteps(c.filter, c.spf), c.steps) << c.filter << " " << c.spf;
  }
}

TEST(ShortestMove, Moves) {
  const struct {
    double position;
    int32_t filter;
    int16_t n;
    double spf;
    int64_t move;
  } cases[] = {// Six filters.
               {0, 6, 6, kSix, -533},
               {0, 2, 6, kSix, 533},
               {0, 4, 6, kSix, -1600},  // half a revolution: negative way
               {0, 3, 6, kSix, 1067},
               {0, 1, 6, kSix, 0},
               {-100, 1, 6, kSix, 100},
               {3300, 1, 6, kSix, -100},
               {0, 7, 6, kSix, 0},     // filter 7 of six is filter 1
               {0, 0, 6, kSix, -533},  // filter 0 of six is filter 6
               {0, -6, 6, kSix, -533},
               {533, 3, 6, kSix, 534},
               {2667, 1, 6, kSix, 533},
               {1067, 6, 6, kSix, -1600},
               // Positions are rounded halves-to-even before the move.
               {266.5, 1, 6, kSix, -266},
               {267.5, 1, 6, kSix, -268},
               // Far from the first revolution, both ways.
               {6400 + 1067, 3, 6, kSix, 0},
               {-6400, 2, 6, kSix, 533},
               {-2147483648.0, 1, 6, kSix, -1152},
               // A position more than half a revolution below 0 and a filter beyond
               // N + 1 still give a move of at most half a revolution.
               {-3100, 6, 6, kSix, -633},
               {-3100, 1, 6, kSix, -100},
               {-1700, 1, 6, kSix, -1500},
               {0, 13, 6, kSix, 0},
               {0, 14, 6, kSix, 533},
               {0, 32767, 6, kSix, 0},
               // One filter: it is everywhere; the move goes to the nearest revolution mark.
               {1000, 1, 1, 3200.0, -1000},
               {1600, 1, 1, 3200.0, -1600},
               {1601, 1, 1, 3200.0, 1599},
               {0, 2, 1, 3200.0, 0},
               // Five: 0, 640, 1280, 1920, 2560.
               {0, 4, 5, 640.0, -1280},
               {0, 3, 5, 640.0, 1280},
               {2560, 1, 5, 640.0, 640},
               {640, 5, 5, 640.0, -1280},
               // Eight: 400 apart; filter 5 is the half revolution.
               {0, 5, 8, 400.0, -1600},
               {100, 5, 8, 400.0, 1500},
               {2800, 2, 8, 400.0, 800},
               // Seven, with fractional steps per filter.
               {0, 4, 7, kSeven, 1371},
               {0, 5, 7, kSeven, -1371},
               {1371, 1, 7, kSeven, -1371},
               {2743, 1, 7, kSeven, 457},
               {2743, 2, 7, kSeven, 914},
               // 256 filters of 12.5 steps: the target of filter 4 is 37, not 38.
               {0, 4, 256, 12.5, 37}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "p=" << c.position << " k=" << c.filter << " n=" << c.n);
    EXPECT_EQ(ShortestMove(c.position, c.filter, c.n, c.spf), std::optional<int64_t>(c.move));
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

TEST(ShortestMove, RefusesWhatCannotBeMoved) {
  const struct {
    double position;
    int16_t n;
    double spf;
  } cases[] = {{0, 0, kSix},
               {0, -1, kSix},
               {0, 6, 0.0},
               {2147483648.0, 6, kSix},
               {-2147483649.0, 6, kSix},
               {kNaN, 6, kSix},
               {kInf, 6, kSix}};
  for (const auto& c : cases) {
    EXPECT_EQ(ShortestMove(c.position, 1, c.n, c.spf), std::nullopt) << c.position << " " << c.n;
  }
}

TEST(FilterAtPosition, Reads) {
  const struct {
    double position;
    int16_t n;
    double spf;
    int16_t filter;
  } cases[] = {// Six: exactly half-way between 1 and 2 gives 1; 266.67 is just past it.
               {800.0 / 3.0, 6, kSix, 1},
               {kSix / 2, 6, kSix, 1},
               {266.67, 6, kSix, 2},
               {-533, 6, kSix, 6},
               {3200, 6, kSix, 1},
               {0, 6, kSix, 1},
               {1067, 6, kSix, 3},
               {2667, 6, kSix, 6},
               {-3200, 6, kSix, 1},
               {-1600, 6, kSix, 4},
               {-266.67, 6, kSix, 6},
               {-800.0 / 3.0, 6, kSix, 6},  // half-way below 1 goes down to 6
               {6400 + 533, 6, kSix, 2},
               // One filter is everywhere.
               {1234, 1, 3200.0, 1},
               {-99999, 1, 3200.0, 1},
               // Five and eight.
               {320, 5, 640.0, 1},
               {320.001, 5, 640.0, 2},
               {-320, 5, 640.0, 5},
               {200, 8, 400.0, 1},
               {200.5, 8, 400.0, 2},
               {3000, 8, 400.0, 8},
               {3000.1, 8, 400.0, 1},
               // Seven.
               {kSeven / 2, 7, kSeven, 1},
               {229, 7, kSeven, 2},
               {2743, 7, kSeven, 7},
               {3000, 7, kSeven, 1}};
  for (const auto& c : cases) {
    EXPECT_EQ(FilterAtPosition(c.position, c.n, c.spf), std::optional<int16_t>(c.filter))
        << c.position << " n=" << c.n;
  }
}

TEST(FilterAtPosition, StaysInRangeForHugePositions) {
  for (double p : {1e20, -1e20, 1e300, -1e300, 2147483648.0 * 4}) {
    const auto f = FilterAtPosition(p, 6, kSix);
    ASSERT_TRUE(f.has_value()) << p;
    EXPECT_GE(*f, 1);
    EXPECT_LE(*f, 6);
  }
}

TEST(FilterAtPosition, RefusesWhatCannotBeRead) {
  EXPECT_EQ(FilterAtPosition(0, 0, kSix), std::nullopt);
  EXPECT_EQ(FilterAtPosition(0, 6, 0.0), std::nullopt);
  EXPECT_EQ(FilterAtPosition(kNaN, 6, kSix), std::nullopt);
  EXPECT_EQ(FilterAtPosition(kInf, 6, kSix), std::nullopt);
}

TEST(NextPrevFilterNumber, Wraps) {
  const struct {
    int32_t current;
    int16_t n;
    int32_t next, prev;
  } cases[] = {{6, 6, 1, 5},
               {0, 6, 1, 6},
               {1, 6, 2, 6},
               {3, 6, 4, 2},
               {5, 6, 6, 4},
               {1, 1, 1, 1},
               {0, 1, 1, 1},
               {8, 8, 1, 7},
               // Recorded numbers beyond 1..N: the filter they stand for steps on.
               {7, 6, 2, 6},
               {13, 6, 2, 6},
               {32767, 6, 2, 6},
               {-3, 6, 4, 2},
               {-6, 6, 1, 5},
               {-32768, 6, 5, 3}};
  for (const auto& c : cases) {
    EXPECT_EQ(NextFilterNumber(c.current, c.n), c.next) << c.current << " of " << c.n;
    EXPECT_EQ(PrevFilterNumber(c.current, c.n), c.prev) << c.current << " of " << c.n;
  }
}

TEST(NormalFilterNumber, KeepsZeroToNAndFoldsTheRest) {
  EXPECT_EQ(NormalFilterNumber(0, 6), 0);
  EXPECT_EQ(NormalFilterNumber(6, 6), 6);
  EXPECT_EQ(NormalFilterNumber(7, 6), 1);
  EXPECT_EQ(NormalFilterNumber(12, 6), 6);
  EXPECT_EQ(NormalFilterNumber(-1, 6), 5);
  EXPECT_EQ(NormalFilterNumber(-2147483647 - 1, 7), 5);
  EXPECT_EQ(NormalFilterNumber(9, 0), 9);  // no geometry: left alone
}

TEST(JoyStepDecide, Decides) {
  const struct {
    double a, full;
    bool latched;
    int step;
    bool latchedAfter;
  } cases[] = {{-900, 1000, false, -1, true},   {-900, 1000, true, 0, true},
               {900, 1000, false, 1, true},     {900, 1000, true, 0, true},
               {800, 1000, false, 0, false},  // strictly beyond 0.8 needed
               {-800, 1000, false, 0, false},   {801, 1000, false, 1, true},
               {-200, 1000, true, 0, true},  // strictly inside 0.2 re-arms
               {200, 1000, true, 0, true},      {-199, 1000, true, 0, false},
               {199, 1000, true, 0, false},     {0, 1000, true, 0, false},
               {500, 1000, true, 0, true},      {500, 1000, false, 0, false},
               {-32768, 32767, false, -1, true}};
  for (const auto& c : cases) {
    const JoyStep s = JoyStepDecide(c.a, c.full, c.latched);
    EXPECT_EQ(s.step, c.step) << c.a << " latched " << c.latched;
    EXPECT_EQ(s.latched, c.latchedAfter) << c.a << " latched " << c.latched;
  }
}

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
