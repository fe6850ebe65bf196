// The program's heartbeat: PeriodicTick, called over and over while the main
// window is loaded (the Qt window's timer, the windowless loops). While a
// program runs, each tick runs the line standing in the command box and
// fetches the next one; while it is idle, no command executes and the
// joystick is on, each tick polls the joystick.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace nvx {

struct TickHooks {
  // One joystick poll (idle, no command executing, JoyOn 1). Unset:
  // JoyPollStep (core/joy_commands.h).
  std::function<void()> joystickPoll;
  // Each program line a tick ran, with its joined reply.
  std::function<void(const std::string& line, const std::string& reply)> lineRun;
};
void SetTickHooks(TickHooks hooks);

// Above 0 while a tick runs: a tick requested inside a tick (the tick lets
// events run) returns at once.
int16_t& TickBusy();

// Delivers the port events noticed while idle, then one beat as above.
void PeriodicTick();

}  // namespace nvx
