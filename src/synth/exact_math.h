// Helpers for arithmetic whose every rounding is fixed.
//
// Formulas are evaluated in double from float operands and rounded to float
// exactly where a value is stored. These helpers make the roundings and the
// powers explicit so that every build computes the same bits.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

namespace quavix {

// Widens a float operand into the double arithmetic of a formula. Short on
// purpose: formulas read D(a) * D(b) much as they are written.
constexpr double D(float x) { return static_cast<double>(x); }

// Whole numbers enter the formulas as floats: the float nearest to n (n
// itself up to 2^24). Written out so that the rounding shows; D takes no
// integers, so that none is converted unseen.
constexpr float FloatOf(std::int32_t n) { return static_cast<float>(n); }
double D(std::int32_t) = delete;

// Rounds a double to the nearest float: the single(x) of the formulas.
constexpr float Single(double x) { return static_cast<float>(x); }

// One operation of two floats, done in float: exactly Single(D(a) op D(b)).
// Double carries 53 significand bits, at least 2·24 + 2, so the double result
// of a single +, −, ×, ÷ or √ of floats rounds once more to the same float as
// the exact result does (a second rounding after such an operation is
// innocuous). So these are explicit roundings, written as float operations.
// It does not hold for a chain, single(a·b + c), nor for an operand that is
// not a float. NaN results may differ in payload from the double form's; no
// sample depends on a payload: a NaN only ever propagates, fails comparisons
// or is written as 0.
constexpr float FloatSum(float a, float b) { return a + b; }
constexpr float FloatDifference(float a, float b) { return a - b; }
constexpr float FloatProduct(float a, float b) { return a * b; }
constexpr float FloatQuotient(float a, float b) { return a / b; }
inline float FloatRoot(float a) { return std::sqrt(a); }

// x·x in double. For a float x the product is exact before the final rounding,
// so single(Square(x)) is the correctly rounded power on every platform.
constexpr double Square(double x) { return x * x; }

// (x·x)·x in double: one exact product, one rounding; keeps the sign of x.
constexpr double Cube(double x) { return (x * x) * x; }

// Truncates toward zero into int32. NaN and values outside the int32 range give
// -2147483648; a plain cast would be undefined behaviour for them.
constexpr std::int32_t TruncToInt32(double x) {
  if (x > -2147483649.0 && x < 2147483648.0) {
    return static_cast<std::int32_t>(x);
  }
  return std::numeric_limits<std::int32_t>::min();
}

}  // namespace quavix
