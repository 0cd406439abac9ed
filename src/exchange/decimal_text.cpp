#include "exchange/decimal_text.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

#include "exchange/decimal_to_double.h"

namespace quavix {
namespace {

// Decimal digits of value << shift, most significant first, into out; returns
// their number. Doubles reach 2^1024, so the product is held in 32-bit limbs
// and converted by repeated division by 10^9.
constexpr std::size_t kMaxLimbs = 36;       // (64 + 975) / 32 + 1 and some room
constexpr std::size_t kMaxDigitText = 330;  // 313 digits, padded to nines

std::size_t ShiftedDecimal(std::uint64_t value, int shift, char* out) {
  std::array<std::uint32_t, kMaxLimbs> limbs{};
  std::size_t used = static_cast<std::size_t>((64 + shift) / 32 + 1);
  const int limbShift = shift / 32;
  const int bitShift = shift % 32;
  for (int half = 0; half < 2; ++half) {
    const std::uint64_t part = (value >> (32 * half)) & 0xFFFFFFFFu;
    const std::uint64_t moved = part << bitShift;  // at most 63 bits
    const std::size_t at = static_cast<std::size_t>(limbShift + half);
    limbs[at] |= static_cast<std::uint32_t>(moved & 0xFFFFFFFFu);
    limbs[at + 1] |= static_cast<std::uint32_t>(moved >> 32);
  }
  while (used > 0 && limbs[used - 1] == 0) {
    --used;
  }

  std::array<char, kMaxDigitText> reversed{};  // least significant digit first
  std::size_t count = 0;
  while (used > 0) {
    std::uint64_t remainder = 0;
    for (std::size_t k = used; k-- > 0;) {
      const std::uint64_t current = (remainder << 32) | limbs[k];
      limbs[k] = static_cast<std::uint32_t>(current / 1000000000u);
      remainder = current % 1000000000u;
    }
    while (used > 0 && limbs[used - 1] == 0) {
      --used;
    }
    for (int d = 0; d < 9; ++d) {
      reversed[count++] = static_cast<char>('0' + remainder % 10);
      remainder /= 10;
    }
  }
  while (count > 1 && reversed[count - 1] == '0') {
    --count;
  }
  if (count == 0) {
    reversed[count++] = '0';
  }
  for (std::size_t i = 0; i < count; ++i) {
    out[i] = reversed[count - 1 - i];
  }
  return count;
}

std::size_t CopyText(std::string_view text, char* out) {
  std::copy(text.begin(), text.end(), out);
  return text.size();
}

}  // namespace

std::size_t FormatFixed4(double x, char* out) {
  if (std::isnan(x)) {
    return CopyText("nan", out);
  }
  if (std::isinf(x)) {
    return CopyText(x < 0.0 ? "-inf" : "inf", out);
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
  std::array<char, kMaxDigitText> digits{};
  std::size_t count = 0;
  if (shift >= 0) {
    count = ShiftedDecimal(scaled, shift, digits.data());
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
    count = ShiftedDecimal(quotient, 0, digits.data());
  }

  // Sign, integer digits (at least one), point, four decimals.
  std::size_t length = 0;
  if (negative) {
    out[length++] = '-';
  }
  const std::size_t width = std::max<std::size_t>(count, 5);
  for (std::size_t i = 0; i < width; ++i) {
    if (i == width - 4) {
      out[length++] = '.';
    }
    out[length++] = i < width - count ? '0' : digits[i - (width - count)];
  }
  return length;
}

std::string FormatFixed4(double x) {
  std::array<char, kFixed4MaxLength> text{};
  return std::string(text.data(), FormatFixed4(x, text.data()));
}

namespace {


bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Significant digits kept. Beyond them a nonzero tail is kept as one sticky
// digit; a halfway point between two doubles has at most 767 significant
// digits, so the rounding is the same as for the full text.
constexpr std::size_t kMaxDigits = kMaxDecimalDigits - 1;

// Explicit exponents saturate here; far beyond any double's range, far below
// any overflow of the arithmetic that follows.
constexpr std::int64_t kExponentLimit = 1000000000;

// Length of the number of the grammar at the start of text (no white space
// skipped), or 0 when none starts there.
std::size_t DecimalLength(std::string_view text) {
  std::size_t i = 0;
  const std::size_t n = text.size();
  if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
  std::size_t mantissaDigits = 0;
  while (i < n && IsDigit(text[i])) {
    ++i;
    ++mantissaDigits;
  }
  if (i < n && text[i] == '.') {
    ++i;
    while (i < n && IsDigit(text[i])) {
      ++i;
      ++mantissaDigits;
    }
  }
  if (mantissaDigits == 0) return 0;
  if (i < n && (text[i] == 'e' || text[i] == 'E' || text[i] == 'd' || text[i] == 'D')) {
    std::size_t j = i + 1;
    if (j < n && (text[j] == '+' || text[j] == '-')) ++j;
    if (j < n && IsDigit(text[j])) {
      while (j < n && IsDigit(text[j])) ++j;
      i = j;
    }
  }
  return i;
}

}  // namespace

bool IsDecimalNumber(std::string_view text) {
  return !text.empty() && DecimalLength(text) == text.size();
}

double ParseDecimal(std::string_view text) {
  std::size_t start = 0;
  while (start < text.size() && IsSpace(text[start])) {
    ++start;
  }
  // Only the number that the grammar finds there is read.
  const std::string_view number = text.substr(start, DecimalLength(text.substr(start)));
  if (number.empty()) {
    return 0.0;
  }
  std::size_t i = 0;
  const std::size_t n = number.size();
  bool negative = false;
  if (i < n && (number[i] == '+' || number[i] == '-')) {
    negative = number[i] == '-';
    ++i;
  }

  // The value is digits * 10^exponent10, with room for a sticky digit.
  std::array<char, kMaxDigits + 1> digits{};
  std::size_t count = 0;
  std::int64_t exponent10 = 0;
  bool sticky = false;
  auto take = [&](char c, bool fraction) {
    if (count == 0 && c == '0') {
      if (fraction) {
        --exponent10;
      }
      return;
    }
    if (count < kMaxDigits) {
      digits[count++] = c;
      if (fraction) {
        --exponent10;
      }
    } else {
      sticky = sticky || c != '0';
      if (!fraction) {
        ++exponent10;
      }
    }
  };
  while (i < n && IsDigit(number[i])) {
    take(number[i++], false);
  }
  if (i < n && number[i] == '.') {
    ++i;
    while (i < n && IsDigit(number[i])) {
      take(number[i++], true);
    }
  }
  // What is left is the exponent: its letter, an optional sign, digits.
  if (i < n) {
    std::size_t j = i + 1;
    bool negativeExponent = false;
    if (number[j] == '+' || number[j] == '-') {
      negativeExponent = number[j] == '-';
      ++j;
    }
    std::int64_t e = 0;
    for (; j < n; ++j) {
      e = std::min<std::int64_t>(e * 10 + (number[j] - '0'), kExponentLimit);
    }
    exponent10 += negativeExponent ? -e : e;
  }

  const double zero = negative ? -0.0 : 0.0;
  const double infinity =
      negative ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
  if (count == 0) {
    return zero;
  }
  if (sticky) {
    digits[count++] = '1';
    --exponent10;
  }

  // The leading digit stands for 10^(magnitude - 1).
  const std::int64_t magnitude = static_cast<std::int64_t>(count) + exponent10;
  if (magnitude > 310) {
    return infinity;
  }
  if (magnitude < -330) {
    return zero;
  }

  const double value = DecimalToDouble(std::string_view(digits.data(), count),
                                       static_cast<std::int32_t>(exponent10));
  return negative ? -value : value;
}

}  // namespace quavix
