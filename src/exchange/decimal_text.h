// Decimal text of the settings string: the exact "%.4f" formatting and the
// number grammar that the import reads and the tools check. Independent of the
// locale; no allocation except in the std::string form of FormatFixed4.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quavix {

// Longest FormatFixed4 text of a double: a sign, 309 digits, the point, four
// digits.
inline constexpr std::size_t kFixed4MaxLength = 315;

// Exact fixed-point text of x with four decimals; an exact tie rounds half away
// from zero (0.03125 -> "0.0313"). Infinities give "inf" or "-inf", NaN gives
// "nan". Writes at most kFixed4MaxLength characters to out, no terminator, and
// returns their number.
std::size_t FormatFixed4(double x, char* out);
std::string FormatFixed4(double x);

// Reads a decimal number at the start of text: leading white space, optional
// sign, digits with optional '.' and fraction, optional exponent introduced by
// e, E, d or D. Returns the correctly rounded double, or 0 when no number
// starts there. No inf, nan or hexadecimal forms.
double ParseDecimal(std::string_view text);

// True when the whole text is one number of that grammar, without white space:
// optional sign, digits with an optional '.' and fraction (at least one digit
// in all), optional exponent whose letter is followed by at least one digit.
bool IsDecimalNumber(std::string_view text);

}  // namespace quavix
