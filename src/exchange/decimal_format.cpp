// FormatFixed4: "%.4f" text computed exactly from the binary value.
#include <bit>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "exchange/settings_string.h"

namespace quavix {
namespace {

// Decimal digits of value << shift. Doubles reach 2^1024, so the product is
// held in 32-bit limbs and converted by repeated division by 10^9.
std::string ShiftedDecimal(std::uint64_t value, int shift) {
  std::vector<std::uint32_t> limbs(static_cast<std::size_t>((64 + shift) / 32 + 1), 0);
  const int limbShift = shift / 32;
  const int bitShift = shift % 32;
  for (int half = 0; half < 2; ++half) {
    const std::uint64_t part = (value >> (32 * half)) & 0xFFFFFFFFu;
    const std::uint64_t moved = part << bitShift;  // at most 63 bits
    const std::size_t at = static_cast<std::size_t>(limbShift + half);
    limbs[at] |= static_cast<std::uint32_t>(moved & 0xFFFFFFFFu);
    limbs[at + 1] |= static_cast<std::uint32_t>(moved >> 32);
  }
  while (!limbs.empty() && limbs.back() == 0) {
    limbs.pop_back();
  }

  std::string reversed;  // least significant digit first
  while (!limbs.empty()) {
    std::uint64_t remainder = 0;
    for (std::size_t k = limbs.size(); k-- > 0;) {
      const std::uint64_t current = (remainder << 32) | limbs[k];
      limbs[k] = static_cast<std::uint32_t>(current / 1000000000u);
      remainder = current % 1000000000u;
    }
    while (!limbs.empty() && limbs.back() == 0) {
      limbs.pop_back();
    }
    for (int d = 0; d < 9; ++d) {
      reversed.push_back(static_cast<char>('0' + remainder % 10));
      remainder /= 10;
    }
  }
  while (reversed.size() > 1 && reversed.back() == '0') {
    reversed.pop_back();
  }
  if (reversed.empty()) {
    reversed.push_back('0');
  }
  return std::string(reversed.rbegin(), reversed.rend());
}

}  // namespace

std::string FormatFixed4(double x) {
  if (std::isnan(x)) {
    return "nan";
  }
  if (std::isinf(x)) {
    return x < 0.0 ? "-inf" : "inf";
  }

  // |x| = mantissa * 2^exponent exactly.
  const std::uint64_t bits = std::bit_cast<std::uint64_t>(x);
  const bool negative = (bits >> 63) != 0;
  const int biased = static_cast<int>((bits >> 52) & 0x7FF);
  std::uint64_t mantissa = bits & ((std::uint64_t{1} << 52) - 1);
  int exponent = -1074;
  if (biased != 0) {
    mantissa |= std::uint64_t{1} << 52;
    exponent = biased - 1075;
  }

  // |x| * 10^4 = mantissa * 625 * 2^(exponent + 4); mantissa * 625 < 2^63.
  const std::uint64_t scaled = mantissa * 625u;
  const int shift = exponent + 4;
  std::string digits;
  if (shift >= 0) {
    digits = ShiftedDecimal(scaled, shift);
  } else {
    // Divide by 2^k and round half away from zero (the magnitude rounds up on
    // an exact tie). For k >= 64 the quotient is 0 and the rest is below half.
    const int k = -shift;
    std::uint64_t quotient = 0;
    if (k < 64) {
      quotient = scaled >> k;
      const std::uint64_t rest = scaled & ((std::uint64_t{1} << k) - 1);
      if (rest >= (std::uint64_t{1} << (k - 1))) {
        ++quotient;
      }
    }
    digits = ShiftedDecimal(quotient, 0);
  }

  if (digits.size() < 5) {
    digits.insert(0, 5 - digits.size(), '0');
  }
  digits.insert(digits.size() - 4, 1, '.');
  if (negative) {
    digits.insert(0, 1, '-');
  }
  return digits;
}

}  // namespace quavix
