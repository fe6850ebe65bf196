// Units and controller kind from the program's data files.
#include <fstream>
#include <sstream>

#include "base/numbers.h"
#include "sim/sim.h"

namespace nvx::sim {

namespace {

constexpr size_t kMaxFileBytes = 1 << 20;

std::string Path(const std::string& dir, const char* name) {
  if (dir.empty()) return name;
  return dir.back() == '/' ? dir + name : dir + "/" + name;
}

}  // namespace

bool ReadKeyFile(const std::string& path, std::map<std::string, std::string>& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::string text;
  text.resize(kMaxFileBytes);
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  text.resize(static_cast<size_t>(in.gcount()));
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.size() < 5) continue;
    size_t q1 = line.find('"');
    if (q1 == std::string::npos) continue;
    size_t q2 = line.find('"', q1 + 1);
    if (q2 == std::string::npos) continue;
    std::string key = TrimBlanks(std::string_view(line).substr(q1 + 1, q2 - q1 - 1));
    size_t c1 = line.find(',');
    std::string value;
    if (c1 == std::string::npos) {
      value = TrimBlanks(line);
    } else {
      size_t c2 = line.find(',', c1 + 1);
      size_t len = c2 == std::string::npos ? std::string::npos : c2 - c1 - 1;
      value = TrimBlanks(std::string_view(line).substr(c1 + 1, len));
    }
    out.emplace(key, value);
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
