// The time source of the link, the waits and the joystick: a steady
// millisecond counter, sleeps, and the poll() a receive waits in. The
// program runs on the monotonic clock; tests install a FakeClock so that a
// time-out passes without waiting for it.
#pragma once

#include <poll.h>

#include <atomic>
#include <cstdint>
#include <functional>

namespace nvx {

class Clock {
 public:
  virtual ~Clock() = default;
  // A 32-bit millisecond counter; elapsed times are differences taken
  // modulo 2^32, so a wrap of the counter gives the right small difference.
  virtual uint32_t NowMs() = 0;
  // Returns once at least ms milliseconds have passed; at once for ms <= 0.
  virtual void SleepForMs(int64_t ms) = 0;
  // poll(2) with its results, revents and errno: waits up to timeout_ms for
  // one of the events asked for.
  virtual int Poll(pollfd* fds, nfds_t count, int timeout_ms) = 0;

  // Sleeps until the counter reaches deadline_ms (nothing when it has; the
  // deadline must lie less than 2^31 ms ahead).
  void SleepUntilMs(uint32_t deadline_ms) {
    SleepForMs(static_cast<int32_t>(deadline_ms - NowMs()));
  }
};

// CLOCK_MONOTONIC: sleeps with clock_nanosleep, polls with poll().
class RealClock : public Clock {
 public:
  uint32_t NowMs() override;
  void SleepForMs(int64_t ms) override;
  int Poll(pollfd* fds, nfds_t count, int timeout_ms) override;
};

// A clock that moves only when told to, or when something would wait on it:
// a sleep advances it by the time asked for and returns at once, and a poll
// that finds no event advances it to the end of the poll's time-out and
// returns 0 at once, in the order a real wait would have. Every poll also
// costs kPollCostMs, so a loop that only exchanges requests still sees time
// pass. NowMs, ElapsedMs and Advance may be used from any thread.
class FakeClock : public Clock {
 public:
  static constexpr int kPollCostMs = 1;

  explicit FakeClock(uint32_t start_ms = 0) : start_ms_(start_ms) {}

  uint32_t NowMs() override {
    return start_ms_ + static_cast<uint32_t>(static_cast<uint64_t>(ElapsedMs()));
  }
  void SleepForMs(int64_t ms) override { Advance(ms); }
  int Poll(pollfd* fds, nfds_t count, int timeout_ms) override;

  // Moves the clock on by ms (nothing for ms <= 0).
  void Advance(int64_t ms) {
    if (ms > 0) elapsed_ms_.fetch_add(ms);
  }
  // Milliseconds since construction, without wrap.
  int64_t ElapsedMs() const { return elapsed_ms_.load(); }

  // A peer on another thread (a simulated controller on the far side of a
  // pseudo-terminal) may still owe bytes. While `busy` says so, a poll that
  // finds no event waits for the real descriptors, for at most its time-out
  // of real time, instead of advancing the clock; if another thread moves
  // the clock past the poll's time-out meanwhile, the poll times out. Empty:
  // never busy. Called on the thread that polls.
  void SetPeerBusy(std::function<bool()> busy) { busy_ = std::move(busy); }

 private:
  const uint32_t start_ms_;
  std::atomic<int64_t> elapsed_ms_{0};
  std::function<bool()> busy_;
};

// The clock in use: the monotonic one unless a ScopedClock is alive.
Clock& CurrentClock();

// Installs a clock for its lifetime and puts the previous one back after.
// Install and remove it on the program's thread, while no other thread
// reads the clock.
class ScopedClock {
 public:
  explicit ScopedClock(Clock& clock);
  ~ScopedClock();
  ScopedClock(const ScopedClock&) = delete;
  ScopedClock& operator=(const ScopedClock&) = delete;

 private:
  Clock* previous_;
};

}  // namespace nvx
