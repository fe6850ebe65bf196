// Start-up, settings and ending of the program.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace nvx {

constexpr int16_t kHistLimitDefault = 30;

int16_t ReadConfig();
int16_t ReadSymConst();
int32_t LoadJoyCmds();
int16_t OpenConfiguredPort();
void ClosePortAndLink();

// The start-up sequence with the program directory (trailing '/' added when
// missing); every step runs whatever the earlier ones gave. 1 or -1.
int16_t InitApp(const std::string& programDir);

// Puts every program-wide state back as it is before start-up: the port and
// link, the settings, the wheels, the controllers' address and time-out, the
// command state, the main window's model, the interpreter, the joystick's
// calibration and axes. For tests and fuzzing.
void ResetProgramState();

int16_t& MainWinLoaded();
int16_t& AutoObjAlive();
int16_t& HistLimit();

// The two ending paths: whichever of the main window and an automation
// object goes last closes the port.
void MainWindowUnloading();  // call first thing in the main window's unloading
void MainWindowUnloaded();   // call last: MainWinLoaded := 0
void AutomationObjectCreated();
void AutomationObjectEnded();

// What ends the program once nothing holds it (the front end's; nothing by
// default), and the call that asks for it: the automation road calls it when
// an object ends.
void SetProgramEndHook(std::function<void()> hook);
void EndProgramIfIdle();

// Single instance: an exclusive lock the kernel drops when the process dies.
// true when this process now holds it; false when another instance runs.
bool AcquireSingleInstance(const std::string& lockPath);
// Gives the lock back (nothing when this process does not hold it).
void ReleaseSingleInstance();
std::string DefaultLockPath();
// The three-line message and its title.
extern const char* const kAlreadyRunningText;
extern const char* const kAlreadyRunningTitle;

}  // namespace nvx
