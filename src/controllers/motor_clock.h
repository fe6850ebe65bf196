// Small helpers shared by the two controller drivers.
#pragma once

#include <cmath>
#include <cstdint>
#include <optional>

#include "comm/comm.h"

namespace nvx {

// Whole seconds elapsed since a reading of the millisecond clock. The clock is
// the steady 32-bit TimeMs counter, so the difference is wrap-safe and no
// motion wait depends on the time of day.
inline int32_t ElapsedSeconds(uint32_t startMs) {
  const uint32_t ms = TimeMs() - startMs;  // modulo 2^32
  return static_cast<int32_t>(ms / 1000U);
}

// Step count of a relative move: the magnitude of x rounded half up (integer
// part of magnitude + 0.5). nullopt when x is not finite or the count does
// not fit a 32-bit integer, since no controller can be sent such a count.
inline std::optional<int64_t> MoveStepCount(double x) {
  if (!std::isfinite(x)) return std::nullopt;
  const double n = std::floor(std::fabs(x) + 0.5);
  if (n > 2147483647.0) return std::nullopt;
  return static_cast<int64_t>(n);
}

}  // namespace nvx
