#include "wheels/wheelmath.h"

#include <cmath>
#include <cstdlib>

#include "base/numbers.h"

namespace nvx {

namespace {

// Nearest integer with a fraction of exactly one half going down.
double NearestHalfDown(double t) {
  const double f = std::floor(t);
  return (t - f > f + 1.0 - t) ? f + 1.0 : f;
}

bool UsableStepsPerFilter(double stepsPerFilter) {
  return std::isfinite(stepsPerFilter) && stepsPerFilter > 0.0;
}

// Remainder of a by m (m > 0) in 0..m-1.
int64_t PositiveMod(int64_t a, int64_t m) {
  const int64_t r = a % m;
  return r < 0 ? r + m : r;
}

}  // namespace

std::optional<int64_t> StepsPerRevolution(int16_t n, double stepsPerFilter) {
  if (n <= 0 || !UsableStepsPerFilter(stepsPerFilter)) return std::nullopt;
  const double s = RoundHalfEven(static_cast<double>(n) * stepsPerFilter);
  // A revolution beyond 32 bits cannot be a real wheel; refusing it keeps
  // every later sum well inside 64 bits.
  if (!(s >= 1.0) || s > 2147483647.0) return std::nullopt;
  return static_cast<int64_t>(s);
}

int64_t FilterTargetSteps(int32_t filter, double stepsPerFilter) {
  const double t = (static_cast<double>(filter) - 1.0) * stepsPerFilter;
  if (!std::isfinite(t) || std::fabs(t) > 9.0e15) return 0;
  return static_cast<int64_t>(NearestHalfDown(t));
}

std::optional<int64_t> ShortestMove(double position, int32_t filter, int16_t n,
                                    double stepsPerFilter) {
  const auto rev = StepsPerRevolution(n, stepsPerFilter);
  if (!rev) return std::nullopt;
  const auto p = ToInt32(position);
  if (!p) return std::nullopt;
  const int64_t s = *rev;
  const int64_t v = PositiveMod(*p, s);
  const int64_t u = PositiveMod(FilterTargetSteps(filter, stepsPerFilter), s);
  int64_t d = u - v;
  if (d < 0) d += s;
  const int64_t e = d - s;
  return (std::llabs(d) < std::llabs(e)) ? d : e;
}

std::optional<int16_t> FilterAtPosition(double position, int16_t n, double stepsPerFilter) {
  if (n <= 0 || !UsableStepsPerFilter(stepsPerFilter) || !std::isfinite(position)) {
    return std::nullopt;
  }
  const double b = position / stepsPerFilter;
  if (!std::isfinite(b)) return std::nullopt;
  // c is a whole number, so the remainder is exact however large it is.
  const double c = std::fmod(NearestHalfDown(b), static_cast<double>(n));
  const double k = (c + 1.0 > 0.0) ? c + 1.0 : static_cast<double>(n) + c + 1.0;
  return static_cast<int16_t>(k);
}

int32_t NormalFilterNumber(int32_t current, int16_t n) {
  if (n <= 0 || (current >= 0 && current <= n)) return current;
  const int64_t r = (static_cast<int64_t>(current) - 1) % n;
  return static_cast<int32_t>((r < 0 ? r + n : r) + 1);
}

int32_t NextFilterNumber(int32_t current, int16_t n) {
  const int64_t b = static_cast<int64_t>(NormalFilterNumber(current, n)) + 1;
  return b > n ? 1 : static_cast<int32_t>(b);
}

int32_t PrevFilterNumber(int32_t current, int16_t n) {
  const int32_t c = NormalFilterNumber(current, n);
  return c > 1 ? c - 1 : static_cast<int32_t>(n);
}

JoyStep JoyStepDecide(double deflection, double fullScale, bool latched) {
  JoyStep r;
  r.latched = latched;
  if (!latched && deflection < -0.8 * fullScale) {
    r.step = -1;
    r.latched = true;
  } else if (!r.latched && deflection > 0.8 * fullScale) {
    r.step = 1;
    r.latched = true;
  }
  if (-0.2 * fullScale < deflection && deflection < 0.2 * fullScale) r.latched = false;
  return r;
}

}  // namespace nvx
