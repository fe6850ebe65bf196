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

TEST(Numbers, WrittenForms) {
  struct Case {
    double v;
    const char* plain;
    const char* blank;
  };
  // clang-format off
  const Case cases[] = {
      {500, "500", " 500"}, {-12, "-12", "-12"}, {0.5, ".5", " .5"}, {-0.5, "-.5", "-.5"},
      {0, "0", " 0"}, {-0.0, "0", " 0"}, {12.25, "12.25", " 12.25"},
      {3200.0 / 6, "533.333333333333", " 533.333333333333"}, {1e20, "1E+20", " 1E+20"},
      {-1.5e-20, "-1.5E-20", "-1.5E-20"},
      {123456789012345.0, "123456789012345", " 123456789012345"},
  };
  // clang-format on
  for (const auto& c : cases) {
    SCOPED_TRACE(c.plain);
    EXPECT_EQ(FormatNumber(c.v), c.plain);
    EXPECT_EQ(FormatLeadingBlank(c.v), c.blank);
  }
  EXPECT_EQ(FormatIntLeadingBlank(17) + FormatIntLeadingBlank(0) + FormatIntLeadingBlank(-3),
            " 17 0-3");
  EXPECT_EQ(FormatInt(17), "17");
  EXPECT_EQ(TrimBlanks("  a b  ") + "|" + TrimBlanks("\ta\t") + "|" + TrimBlanks("   "),
            "a b|\ta\t|");
}

TEST(Numbers, WrittenNumbersReadBack) {
  const double top = std::numeric_limits<double>::max();
  for (double v :
       {0.1, -0.25, 1.0 / 3, 533.3333333333, 1e-7, 98765.4321, 1e20, -1.5e-20, top, -top}) {
    SCOPED_TRACE(v);
    for (const std::string& text : {FormatLeadingBlank(v), FormatDecimal(v)}) {
      const auto back = ParseNumber(text);
      ASSERT_TRUE(back.has_value());
      EXPECT_NEAR(*back, v, std::fabs(v) * 1e-14);
    }
  }
  // Written to files: plain decimal, never an exponent, 15 significant digits (the common
  // values are the parameter files' rows in tests/params).
  const std::pair<double, std::string> files[] = {{-1.5e-20, "-.000000000000000000015"},
                                                  {3200.0 / 6, "533.333333333333"},
                                                  {1234567890123456789.0, "1234567890123460000"},
                                                  {top, "179769313486231" + std::string(294, '0')}};
  for (const auto& [v, text] : files) EXPECT_EQ(FormatDecimal(v), text);
}

}  // namespace
}  // namespace nvx
