// The sine of the synthesis: the correctly rounded single-precision sine of a
// float, computed without the C library so that every compiler, processor and
// runtime gives the same bits.
//
// Sine(x) is sin(x) rounded to the nearest float for every finite x, ±0 keeps
// its sign. A NaN gives the same NaN with its quiet bit set; ±inf gives the
// positive default quiet NaN (bits 0x7FC00000). Both are made with integer
// operations, so even the NaN bits do not depend on the processor.
//
// The usual path reduces |x| < 2^18 to r = x − n·π/512 by a three-part π/512,
// looks up sin and cos of (n mod 1024)·π/512 in a table and combines them with
// short polynomials of r, in double. It then tests whether the result, with
// its error bound, could lie on either side of a float rounding boundary;
// only then (and for |x| ≥ 2^18) the exact route in sine.cpp takes over.
// WaveSine is the same on the oscillator's arguments (0 to 2πf), with a
// shorter reduction.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>

namespace quavix {

namespace sine_detail {

struct SinCos {
  double Sin;
  double Cos;
};
// sin and cos of j·π/512 for j = 0..1023, each the double nearest to it.
constexpr std::size_t kTableSteps = 1024;
extern const std::array<SinCos, kTableSteps> kSineTable;

// The relative error bound the rounding test allows the double result: the
// reduction, the table and the polynomials stay below 2^-50, the test's own
// subtractions add 2^-53.
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

// RoundsSafely for |y| of at least 2^-125 (a normal float's range), with
// integer operations on the bits of y: within a binade a float rounding
// boundary is where the 29 bits below a float's mantissa read 2^28, and the
// tolerance, under 2^-46·|y|, is under 128 units of y's last place.
inline bool RoundsSafelyAboveFloatMin(double y) {
  const std::uint64_t below = std::bit_cast<std::uint64_t>(y) & 0x1FFFFFFFu;
  return below - (0x10000000u - 128u) > 256u;
}

// The exact route: reduction with the bits of 2/π and a double-double
// evaluation, rounded once. For finite |x| ≥ 2^18 and for every input whose
// fast result is too close to a rounding boundary. Takes the bits of |x|.
float SineOfMagnitude(std::uint32_t magnitudeBits);

constexpr std::uint32_t kFastLimitBits = 0x48800000u;     // 2^18
constexpr std::uint32_t kBitTestLimitBits = 0x0D800000u;  // 2^-100
constexpr double kStepsPerRadian = 0x1.45f306dc9c883p+7;  // 512/π
constexpr double kRoundingShift = 0x1.8p52;  // adding it rounds to an integer
// π/512 = kStepPart1 + kStepPart2 + kStepPart3 to 2^-122: the first two hold 27
// bits at most, so that n·part is exact for n < 2^26 (|x| < 2^18 gives
// n < 2^25.4).
constexpr double kStepPart1 = 0x1.921fb54p-8;
constexpr double kStepPart2 = 0x1.10b461p-38;
constexpr double kStepPart3 = 0x1.a62633145c06ep-66;

// sin(n·π/512 + r) from the table and short polynomials of r, for a whole
// number n ≥ 0 and |r| ≤ π/1024 (a little more with the reduction's errors):
// the terms left out are below 2^-58 of the result.
inline double SineFromTable(double n, double r) {
  const SinCos& step =
      kSineTable[static_cast<std::uint32_t>(static_cast<std::int32_t>(n)) & (kTableSteps - 1)];
  const double r2 = r * r;
  const double sinR = r + (r * r2) * ((-1.0 / 6.0) + r2 * (1.0 / 120.0));
  const double cosRMinus1 = r2 * (-0.5 + r2 * (1.0 / 24.0));
  return step.Sin + (step.Cos * sinR + step.Sin * cosRMinus1);
}

// The usual path's double result for a magnitude a below 2^18.
inline double FastSine(double a) {
  const double n = (a * kStepsPerRadian + kRoundingShift) - kRoundingShift;
  // a − n·part1 is exact (Sterbenz); n·part1 and n·part2 are exact products.
  return SineFromTable(n, ((a - n * kStepPart1) - n * kStepPart2) - n * kStepPart3);
}

// FastSine for 0 ≤ a ≤ 2πf (2·3.14159265f, the oscillator's largest
// argument): n is at most 1024, so a two-part π/512 does, its second part
// rounded to double. The reduction then errs by under 2^-79; n = 0 leaves
// r = a exactly, and for n ≥ 1 no float in the range has a sine below 2^-24
// in magnitude (the float nearest π is 8.7·10^-8 from it), so the error stays
// far below the rounding test's tolerance.
constexpr double kStepPart2And3 = 0x1.10b4611a62633p-38;

inline double FastWaveSine(double a) {
  const double n = (a * kStepsPerRadian + kRoundingShift) - kRoundingShift;
  return SineFromTable(n, (a - n * kStepPart1) - n * kStepPart2And3);
}

}  // namespace sine_detail

inline float Sine(float x) {
  using namespace sine_detail;
  const std::uint32_t bits = std::bit_cast<std::uint32_t>(x);
  const std::uint32_t sign = bits & 0x80000000u;
  const std::uint32_t magnitude = bits ^ sign;
  float result;
  if (magnitude < kFastLimitBits) {
    const double y = FastSine(static_cast<double>(std::bit_cast<float>(magnitude)));
    bool safe;
    if (magnitude >= kBitTestLimitBits) {  // no float there has a sine below 2^-102
      safe = RoundsSafelyAboveFloatMin(y);
      result = static_cast<float>(y);
    } else {
      safe = RoundsSafely(y, result);
    }
    if (!safe) {
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

// The oscillator's arguments: 0, or from 2^-30 to 2πf, as bits.
constexpr std::uint32_t kWaveArgumentMinBits = 0x30800000u;    // 2^-30
constexpr std::uint32_t kWaveArgumentLimitBits = 0x40C90FDBu;  // 2πf

// Sine(a) for an argument of the oscillator, by the shorter route above. The
// bit test holds: no such argument has a sine below 2^-31 but 0.
inline float WaveSine(float a) {
  const double y = sine_detail::FastWaveSine(static_cast<double>(a));
  return sine_detail::RoundsSafelyAboveFloatMin(y) ? static_cast<float>(y) : Sine(a);
}

}  // namespace quavix
