#include "core/tick.h"

#include <utility>

#include "base/settings.h"
#include "base/ui.h"
#include "comm/comm.h"
#include "core/commands.h"
#include "core/joy_commands.h"
#include "core/main_model.h"
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

// One line of the running program: the command box's text is run, and the
// next line is fetched into the box whatever the reply was.
void RunProgramLine() {
  MainWin().ShowMsg("");
  GetUi().ProcessEvents();
  const std::string line = MainWin().CmdText();
  const std::string reply = ExecCmdLine(line);
  MainWin().ShowMsg(reply);
  if (g_hooks.lineRun) g_hooks.lineRun(line, reply);
  const bool failed = reply.find("Error ") != std::string::npos;
  std::string status = failed ? "PROGRAM STOPPED" : "";
  const bool atEnd = FetchNextLine() == "End";
  if (atEnd) status = "PROGRAM FINISHED";
  if (failed || atEnd) EndRun(status);
  if (RunState() == 2) RunState() = 0;
  if (RunState() == 0) EditAllowed() = 1;
}

void PollJoystick() {
  if (g_hooks.joystickPoll) {
    g_hooks.joystickPoll();
  } else {
    JoyPollStep();
  }
}
}  // namespace

void SetTickHooks(TickHooks hooks) { g_hooks = std::move(hooks); }

int16_t& TickBusy() { return g_tickBusy; }

void PeriodicTick() {
  // Port events noticed while the program was idle in its event loop.
  CommDeliverEvents();
  if (g_tickBusy > 0) return;
  TickScope scope;
  if (RunState() == 1) ShowElapsed(TimeMs() - RunStart());
  if (RunState() == 1 || RunState() == 2) {
    RunProgramLine();
  } else if (CmdBusy() == 0 && AppSettings().JoyOn == 1) {
    PollJoystick();
  }
}

}  // namespace nvx
