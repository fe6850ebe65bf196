// Shared pieces of the wheel tests: a Ui that records what a user would have
// seen and can run a nested operation from its event processing, a scratch
// program directory with wheel parameter files, and settings reset.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "base/settings.h"
#include "base/ui.h"
#include "params/trapar.h"
#include "support/temp_dir.h"
#include "wheels/wheels.h"

namespace nvx::test {

class WheelUi : public HeadlessUi, public WheelObserver {
 public:
  void MessageBox(const std::string& text, const std::string&, MsgIcon) override {
    boxes.push_back(text);
  }
  void JoyStepped(int16_t wheel) override { captions.push_back(wheel); }
  // Runs the hook on the next ProcessEvents only (cleared before it runs, so
  // a wait inside the nested operation does not start it again).
  void ProcessEvents() override {
    if (onceHook) {
      auto hook = std::move(onceHook);
      onceHook = nullptr;
      hook();
    }
  }
  std::vector<std::string> boxes;
  std::vector<int> captions;
  std::function<void()> onceHook;
};

// The keys of a wheel file in file order, with a usable six-filter set.
struct WheelFileValues {
  std::string contr = "A", hold = "10", run = "50", slew = "2000", init = "500", accel = "100",
              offset = "0", filt = "6";
};

inline const std::vector<std::string> kWheelKeys = {"CONTR",        "HOLDCURRENT",  "RUNCURRENT",
                                                    "SLEWVELOCITY", "INITVELOCITY", "ACCELERATION",
                                                    "OFFSETHOME",   "FILTPOSITIONS"};

// File text with keys "<prefix><NAME>"; a name in `skip` is left out.
inline std::string WheelFileText(const std::string& prefix, const WheelFileValues& v,
                                 const std::vector<std::string>& skip = {}) {
  const std::vector<std::string> values = {v.contr, v.hold,  v.run,    v.slew,
                                           v.init,  v.accel, v.offset, v.filt};
  std::string out;
  for (size_t i = 0; i < values.size(); ++i) {
    if (std::find(skip.begin(), skip.end(), kWheelKeys[i]) == skip.end()) {
      out += "\"" + prefix + kWheelKeys[i] + "\"," + values[i] + ",remark\r\n";
    }
  }
  return out;
}

class WheelDirTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetUi(&ui_);
    SetWheelObserver(&ui_);
    SetParDir(tmp_.path());
    ProgramDir() = tmp_.path();
    AppSettings() = Settings{};
    ResetWheels();
  }
  void TearDown() override {
    SetWheelObserver(nullptr);
    SetUi(nullptr);
    ResetWheels();
    AppSettings() = Settings{};
    CurParList().clear();
  }
  std::string Path(const std::string& name) const { return tmp_.file(name); }
  void Put(const std::string& name, const std::string& bytes) const { tmp_.writeRaw(name, bytes); }
  void PutWheel(int n, const WheelFileValues& v, const std::vector<std::string>& skip = {}) const {
    Put("ZR_PARW" + std::to_string(n) + ".TXT", WheelFileText("W" + std::to_string(n), v, skip));
  }

  TempDir tmp_;
  WheelUi ui_;
};

}  // namespace nvx::test
