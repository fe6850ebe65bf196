// The program's heartbeat: PeriodicTick, called over and over while the main
// window is loaded (the Qt window's timer, the headless loops). While a
// program runs, each tick runs its next line; while it is idle, no command
// executes and the joystick is on, each tick polls the joystick.
#pragma once

#include <cstdint>
#include <functional>

namespace nvx {

// What a tick runs. Unset hooks do nothing.
struct TickHooks {
  // One step of the running program (RunState 1 or 2).
  std::function<void()> programStep;
  // One joystick poll (idle, no command executing, JoyOn 1).
  std::function<void()> joystickPoll;
};
void SetTickHooks(TickHooks hooks);

// Above 0 while a tick runs: a tick requested inside a tick (the tick lets
// events run) returns at once.
int16_t& TickBusy();

// Delivers the port events noticed while idle, then one beat as above.
void PeriodicTick();

}  // namespace nvx
