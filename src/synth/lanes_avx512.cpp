// The lane renderer with AVX-512: eight sounds in the eight doubles of a
// zmm register. Compiled for AVX-512 within this file only; the dispatcher
// calls it where the processor has it.
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
#pragma clang attribute push(__attribute__((target("avx512f,avx2"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx512f,avx2")
// GCC 12's AVX-512 intrinsics start some results from a deliberately
// undefined register, which its own warnings on uninitialized values then report.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"
#endif

namespace quavix::lanes_avx512 {

struct Zmm {
  static constexpr int W = 8;
  static constexpr int kLog2W = 3;
  using Vd = __m512d;
  using Vi = __m256i;  // eight int32
  using Mask = __mmask8;

  static Vd Set(double v) { return _mm512_set1_pd(v); }
  static Vd Load(const double* p) { return _mm512_load_pd(p); }
  static void Store(double* p, Vd v) { _mm512_store_pd(p, v); }
  static Vd Add(Vd a, Vd b) { return _mm512_add_pd(a, b); }
  static Vd Sub(Vd a, Vd b) { return _mm512_sub_pd(a, b); }
  static Vd Mul(Vd a, Vd b) { return _mm512_mul_pd(a, b); }
  static Vd Div(Vd a, Vd b) { return _mm512_div_pd(a, b); }
  // single(x): to float and back, two conversion instructions.
  static Vd Round(Vd v) { return _mm512_cvtps_pd(_mm512_cvtpd_ps(v)); }
  static Vd FromFloats(const float* p) { return _mm512_cvtps_pd(_mm256_load_ps(p)); }
  // For doubles that are floats exactly.
  static void StoreFloats(float* p, Vd v) { _mm256_store_ps(p, _mm512_cvtpd_ps(v)); }
  static Vd Trunc(Vd v) { return _mm512_roundscale_pd(v, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC); }

  // Ordered comparisons: false where either side is NaN, as in C++.
  static Mask Less(Vd a, Vd b) { return _mm512_cmp_pd_mask(a, b, _CMP_LT_OQ); }
  static Mask Greater(Vd a, Vd b) { return _mm512_cmp_pd_mask(a, b, _CMP_GT_OQ); }
  static Mask GreaterOrEqual(Vd a, Vd b) { return _mm512_cmp_pd_mask(a, b, _CMP_GE_OQ); }
  static Mask Equal(Vd a, Vd b) { return _mm512_cmp_pd_mask(a, b, _CMP_EQ_OQ); }
  static Mask IsNan(Vd v) { return _mm512_cmp_pd_mask(v, v, _CMP_UNORD_Q); }
  static Mask And(Mask a, Mask b) { return static_cast<Mask>(a & b); }
  // a > b ? a : b and a < b ? a : b, the instructions' own definitions: b
  // where either is NaN or both are zeros.
  static Vd Max(Vd a, Vd b) { return _mm512_max_pd(a, b); }
  static Vd Min(Vd a, Vd b) { return _mm512_min_pd(a, b); }
  static Mask MaskOf(unsigned bits) { return static_cast<Mask>(bits); }
  static unsigned Bits(Mask m) { return m; }
  // Where the mask is set a, elsewhere b.
  static Vd Select(Mask m, Vd a, Vd b) { return _mm512_mask_blend_pd(m, b, a); }
  // Lanes whose double result could round to either of two floats:
  // sine_detail::RoundsSafelyAboveFloatMin false.
  static Mask NearFloatBoundary(Vd y) {
    const __m512i below = _mm512_and_si512(_mm512_castpd_si512(y), _mm512_set1_epi64(0x1FFFFFFF));
    const __m512i from = _mm512_sub_epi64(below, _mm512_set1_epi64(0x10000000 - 128));
    return _mm512_cmple_epu64_mask(from, _mm512_set1_epi64(256));
  }

  // Truncation toward zero; NaN and values beyond the int32 range give
  // INT32_MIN, the instruction's defined result, exactly as TruncToInt32.
  static Vi TruncToI32(Vd v) { return _mm512_cvttpd_epi32(v); }
  static Vd FromI32(Vi v) { return _mm512_cvtepi32_pd(v); }
  static Vi LoadI(const std::int32_t* p) {
    return _mm256_load_si256(reinterpret_cast<const __m256i*>(p));
  }
  static void StoreI(std::int32_t* p, Vi v) { _mm256_store_si256(reinterpret_cast<__m256i*>(p), v); }
  static Vi SetI(std::int32_t v) { return _mm256_set1_epi32(v); }
  static Vi AddI(Vi a, Vi b) { return _mm256_add_epi32(a, b); }
  static Vi SubI(Vi a, Vi b) { return _mm256_sub_epi32(a, b); }
  static Vi AndI(Vi a, Vi b) { return _mm256_and_si256(a, b); }
  static Vi MaxI(Vi a, Vi b) { return _mm256_max_epi32(a, b); }
  static Vi ShiftLeft(Vi v, int bits) { return _mm256_sll_epi32(v, _mm_cvtsi32_si128(bits)); }
  static Vi LaneIndex() { return _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7); }
  static Vd GatherDoubles(const double* base, Vi at) { return _mm512_i32gather_pd(at, base, 8); }
  static Vd GatherFloats(const float* base, Vi at) {
    return _mm512_cvtps_pd(_mm256_i32gather_ps(base, at, 4));
  }
};

#include "synth/internal/lane_pairs.inc"
using Isa = Twice<Zmm>;
#include "synth/internal/lane_kernel.inc"

}  // namespace quavix::lanes_avx512

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC diagnostic pop
#pragma GCC pop_options
#endif

namespace quavix::lanes {
void RunAvx512(SynthesisJob* jobs, std::size_t count) { lanes_avx512::Run(jobs, count, 2); }
}  // namespace quavix::lanes

#endif
