// The millisecond clock and the wait.
#include <time.h>

#include <cerrno>
#include <cstdint>

#include "comm/comm.h"
#include "comm/clock_detail.h"

namespace nvx {

namespace {

uint32_t g_offset_ms = 0;

int64_t MonotonicNs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

uint32_t MsFromNs(int64_t ns) {
  return static_cast<uint32_t>(static_cast<uint64_t>(ns / 1000000)) + g_offset_ms;
}

// Sleeps until the monotonic clock reaches abs_ns (signals do not cut it short).
void SleepUntilNs(int64_t abs_ns) {
  timespec ts{};
  ts.tv_sec = static_cast<time_t>(abs_ns / 1000000000);
  ts.tv_nsec = static_cast<long>(abs_ns % 1000000000);
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) == EINTR) {
  }
}

}  // namespace

uint32_t TimeMs() { return MsFromNs(MonotonicNs()); }

void SetTimeMsOffsetForTest(uint32_t offset_ms) { g_offset_ms = offset_ms; }

void SleepMs(int64_t ms) {
  if (ms <= 0) return;
  SleepUntilNs(MonotonicNs() + ms * 1000000);
}

void WaitMs(int32_t n) {
  if (n < 0) return;
  const int64_t t0 = MonotonicNs();
  const uint32_t start = MsFromNs(t0);
  // Sleep n + 1 whole milliseconds of real time; by then the counter has
  // moved on by more than n as well (it only counts whole milliseconds).
  const int64_t deadline_ns = t0 + (static_cast<int64_t>(n) + 1) * 1000000;
  SleepUntilNs(deadline_ns);
  // Confirm with the clock itself; only an offset changed during the wait
  // can leave time to go.
  while (static_cast<uint32_t>(TimeMs() - start) <= static_cast<uint32_t>(n)) SleepMs(1);
}

}  // namespace nvx
