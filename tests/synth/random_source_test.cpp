#include <gtest/gtest.h>

#include <limits>

#include "synth/exact_math.h"
#include "synth/random_source.h"

namespace quavix {
namespace {

TEST(RandomSource, DrawsAreBitsSixteenToThirtyOfTheNextState) {
  RandomSource r{1};
  EXPECT_EQ(NextDraw(r), 41);  // 1 × 214013 + 2531011 = 2745024 = 41 × 65536 + 58048
  EXPECT_EQ(r.State, 2745024u);
  EXPECT_EQ(NextDraw(r), 18467);  // 3357800067 has bit 31 set, dropped from the draw
  EXPECT_EQ(r.State, 3357800067u);
}

// A seed whose first draw has the wanted remainder modulo 10001.
std::uint32_t SeedForRemainder(int remainder) {
  std::uint32_t seed = 0;
  for (RandomSource r{seed}; NextDraw(r) % 10001 != remainder; r.State = ++seed) {
  }
  return seed;
}

TEST(RandomFraction, RemainderOverTenThousandTimesTheRange) {
  struct Case {
    int remainder;
    float range, expected;
  } const cases[] = {{10000, 0.7f, 0.7f}, {0, 0.7f, 0},       {10000, -2, -2},
                     {5000, 2, 1},        {1, 1, Single(1e-4)}, {2500, 0, 0}};
  for (const Case& c : cases) {
    RandomSource r{SeedForRemainder(c.remainder)};
    EXPECT_EQ(RandomFraction(r, c.range), c.expected) << c.remainder << " " << c.range;
  }
}

// Values that are not a number or lie beyond int32 truncate to its minimum.
TEST(TruncToInt32, TowardZeroWithinTheRangeMinimumOutside) {
  constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
  const double in[] = {2.9, -2.9, 2147483647.9, -2147483648.9, 2147483648.0, -2147483649.0,
                       std::numeric_limits<double>::quiet_NaN()};
  const std::int32_t out[] = {2, -2, 2147483647, kMin, kMin, kMin, kMin};
  for (int i = 0; i < 7; ++i) EXPECT_EQ(TruncToInt32(in[i]), out[i]) << in[i];
}

}  // namespace
}  // namespace quavix
