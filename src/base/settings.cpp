#include "base/settings.h"

#include <utility>

namespace nvx {

ControllerKind ParseControllerType(std::string_view text) {
  if (text == "IM483I") return ControllerKind::Im483i;
  if (text == "EZHR17") return ControllerKind::Ezhr17;
  return ControllerKind::None;
}

void SetControllerType(Settings& s, std::string type) {
  s.Controller = ParseControllerType(type);
  s.ControllerType = std::move(type);
}

Settings& AppSettings() {
  static Settings s;
  return s;
}

std::string& ProgramDir() {
  static std::string dir;
  return dir;
}

}  // namespace nvx
