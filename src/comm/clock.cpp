// The clocks, the installed clock, and the millisecond counter and wait of
// the link built on them.
#include "comm/clock.h"

#include <time.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>

#include "comm/comm.h"

namespace nvx {

namespace {

int64_t MonotonicNs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

// Sleeps until the monotonic clock reaches abs_ns (signals do not cut it short).
void SleepUntilNs(int64_t abs_ns) {
  timespec ts{};
  ts.tv_sec = static_cast<time_t>(abs_ns / 1000000000);
  ts.tv_nsec = static_cast<long>(abs_ns % 1000000000);
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) == EINTR) {}
}

RealClock g_real;
std::atomic<Clock*> g_clock{&g_real};

}  // namespace

uint32_t RealClock::NowMs() {
  return static_cast<uint32_t>(static_cast<uint64_t>(MonotonicNs() / 1000000));
}

void RealClock::SleepForMs(int64_t ms) {
  if (ms <= 0) return;
  SleepUntilNs(MonotonicNs() + ms * 1000000);
}

int RealClock::Poll(pollfd* fds, nfds_t count, int timeout_ms) {
  return ::poll(fds, count, timeout_ms);
}

int FakeClock::Poll(pollfd* fds, nfds_t count, int timeout_ms) {
  if (timeout_ms < 0) return ::poll(fds, count, timeout_ms);  // no time-out to skip to
  const int64_t deadline = ElapsedMs() + timeout_ms;
  Advance(kPollCostMs);
  int r = ::poll(fds, count, 0);
  if (r != 0 || timeout_ms == 0) return r;
  // A peer that still owes bytes is waited for in real time, in short
  // slices, but never longer than a real clock would have waited. When
  // another thread moves the clock past the time-out meanwhile, the time-out
  // came first.
  const int64_t real_end = MonotonicNs() + static_cast<int64_t>(timeout_ms) * 1000000;
  while (busy_ && busy_() && MonotonicNs() < real_end) {
    r = ::poll(fds, count, 1);
    if (r < 0) return r;
    if (ElapsedMs() >= deadline) break;
    if (r > 0) return r;
  }
  for (nfds_t i = 0; i < count; ++i) fds[i].revents = 0;
  Advance(deadline - ElapsedMs());
  return 0;
}

Clock& CurrentClock() { return *g_clock.load(); }

ScopedClock::ScopedClock(Clock& clock) : previous_(g_clock.exchange(&clock)) {}

ScopedClock::~ScopedClock() { g_clock.store(previous_); }

uint32_t TimeMs() { return CurrentClock().NowMs(); }

void WaitMs(int32_t n) {
  if (n < 0) return;
  Clock& clock = CurrentClock();
  const uint32_t start = clock.NowMs();
  // One sleep of n + 1 ms normally suffices: the counter only counts whole
  // milliseconds, so by then it has moved on by more than n. The loop only
  // confirms it with the counter itself.
  int64_t left = static_cast<int64_t>(n) + 1;
  while (left > 0) {
    clock.SleepForMs(left);
    left = static_cast<int64_t>(n) + 1 - static_cast<uint32_t>(clock.NowMs() - start);
  }
}

}  // namespace nvx
