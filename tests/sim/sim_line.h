// A fixture that talks to a simulator over its line, as the program does.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "sim/sim.h"
#include "support/pty_line.h"

namespace nvx::test {

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
    line_ = std::make_unique<PtyLine>(sim_->SlavePath());
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
  std::unique_ptr<PtyLine> line_;
};

}  // namespace nvx::test
