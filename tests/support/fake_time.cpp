#include "support/fake_time.h"

#include "comm/serial_port.h"
#include "sim/sim.h"

namespace nvx::test {

void FakeTime::FollowPeer(std::function<uint64_t()> handled, std::function<uint64_t()> sent) {
  const PosixSerialPort::Traffic base = PosixSerialPort::TotalTraffic();
  clock.SetPeerBusy([base, handled = std::move(handled), sent = std::move(sent)] {
    // The peer counts its handled bytes after writing their replies: read
    // that count first, then the bytes sent.
    const uint64_t h = handled();
    const uint64_t s = sent();
    const PosixSerialPort::Traffic now = PosixSerialPort::TotalTraffic();
    return now.written - base.written > h || s > now.read - base.read;
  });
}

void FakeTime::FollowSim(sim::ControllerSim& sim) {
  sim.SetTimeSource([this] { return clock.ElapsedMs(); });
  FollowPeer([&sim] { return sim.BytesHandled(); }, [&sim] { return sim.BytesSent(); });
}

}  // namespace nvx::test
