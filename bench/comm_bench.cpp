// The serial link's costs: request/reply exchanges per second over a
// pseudo-terminal with an instant echo peer, and the processor time spent
// while waiting (WaitMs, a reply time-out, a time-out on a hung-up line) as
// a share of the wall time ("cpu_share"; the goal is under 0.05).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>

#include "comm/comm.h"

namespace {

double ClockSeconds(clockid_t id) {
  timespec ts{};
  clock_gettime(id, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// A raw pseudo-terminal whose master side the bench holds.
struct Pty {
  Pty() {
    master = posix_openpt(O_RDWR | O_NOCTTY);
    char name[256] = {};
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0 ||
        ptsname_r(master, name, sizeof name) != 0) {
      if (master >= 0) close(master);
      master = -1;
      return;
    }
    termios tio{};
    tcgetattr(master, &tio);
    cfmakeraw(&tio);
    tcsetattr(master, TCSANOW, &tio);
    slave = name;
  }
  ~Pty() { Close(); }
  void Close() {
    if (master >= 0) close(master);
    master = -1;
  }
  int master = -1;
  std::string slave;
};

// Answers every line-feed-terminated request with "OK\n" at once.
class EchoPeer {
 public:
  explicit EchoPeer(int fd) : fd_(fd), thread_([this] { Run(); }) {}
  ~EchoPeer() {
    stop_ = true;
    thread_.join();
  }

 private:
  void Run() {
    char buf[512];
    while (!stop_) {
      pollfd p{fd_, POLLIN, 0};
      if (poll(&p, 1, 50) <= 0 || (p.revents & POLLIN) == 0) continue;
      ssize_t n = read(fd_, buf, sizeof buf);
      for (ssize_t i = 0; i < n; ++i) {
        if (buf[i] == '\n' && write(fd_, "OK\n", 3) != 3) return;
      }
    }
  }
  int fd_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

bool OpenLinkOn(const Pty& pty, benchmark::State& state) {
  if (pty.master < 0) {
    state.SkipWithError("no pseudo-terminal");
    return false;
  }
  nvx::CommUnload();
  nvx::SetPortDevice(pty.slave);
  nvx::CommInit([] {
    nvx::SetOutEndChar(10);
    nvx::SetInTerm1(10);
  });
  if (nvx::CommOpenPort(1) != -1) {
    state.SkipWithError("cannot open the pty slave");
    return false;
  }
  return true;
}

void BM_RequestReply(benchmark::State& state) {
  Pty pty;
  if (!OpenLinkOn(pty, state)) return;
  EchoPeer peer(pty.master);
  std::string reply;
  int64_t failures = 0;
  for (auto _ : state) {
    if (nvx::CommInOut("V", reply) != 1 || reply != "OK") ++failures;
  }
  state.SetItemsProcessed(state.iterations());
  state.counters["failures"] = static_cast<double>(failures);
  nvx::CommClosePort();
  nvx::CommUnload();
}
BENCHMARK(BM_RequestReply)->UseRealTime()->MinTime(1.0);

template <typename F>
void MeasureCpuShare(benchmark::State& state, F wait) {
  double cpu = 0, wall = 0;
  for (auto _ : state) {
    const double c0 = ClockSeconds(CLOCK_PROCESS_CPUTIME_ID);
    const double w0 = ClockSeconds(CLOCK_MONOTONIC);
    wait();
    cpu += ClockSeconds(CLOCK_PROCESS_CPUTIME_ID) - c0;
    wall += ClockSeconds(CLOCK_MONOTONIC) - w0;
  }
  state.counters["cpu_share"] = wall > 0 ? cpu / wall : 0;
  state.counters["wall_s"] = wall / static_cast<double>(state.iterations());
}

void BM_WaitMs1000(benchmark::State& state) {
  MeasureCpuShare(state, [] { nvx::WaitMs(1000); });
}
BENCHMARK(BM_WaitMs1000)->UseRealTime()->Iterations(2);

void BM_ReplyTimeOut1000(benchmark::State& state) {
  Pty pty;  // a peer that never answers
  if (!OpenLinkOn(pty, state)) return;
  nvx::SetPortTimeout(1000);
  std::string reply;
  MeasureCpuShare(state, [&] { nvx::CommIn(reply); });
  nvx::CommClosePort();
  nvx::CommUnload();
}
BENCHMARK(BM_ReplyTimeOut1000)->UseRealTime()->Iterations(2);

void BM_HungUpTimeOut1000(benchmark::State& state) {
  Pty pty;
  if (!OpenLinkOn(pty, state)) return;
  pty.Close();  // the far side hangs up: poll reports it at once from now on
  nvx::SetPortTimeout(1000);
  std::string reply;
  MeasureCpuShare(state, [&] { nvx::CommIn(reply); });
  nvx::CommClosePort();
  nvx::CommUnload();
}
BENCHMARK(BM_HungUpTimeOut1000)->UseRealTime()->Iterations(2);

}  // namespace

BENCHMARK_MAIN();
