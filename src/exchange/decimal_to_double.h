// Exact conversion of a decimal significand and exponent to the nearest double.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace quavix {

// The double nearest to digits x 10^exponent10 (ties to even), for a string
// of at most kMaxDecimalDigits decimal digits, an exponent10 of at least
// kMinDecimalExponent and a value below 10^400. Values beyond the largest
// double give +inf, values up to half the smallest subnormal +0. Needs
// neither the C library nor a heap.
inline constexpr std::size_t kMaxDecimalDigits = 801;
inline constexpr std::int32_t kMinDecimalExponent = -1200;
double DecimalToDouble(std::string_view digits, std::int32_t exponent10);

}  // namespace quavix
