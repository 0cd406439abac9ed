// Sine's special values in every build (the comparison with MPFR on every
// float runs only natively), and a check that the build does not fuse a·b + c.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <cstdlib>

#include "synth/sine.h"

namespace quavix {
namespace {

struct SpecialCase {
  std::uint32_t In, Out;
};

// sin(x) = x(1 − x²/6 + …): for |x| ≤ 2^-12 the deviation x³/6 is below a
// quarter of the float spacing at x, so the rounded sine is x itself.
constexpr SpecialCase kSpecialCases[] = {
    {0x00000000, 0x00000000},  // +0
    {0x80000000, 0x80000000},  // −0 keeps its sign
    {0x00000001, 0x00000001},  // smallest subnormal
    {0x80000001, 0x80000001},
    {0x007FFFFF, 0x007FFFFF},  // largest subnormal
    {0x35800000, 0x35800000},  // 2^-20
    {0xB9800000, 0xB9800000},  // −2^-12
    {0x7F800000, 0x7FC00000},  // +inf gives the default quiet NaN
    {0xFF800000, 0x7FC00000},  // −inf too
    {0x7FC00000, 0x7FC00000},  // a quiet NaN stays as it is
    {0xFFC01234, 0xFFC01234},
    {0x7F800001, 0x7FC00001},  // a signalling NaN is quieted, payload and sign kept
    {0xFFA00000, 0xFFE00000},
};

TEST(Sine, SpecialValues) {
  for (const SpecialCase& c : kSpecialCases) {
    EXPECT_EQ(std::bit_cast<std::uint32_t>(Sine(std::bit_cast<float>(c.In))), c.Out)
        << std::hex << "input 0x" << c.In;
  }
}

TEST(Sine, IsOddAndBoundedForLargeArguments) {
  // Up to the largest float, through the exact reduction.
  for (std::uint32_t bits = 0x48800000; bits < 0x7F800000; bits += 0x00012345) {
    const float x = std::bit_cast<float>(bits);
    const float s = Sine(x);
    EXPECT_TRUE(s >= -1.0f && s <= 1.0f) << x;
    EXPECT_EQ(std::bit_cast<std::uint32_t>(Sine(-x)), std::bit_cast<std::uint32_t>(s) ^ 0x80000000u);
  }
}

// (1 + 2^-30)² = 1 + 2^-29 + 2^-60 rounds to 1 + 2^-29, so a·a − (1 + 2^-29)
// is 0, unless the compiler fuses it into one operation, which gives 2^-60
// (GCC does so by default on ARM64).
TEST(FloatingPointFlags, ProductsAreRoundedBeforeTheyAreAdded) {
  const double a = std::strtod("1.000000000931322574615478515625", nullptr);  // 1 + 2^-30
  const double rounded = std::strtod("1.00000000186264514923095703125", nullptr);  // 1 + 2^-29
  EXPECT_EQ(a * a - rounded, 0.0);
}

}  // namespace
}  // namespace quavix
