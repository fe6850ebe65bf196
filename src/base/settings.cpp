#include "base/settings.h"

namespace nvx {

Settings& AppSettings() {
  static Settings s;
  return s;
}

std::string& ProgramDir() {
  static std::string dir;
  return dir;
}

}  // namespace nvx
