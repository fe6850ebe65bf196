#include "base/numbers.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace nvx {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::string TrimBlanks(std::string_view s) {
  size_t b = 0;
  size_t e = s.size();
  while (b < e && s[b] == ' ') ++b;
  while (e > b && s[e - 1] == ' ') --e;
  return std::string(s.substr(b, e - b));
}

std::optional<double> ParseNumber(std::string_view text) {
  const std::string t = TrimBlanks(text);
  if (t.empty() || t.size() > 400) return std::nullopt;
  size_t i = 0;
  if (t[i] == '+' || t[i] == '-') ++i;
  size_t intDigits = 0;
  while (i < t.size() && IsDigit(t[i])) {
    ++i;
    ++intDigits;
  }
  size_t fracDigits = 0;
  if (i < t.size() && t[i] == '.') {
    ++i;
    while (i < t.size() && IsDigit(t[i])) {
      ++i;
      ++fracDigits;
    }
  }
  if (intDigits + fracDigits == 0) return std::nullopt;
  if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
    ++i;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
    size_t expDigits = 0;
    while (i < t.size() && IsDigit(t[i])) {
      ++i;
      ++expDigits;
    }
    if (expDigits == 0) return std::nullopt;
  }
  if (i != t.size()) return std::nullopt;
  // The grammar above is a subset of what strtod takes, and the text is
  // fully validated, so strtod sees exactly this number. strtod honours the
  // C locale, which the program never changes.
  char* end = nullptr;
  const double v = std::strtod(t.c_str(), &end);
  if (end != t.c_str() + t.size() || !std::isfinite(v)) return std::nullopt;
  return v;
}

bool IsNumber(std::string_view text) { return ParseNumber(text).has_value(); }

double RoundHalfEven(double v) {
  if (!std::isfinite(v)) return v;
  return std::nearbyint(v);  // default rounding mode: to nearest, ties to even
}

std::optional<int16_t> ToInt16(double v) {
  const double r = RoundHalfEven(v);
  if (!std::isfinite(r) || r < -32768.0 || r > 32767.0) return std::nullopt;
  return static_cast<int16_t>(r);
}

std::optional<int32_t> ToInt32(double v) {
  const double r = RoundHalfEven(v);
  if (!std::isfinite(r) || r < -2147483648.0 || r > 2147483647.0) return std::nullopt;
  return static_cast<int32_t>(r);
}

std::optional<int16_t> TextToInt16(std::string_view text) {
  const auto v = ParseNumber(text);
  if (!v) return std::nullopt;
  return ToInt16(*v);
}

std::optional<int32_t> TextToInt32(std::string_view text) {
  const auto v = ParseNumber(text);
  if (!v) return std::nullopt;
  return ToInt32(*v);
}

namespace {

// The largest number of 15 significant digits that is a finite double.
// Numbers above it (up to the largest double, 1.7976931348623157e308) would
// round to 1.79769313486232e308, which reads back as infinity and so as no
// number at all: they are written as this one instead.
constexpr double kLargest15Digits = 1.79769313486231e308;

double Writable(double v) {
  if (std::fabs(v) <= kLargest15Digits) return v;
  return v < 0 ? -kLargest15Digits : kLargest15Digits;
}

}  // namespace

std::string FormatNumber(double v) {
  if (!std::isfinite(v)) return "0";
  if (v == 0.0) return "0";  // also folds -0 into 0
  char buf[64];
  if (std::fabs(v) < 1e15 && v == std::trunc(v)) {
    std::snprintf(buf, sizeof buf, "%.0f", v);
    return buf;
  }
  std::snprintf(buf, sizeof buf, "%.15g", Writable(v));
  std::string s = buf;
  if (s.find('e') != std::string::npos) {
    // Very large or very small magnitudes keep the exponent form, written as
    // "1.5E+20"/"1E-20".
    const auto e = s.find('e');
    std::string mant = s.substr(0, e);
    std::string exp = s.substr(e + 1);
    const char sign = exp[0];
    exp = exp.substr(1);
    while (exp.size() > 1 && exp[0] == '0') exp.erase(0, 1);
    return mant + "E" + sign + exp;
  }
  // Drop the zero before the point: "0.5" -> ".5", "-0.5" -> "-.5".
  if (s.rfind("0.", 0) == 0) s.erase(0, 1);
  else if (s.rfind("-0.", 0) == 0) s.erase(1, 1);
  return s;
}

std::string FormatDecimal(double v) {
  if (!std::isfinite(v) || v == 0.0) return "0";
  // 15 significant digits as d.dddddddddddddde[+-]x, then the point moved.
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.14e", std::fabs(Writable(v)));
  const std::string s = buf;
  const auto e = s.find('e');
  std::string digits = s.substr(0, 1) + s.substr(2, e - 2);
  const int exp = std::atoi(s.c_str() + e + 1);
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
  std::string out;
  if (exp < 0) {
    out = "." + std::string(static_cast<size_t>(-exp - 1), '0') + digits;
  } else if (static_cast<size_t>(exp) + 1 >= digits.size()) {
    out = digits + std::string(static_cast<size_t>(exp) + 1 - digits.size(), '0');
  } else {
    out = digits.substr(0, static_cast<size_t>(exp) + 1) + "." +
          digits.substr(static_cast<size_t>(exp) + 1);
  }
  return v < 0 ? "-" + out : out;
}

std::string FormatLeadingBlank(double v) {
  std::string s = FormatNumber(v);
  return s[0] == '-' ? s : " " + s;
}

std::string FormatInt(int64_t v) { return std::to_string(v); }

std::string FormatIntLeadingBlank(int64_t v) {
  return v < 0 ? std::to_string(v) : " " + std::to_string(v);
}

}  // namespace nvx
