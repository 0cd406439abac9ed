// Whether two synthesizers hold the same state: every field, bit for bit
// (NaNs included), the sine cache pointer aside.
#pragma once

#include <cstring>

#include "synth/synthesizer.h"

namespace quavix {

template <class T>
bool SameBits(const T& a, const T& b) {
  return std::memcmp(&a, &b, sizeof(T)) == 0;
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
