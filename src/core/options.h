// The command line of the norvantix program.
#pragma once

#include <string>

namespace nvx {

struct AppOptions {
  std::string dir;    // --dir DIR
  bool exec = false;  // --exec LINE
  std::string execLine;
  std::string runFile;    // --run FILE
  bool simulate = false;  // --simulate
  bool automation = false;
  std::string joystick;  // --joystick PATH
  bool help = false;
};

extern const char* const kUsage;

// false with a message for an unknown option or a missing value. Options the
// window toolkit understands (-platform, -style ...) are left for it.
bool ParseOptions(int argc, char** argv, AppOptions& opt, std::string& error);

}  // namespace nvx
