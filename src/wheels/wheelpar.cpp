// Reading a wheel's parameter file ZR_PARW<n>.TXT into its WheelPar record.
#include <optional>
#include <string>

#include "base/numbers.h"
#include "base/ui.h"
#include "params/trapar.h"
#include "wheels/wheels.h"

namespace nvx {

namespace {

// A key that was found but whose value cannot be used. The missing-key message
// comes from ParMsg; this one tells the user which value made the wheel fail.
void BadValue(const std::string& key) {
  MsgBox("Parameter " + key + " has a bad value in " + GetParPath(), "Norvantix",
         MsgIcon::Critical);
}

// Reads one numeric key. nullopt when it is missing (ParMsg has told the
// user) or found but not a number (told here).
std::optional<double> ReadNumber(const std::string& key) {
  double v = 0;
  const int16_t r = ParMsg(key, v, "from");
  if (r == 1) return v;
  if (r != -1) BadValue(key);
  return std::nullopt;
}

// Stores a numeric key converted by `conv` into `field`; false (field kept)
// when the key is missing, not a number or out of the field's range.
template <typename T, typename Conv>
bool ReadInto(const std::string& key, T& field, Conv conv) {
  const auto v = ReadNumber(key);
  if (!v) return false;
  const auto c = conv(*v);
  if (!c) {
    BadValue(key);
    return false;
  }
  field = *c;
  return true;
}

}  // namespace

int16_t ReadWheelPar(int16_t n) {
  if (n != 1 && n != 2) return -1;
  WheelParRec& w = WheelPar(n);
  w.auxA = 10;
  w.auxB = 50;
  w.homeSpeed = -500;
  w.resExponent = 4;

  const std::string num = FormatInt(n);
  SetParFile("ZR_PARW" + num + ".TXT");
  if (ReadCurPar() == -1) return -1;

  const std::string prefix = "W" + num;
  int16_t result = 1;

  std::string contr;
  if (ParMsg(prefix + "CONTR", contr, "from") == 1) {
    const std::string t = TrimBlanks(contr);
    if (t.empty()) {
      BadValue(prefix + "CONTR");
      result = -1;
    } else {
      w.address = static_cast<int16_t>(static_cast<unsigned char>(t[0]));
    }
  } else {
    result = -1;
  }

  if (!ReadInto(prefix + "HOLDCURRENT", w.holdCurrent, ToInt16)) result = -1;
  if (!ReadInto(prefix + "RUNCURRENT", w.runCurrent, ToInt16)) result = -1;
  // A slew velocity of 0 or less would never end a move: every move would
  // wait out the move time-out.
  if (!ReadInto(prefix + "SLEWVELOCITY", w.slewVel, [](double v) {
        const auto s = ToInt32(v);
        return (s && *s > 0) ? s : std::nullopt;
      })) {
    result = -1;
  }
  if (!ReadInto(prefix + "INITVELOCITY", w.initVel, ToInt32)) result = -1;
  if (!ReadInto(prefix + "ACCELERATION", w.accel, ToInt32)) result = -1;
  w.decel = w.accel;
  if (!ReadInto(prefix + "OFFSETHOME", w.homeOffset,
                [](double v) { return std::optional<double>(v); })) {
    result = -1;
  }
  // A filter count must be positive: with 0 or less there is no step per
  // filter and no revolution to take remainders of.
  if (!ReadInto(prefix + "FILTPOSITIONS", w.filterCount, [](double v) {
        const auto c = ToInt16(v);
        return (c && *c > 0) ? c : std::nullopt;
      })) {
    result = -1;
  }

  if (w.filterCount > 0) {
    const double stepsPerRev = static_cast<double>(1 << w.resExponent) * 200.0;
    w.StepsPerFilter = stepsPerRev / static_cast<double>(w.filterCount);
  }
  return result;
}

}  // namespace nvx
