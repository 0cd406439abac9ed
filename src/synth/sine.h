// The sine of the synthesis: the correctly rounded single-precision sine of a
// float, computed without the C library so that every compiler, processor and
// runtime gives the same bits.
//
// Sine(x) is sin(x) rounded to the nearest float for every finite x, ±0 keeps
// its sign. A NaN gives the same NaN with its quiet bit set; ±inf gives the
// positive default quiet NaN (bits 0x7FC00000). Both are made with integer
// operations, so even the NaN bits do not depend on the processor.
//
// The usual path reduces |x| < 2^18 by a three-part π/2 and evaluates one
// polynomial in double. It then tests whether the result, with its error
// bound, could lie on either side of a float rounding boundary; only then (and
// for |x| ≥ 2^18) the exact route in sine.cpp takes over.
#pragma once

#include <bit>
#include <cstdint>

namespace quavix {

namespace sine_detail {

// Polynomials of sin and cos on |r| ≤ π/4 + a little: their Taylor terms up to
// r^15 and r^16, whose remainders stay below 2^-53 relative there.
constexpr double SinOfReduced(double r) {
  const double r2 = r * r;
  double p = -1.0 / 1307674368000.0;  // -1/15!
  p = p * r2 + 1.0 / 6227020800.0;
  p = p * r2 - 1.0 / 39916800.0;
  p = p * r2 + 1.0 / 362880.0;
  p = p * r2 - 1.0 / 5040.0;
  p = p * r2 + 1.0 / 120.0;
  p = p * r2 - 1.0 / 6.0;
  return r + (r * r2) * p;
}

constexpr double CosOfReduced(double r) {
  const double r2 = r * r;
  double p = 1.0 / 20922789888000.0;  // 1/16!
  p = p * r2 - 1.0 / 87178291200.0;
  p = p * r2 + 1.0 / 479001600.0;
  p = p * r2 - 1.0 / 3628800.0;
  p = p * r2 + 1.0 / 40320.0;
  p = p * r2 - 1.0 / 720.0;
  p = p * r2 + 1.0 / 24.0;
  p = p * r2 - 0.5;
  return 1.0 + r2 * p;
}

// sin(q·π/2 + r).
constexpr double SinOfQuadrant(std::uint32_t q, double r) {
  const double v = (q & 1u) != 0 ? CosOfReduced(r) : SinOfReduced(r);
  return (q & 2u) != 0 ? -v : v;
}

// The relative error bound the rounding test allows the double result: the
// reduction and the polynomial stay below 2^-50, the test's own subtractions
// add 2^-53.
constexpr double kRelativeTolerance = 0x1p-46;

// True, with out = y rounded to float, when every value within the tolerance
// of y rounds to the same float, so that the true sine does too.
inline bool RoundsSafely(double y, float& out) {
  const double tolerance = (y < 0 ? -y : y) * kRelativeTolerance;
  const float low = static_cast<float>(y - tolerance);
  const float high = static_cast<float>(y + tolerance);
  out = low;
  return low == high;
}

// The exact route: reduction with the bits of 2/π and a double-double
// evaluation, rounded once. For finite |x| ≥ 2^18 and for every input whose
// fast result is too close to a rounding boundary. Takes the bits of |x|.
float SineOfMagnitude(std::uint32_t magnitudeBits);

constexpr std::uint32_t kFastLimitBits = 0x48800000u;  // 2^18
constexpr double kTwoOverPi = 0x1.45f306dc9c883p-1;
constexpr double kRoundingShift = 0x1.8p52;  // adding it rounds to an integer
// π/2 = kPio2Part1 + kPio2Part2 + kPio2Part3 to 2^-119: the first two hold 33
// bits each, so that k·part is exact for k < 2^20.
constexpr double kPio2Part1 = 0x1.921fb544p+0;
constexpr double kPio2Part2 = 0x1.0b4611a6p-34;
constexpr double kPio2Part3 = 0x1.3198a2e037073p-69;

}  // namespace sine_detail

inline float Sine(float x) {
  using namespace sine_detail;
  const std::uint32_t bits = std::bit_cast<std::uint32_t>(x);
  const std::uint32_t sign = bits & 0x80000000u;
  const std::uint32_t magnitude = bits ^ sign;
  float result;
  if (magnitude < kFastLimitBits) {
    const double a = static_cast<double>(std::bit_cast<float>(magnitude));
    const double k = (a * kTwoOverPi + kRoundingShift) - kRoundingShift;
    // a − k·part1 is exact (Sterbenz); k·part1 and k·part2 are exact products.
    const double r = ((a - k * kPio2Part1) - k * kPio2Part2) - k * kPio2Part3;
    const auto quadrant = static_cast<std::uint32_t>(static_cast<std::int32_t>(k));
    if (!RoundsSafely(SinOfQuadrant(quadrant, r), result)) {
      result = SineOfMagnitude(magnitude);
    }
  } else if (magnitude < 0x7F800000u) {
    result = SineOfMagnitude(magnitude);
  } else if (magnitude == 0x7F800000u) {
    return std::bit_cast<float>(0x7FC00000u);
  } else {
    return std::bit_cast<float>(bits | 0x00400000u);
  }
  // sin(−x) = −sin(x), and rounding to nearest is symmetric.
  return std::bit_cast<float>(std::bit_cast<std::uint32_t>(result) ^ sign);
}

}  // namespace quavix
