#include "numbers.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <system_error>

#include "cli_error.h"
#include "synth/exact_math.h"

namespace quavix::cli {
namespace {

std::string Quoted(std::string_view text) { return Echo(text); }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::int64_t ParseWhole(std::string_view text, std::int64_t min, std::int64_t max,
                        std::string_view what) {
  std::string_view digits = text;
  if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
  std::int64_t value = 0;
  const char* end = digits.data() + digits.size();
  const auto [ptr, ec] = std::from_chars(digits.data(), end, value);
  const bool whole = !digits.empty() && ec != std::errc::invalid_argument && ptr == end &&
                     (IsDigit(digits.front()) || digits.front() == '-');
  if (!whole) {
    ThrowUsage(std::string(what) + ": " + Quoted(text) + " is not a whole number");
  }
  if (ec == std::errc::result_out_of_range || value < min || value > max) {
    ThrowUsage(std::string(what) + ": " + Quoted(text) + " is out of range (" +
               std::to_string(min) + " to " + std::to_string(max) + ")");
  }
  return value;
}

std::uint32_t ParseSeed(std::string_view text, std::string_view what) {
  const std::int64_t value = ParseWhole(text, std::numeric_limits<std::int32_t>::min(),
                                        std::numeric_limits<std::uint32_t>::max(), what);
  // Negative seeds name the same 32 bits as their unsigned counterpart.
  return static_cast<std::uint32_t>(value < 0 ? value + 4294967296LL : value);
}

bool IsDecimalNumber(std::string_view text) {
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
  if (mantissaDigits == 0) return false;
  if (i < n && (text[i] == 'e' || text[i] == 'E' || text[i] == 'd' || text[i] == 'D')) {
    ++i;
    if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
    std::size_t exponentDigits = 0;
    while (i < n && IsDigit(text[i])) {
      ++i;
      ++exponentDigits;
    }
    if (exponentDigits == 0) return false;
  }
  return i == n;
}

float ParseUserFloat(std::string_view text, std::string_view what) {
  if (!IsDecimalNumber(text)) {
    ThrowUsage(std::string(what) + ": " + Quoted(text) + " is not a number");
  }
  // from_chars reads no '+' and no Fortran-style 'd' exponent; normalise both.
  std::string normal(text);
  if (!normal.empty() && normal.front() == '+') normal.erase(0, 1);
  for (char& c : normal) {
    if (c == 'd' || c == 'D') c = 'e';
  }
  double value = 0;
  const auto [ptr, ec] = std::from_chars(normal.data(), normal.data() + normal.size(), value);
  const float single = Single(value);
  if (ec != std::errc() || ptr != normal.data() + normal.size() || !std::isfinite(single)) {
    ThrowUsage(std::string(what) + ": " + Quoted(text) + " is out of range for a float");
  }
  return single;
}

}  // namespace quavix::cli
