#include "support/app_fixture.h"

#include <sstream>

#include "base/settings.h"
#include "comm/comm.h"
#include "core/app.h"
#include "core/commands.h"
#include "core/simulate.h"
#include "interp/interp.h"
#include "wheels/wheels.h"

namespace nvx::test {

void ResetProgramState() { nvx::ResetProgramState(); }

AppFixture::AppFixture(const sim::ControllerKind* kind, sim::SimOptions options) : scoped_(ui) {
  ResetProgramState();
  dir.copyFrom(NVX_DATA_DIR);
  if (kind) {
    SetConfig("CONTRTYPE", sim::ControllerKindName(*kind));
    if (options.fixed_steps_per_s == 0 && options.speed_factor == 1.0) options.speed_factor = 20;
    sim =
        std::make_unique<sim::ControllerSim>(*kind, sim::UnitsFromParamFiles(dir.path()), options);
    time.FollowSim(*sim);
    if (sim->Start() > 0) SetConfig("PORTDEVICE", sim->SlavePath());
  } else {
    SetConfig("PORTDEVICE", dir.path() + "no-such-port");
  }
}

AppFixture::~AppFixture() {
  ResetProgramState();
  if (sim) sim->Stop();
}

void AppFixture::SetConfig(const std::string& key, const std::string& value) {
  std::istringstream in(dir.read("ZR_CONFIG.TXT"));
  std::string line, out;
  bool done = false;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.rfind("\"" + key + "\"", 0) == 0) {
      if (!value.empty()) out += "\"" + key + "\"," + value + "\n";
      done = true;
    } else {
      out += line + "\n";
    }
  }
  if (!done && !value.empty()) out += "\"" + key + "\"," + value + "\n";
  dir.write("ZR_CONFIG.TXT", out);
}

int16_t AppFixture::Start() { return InitApp(dir.path()); }

}  // namespace nvx::test
