// Runs the program's start-up in-process in a temporary program directory
// (a copy of the default data files, changed as a test likes), optionally with
// the simulated controllers on a pseudo-terminal, and a recording Ui. The
// program and the simulator run on a fake clock: time-outs and waits pass at
// once.
#pragma once

#include <memory>
#include <string>

#include "sim/sim.h"
#include "support/fake_time.h"
#include "support/recording_ui.h"
#include "support/temp_dir.h"

namespace nvx::test {

// Puts every program-wide state back as it is before start-up.
void ResetProgramState();

class AppFixture {
 public:
  // kind: the simulated controllers to put on the line (nullptr: none, and
  // the port device is a path that does not exist).
  explicit AppFixture(const sim::ControllerKind* kind = nullptr, sim::SimOptions options = {});
  ~AppFixture();
  AppFixture(const AppFixture&) = delete;
  AppFixture& operator=(const AppFixture&) = delete;

  // Sets one key of the configuration file (adds it when missing); an empty
  // value removes the key's line.
  void SetConfig(const std::string& key, const std::string& value);
  int16_t Start();  // InitApp on the directory

  TempDir dir;
  RecordingUi ui;
  FakeTime time;
  std::unique_ptr<sim::ControllerSim> sim;

 private:
  ScopedUi scoped_;
};

}  // namespace nvx::test
