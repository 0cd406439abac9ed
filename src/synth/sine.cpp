// The exact route of Sine: a range reduction with enough bits of 2/π for every
// float, and sin or cos of the reduced argument in double-double arithmetic
// (about 100 bits), rounded once to float. Only integer and plain double
// operations are used; with contraction off they give the same bits anywhere.
#include "synth/sine.h"

#include <array>
#include <bit>
#include <cstdint>

namespace quavix::sine_detail {
namespace {

// ---- Double-double arithmetic: a value hi + lo with |lo| ≤ ulp(hi) / 2. ----

struct Double2 {
  double Hi;
  double Lo;
};

constexpr Double2 QuickTwoSum(double a, double b) {  // |a| ≥ |b|
  const double s = a + b;
  return {s, b - (s - a)};
}

constexpr Double2 TwoSum(double a, double b) {
  const double s = a + b;
  const double bb = s - a;
  return {s, (a - (s - bb)) + (b - bb)};
}

// Splits a into two halves of 26 bits (Dekker), for exact products.
constexpr Double2 Split(double a) {
  const double t = 134217729.0 * a;  // 2^27 + 1
  const double hi = t - (t - a);
  return {hi, a - hi};
}

constexpr Double2 TwoProduct(double a, double b) {
  const double p = a * b;
  const Double2 x = Split(a);
  const Double2 y = Split(b);
  return {p, ((x.Hi * y.Hi - p) + x.Hi * y.Lo + x.Lo * y.Hi) + x.Lo * y.Lo};
}

constexpr Double2 Add(Double2 a, Double2 b) {
  Double2 s = TwoSum(a.Hi, b.Hi);
  const Double2 t = TwoSum(a.Lo, b.Lo);
  s.Lo += t.Hi;
  s = QuickTwoSum(s.Hi, s.Lo);
  s.Lo += t.Lo;
  return QuickTwoSum(s.Hi, s.Lo);
}

constexpr Double2 Multiply(Double2 a, Double2 b) {
  Double2 p = TwoProduct(a.Hi, b.Hi);
  p.Lo += a.Hi * b.Lo + a.Lo * b.Hi;
  return QuickTwoSum(p.Hi, p.Lo);
}

// a / d for a small whole number d (exact in double).
constexpr Double2 DivideBySmall(Double2 a, double d) {
  const double q1 = a.Hi / d;
  const Double2 p = TwoProduct(q1, d);
  const double rest = ((a.Hi - p.Hi) - p.Lo) + a.Lo;
  return QuickTwoSum(q1, rest / d);
}

// 1 − a·r2 / d.
constexpr Double2 OneMinusScaled(Double2 a, Double2 r2, double d) {
  const Double2 t = DivideBySmall(Multiply(a, r2), d);
  return Add({1.0, 0.0}, {-t.Hi, -t.Lo});
}

// sin r = r(1 − r²/(2·3)(1 − r²/(4·5)(1 − …))) and
// cos r = 1 − r²/(1·2)(1 − r²/(3·4)(1 − …)), to r^27 and r^28: for |r| ≤ 0.8
// the first term left out is below 2^-105 of the result.
constexpr int kSeriesSteps = 13;

constexpr Double2 SinSeries(Double2 r) {
  const Double2 r2 = Multiply(r, r);
  Double2 t{1.0, 0.0};
  for (int n = kSeriesSteps; n >= 1; --n) {
    t = OneMinusScaled(t, r2, static_cast<double>((2 * n) * (2 * n + 1)));
  }
  return Multiply(t, r);
}

constexpr Double2 CosSeries(Double2 r) {
  const Double2 r2 = Multiply(r, r);
  Double2 t{1.0, 0.0};
  for (int n = kSeriesSteps + 1; n >= 1; --n) {
    t = OneMinusScaled(t, r2, static_cast<double>((2 * n - 1) * (2 * n)));
  }
  return t;
}

// ---- Range reduction ----------------------------------------------------

// The first 384 bits of the fraction of 2/π = 0.A2F9836E4E44…₁₆, enough for
// the largest float (whose last mantissa bit has weight 2^104) plus a 192-bit
// window.
constexpr std::array<std::uint32_t, 12> kTwoOverPiBits = {
    0xA2F9836E, 0x4E441529, 0xFC2757D1, 0xF534DDC0, 0xDB629599, 0x3C439041,
    0xFE5163AB, 0xDEBBC561, 0xB7246E3A, 0x424DD2E0, 0x06492EEA, 0x09D1921C,
};

constexpr Double2 kPio2 = {0x1.921fb54442d18p+0, 0x1.1a62633145c07p-54};

// 2^e as a double, for -1022 ≤ e ≤ 1023.
constexpr double PowerOfTwo(int e) {
  return std::bit_cast<double>(static_cast<std::uint64_t>(e + 1023) << 52);
}

constexpr double FromBits53(std::uint64_t v) {  // v < 2^53: exact
  return static_cast<double>(static_cast<std::int64_t>(v));
}

struct Reduced {
  std::uint32_t Quadrant;  // |x| = Quadrant·π/2 + R modulo 2π
  Double2 R;               // |R| ≤ π/4
};

// Exact reduction of a finite non-negative float a = m·2^e (m < 2^24):
// a·2/π modulo 4 from m times a 192-bit window of the bits of 2/π. Bits before
// the window only add multiples of 4; bits after it change the result by less
// than 2^-166, far below the smallest |R| any float has (about 2^-30).
Reduced ReduceExactly(std::uint32_t bits) {
  const float a = std::bit_cast<float>(bits);
  if (a < 0.78f) {
    return {0, {static_cast<double>(a), 0.0}};
  }
  const std::uint32_t exponentField = bits >> 23;  // at least 126 here
  const std::uint64_t m = (bits & 0x7FFFFFu) | 0x800000u;
  const int e = static_cast<int>(exponentField) - 150;

  // Window of bits i0 .. i0+191 (bit 1 is the first after the point), so
  // that a·2/π ≡ m·W·2^(e−i0−191): the unit of bit 190 of m·W is 1 when
  // i0 = e − 1; for e < 2 the product is shifted right by 2 − e instead.
  const int i0 = e - 1 > 1 ? e - 1 : 1;
  const int shift = e < 2 ? 2 - e : 0;  // at most 26 for a ≥ 0.78
  const int word = (i0 - 1) / 32;
  const int bit = (i0 - 1) % 32;
  std::array<std::uint32_t, 6> window{};
  for (int j = 0; j < 6; ++j) {
    const std::uint32_t high = kTwoOverPiBits[static_cast<std::size_t>(word + j)];
    const std::uint32_t low = kTwoOverPiBits[static_cast<std::size_t>(word + j + 1)];
    window[static_cast<std::size_t>(j)] = bit == 0 ? high : (high << bit) | (low >> (32 - bit));
  }
  // product = m·W in 7 limbs of 32 bits, most significant first.
  std::array<std::uint32_t, 7> product{};
  std::uint64_t carry = 0;
  for (int j = 5; j >= 0; --j) {
    const std::uint64_t t = m * window[static_cast<std::size_t>(j)] + carry;
    product[static_cast<std::size_t>(j + 1)] = static_cast<std::uint32_t>(t);
    carry = t >> 32;
  }
  product[0] = static_cast<std::uint32_t>(carry);
  // As three 64-bit words below bit 192 (product[0] holds multiples of 4),
  // shifted right by `shift`.
  std::uint64_t w0 = (std::uint64_t{product[1]} << 32) | product[2];
  std::uint64_t w1 = (std::uint64_t{product[3]} << 32) | product[4];
  std::uint64_t w2 = (std::uint64_t{product[5]} << 32) | product[6];
  if (shift > 0) {
    w2 = (w2 >> shift) | (w1 << (64 - shift));
    w1 = (w1 >> shift) | (w0 << (64 - shift));
    w0 = (w0 >> shift) | (std::uint64_t{product[0]} << (64 - shift));
  }
  // Bits 191 and 190 are the quadrant, the 190 below the fraction. A fraction
  // of one half or more rounds the quadrant up and leaves fraction − 1.
  std::uint32_t quadrant = static_cast<std::uint32_t>(w0 >> 62);
  w0 &= 0x3FFFFFFFFFFFFFFFull;
  bool negative = false;
  if ((w0 >> 61) != 0) {
    quadrant += 1;
    negative = true;
    // 2^190 − fraction: two's complement of the three words, kept to 190 bits.
    w2 = ~w2 + 1;
    w1 = ~w1 + (w2 == 0 ? 1 : 0);
    w0 = (~w0 + (w2 == 0 && w1 == 0 ? 1 : 0)) & 0x3FFFFFFFFFFFFFFFull;
  }
  // Normalise so that the leading one is bit 63 of w0; the fraction is then
  // (w0 + w1·2^-64)·2^(-62−z) to 2^-128 relative.
  int z = 0;
  if (w0 == 0) {
    w0 = w1;
    w1 = w2;
    w2 = 0;
    z += 64;
  }
  if (w0 == 0) {
    return {quadrant & 3u, {0.0, 0.0}};
  }
  const int lead = std::countl_zero(w0);
  if (lead > 0) {
    w0 = (w0 << lead) | (w1 >> (64 - lead));
    w1 = (w1 << lead) | (w2 >> (64 - lead));
  }
  z += lead;
  const double hi = FromBits53(w0 >> 11) * PowerOfTwo(11 - 62 - z);
  const double lo = FromBits53(((w0 & 0x7FFu) << 42) | (w1 >> 22)) * PowerOfTwo(-42 - 62 - z);
  Double2 r = Multiply(QuickTwoSum(hi, lo), kPio2);
  if (negative) {
    r = {-r.Hi, -r.Lo};
  }
  return {quadrant & 3u, r};
}

// Polynomials of sin and cos on |r| ≤ π/4 + a little: their Taylor terms up to
// r^15 and r^16, whose remainders stay below 2^-53 relative there.
double SinOfReduced(double r) {
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

double CosOfReduced(double r) {
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
double SinOfQuadrant(std::uint32_t q, double r) {
  const double v = (q & 1u) != 0 ? CosOfReduced(r) : SinOfReduced(r);
  return (q & 2u) != 0 ? -v : v;
}

// sin and cos of j·π/512, computed in double-double when the module is
// compiled: a quarter circle from the series, the rest by symmetry.
constexpr std::array<SinCos, kTableSteps> MakeSineTable() {
  constexpr int kQuarter = static_cast<int>(kTableSteps / 4);
  std::array<double, kQuarter + 1> quarter{};  // sin(i·π/512), i = 0..256
  for (int i = 0; i <= kQuarter; ++i) {
    const bool low = i <= kQuarter / 2;
    const double k = static_cast<double>(low ? i : kQuarter - i);
    Double2 angle = TwoProduct(k, kPio2.Hi / kQuarter);
    angle = QuickTwoSum(angle.Hi, angle.Lo + k * (kPio2.Lo / kQuarter));
    quarter[static_cast<std::size_t>(i)] = low ? SinSeries(angle).Hi : CosSeries(angle).Hi;
  }
  const auto sinOf = [&quarter](int j) {
    const int i = j % kQuarter;
    switch ((j / kQuarter) % 4) {
      case 0: return quarter[static_cast<std::size_t>(i)];
      case 1: return quarter[static_cast<std::size_t>(kQuarter - i)];
      case 2: return -quarter[static_cast<std::size_t>(i)];
      default: return -quarter[static_cast<std::size_t>(kQuarter - i)];
    }
  };
  std::array<SinCos, kTableSteps> table{};
  for (int j = 0; j < static_cast<int>(kTableSteps); ++j) {
    table[static_cast<std::size_t>(j)] = {sinOf(j), sinOf(j + kQuarter)};
  }
  return table;
}

}  // namespace

constexpr std::array<SinCos, kTableSteps> kSineTable = MakeSineTable();

namespace {

// v = hi + lo rounded to the nearest float.
float RoundToFloat(Double2 v) {
  const float f = static_cast<float>(v.Hi);
  const double fd = static_cast<double>(f);
  const double past = (v.Hi - fd) + v.Lo;  // v − f, exact sign
  if (past == 0.0 || f == 0.0f) {
    return f;
  }
  // The float next to f on the side of v, and the midpoint between the two.
  const std::uint32_t fBits = std::bit_cast<std::uint32_t>(f);
  const bool away = (past > 0.0) == (f > 0.0f);
  const float g = std::bit_cast<float>(away ? fBits + 1 : fBits - 1);
  const double midpoint = (fd + static_cast<double>(g)) * 0.5;
  const double beyond = (v.Hi - midpoint) + v.Lo;  // v − midpoint
  return (past > 0.0 ? beyond > 0.0 : beyond < 0.0) ? g : f;
}

}  // namespace

float SineOfMagnitude(std::uint32_t magnitudeBits) {
  const Reduced reduced = ReduceExactly(magnitudeBits);
  if (magnitudeBits >= kFastLimitBits) {
    float result;
    if (RoundsSafely(SinOfQuadrant(reduced.Quadrant, reduced.R.Hi), result)) {
      return result;
    }
  }
  Double2 v = (reduced.Quadrant & 1u) != 0 ? CosSeries(reduced.R) : SinSeries(reduced.R);
  if ((reduced.Quadrant & 2u) != 0) {
    v = {-v.Hi, -v.Lo};
  }
  return RoundToFloat(v);
}

}  // namespace quavix::sine_detail
