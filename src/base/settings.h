// The settings record of ZR_CONFIG.TXT. It is filled by ReadConfig (core) and
// read by every layer that needs a setting (the controller type by the
// dispatch, the move time-out by the wheels, ...). It is plain data: the rules
// for reading it live with ReadConfig.
#pragma once

#include <cstdint>
#include <string>

namespace nvx {

struct Settings {
  int16_t PortNumber = 0;           // MPORT
  int16_t PortTimeout = 0;          // PORTTIMEOUT, ms
  int16_t MoveTimeout = 0;          // MOVETIMEOUT, s
  int16_t WaitPollingInterval = 0;  // WAITPOLLINGINTERVAL, ms
  std::string ControllerType;       // CONTRTYPE: "IM483I" or "EZHR17"
  int16_t JoyOn = 0;                // JOYSTARTON
  int16_t WheelInstalled[3] = {0, 0, 0};  // [1] = W1_INSTALLED, [2] = W2_INSTALLED
  std::string PortDevice;           // PORTDEVICE: a device path used instead of MPORT
};

Settings& AppSettings();

// The program's directory with a trailing '/', the home of every data file.
std::string& ProgramDir();

}  // namespace nvx
