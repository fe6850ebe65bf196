#include "core/joy_commands.h"

#include <string>

#include "base/numbers.h"
#include "base/ui.h"
#include "core/commands.h"
#include "joystick/joystick.h"

namespace nvx {

namespace {
int16_t g_buttonLatch = 0;
}  // namespace

int16_t& ButtonLatch() { return g_buttonLatch; }

void JoyButtonCommand(int16_t button) {
  if (g_buttonLatch == 0 && button > 0) {
    const auto& entries = JoyCommands().items;
    if (static_cast<size_t>(button) < entries.size()) {
      // A copy: the command may let events run, and a nested "Assigned
      // Commands" may replace the list meanwhile.
      const std::string entry = entries[static_cast<size_t>(button)];
      const std::string reply = ExecCmd(entry);
      ShowMsg("Button" + FormatIntLeadingBlank(button) + " - " + entry + " " + reply);
      GetUi().Beep();
      WaitLastWheel();
    }
    g_buttonLatch = 1;
  } else if (g_buttonLatch == 1 && button == 0) {
    g_buttonLatch = 0;
  }
}

void JoyPollStep() {
  if (JoyCalibrating() != 0) {
    CalibSample();
    return;
  }
  int16_t a1 = 0, a2 = 0, full = 0, button = 0;
  ReadJoystick(a1, a2, full, button);
  JoyButtonCommand(button);
  JoyAxesToDevice(a1, a2, full, button);
}

}  // namespace nvx
