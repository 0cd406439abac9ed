// DecimalToDouble with fixed-size big integers: the value is formed exactly
// as an integer (or a quotient of two) and rounded once.
#include "exchange/decimal_to_double.h"

#include <array>
#include <bit>
#include <cstddef>

namespace quavix {
namespace {

// 801 digits are below 2^2661 and 10^1200 below 2^3987; a dividend shifted
// to 64 bits above its divisor stays below 2^4052.
constexpr std::size_t kLimbs = 130;

// A non-negative integer in 32-bit limbs, least significant first.
struct BigNumber {
  std::array<std::uint32_t, kLimbs> Limbs{};
  std::size_t Size = 0;  // limbs in use; Limbs[Size - 1] != 0 unless Size == 0
};

void Trim(BigNumber& n) {
  while (n.Size > 0 && n.Limbs[n.Size - 1] == 0) --n.Size;
}

void MultiplyAdd(BigNumber& n, std::uint32_t factor, std::uint32_t addend) {
  std::uint64_t carry = addend;
  for (std::size_t k = 0; k < n.Size; ++k) {
    const std::uint64_t product = std::uint64_t{n.Limbs[k]} * factor + carry;
    n.Limbs[k] = static_cast<std::uint32_t>(product);
    carry = product >> 32;
  }
  if (carry != 0) n.Limbs[n.Size++] = static_cast<std::uint32_t>(carry);
}

void MultiplyByPowerOf10(BigNumber& n, std::int32_t power) {
  for (; power >= 9; power -= 9) MultiplyAdd(n, 1000000000u, 0);
  std::uint32_t rest = 1;
  for (; power > 0; --power) rest *= 10;
  MultiplyAdd(n, rest, 0);
}

int BitLength(const BigNumber& n) {
  if (n.Size == 0) return 0;
  return static_cast<int>(32 * (n.Size - 1)) + std::bit_width(n.Limbs[n.Size - 1]);
}

bool Bit(const BigNumber& n, int index) {
  const auto limb = static_cast<std::size_t>(index / 32);
  return limb < n.Size && ((n.Limbs[limb] >> (index % 32)) & 1u) != 0;
}

void ShiftLeft(BigNumber& n, int bits) {
  if (n.Size == 0 || bits == 0) return;
  const auto limbShift = static_cast<std::size_t>(bits / 32);
  const int bitShift = bits % 32;
  const std::size_t size = n.Size + limbShift + 1;
  for (std::size_t k = size; k-- > 0;) {
    const std::size_t from = k - limbShift;
    std::uint32_t value = 0;
    if (k >= limbShift && from < n.Size) value = n.Limbs[from] << bitShift;
    if (bitShift != 0 && k >= limbShift + 1 && from - 1 < n.Size) {
      value |= n.Limbs[from - 1] >> (32 - bitShift);
    }
    n.Limbs[k] = value;
  }
  n.Size = size;
  Trim(n);
}

void ShiftRightOne(BigNumber& n) {
  for (std::size_t k = 0; k < n.Size; ++k) {
    const std::uint32_t next = k + 1 < n.Size ? n.Limbs[k + 1] : 0;
    n.Limbs[k] = (n.Limbs[k] >> 1) | (next << 31);
  }
  Trim(n);
}

int Compare(const BigNumber& a, const BigNumber& b) {
  if (a.Size != b.Size) return a.Size < b.Size ? -1 : 1;
  for (std::size_t k = a.Size; k-- > 0;) {
    if (a.Limbs[k] != b.Limbs[k]) return a.Limbs[k] < b.Limbs[k] ? -1 : 1;
  }
  return 0;
}

void Subtract(BigNumber& a, const BigNumber& b) {  // a >= b
  std::int64_t borrow = 0;
  for (std::size_t k = 0; k < a.Size; ++k) {
    std::int64_t difference = std::int64_t{a.Limbs[k]} - (k < b.Size ? b.Limbs[k] : 0) - borrow;
    borrow = difference < 0 ? 1 : 0;
    if (difference < 0) difference += std::int64_t{1} << 32;
    a.Limbs[k] = static_cast<std::uint32_t>(difference);
  }
  Trim(a);
}

// The double nearest to (top + sticky) x 2^exponent2, where top has its
// highest bit at bit 63 and sticky stands for a nonzero rest below top's
// last bit.
double RoundToDouble(std::uint64_t top, int exponent2, bool sticky) {
  const int leading = exponent2 + 63;  // the value lies in [2^leading, 2^(leading + 1))
  if (leading > 1023) return std::bit_cast<double>(std::uint64_t{0x7FF} << 52);
  // Bits kept: 53 for a normal result, fewer below 2^-1022.
  const int kept = leading >= -1022 ? 53 : 53 - (-1022 - leading);
  if (kept < 0) return 0.0;  // below 2^-1076: under half the smallest subnormal
  const int dropped = 64 - kept;
  std::uint64_t mantissa = kept == 0 ? 0 : top >> dropped;
  const std::uint64_t rest = dropped == 64 ? top : top & ((std::uint64_t{1} << dropped) - 1);
  const std::uint64_t half = std::uint64_t{1} << (dropped - 1);
  if (rest > half || (rest == half && (sticky || (mantissa & 1u) != 0))) ++mantissa;
  if (leading < -1022) {
    // Subnormal: the mantissa counts units of 2^-1074; a carry to 2^52 is the
    // smallest normal number and lands in the exponent field by itself.
    return std::bit_cast<double>(mantissa);
  }
  int biased = leading + 1023;
  if (mantissa == std::uint64_t{1} << 53) {
    mantissa >>= 1;
    ++biased;
  }
  if (biased > 2046) return std::bit_cast<double>(std::uint64_t{0x7FF} << 52);
  return std::bit_cast<double>((std::uint64_t(biased) << 52) |
                               (mantissa & ((std::uint64_t{1} << 52) - 1)));
}

// The top 64 bits of n (n > 0) and whether any bit below them is set.
double RoundBigNumber(const BigNumber& n, int exponent2) {
  const int length = BitLength(n);
  std::uint64_t top = 0;
  bool sticky = false;
  for (int b = 0; b < 64; ++b) {
    const int index = length - 1 - b;
    top = (top << 1) | (index >= 0 && Bit(n, index) ? 1u : 0u);
  }
  for (int index = length - 65; index >= 0 && !sticky; --index) sticky = Bit(n, index);
  return RoundToDouble(top, exponent2 + length - 64, sticky);
}

}  // namespace

double DecimalToDouble(std::string_view digits, std::int32_t exponent10) {
  BigNumber value;
  for (const char c : digits) MultiplyAdd(value, 10, static_cast<std::uint32_t>(c - '0'));
  Trim(value);
  if (value.Size == 0) return 0.0;
  if (exponent10 >= 0) {
    MultiplyByPowerOf10(value, exponent10);
    return RoundBigNumber(value, 0);
  }

  // value / 10^-exponent10: shift the dividend so that the quotient has 64 or
  // 65 bits, divide bit by bit, and let the remainder break ties.
  BigNumber divisor;
  divisor.Limbs[0] = 1;
  divisor.Size = 1;
  MultiplyByPowerOf10(divisor, -exponent10);
  const int shift = 64 + BitLength(divisor) - BitLength(value);
  if (shift > 0) ShiftLeft(value, shift);
  if (shift < 0) ShiftLeft(divisor, -shift);
  // The quotient is below 2^65: subtract divisor x 2^b for b = 64 down to 0.
  BigNumber step = divisor;
  ShiftLeft(step, 64);
  std::uint64_t quotient = 0;
  bool carry = false;  // bit 64 of the quotient
  for (int b = 64; b >= 0; --b) {
    if (Compare(value, step) >= 0) {
      Subtract(value, step);
      if (b == 64) {
        carry = true;
      } else {
        quotient |= std::uint64_t{1} << b;
      }
    }
    ShiftRightOne(step);
  }
  bool sticky = value.Size != 0;
  int exponent2 = -shift;
  if (carry) {
    sticky = sticky || (quotient & 1u) != 0;
    quotient = (quotient >> 1) | (std::uint64_t{1} << 63);
    ++exponent2;
  }
  return RoundToDouble(quotient, exponent2, sticky);
}

}  // namespace quavix
