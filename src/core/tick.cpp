#include "core/tick.h"

#include <utility>

#include "base/settings.h"
#include "comm/comm.h"
#include "core/commands.h"
#include "interp/interp.h"

namespace nvx {

namespace {
TickHooks g_hooks;
int16_t g_tickBusy = 0;

struct TickScope {
  TickScope() { ++g_tickBusy; }
  ~TickScope() { --g_tickBusy; }
  TickScope(const TickScope&) = delete;
  TickScope& operator=(const TickScope&) = delete;
};
}  // namespace

void SetTickHooks(TickHooks hooks) { g_hooks = std::move(hooks); }

int16_t& TickBusy() { return g_tickBusy; }

void PeriodicTick() {
  // Port events noticed while the program was idle in its event loop.
  CommDeliverEvents();
  if (g_tickBusy > 0) return;
  TickScope scope;
  if (RunState() == 1 || RunState() == 2) {
    if (g_hooks.programStep) g_hooks.programStep();
  } else if (CmdBusy() == 0 && AppSettings().JoyOn == 1) {
    if (g_hooks.joystickPoll) g_hooks.joystickPoll();
  }
}

}  // namespace nvx
