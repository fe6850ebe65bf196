// The program's number rules, in one place.
//
// - Text reads as a number when it is an optional sign, digits, an optional
//   decimal point with fraction and an optional exponent, with blanks allowed
//   around it ("12", " -3.5 ", ".5", "1e3"). Nothing else does: no hex, no
//   inf/nan, no thousands separators, no empty text.
// - Numbers become integers by rounding to the nearest, halves to the even
//   neighbour (2.5 -> 2, 3.5 -> 4), and only when the result fits the type.
// - Numbers are written in plain decimal form: whole numbers without a decimal
//   point, fractions with up to 15 significant digits, no zero before the
//   point of a value between -1 and 1 (".5", "-.25").
// - The "leading-blank form" puts one blank before a number that is not
//   negative (" 17", "-3", " .5").
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace nvx {

// Parses text under the rules above; nullopt when it does not read as a
// finite number.
std::optional<double> ParseNumber(std::string_view text);

// True when the text reads as a number.
bool IsNumber(std::string_view text);

// Nearest integer, halves to even, as a double (no range check).
double RoundHalfEven(double v);

// Nearest integer with halves to even, checked against the type's range.
std::optional<int16_t> ToInt16(double v);
std::optional<int32_t> ToInt32(double v);

// Parse and convert in one step; nullopt for text that is not a number or
// a value out of range.
std::optional<int16_t> TextToInt16(std::string_view text);
std::optional<int32_t> TextToInt32(std::string_view text);

// Plain decimal form without a leading blank: "500", "-12", ".5", "-.5",
// "533.333333333333".
std::string FormatNumber(double v);

// Plain decimal form that never uses an exponent, for the files the program
// writes: up to 15 significant digits, no zero before the point and no
// trailing zeros after it ("100000000000000000000", ".0000001", "-.25").
std::string FormatDecimal(double v);

// Leading-blank form: " 500", "-12", " .5".
std::string FormatLeadingBlank(double v);

// Integers in both forms (no decimal point ever).
std::string FormatInt(int64_t v);              // "17", "-3"
std::string FormatIntLeadingBlank(int64_t v);  // " 17", "-3"

// Trims blanks (character 32 only) from both ends.
std::string TrimBlanks(std::string_view s);

}  // namespace nvx
