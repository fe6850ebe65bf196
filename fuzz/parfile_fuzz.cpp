// Parameter files ("KEY",value[,remark]) from any bytes: the reading, every
// value as the readers take it (text, number, 16- and 32-bit integer), and
// the written form. Written numbers are plain decimals that read back as the
// same number to 15 significant digits, and a list read from a written file
// is written again byte for byte (for keys the format allows).
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "base/numbers.h"
#include "params/trapar.h"

using namespace nvx;

namespace {

void CheckNumberForm(double d) {
  const std::string t = ParValueText(ParValue{d});
  if (t.find_first_of("eE") != std::string::npos) std::abort();
  const auto back = ParseNumber(t);
  if (!back) std::abort();
  if (std::fabs(*back - d) > 1e-14 * std::fabs(d)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  ParamList list;
  if (ParseParData(bytes, list) != 1) return 0;
  // Every value as the readers take it. A lookup by key scans the list, so
  // only the first entries are looked up; the rest are read in place.
  for (size_t i = 0; i < list.size(); ++i) {
    const ParEntry& e = list[i];
    std::string text = std::get<std::string>(e.value);
    std::optional<double> number = ParseNumber(text);
    if (i < 8) {
      double d = 0;
      ParList(list, e.key, text, "from");
      number = ParList(list, e.key, d, "from") == 1 ? std::optional<double>(d) : std::nullopt;
    }
    (void)TextToInt16(text);
    (void)TextToInt32(text);
    if (number) {
      (void)ToInt16(*number);
      (void)ToInt32(*number);
      (void)FormatLeadingBlank(*number);
      CheckNumberForm(*number);
    }
  }
  // A number stored with "to" goes into the file in its file form.
  if (!list.empty()) {
    double d = 0;
    if (ParList(list, list.front().key, d, "from") == 1) ParList(list, "NUMBER", d, "to");
  }
  // A key holds no comma (the value starts after the line's first comma),
  // and a line under 5 characters is skipped: only lists whose keys hold no
  // comma and whose lines are long enough keep every entry through a
  // rewrite. The first writing makes line breaks blanks and the reading
  // trims them, so the lines are measured as the first writing read back.
  for (const ParEntry& e : list) {
    if (e.key.find(',') != std::string::npos) return 0;
  }
  const std::string once = ParFileText(list);
  ParamList again;
  if (ParseParData(once, again) != 1) std::abort();
  for (const ParEntry& e : again) {
    if (e.key.size() + 3 + ParValueText(e.value).size() < 5) return 0;
  }
  const std::string twice = ParFileText(again);
  ParamList third;
  if (ParseParData(twice, third) != 1) std::abort();
  if (ParFileText(third) != twice) std::abort();
  return 0;
}
