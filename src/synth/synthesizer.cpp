#include "synth/synthesizer.h"

#include <cmath>
#include <cstdlib>

#include "synth/exact_math.h"
#include "synth/oscillator_period.h"
#include "synth/sound_length.h"

namespace quavix {
namespace {

// Single-precision constants of the restart, used at double precision.
constexpr double kLowPassCoeffScale = static_cast<double>(0.1f);
constexpr double kLowPassDampingOffset = static_cast<double>(0.01f);
constexpr double kLowPassSweepScale = static_cast<double>(0.0001f);
constexpr double kHighPassCoeffScale = static_cast<double>(0.1f);
constexpr double kHighPassSweepScale = static_cast<double>(0.0003f);
constexpr double kDutySweepScale = static_cast<double>(0.00005f);
constexpr double kVibratoStepScale = static_cast<double>(0.01f);
// The low-pass damping's upper clamp, compared and stored as a float.
constexpr float kLowPassDampingMax = 0.8f;

}  // namespace

void FillNoise(Synthesizer& s, RandomSource& random) {
  for (float& n : s.NoiseTable) {
    n = Single(D(RandomFraction(random, 2.0f)) - 1.0);
  }
}

void Init(Synthesizer& synth, RandomSource& random) {
  synth.Params = DefaultParams();
  Restart(synth, false, random);
}

void Reset(Synthesizer& synth) {
  synth.Params = DefaultParams();
  synth.Playing = false;
}

void Restart(Synthesizer& s, bool repeat, RandomSource& random) {
  const SynthParams& p = s.Params;
  if (!repeat) {
    s.Phase = 0;
  }
  s.PeriodExact = ExactPeriod(p.StartFreq);
  s.PeriodMax = ExactPeriod(p.MinFreq);
  s.SlideFactor = 1.0 - Cube(D(p.Slide)) * 0.01;
  s.SlideStep = Cube(D(p.DeltaSlide)) * -0.000001;
  s.Duty = Single(0.5 - D(p.SquareDuty) * 0.5);
  s.DutyStep = Single(-D(p.DutySweep) * kDutySweepScale);
  if (p.ChangeAmount >= 0.0f) {
    s.ChangeFactor = 1.0 - Square(D(p.ChangeAmount)) * 0.9;
  } else {
    s.ChangeFactor = 1.0 + Square(D(p.ChangeAmount)) * 10.0;
  }
  s.ChangeTime = 0;
  s.ChangeLimit = SpeedSamples(p.ChangeSpeed);
  if (p.ChangeSpeed == 1.0f) {
    s.ChangeLimit = 0;
  }
  if (repeat) {
    return;
  }

  s.LpPos = 0.0f;
  s.LpVel = 0.0f;
  s.LpCoeff = Single(D(Single(Cube(D(p.LPCutoff)))) * kLowPassCoeffScale);
  s.LpCoeffFactor = Single(1.0 + D(p.LPCutoffSweep) * kLowPassSweepScale);
  s.LpDamping = Single(5.0 / (D(Single(Square(D(p.LPResonance)))) * 20.0 + 1.0) *
                       (D(s.LpCoeff) + kLowPassDampingOffset));
  if (s.LpDamping > kLowPassDampingMax) {
    s.LpDamping = kLowPassDampingMax;
  }
  s.HpPos = 0.0f;
  s.HpCoeff = Single(D(Single(Square(D(p.HPCutoff)))) * kHighPassCoeffScale);
  s.HpCoeffFactor = Single(1.0 + D(p.HPCutoffSweep) * kHighPassSweepScale);
  s.VibPhase = 0.0f;
  s.VibStep = Single(D(Single(Square(D(p.VibSpeed)))) * kVibratoStepScale);
  s.VibAmp = Single(D(p.VibDepth) * 0.5);
  s.EnvStage = kAttackStage;
  s.EnvTime = 0;
  s.EnvVolume = 0.0f;
  s.EnvLength = EnvelopeStageLengths(p);
  s.PhaserPos = Single(D(Single(Square(D(p.PhaserOffset)))) * 1020.0);
  if (p.PhaserOffset < 0.0f) {
    s.PhaserPos = -s.PhaserPos;
  }
  s.PhaserStep = Single(Square(D(p.PhaserSweep)));
  if (p.PhaserSweep < 0.0f) {
    s.PhaserStep = -s.PhaserStep;
  }
  s.PhaserIndex = 0;
  s.PhaserBuffer.fill(0.0f);
  FillNoise(s, random);
  s.RepeatTime = 0;
  s.RepeatLimit = SpeedSamples(p.RepeatSpeed);
  if (p.RepeatSpeed == 0.0f) {
    s.RepeatLimit = 0;
  }
}

}  // namespace quavix
