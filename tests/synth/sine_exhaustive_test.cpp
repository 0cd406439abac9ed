// Sine on all 2^32 float bit patterns against the correctly rounded sine: the C library's double
// sin(x), within 1 ulp, rounded to float where it lies farther than 2^-45 (relative) from every
// rounding boundary, else MPFR. WaveSine must equal Sine on the oscillator's arguments.
#include <gtest/gtest.h>
#include <mpfr.h>

#include <atomic>
#include <bit>
#include <cmath>
#include <cstdint>
#include <thread>

#include "synth/sine.h"

namespace quavix {
namespace {

// sin(x) correctly rounded to float (subnormal results included) by MPFR.
float CorrectSine(float x) {
  mpfr_set_emin(-148);  // float's exponent range, so that mpfr_subnormalize
  mpfr_set_emax(128);   // rounds subnormal results once, as float does
  mpfr_t v;
  mpfr_init2(v, 24);
  mpfr_set_flt(v, x, MPFR_RNDN);
  const int inexact = mpfr_sin(v, v, MPFR_RNDN);
  mpfr_subnormalize(v, inexact, MPFR_RNDN);
  const float result = mpfr_get_flt(v, MPFR_RNDN);
  mpfr_clear(v);
  return result;
}

bool NearRoundingBoundary(double y) {
  const double tolerance = std::fabs(y) * 0x1p-45;
  return static_cast<float>(y - tolerance) != static_cast<float>(y + tolerance);
}

// Wrong results of Sine or WaveSine.
std::atomic<std::uint64_t> gWrong{0};
std::atomic<std::uint32_t> gWrongInput{0};

void CheckRange(std::uint64_t begin, std::uint64_t end) {
  for (std::uint64_t i = begin; i < end; ++i) {
    const auto bits = static_cast<std::uint32_t>(i);
    const float x = std::bit_cast<float>(bits);
    const std::uint32_t ours = std::bit_cast<std::uint32_t>(Sine(x));
    // The oscillator's shorter route gives the same bits on its arguments.
    if ((bits == 0 || (bits >= kWaveArgumentMinBits && bits <= kWaveArgumentLimitBits)) &&
        std::bit_cast<std::uint32_t>(WaveSine(x)) != ours) {
      ++gWrong, gWrongInput = bits;
    }
    std::uint32_t expected;
    if ((bits & 0x7FFFFFFFu) > 0x7F800000u) {
      expected = bits | 0x00400000u;
    } else if ((bits & 0x7FFFFFFFu) == 0x7F800000u) {
      expected = 0x7FC00000u;
    } else {
      const double library = std::sin(static_cast<double>(x));
      const std::uint32_t rounded = std::bit_cast<std::uint32_t>(static_cast<float>(library));
      if (rounded == ours && !NearRoundingBoundary(library)) continue;
      expected = std::bit_cast<std::uint32_t>(CorrectSine(x));
    }
    if (ours != expected) ++gWrong, gWrongInput = bits;
  }
}

TEST(SineExhaustive, EveryFloatIsCorrectlyRounded) {
  constexpr std::uint64_t kHalf = std::uint64_t{1} << 31;
  std::thread low(CheckRange, 0, kHalf), high(CheckRange, kHalf, 2 * kHalf);
  low.join();
  high.join();
  EXPECT_EQ(gWrong.load(), 0u) << "a wrong input: bits 0x" << std::hex << gWrongInput.load();
  mpfr_free_cache();
}

}  // namespace
}  // namespace quavix
