// ParseDecimal: the settings string's number grammar, converted exactly.
#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>

#include "exchange/decimal_to_double.h"
#include "exchange/settings_string.h"

namespace quavix {
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

}  // namespace

double ParseDecimal(std::string_view text) {
  std::size_t i = 0;
  const std::size_t n = text.size();
  while (i < n && IsSpace(text[i])) {
    ++i;
  }
  bool negative = false;
  if (i < n && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }

  // The value is digits * 10^exponent10.
  std::string digits;
  std::int64_t exponent10 = 0;
  bool sticky = false;
  bool anyDigit = false;
  auto take = [&](char c, bool fraction) {
    anyDigit = true;
    if (digits.empty() && c == '0') {
      if (fraction) {
        --exponent10;
      }
      return;
    }
    if (digits.size() < kMaxDigits) {
      digits.push_back(c);
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
  while (i < n && IsDigit(text[i])) {
    take(text[i++], false);
  }
  if (i < n && text[i] == '.') {
    ++i;
    while (i < n && IsDigit(text[i])) {
      take(text[i++], true);
    }
  }
  if (!anyDigit) {
    return 0.0;
  }

  // The exponent is part of the number only when at least one digit follows
  // its letter and optional sign.
  if (i < n && (text[i] == 'e' || text[i] == 'E' || text[i] == 'd' || text[i] == 'D')) {
    std::size_t j = i + 1;
    bool negativeExponent = false;
    if (j < n && (text[j] == '+' || text[j] == '-')) {
      negativeExponent = text[j] == '-';
      ++j;
    }
    if (j < n && IsDigit(text[j])) {
      std::int64_t e = 0;
      while (j < n && IsDigit(text[j])) {
        e = std::min<std::int64_t>(e * 10 + (text[j] - '0'), kExponentLimit);
        ++j;
      }
      exponent10 += negativeExponent ? -e : e;
    }
  }

  const double zero = negative ? -0.0 : 0.0;
  const double infinity =
      negative ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
  if (digits.empty()) {
    return zero;
  }
  if (sticky) {
    digits.push_back('1');
    --exponent10;
  }

  // The leading digit stands for 10^(magnitude - 1).
  const std::int64_t magnitude = static_cast<std::int64_t>(digits.size()) + exponent10;
  if (magnitude > 310) {
    return infinity;
  }
  if (magnitude < -330) {
    return zero;
  }

  const double value = DecimalToDouble(digits, static_cast<std::int32_t>(exponent10));
  return negative ? -value : value;
}

}  // namespace quavix
