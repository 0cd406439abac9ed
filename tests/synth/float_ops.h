// The float operations of exact_math.h beside the double form they stand for:
// the same operation in double, rounded once to float.
#pragma once

#include <bit>
#include <cmath>
#include <cstdint>

#include "synth/exact_math.h"

namespace quavix {

enum class FloatOp { kSum, kDifference, kProduct, kQuotient, kRoot };
inline constexpr FloatOp kFloatOps[] = {FloatOp::kSum, FloatOp::kDifference, FloatOp::kProduct,
                                        FloatOp::kQuotient, FloatOp::kRoot};

inline float InFloat(FloatOp op, float a, float b) {
  switch (op) {
    case FloatOp::kSum: return FloatSum(a, b);
    case FloatOp::kDifference: return FloatDifference(a, b);
    case FloatOp::kProduct: return FloatProduct(a, b);
    case FloatOp::kQuotient: return FloatQuotient(a, b);
    case FloatOp::kRoot: return FloatRoot(a);
  }
  return 0.0f;
}

// The double result goes through memory, so that no compiler can narrow
// single(D(a) + D(b)) back into the float operation under test.
inline float InDoubleRoundedOnce(FloatOp op, float a, float b) {
  volatile double wide = 0.0;
  switch (op) {
    case FloatOp::kSum: wide = D(a) + D(b); break;
    case FloatOp::kDifference: wide = D(a) - D(b); break;
    case FloatOp::kProduct: wide = D(a) * D(b); break;
    case FloatOp::kQuotient: wide = D(a) / D(b); break;
    case FloatOp::kRoot: wide = std::sqrt(D(a)); break;
  }
  return Single(wide);
}

// The same bits, or NaN both (a NaN's payload may differ).
inline bool SameFloat(float x, float y) {
  return std::bit_cast<std::uint32_t>(x) == std::bit_cast<std::uint32_t>(y) ||
         (std::isnan(x) && std::isnan(y));
}

// The float with this sign, biased exponent (0 to 255) and significand bits.
inline float FloatFromFields(std::uint32_t sign, std::uint32_t exponent, std::uint32_t significand) {
  return std::bit_cast<float>((sign & 1u) << 31 | (exponent & 0xffu) << 23 | (significand & 0x7fffffu));
}

}  // namespace quavix
