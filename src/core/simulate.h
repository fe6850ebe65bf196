// --simulate: simulated controllers for the configured controller type, with
// the wheels of the wheel parameter files, on a pseudo-terminal that the
// program then uses as its serial port.
#pragma once

#include <memory>
#include <string>

namespace nvx {

namespace sim {
class ControllerSim;
}

class SimulatedLine {
 public:
  explicit SimulatedLine(std::unique_ptr<sim::ControllerSim> sim);
  ~SimulatedLine();
  SimulatedLine(const SimulatedLine&) = delete;
  SimulatedLine& operator=(const SimulatedLine&) = delete;
  sim::ControllerSim& Sim() { return *sim_; }

 private:
  std::unique_ptr<sim::ControllerSim> sim_;
};

// Starts the simulator from the files in dir and makes its pseudo-terminal
// the port whatever the configuration names. nullptr with a message on
// failure.
std::unique_ptr<SimulatedLine> StartSimulatedLine(const std::string& dir, std::string& error);

// A device path that takes precedence over MPORT and PORTDEVICE ("" = none).
void ForcePortDevice(const std::string& path);
const std::string& ForcedPortDevice();

}  // namespace nvx
