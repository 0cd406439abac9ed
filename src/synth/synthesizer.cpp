#include "synth/synthesizer.h"

#include <cmath>
#include <cstdlib>

#include "synth/exact_math.h"

namespace quavix {
namespace {

// Single-precision constants, used at double precision.
constexpr double k0_1f = static_cast<double>(0.1f);
constexpr double k0_01f = static_cast<double>(0.01f);
constexpr double k0_0001f = static_cast<double>(0.0001f);
constexpr double k0_0003f = static_cast<double>(0.0003f);
constexpr double k0_00005f = static_cast<double>(0.00005f);
constexpr float k0_00001f = 0.00001f;
constexpr float k0_1fValue = 0.1f;
constexpr float k0_8f = 0.8f;
constexpr double kPiF = static_cast<double>(3.14159265358979323846f);

double D(float x) { return static_cast<double>(x); }

void FillNoise(Synthesizer& s, RandomSource& random) {
  for (float& n : s.NoiseTable) {
    n = Single(D(RandomFraction(random, 2.0f)) - 1.0);
  }
}

// Number of samples between two events (repeat or change) for a speed value:
// trunc(single(single(1 - speed)^2) * 20000).
std::int32_t SpeedToSamples(float speed) {
  const float inverse = Single(1.0 - D(speed));
  const float squared = Single(Square(D(inverse)));
  return TruncToInt32(D(squared) * 20000.0);
}

std::int32_t EnvelopeLength(float time) { return TruncToInt32(D(time) * D(time) * 100000.0); }

}  // namespace

Synthesizer::Synthesizer(RandomSource& random) : Params(DefaultParams()) {
  Restart(*this, false, random);
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
  s.PeriodExact = 100.0 / (Square(D(p.StartFreq)) + 0.001);
  s.PeriodMax = 100.0 / (Square(D(p.MinFreq)) + 0.001);
  s.SlideFactor = 1.0 - Cube(D(p.Slide)) * 0.01;
  s.SlideStep = Cube(D(p.DeltaSlide)) * -0.000001;
  s.Duty = Single(0.5 - D(p.SquareDuty) * 0.5);
  s.DutyStep = Single(-D(p.DutySweep) * k0_00005f);
  if (p.ChangeAmount >= 0.0f) {
    s.ChangeFactor = 1.0 - Square(D(p.ChangeAmount)) * 0.9;
  } else {
    s.ChangeFactor = 1.0 + Square(D(p.ChangeAmount)) * 10.0;
  }
  s.ChangeTime = 0;
  s.ChangeLimit = SpeedToSamples(p.ChangeSpeed);
  if (p.ChangeSpeed == 1.0f) {
    s.ChangeLimit = 0;
  }
  if (repeat) {
    return;
  }

  s.LpPos = 0.0f;
  s.LpVel = 0.0f;
  s.LpCoeff = Single(D(Single(Cube(D(p.LPCutoff)))) * k0_1f);
  s.LpCoeffFactor = Single(1.0 + D(p.LPCutoffSweep) * k0_0001f);
  s.LpDamping = Single(5.0 / (D(Single(Square(D(p.LPResonance)))) * 20.0 + 1.0) *
                       (D(s.LpCoeff) + k0_01f));
  if (s.LpDamping > k0_8f) {
    s.LpDamping = k0_8f;
  }
  s.HpPos = 0.0f;
  s.HpCoeff = Single(D(Single(Square(D(p.HPCutoff)))) * k0_1f);
  s.HpCoeffFactor = Single(1.0 + D(p.HPCutoffSweep) * k0_0003f);
  s.VibPhase = 0.0f;
  s.VibStep = Single(D(Single(Square(D(p.VibSpeed)))) * k0_01f);
  s.VibAmp = Single(D(p.VibDepth) * 0.5);
  s.EnvStage = 0;
  s.EnvTime = 0;
  s.EnvVolume = 0.0f;
  s.EnvLength = {EnvelopeLength(p.AttackTime), EnvelopeLength(p.SustainTime),
                 EnvelopeLength(p.DecayTime)};
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
  s.RepeatLimit = SpeedToSamples(p.RepeatSpeed);
  if (p.RepeatSpeed == 0.0f) {
    s.RepeatLimit = 0;
  }
}

namespace {

// The per-sample work before the subsamples: repeat, change, slide, vibrato,
// period, duty, envelope, phaser delay and high-pass coefficient.
void SampleStep(Synthesizer& s, RandomSource& random) {
  const SynthParams& p = s.Params;

  s.RepeatTime += 1;
  if (s.RepeatLimit != 0 && s.RepeatTime >= s.RepeatLimit) {
    s.RepeatTime = 0;
    Restart(s, true, random);
  }

  s.ChangeTime += 1;
  if (s.ChangeLimit != 0 && s.ChangeTime >= s.ChangeLimit) {
    s.ChangeLimit = 0;
    s.PeriodExact = s.ChangeFactor * s.PeriodExact;
  }

  s.SlideFactor = s.SlideStep + s.SlideFactor;
  s.PeriodExact = s.SlideFactor * s.PeriodExact;
  if (s.PeriodExact > s.PeriodMax) {
    s.PeriodExact = s.PeriodMax;
    if (p.MinFreq > 0.0f) {
      s.Playing = false;
    }
  }

  float period = Single(s.PeriodExact);
  if (s.VibAmp > 0.0f) {
    s.VibPhase = Single(D(s.VibStep) + D(s.VibPhase));
    const float wobble = Single(std::sin(D(s.VibPhase)));
    period = Single((1.0 + D(wobble) * D(s.VibAmp)) * s.PeriodExact);
  }
  s.Period = TruncToInt32(D(period));
  if (s.Period < 8) {
    s.Period = 8;
  }

  s.Duty = Single(D(s.DutyStep) + D(s.Duty));
  if (s.Duty < 0.0f) {
    s.Duty = 0.0f;
  }
  if (s.Duty > 0.5f) {
    s.Duty = 0.5f;
  }

  s.EnvTime += 1;
  if (s.EnvStage < 3 && s.EnvTime > s.EnvLength[static_cast<std::size_t>(s.EnvStage)]) {
    s.EnvTime = 0;
    s.EnvStage += 1;
    if (s.EnvStage == 3) {
      s.Playing = false;
    }
  }
  switch (s.EnvStage) {
    case 0:
      s.EnvVolume = Single(D(s.EnvTime) / D(s.EnvLength[0]));
      break;
    case 1: {
      const float fall = Single(1.0 - D(s.EnvTime) / D(s.EnvLength[1]));
      s.EnvVolume = Single(1.0 + 2.0 * D(fall) * D(p.SustainPunch));
      break;
    }
    case 2:
      s.EnvVolume = Single(1.0 - D(s.EnvTime) / D(s.EnvLength[2]));
      break;
    default:
      break;
  }

  s.PhaserPos = Single(D(s.PhaserStep) + D(s.PhaserPos));
  const std::int32_t delay = TruncToInt32(D(s.PhaserPos));
  // trunc gives INT32_MIN for magnitudes of 2^31 and beyond, whose absolute
  // value does not exist: read the entry just written (delay 0) then.
  s.PhaserDelay = delay == INT32_MIN ? 0 : std::abs(delay);
  if (s.PhaserDelay > kPhaserSize - 1) {
    s.PhaserDelay = kPhaserSize - 1;
  }

  if (s.HpCoeffFactor != 0.0f) {
    s.HpCoeff = Single(D(s.HpCoeffFactor) * D(s.HpCoeff));
    if (s.HpCoeff < k0_00001f) {
      s.HpCoeff = k0_00001f;
    }
    if (s.HpCoeff > k0_1fValue) {
      s.HpCoeff = k0_1fValue;
    }
  }
}

float Oscillator(Synthesizer& s) {
  const float x = Single(D(s.Phase) / D(s.Period));
  switch (s.Params.WaveType) {
    case 0:
      return x < s.Duty ? 0.5f : -0.5f;
    case 1:
      return Single(1.0 - 2.0 * D(x));
    case 2:
      return Single(std::sin(D(Single(2.0 * D(x) * kPiF))));
    case 3: {
      const std::int64_t index = (std::int64_t{32} * s.Phase) / s.Period;
      return s.NoiseTable[static_cast<std::size_t>(index)];
    }
    default:
      return 0.0f;
  }
}

// One subsample: oscillator, low-pass, high-pass and phaser; returns the value
// to be weighted by the envelope.
float SubsampleStep(Synthesizer& s, RandomSource& random) {
  s.Phase += 1;
  if (s.Phase >= s.Period) {
    s.Phase = s.Phase % s.Period;
    if (s.Params.WaveType == 3) {
      FillNoise(s, random);
    }
  }
  float v = Oscillator(s);

  const float prev = s.LpPos;
  s.LpCoeff = Single(D(s.LpCoeffFactor) * D(s.LpCoeff));
  if (s.LpCoeff < 0.0f) {
    s.LpCoeff = 0.0f;
  }
  if (s.LpCoeff > k0_1fValue) {
    s.LpCoeff = k0_1fValue;
  }
  if (s.Params.LPCutoff != 1.0f) {
    const float t = Single((D(v) - D(s.LpPos)) * D(s.LpCoeff) + D(s.LpVel));
    s.LpVel = Single(D(t) - D(s.LpDamping) * D(t));
  } else {
    s.LpPos = v;
    s.LpVel = 0.0f;
  }
  s.LpPos = Single(D(s.LpVel) + D(s.LpPos));

  s.HpPos = Single((D(s.LpPos) - D(prev)) + D(s.HpPos));
  s.HpPos = Single(D(s.HpPos) - D(s.HpCoeff) * D(s.HpPos));
  v = s.HpPos;

  s.PhaserBuffer[static_cast<std::size_t>(s.PhaserIndex)] = v;
  const std::int32_t readIndex = (s.PhaserIndex - s.PhaserDelay) & (kPhaserSize - 1);
  v = Single(D(v) + D(s.PhaserBuffer[static_cast<std::size_t>(readIndex)]));
  s.PhaserIndex = (s.PhaserIndex + 1) & (kPhaserSize - 1);
  return v;
}

std::int16_t OutputSample(const Synthesizer& s, float sum) {
  sum = Single(D(sum) * 0.125 * D(s.Params.MasterVolume));
  sum = Single(D(sum) * (D(s.Params.Volume) + D(s.Params.Volume)));
  if (sum > 1.0f) {
    sum = 1.0f;
  } else if (sum < -1.0f) {
    sum = -1.0f;
  }
  if (std::isnan(sum)) {
    return 0;
  }
  return static_cast<std::int16_t>(TruncToInt32(D(sum) * 32000.0));
}

}  // namespace

void Synthesize(Synthesizer& s, std::int32_t maxSamples, std::int16_t* samples,
                RandomSource& random) {
  Restart(s, false, random);
  s.Playing = true;
  s.SampleCount = 0;
  for (std::int32_t i = 0; i < maxSamples; ++i) {
    if (!s.Playing) {
      return;
    }
    SampleStep(s, random);
    float sum = 0.0f;
    for (int sub = 0; sub < kSubsamples; ++sub) {
      const float v = SubsampleStep(s, random);
      sum = Single(D(s.EnvVolume) * D(v) + D(sum));
    }
    samples[i] = OutputSample(s, sum);
    s.SampleCount += 1;
  }
}

}  // namespace quavix
