#include "indi/filter_names.h"

#include <optional>
#include <variant>

#include "base/numbers.h"

namespace nvx::indi {

namespace {

std::optional<double> ValueOf(const ParValue& value) {
  if (const double* d = std::get_if<double>(&value)) return *d;
  return ParseNumber(std::get<std::string>(value));
}

}  // namespace

std::vector<std::string> DefaultFilterNames(const ParamList& constants, int count) {
  std::vector<std::string> names;
  for (int k = 1; k <= count; ++k) {
    std::string name = "Filter " + std::to_string(k);
    for (const ParEntry& e : constants) {
      const auto v = ValueOf(e.value);
      if (v && *v == k && !e.key.empty()) {
        name = e.key;
        break;
      }
    }
    names.push_back(name);
  }
  return names;
}

}  // namespace nvx::indi
