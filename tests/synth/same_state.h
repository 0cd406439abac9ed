// Whether two synthesizers hold the same state: every field bit for bit, the
// sine cache pointer aside, except that any two NaNs count as the same. When
// both operands of an operation are NaNs, which one's payload the result
// carries depends on the order in which the compiler puts the operands of a
// commutative operation (GCC and clang differ on the high-pass sweep), so the
// single-sound path's own payloads differ between builds; the samples never
// depend on them.
#pragma once

#include <array>
#include <cmath>
#include <cstring>
#include <type_traits>

#include "synth/synthesizer.h"

namespace quavix {

template <class T>
bool SameBits(const T& a, const T& b) {
  if constexpr (std::is_floating_point_v<T>) {
    return std::memcmp(&a, &b, sizeof(T)) == 0 || (std::isnan(a) && std::isnan(b));
  } else {
    return std::memcmp(&a, &b, sizeof(T)) == 0;
  }
}

template <class T, std::size_t N>
bool SameBits(const std::array<T, N>& a, const std::array<T, N>& b) {
  for (std::size_t i = 0; i < N; ++i) {
    if (!SameBits(a[i], b[i])) return false;
  }
  return true;
}

inline bool SameSynthesisState(const Synthesizer& a, const Synthesizer& b) {
  return SameBits(a.Params, b.Params) && a.Playing == b.Playing && a.Phase == b.Phase &&
         SameBits(a.PeriodExact, b.PeriodExact) && SameBits(a.PeriodMax, b.PeriodMax) &&
         SameBits(a.SlideFactor, b.SlideFactor) && SameBits(a.SlideStep, b.SlideStep) &&
         a.Period == b.Period && SameBits(a.Duty, b.Duty) && SameBits(a.DutyStep, b.DutyStep) &&
         a.EnvStage == b.EnvStage && a.EnvTime == b.EnvTime && a.EnvLength == b.EnvLength &&
         SameBits(a.EnvVolume, b.EnvVolume) && SameBits(a.PhaserPos, b.PhaserPos) &&
         SameBits(a.PhaserStep, b.PhaserStep) && a.PhaserDelay == b.PhaserDelay &&
         SameBits(a.PhaserBuffer, b.PhaserBuffer) && a.PhaserIndex == b.PhaserIndex &&
         SameBits(a.NoiseTable, b.NoiseTable) && SameBits(a.LpPos, b.LpPos) &&
         SameBits(a.LpVel, b.LpVel) && SameBits(a.LpCoeff, b.LpCoeff) &&
         SameBits(a.LpCoeffFactor, b.LpCoeffFactor) && SameBits(a.LpDamping, b.LpDamping) &&
         SameBits(a.HpPos, b.HpPos) && SameBits(a.HpCoeff, b.HpCoeff) &&
         SameBits(a.HpCoeffFactor, b.HpCoeffFactor) && SameBits(a.VibPhase, b.VibPhase) &&
         SameBits(a.VibStep, b.VibStep) && SameBits(a.VibAmp, b.VibAmp) &&
         a.RepeatTime == b.RepeatTime && a.RepeatLimit == b.RepeatLimit &&
         a.ChangeTime == b.ChangeTime && a.ChangeLimit == b.ChangeLimit &&
         SameBits(a.ChangeFactor, b.ChangeFactor) && a.SampleCount == b.SampleCount;
}

}  // namespace quavix
