// A fake clock installed for a test's lifetime, so that time-outs and waits
// pass at once. When a peer thread answers the link on a pseudo-terminal, the
// clock is told to wait (in real time) while the peer still owes bytes.
#pragma once

#include <cstdint>
#include <functional>

#include "comm/clock.h"

namespace nvx::sim {
class ControllerSim;
}

namespace nvx::test {

class FakeTime {
 public:
  explicit FakeTime(uint32_t start_ms = 0) : clock(start_ms), scoped_(clock) {}

  // The peer on the far side of the link has handled `handled()` of the bytes
  // the link wrote from now on, and sent `sent()` bytes. A poll skips ahead
  // only when the peer has handled all the link wrote and the link has read
  // all the peer sent. Call it before the peer's first exchange.
  void FollowPeer(std::function<uint64_t()> handled, std::function<uint64_t()> sent);
  // The same for a simulator, whose moves then also run on this clock.
  void FollowSim(sim::ControllerSim& sim);

  FakeClock clock;

 private:
  ScopedClock scoped_;
};

}  // namespace nvx::test
