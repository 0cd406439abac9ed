// Strict parsing of the numbers that users type on the command line. Every
// parser takes the whole text or reports a usage error naming what was wrong.
#pragma once

#include <cstdint>
#include <string_view>

namespace quavix::cli {

// A whole decimal number from min to max (an optional leading '+' or '-').
// what names the value in the error message, e.g. "--count".
std::int64_t ParseWhole(std::string_view text, std::int64_t min, std::int64_t max,
                        std::string_view what);

// A 32-bit seed: 0 to 4294967295, or -2147483648 to -1 read as its 32 bits
// (-1 is 4294967295).
std::uint32_t ParseSeed(std::string_view text, std::string_view what);

// A decimal number (digits, optional fraction and exponent) rounded to single
// precision; values that are not finite as a float are refused.
float ParseUserFloat(std::string_view text, std::string_view what);

}  // namespace quavix::cli
