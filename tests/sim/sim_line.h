// The program's side of the simulator's line in tests: the slave device
// opened with plain POSIX calls, raw, with reads that never wait past their
// time-out; and a fixture that talks to a simulator through it.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "sim/sim.h"

namespace nvx::test {

class SimLine {
 public:
  explicit SimLine(const std::string& path) {
    fd_ = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    termios t{};
    if (fd_ >= 0 && tcgetattr(fd_, &t) == 0) {
      cfmakeraw(&t);
      tcsetattr(fd_, TCSANOW, &t);
    }
  }
  ~SimLine() {
    if (fd_ >= 0) close(fd_);
  }
  SimLine(const SimLine&) = delete;
  SimLine& operator=(const SimLine&) = delete;

  bool Ok() const { return fd_ >= 0; }
  bool HungUp() const { return hung_up_; }
  bool Send(const std::string& bytes) {
    return write(fd_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  }
  // Reads until the collected bytes end with `end` (never, when empty) or
  // timeout_ms passes.
  std::string ReadUntil(const std::string& end, int timeout_ms = 2000) {
    std::string out;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (!hung_up_ && (end.empty() || out.size() < end.size() ||
                         out.compare(out.size() - end.size(), end.size(), end) != 0)) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) break;
      pollfd p{fd_, POLLIN, 0};
      if (poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
      char buf[512];
      const ssize_t n = read(fd_, buf, sizeof buf);
      if (n > 0) out.append(buf, static_cast<size_t>(n));
      if (n == 0 || (n < 0 && (p.revents & POLLHUP))) hung_up_ = true;
    }
    return out;
  }
  // Everything that arrives within ms.
  std::string ReadFor(int ms) { return ReadUntil("", ms); }
  // Request and reply in one step.
  std::string Exchange(const std::string& request, const std::string& end, int timeout_ms = 2000) {
    return Send(request) ? ReadUntil(end, timeout_ms) : "<write failed>";
  }

 private:
  int fd_ = -1;
  bool hung_up_ = false;
};

// A step's reply that means: ask the unit named by the request until it
// stands still.
inline const std::string kStill = "<still>";

// One conversation with a fresh simulator: each request's reply, exactly.
struct Dialog {
  const char* name;
  std::vector<sim::UnitConfig> units;
  sim::SimOptions options;
  std::vector<std::pair<std::string, std::string>> steps;  // request, reply
  std::optional<double> mech = {};  // the first unit's mechanical position at the end
};

class SimFixture : public ::testing::Test {
 protected:
  explicit SimFixture(sim::ControllerKind kind)
      : kind_(kind), end_(kind == sim::ControllerKind::kEZHR17 ? "\r\n" : "\n") {}

  void Open(std::vector<sim::UnitConfig> units, sim::SimOptions options = {}) {
    sim_ = std::make_unique<sim::ControllerSim>(kind_, std::move(units), options);
    ASSERT_EQ(sim_->Start(), 1);
    line_ = std::make_unique<SimLine>(sim_->SlavePath());
    ASSERT_TRUE(line_->Ok());
  }
  // A reply that does not end like one comes within 200 ms or not at all.
  std::string Ask(const std::string& request, const std::string& want = "\n") {
    const bool whole = want.size() >= end_.size() && want.ends_with(end_);
    return line_->Exchange(request, end_, whole ? 2000 : 200);
  }
  // Asks `request` until the reply is `want` (or 5 s pass); true when it came.
  bool AskUntil(const std::string& request, const std::string& want) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < deadline) {
      if (Ask(request) == want) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
  }
  bool WaitStill(char a) {
    return kind_ == sim::ControllerKind::kEZHR17
               ? AskUntil(std::string("/") + a + "Q\r", std::string("\xFF/0`\x03\r\n"))
               : AskUntil(std::string(1, a) + "^\n", std::string(1, a) + "^ 0\n");
  }
  void Talk(const std::vector<Dialog>& dialogs) {
    for (const Dialog& d : dialogs) {
      SCOPED_TRACE(d.name);
      Open(d.units, d.options);
      for (const auto& [request, reply] : d.steps) {
        if (reply == kStill) {
          ASSERT_TRUE(WaitStill(request[0]));
        } else {
          EXPECT_EQ(Ask(request, reply), reply) << request;
        }
      }
      if (d.mech) { EXPECT_EQ(sim_->MechanicalPosition(d.units[0].address), d.mech); }
    }
  }

  sim::ControllerKind kind_;
  std::string end_;
  std::unique_ptr<sim::ControllerSim> sim_;
  std::unique_ptr<SimLine> line_;
};

}  // namespace nvx::test
