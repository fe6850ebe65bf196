// The joystick put to work by the tick: each button runs its command of the
// joystick command list (JoyCommands, ZR_JOYCMDS.TXT: entry 0 is the start
// command, entry k the command of button k), and in mode "WZ" a full
// deflection of axis 1 steps a wheel.
#pragma once

#include <cstdint>

namespace nvx {

// 1 from the poll that handled a press until the first poll that reads no
// button: one press runs one command.
int16_t& ButtonLatch();

// A press (button 1..8, 0 none) with the latch open runs the button's entry
// as one command (a ";" in it does not split it), shows
// 'Button k - <entry> <reply>' on the message line, beeps and waits for the
// wheel addressed last. A button without an entry does nothing but close the
// latch; a poll with no button opens it again.
void JoyButtonCommand(int16_t button);

// One joystick poll of the idle tick: a calibration sample while a
// calibration runs; otherwise one reading handed to JoyButtonCommand and
// JoyAxesToDevice.
void JoyPollStep();

}  // namespace nvx
