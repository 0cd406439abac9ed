#include "numbers.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <system_error>

#include "cli_error.h"
#include "exchange/decimal_text.h"
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

float ParseUserFloat(std::string_view text, std::string_view what) {
  if (!IsDecimalNumber(text)) {
    ThrowUsage(std::string(what) + ": " + Quoted(text) + " is not a number");
  }
  const float single = Single(ParseDecimal(text));
  if (!std::isfinite(single)) {
    ThrowUsage(std::string(what) + ": " + Quoted(text) + " is out of range for a float");
  }
  return single;
}

}  // namespace quavix::cli
