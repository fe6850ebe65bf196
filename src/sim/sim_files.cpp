// Units and controller kind from the program's data files.
#include <variant>

#include "base/numbers.h"
#include "params/trapar.h"
#include "sim/sim.h"

namespace nvx::sim {

namespace {

std::string Path(const std::string& dir, const char* name) {
  if (dir.empty()) return name;
  return dir.back() == '/' ? dir + name : dir + "/" + name;
}

}  // namespace

bool ReadKeyFile(const std::string& path, std::map<std::string, std::string>& out) {
  // The program's own reader: regular files only, within its size limits,
  // never blocking on a FIFO or a device.
  ParamList list;
  if (ReadParFileSilently(path, list) < 0) return false;
  for (const ParEntry& e : list) {
    const std::string* text = std::get_if<std::string>(&e.value);
    out.emplace(e.key, text ? TrimBlanks(*text) : FormatNumber(std::get<double>(e.value)));
  }
  return true;
}

std::vector<UnitConfig> UnitsFromParamFiles(const std::string& dir) {
  std::vector<UnitConfig> units;
  for (int n = 1; n <= 2; ++n) {
    std::string file = "ZR_PARW" + std::to_string(n) + ".TXT";
    std::map<std::string, std::string> keys;
    if (!ReadKeyFile(Path(dir, file.c_str()), keys)) continue;
    std::string prefix = "W" + std::to_string(n);
    auto contr = keys.find(prefix + "CONTR");
    if (contr == keys.end() || contr->second.empty()) continue;
    UnitConfig u;
    u.address = contr->second[0];
    auto slew = keys.find(prefix + "SLEWVELOCITY");
    if (slew != keys.end()) {
      std::optional<int32_t> v = TextToInt32(slew->second);
      if (v && *v > 0) u.slew_velocity = *v;
    }
    bool dup = false;
    for (const UnitConfig& e : units) dup = dup || e.address == u.address;
    if (!dup) units.push_back(u);
  }
  return units;
}

std::optional<ControllerKind> KindFromConfig(const std::string& dir) {
  std::map<std::string, std::string> keys;
  if (!ReadKeyFile(Path(dir, "ZR_CONFIG.TXT"), keys)) return ControllerKind::kIM483I;
  auto it = keys.find("CONTRTYPE");
  if (it == keys.end()) return ControllerKind::kIM483I;
  return ParseControllerKind(it->second);
}

}  // namespace nvx::sim
