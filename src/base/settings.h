// The settings record of ZR_CONFIG.TXT. It is filled by ReadConfig (core) and
// read by every layer that needs a setting (the controller type by the
// dispatch, the move time-out by the wheels, ...). It is plain data: the rules
// for reading it live with ReadConfig.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace nvx {

// The controller type as the program acts on it.
enum class ControllerKind { None, Im483i, Ezhr17 };

// "IM483I" or "EZHR17", compared exactly, with case; any other text selects
// no driver.
ControllerKind ParseControllerType(std::string_view text);

struct Settings {
  int16_t PortNumber = 0;                            // MPORT
  int16_t PortTimeout = 0;                           // PORTTIMEOUT, ms
  int16_t MoveTimeout = 0;                           // MOVETIMEOUT, s
  int16_t WaitPollingInterval = 0;                   // WAITPOLLINGINTERVAL, ms
  std::string ControllerType;                        // CONTRTYPE as written: "IM483I" or "EZHR17"
  ControllerKind Controller = ControllerKind::None;  // parsed from ControllerType
  int16_t JoyOn = 0;                                 // JOYSTARTON
  int16_t WheelInstalled[3] = {0, 0, 0};             // [1] = W1_INSTALLED, [2] = W2_INSTALLED
  std::string PortDevice;  // PORTDEVICE: a device path used instead of MPORT
};

// Sets ControllerType and Controller together; the only writer of either.
void SetControllerType(Settings& s, std::string type);

Settings& AppSettings();

// The program's directory with a trailing '/', the home of every data file.
std::string& ProgramDir();

}  // namespace nvx
