// Whether two synthesizers hold the same state: every field bit for bit, the sine cache pointer
// aside, except that any two NaNs count as the same. When both operands of an operation are NaNs,
// which one's payload the result carries depends on the order in which the compiler puts the
// operands of a commutative operation (GCC and clang differ on the high-pass sweep), so the
// single-sound path's own payloads differ between builds; the samples never depend on them.
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
    if (std::isnan(a) && std::isnan(b)) return true;
  }
  return std::memcmp(&a, &b, sizeof(T)) == 0;
}

template <class T, std::size_t N>
bool SameBits(const std::array<T, N>& a, const std::array<T, N>& b) {
  for (std::size_t i = 0; i < N; ++i) {
    if (!SameBits(a[i], b[i])) return false;
  }
  return true;
}

inline bool SameSynthesisState(const Synthesizer& a, const Synthesizer& b) {
  using S = Synthesizer;
  const auto same = [&](auto... field) { return (SameBits(a.*field, b.*field) && ...); };
  return same(&S::Params, &S::Playing, &S::Phase, &S::PeriodExact, &S::PeriodMax, &S::SlideFactor,
              &S::SlideStep, &S::Period, &S::Duty, &S::DutyStep, &S::EnvStage, &S::EnvTime,
              &S::EnvLength, &S::EnvVolume, &S::PhaserPos, &S::PhaserStep, &S::PhaserDelay,
              &S::PhaserBuffer, &S::PhaserIndex, &S::NoiseTable, &S::LpPos, &S::LpVel,
              &S::LpCoeff, &S::LpCoeffFactor, &S::LpDamping, &S::HpPos, &S::HpCoeff,
              &S::HpCoeffFactor, &S::VibPhase, &S::VibStep, &S::VibAmp, &S::RepeatTime,
              &S::RepeatLimit, &S::ChangeTime, &S::ChangeLimit, &S::ChangeFactor, &S::SampleCount);
}

}  // namespace quavix
