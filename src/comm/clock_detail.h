// Clock helpers shared inside the link.
#pragma once

#include <cstdint>

namespace nvx {

// Sleeps for ms milliseconds of the monotonic clock (nothing for ms <= 0).
void SleepMs(int64_t ms);

}  // namespace nvx
