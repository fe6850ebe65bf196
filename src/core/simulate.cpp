#include "core/simulate.h"

#include <utility>

#include "comm/comm.h"
#include "sim/sim.h"

namespace nvx {

namespace {
std::string g_forced;
}

void ForcePortDevice(const std::string& path) {
  g_forced = path;
  SetPortDevice(path);
}

const std::string& ForcedPortDevice() { return g_forced; }

SimulatedLine::SimulatedLine(std::unique_ptr<sim::ControllerSim> s) : sim_(std::move(s)) {}

SimulatedLine::~SimulatedLine() {
  ForcePortDevice("");
  sim_->Stop();
}

std::unique_ptr<SimulatedLine> StartSimulatedLine(const std::string& dir, std::string& error) {
  // An unknown controller type talks to nothing; the IM483I units stand on
  // the line all the same.
  const auto kind = sim::KindFromConfig(dir).value_or(sim::ControllerKind::kIM483I);
  auto units = sim::UnitsFromParamFiles(dir);
  if (units.empty()) {
    error = "--simulate: no wheel parameter file with a controller address in " + dir;
    return nullptr;
  }
  sim::SimOptions options;
  options.paced = true;  // 9600 baud, as on the real line
  auto s = std::make_unique<sim::ControllerSim>(kind, std::move(units), options);
  if (s->Start() < 0) {
    error = "--simulate: cannot open a pseudo-terminal";
    return nullptr;
  }
  ForcePortDevice(s->SlavePath());
  return std::make_unique<SimulatedLine>(std::move(s));
}

}  // namespace nvx
