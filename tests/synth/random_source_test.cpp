#include <gtest/gtest.h>

#include "synth/random_source.h"

namespace quavix {
namespace {

TEST(RandomSource, FirstDrawsFromSeedOne) {
  RandomSource r;
  SeedRandom(r, 1);
  // state = 1 * 214013 + 2531011 = 2745024; 2745024 >> 16 = 41.
  EXPECT_EQ(NextDraw(r), 41);
  EXPECT_EQ(r.State, 2745024u);
  // 2745024 * 214013 + 2531011 mod 2^32 = 3357800067 -> bits 16..30 = 18467.
  EXPECT_EQ(NextDraw(r), 18467);
}

TEST(RandomSource, DrawsStayWithin15Bits) {
  RandomSource r;
  SeedRandom(r, 0xDEADBEEF);
  for (int i = 0; i < 100000; ++i) {
    const int d = NextDraw(r);
    ASSERT_GE(d, 0);
    ASSERT_LE(d, 32767);
  }
}

TEST(RandomFraction, ZeroRangeGivesZero) {
  RandomSource r;
  SeedRandom(r, 7);
  for (int i = 0; i < 100; ++i) {
    EXPECT_EQ(RandomFraction(r, 0.0f), 0.0f);
  }
}

// Finds a seed whose first draw has the wanted remainder modulo 10001.
std::uint32_t SeedForRemainder(int remainder) {
  for (std::uint32_t seed = 0;; ++seed) {
    RandomSource r;
    SeedRandom(r, seed);
    if (NextDraw(r) % 10001 == remainder) {
      return seed;
    }
  }
}

TEST(RandomFraction, EndPointsAreExact) {
  RandomSource r;
  SeedRandom(r, SeedForRemainder(10000));
  EXPECT_EQ(RandomFraction(r, 0.7f), 0.7f);
  SeedRandom(r, SeedForRemainder(0));
  EXPECT_EQ(RandomFraction(r, 0.7f), 0.0f);
  SeedRandom(r, SeedForRemainder(10000));
  EXPECT_EQ(RandomFraction(r, -2.0f), -2.0f);
}

TEST(RandomFraction, TwoMinusOneStaysWithinUnitRange) {
  RandomSource r;
  SeedRandom(r, 99);
  for (int i = 0; i < 50000; ++i) {
    const double u = static_cast<double>(RandomFraction(r, 2.0f)) - 1.0;
    ASSERT_GE(u, -1.0);
    ASSERT_LE(u, 1.0);
  }
}

TEST(RandomFraction, StepIsRangeOverTenThousand) {
  RandomSource r;
  SeedRandom(r, SeedForRemainder(5000));
  EXPECT_EQ(RandomFraction(r, 2.0f), 1.0f);
  SeedRandom(r, SeedForRemainder(1));
  EXPECT_EQ(RandomFraction(r, 1.0f), static_cast<float>(1.0 / 10000.0));
}

}  // namespace
}  // namespace quavix
