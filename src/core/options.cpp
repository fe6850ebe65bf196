#include "core/options.h"

#include <cstring>

namespace nvx {

const char* const kUsage =
    "usage: norvantix [--dir DIR] [--simulate] [--joystick PATH] [--automation]\n"
    "       norvantix --exec LINE [--dir DIR] [--simulate]\n"
    "       norvantix --run FILE [--dir DIR] [--simulate]\n"
    "  --dir DIR        program directory holding the data files (default: the program's own\n"
    "                   folder, or ~/.config/norvantix for an installed program)\n"
    "  --exec LINE      run one command line without windows and print the joined reply\n"
    "  --run FILE       run a program (*.PRG) without windows, printing each line and its reply\n"
    "  --simulate       use simulated controllers on a pseudo-terminal instead of the serial port\n"
    "  --joystick PATH  joystick device (default /dev/input/js0)\n"
    "  --automation     start without showing the main window, for D-Bus clients\n";

bool ParseOptions(int argc, char** argv, AppOptions& opt, std::string& error) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto value = [&](std::string& out) -> bool {
      if (i + 1 >= argc) {
        error = "option " + a + " needs a value";
        return false;
      }
      out = argv[++i];
      return true;
    };
    if (a == "--dir") {
      if (!value(opt.dir)) return false;
      if (opt.dir.empty()) {
        error = "--dir needs a directory";
        return false;
      }
    } else if (a == "--exec") {
      if (!value(opt.execLine)) return false;
      opt.exec = true;
    } else if (a == "--run") {
      if (!value(opt.runFile)) return false;
      if (opt.runFile.empty()) {
        error = "--run needs a file";
        return false;
      }
    } else if (a == "--simulate") {
      opt.simulate = true;
    } else if (a == "--automation") {
      opt.automation = true;
    } else if (a == "--joystick") {
      if (!value(opt.joystick)) return false;
    } else if (a == "--help" || a == "-h") {
      opt.help = true;
    } else if (a.rfind("--", 0) == 0) {
      error = "unknown option " + a;
      return false;
    } else if (a.rfind("-", 0) == 0) {
      // A window toolkit option such as -platform; its value, if any, follows.
    } else if (i > 1 && std::strncmp(argv[i - 1], "-", 1) == 0 &&
               std::strncmp(argv[i - 1], "--", 2) != 0) {
      // The value of a toolkit option.
    } else {
      error = "unexpected argument " + a;
      return false;
    }
  }
  const bool run = !opt.runFile.empty();
  if ((opt.exec && opt.automation) || (run && (opt.exec || opt.automation))) {
    error = "--exec, --run and --automation exclude each other";
    return false;
  }
  return true;
}

}  // namespace nvx
