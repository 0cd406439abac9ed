// Each float operation of exact_math.h gives the bits of its double form.
#include <gtest/gtest.h>

#include <limits>
#include <random>

#include "float_ops.h"

namespace quavix {
namespace {

TEST(FloatOps, EqualTheDoubleFormAtTheEdges) {
  using L = std::numeric_limits<float>;
  const float edges[] = {
      0.0f, -0.0f, L::denorm_min(), -L::denorm_min(), 0x1.fffffcp-127f,  // the largest subnormal
      L::min(), 0x1p-24f, 0x1.8p-24f, 1.0f, 0x1.000002p0f,                // 1 and the float after it
      0x1.001p0f,  // squared: 1 + 2^-11 + 2^-24, half a step above a float
      1.5f, 3.0f, 0.1f, 1.0f / 3.0f, -2.0f, L::max(), -L::max(), L::infinity(), -L::infinity(),
      L::quiet_NaN()};
  for (const FloatOp op : kFloatOps) {
    for (const float a : edges) {
      for (const float b : edges) {
        SCOPED_TRACE(testing::Message() << "op " << static_cast<int>(op) << ", " << a << ", " << b);
        EXPECT_TRUE(SameFloat(InFloat(op, a, b), InDoubleRoundedOnce(op, a, b)));
      }
    }
  }
  // Halfway cases round to even: 1 + 2^-24 and (1 + 2^-12)² = 1 + 2^-11 + 2^-24 down;
  // 1 + 1.5·2^-24, past halfway, up.
  EXPECT_EQ(FloatSum(1.0f, 0x1p-24f), 1.0f);
  EXPECT_EQ(FloatSum(1.0f, 0x1.8p-24f), 0x1.000002p0f);
  EXPECT_EQ(FloatProduct(0x1.001p0f, 0x1.001p0f), 0x1.002p0f);
}

// Every pair of exponents (subnormals included), with random signs and significands.
TEST(FloatOps, EqualTheDoubleFormForEveryExponentPair) {
  std::mt19937 random(20261209u);
  int wrong = 0;
  for (std::uint32_t ea = 0; ea < 255; ++ea) {
    for (std::uint32_t eb = 0; eb < 255; ++eb) {
      const float a = FloatFromFields(random(), ea, random());
      const float b = FloatFromFields(random(), eb, random());
      for (const FloatOp op : kFloatOps) {
        if (!SameFloat(InFloat(op, a, b), InDoubleRoundedOnce(op, a, b)) && ++wrong <= 5) {
          ADD_FAILURE() << "op " << static_cast<int>(op) << ": " << std::hexfloat << a << ", " << b;
        }
      }
    }
  }
  EXPECT_EQ(wrong, 0);
}

}  // namespace
}  // namespace quavix
