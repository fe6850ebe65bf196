#include "base/numbers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <utility>

namespace nvx {
namespace {

TEST(Numbers, WhatReadsAsANumber) {
  struct Case {
    const char* text;
    bool ok;
    double value;
  };
  const Case cases[] = {
      {"12", true, 12},    {" -3.5 ", true, -3.5}, {".5", true, 0.5},      {"5.", true, 5},
      {"+7", true, 7},     {"1e3", true, 1000},    {"2.5E-1", true, 0.25}, {"-0", true, 0},
      {"", false, 0},      {"   ", false, 0},      {"-", false, 0},        {".", false, 0},
      {"1e", false, 0},    {"e3", false, 0},       {"0x10", false, 0},     {"&H10", false, 0},
      {"inf", false, 0},   {"nan", false, 0},      {"1,5", false, 0},      {"1 2", false, 0},
      {"1e999", false, 0}, {"\t5", false, 0},      {"- 5", false, 0},      {"5-", false, 0},
      {"RED", false, 0},   {"--5", false, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const auto v = ParseNumber(c.text);
    EXPECT_EQ(v.has_value(), c.ok);
    EXPECT_EQ(IsNumber(c.text), c.ok);
    if (c.ok && v) { EXPECT_DOUBLE_EQ(*v, c.value); }
  }
  EXPECT_FALSE(ParseNumber(std::string(1000, '1')).has_value());
}

TEST(Numbers, RoundingHalvesToEvenWithRangeChecks) {
  struct Case {
    double in;
    std::optional<int16_t> i16;
    std::optional<int32_t> i32;
  };
  // clang-format off
  const Case cases[] = {
      {2.5, 2, 2}, {3.5, 4, 4}, {-2.5, -2, -2}, {-3.5, -4, -4}, {2.4999, 2, 2}, {2.5001, 3, 3},
      {0.5, 0, 0}, {-0.5, 0, 0}, {32767, 32767, 32767}, {32767.4, 32767, 32767},
      {32767.5, std::nullopt, 32768}, {-32768, -32768, -32768}, {-32768.5, -32768, -32768},
      {-32768.51, std::nullopt, -32769}, {2147483647.0, std::nullopt, 2147483647},
      {2147483647.6, std::nullopt, std::nullopt}, {-2147483648.0, std::nullopt, INT32_MIN},
      {1e300, std::nullopt, std::nullopt},
  };
  // clang-format on
  for (const auto& c : cases) {
    SCOPED_TRACE(c.in);
    EXPECT_EQ(ToInt16(c.in), c.i16);
    EXPECT_EQ(ToInt32(c.in), c.i32);
  }
  EXPECT_EQ(ToInt16(std::nan("")), std::nullopt);
  EXPECT_EQ(TextToInt16(" 2.5"), 2);
  EXPECT_EQ(TextToInt16("40000"), std::nullopt);
  EXPECT_EQ(TextToInt16("x"), std::nullopt);
  EXPECT_EQ(TextToInt32("40000"), 40000);
}

// Each value as shown, after a blank unless negative, and as written to files
// (plain decimal, never an exponent, 15 significant digits; the common values
// are the parameter files' rows in tests/params); the shown and written forms
// read back.
TEST(Numbers, WrittenFormsReadBack) {
  const double top = std::numeric_limits<double>::max();
  const std::string zeros(294, '0');
  // clang-format off
  const struct { double v; const char *plain, *blank; std::string decimal; } cases[] = {
      {500, "500", " 500", "500"}, {-12, "-12", "-12", "-12"}, {0.5, ".5", " .5", ".5"},
      {-0.5, "-.5", "-.5", "-.5"}, {0, "0", " 0", "0"}, {-0.0, "0", " 0", "0"},
      {12.25, "12.25", " 12.25", "12.25"}, {0.1, ".1", " .1", ".1"},
      {-0.25, "-.25", "-.25", "-.25"},
      {3200.0 / 6, "533.333333333333", " 533.333333333333", "533.333333333333"},
      {1.0 / 3, ".333333333333333", " .333333333333333", ".333333333333333"},
      {533.3333333333, "533.3333333333", " 533.3333333333", "533.3333333333"},
      {98765.4321, "98765.4321", " 98765.4321", "98765.4321"}, {1e-7, "1E-7", " 1E-7", ".0000001"},
      {1e20, "1E+20", " 1E+20", "100000000000000000000"},
      {-1.5e-20, "-1.5E-20", "-1.5E-20", "-.000000000000000000015"},
      {123456789012345.0, "123456789012345", " 123456789012345", "123456789012345"},
      {1234567890123456789.0, "1.23456789012346E+18", " 1.23456789012346E+18",
       "1234567890123460000"},
      {top, "1.79769313486231E+308", " 1.79769313486231E+308", "179769313486231" + zeros},
      {-top, "-1.79769313486231E+308", "-1.79769313486231E+308", "-179769313486231" + zeros}};
  // clang-format on
  for (const auto& c : cases) {
    SCOPED_TRACE(c.plain);
    EXPECT_EQ(FormatNumber(c.v), c.plain);
    EXPECT_EQ(FormatLeadingBlank(c.v), c.blank);
    EXPECT_EQ(FormatDecimal(c.v), c.decimal);
    for (const std::string& text : {std::string(c.blank), c.decimal}) {
      const auto back = ParseNumber(text);
      ASSERT_TRUE(back.has_value());
      EXPECT_NEAR(*back, c.v, std::fabs(c.v) * 1e-14);
    }
  }
  EXPECT_EQ(FormatIntLeadingBlank(17) + FormatIntLeadingBlank(0) + FormatIntLeadingBlank(-3),
            " 17 0-3");
  EXPECT_EQ(FormatInt(17), "17");
  EXPECT_EQ(TrimBlanks("  a b  ") + "|" + TrimBlanks("\ta\t") + "|" + TrimBlanks("   "),
            "a b|\ta\t|");
}

}  // namespace
}  // namespace nvx
