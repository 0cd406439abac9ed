// The lane renderer with AVX2: four sounds in the four doubles of a ymm
// register. Compiled for AVX2 within this file only; the dispatcher calls it
// where the processor has it.
#include "synth/lanes.h"

#if QUAVIX_X86_LANES
#include <immintrin.h>

#include <cstddef>
#include <cstdint>
#include <memory>

#include "synth/exact_math.h"
#include "synth/internal/synthesis_steps.h"
#include "synth/sine.h"
#include "synth/synthesizer.h"

#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2")
// GCC 12's gather intrinsics start their results from a deliberately
// undefined register, which its own warnings on uninitialized values then report.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"
#endif

namespace quavix::lanes_avx2 {

struct Ymm {
  static constexpr int W = 4;
  static constexpr int kLog2W = 2;
  using Vd = __m256d;
  using Vi = __m128i;  // four int32
  using Mask = __m256d;  // all ones or all zeros per lane

  static Vd Set(double v) { return _mm256_set1_pd(v); }
  static Vd Load(const double* p) { return _mm256_load_pd(p); }
  static void Store(double* p, Vd v) { _mm256_store_pd(p, v); }
  static Vd Add(Vd a, Vd b) { return _mm256_add_pd(a, b); }
  static Vd Sub(Vd a, Vd b) { return _mm256_sub_pd(a, b); }
  static Vd Mul(Vd a, Vd b) { return _mm256_mul_pd(a, b); }
  static Vd Div(Vd a, Vd b) { return _mm256_div_pd(a, b); }
  // single(x): to float and back, two conversion instructions.
  static Vd Round(Vd v) { return _mm256_cvtps_pd(_mm256_cvtpd_ps(v)); }
  static Vd FromFloats(const float* p) { return _mm256_cvtps_pd(_mm_load_ps(p)); }
  // For doubles that are floats exactly.
  static void StoreFloats(float* p, Vd v) { _mm_store_ps(p, _mm256_cvtpd_ps(v)); }
  static Vd Trunc(Vd v) { return _mm256_round_pd(v, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC); }

  // Ordered comparisons: false where either side is NaN, as in C++.
  static Mask Less(Vd a, Vd b) { return _mm256_cmp_pd(a, b, _CMP_LT_OQ); }
  static Mask Greater(Vd a, Vd b) { return _mm256_cmp_pd(a, b, _CMP_GT_OQ); }
  static Mask GreaterOrEqual(Vd a, Vd b) { return _mm256_cmp_pd(a, b, _CMP_GE_OQ); }
  static Mask Equal(Vd a, Vd b) { return _mm256_cmp_pd(a, b, _CMP_EQ_OQ); }
  static Mask IsNan(Vd v) { return _mm256_cmp_pd(v, v, _CMP_UNORD_Q); }
  static Mask And(Mask a, Mask b) { return _mm256_and_pd(a, b); }
  // a > b ? a : b and a < b ? a : b, the instructions' own definitions: b
  // where either is NaN or both are zeros.
  static Vd Max(Vd a, Vd b) { return _mm256_max_pd(a, b); }
  static Vd Min(Vd a, Vd b) { return _mm256_min_pd(a, b); }
  static Mask MaskOf(unsigned bits) {
    const __m256i lane = _mm256_setr_epi64x(1, 2, 4, 8);
    const __m256i set = _mm256_and_si256(_mm256_set1_epi64x(bits), lane);
    return _mm256_castsi256_pd(_mm256_cmpeq_epi64(set, lane));
  }
  static unsigned Bits(Mask m) { return static_cast<unsigned>(_mm256_movemask_pd(m)); }
  // Where the mask is set a, elsewhere b.
  static Vd Select(Mask m, Vd a, Vd b) { return _mm256_blendv_pd(b, a, m); }
  // Lanes whose double result could round to either of two floats:
  // sine_detail::RoundsSafelyAboveFloatMin false, that is the 29 bits below
  // a float's mantissa within 2^28 - 128 to 2^28 + 128.
  static Mask NearFloatBoundary(Vd y) {
    const __m256i below = _mm256_and_si256(_mm256_castpd_si256(y), _mm256_set1_epi64x(0x1FFFFFFF));
    const __m256i under = _mm256_cmpgt_epi64(_mm256_set1_epi64x(0x10000000 - 128), below);
    const __m256i over = _mm256_cmpgt_epi64(below, _mm256_set1_epi64x(0x10000000 + 128));
    return _mm256_castsi256_pd(
        _mm256_xor_si256(_mm256_or_si256(under, over), _mm256_set1_epi64x(-1)));
  }

  // Truncation toward zero; NaN and values beyond the int32 range give
  // INT32_MIN, the instruction's defined result, exactly as TruncToInt32.
  static Vi TruncToI32(Vd v) { return _mm256_cvttpd_epi32(v); }
  static Vd FromI32(Vi v) { return _mm256_cvtepi32_pd(v); }
  static Vi LoadI(const std::int32_t* p) {
    return _mm_load_si128(reinterpret_cast<const __m128i*>(p));
  }
  static void StoreI(std::int32_t* p, Vi v) { _mm_store_si128(reinterpret_cast<__m128i*>(p), v); }
  static Vi SetI(std::int32_t v) { return _mm_set1_epi32(v); }
  static Vi AddI(Vi a, Vi b) { return _mm_add_epi32(a, b); }
  static Vi SubI(Vi a, Vi b) { return _mm_sub_epi32(a, b); }
  static Vi AndI(Vi a, Vi b) { return _mm_and_si128(a, b); }
  static Vi MaxI(Vi a, Vi b) { return _mm_max_epi32(a, b); }
  static Vi ShiftLeft(Vi v, int bits) { return _mm_sll_epi32(v, _mm_cvtsi32_si128(bits)); }
  static Vi LaneIndex() { return _mm_setr_epi32(0, 1, 2, 3); }
  static Vd GatherDoubles(const double* base, Vi at) { return _mm256_i32gather_pd(base, at, 8); }
  static Vd GatherFloats(const float* base, Vi at) {
    return _mm256_cvtps_pd(_mm_i32gather_ps(base, at, 4));
  }
};

#include "synth/internal/lane_pairs.inc"
using Isa = Twice<Ymm>;
#include "synth/internal/lane_kernel.inc"

}  // namespace quavix::lanes_avx2

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC diagnostic pop
#pragma GCC pop_options
#endif

namespace quavix::lanes {
void RunAvx2(SynthesisJob* jobs, std::size_t count) { lanes_avx2::Run(jobs, count, 2); }
}  // namespace quavix::lanes

#endif
