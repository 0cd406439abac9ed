// The steps of the synthesis loop, shared by every path that runs it: the plain
// reference, the single-sound path and the side-by-side path. Internal to the
// synth folder.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "synth/exact_math.h"
#include "synth/sine.h"
#include "synth/synthesizer.h"

namespace quavix::steps {

#if defined(__GNUC__)
#define QUAVIX_ALWAYS_INLINE [[gnu::always_inline]] inline
#else
#define QUAVIX_ALWAYS_INLINE inline
#endif

// The clamps of the filter coefficients.
constexpr float kLowPassCoeffMax = 0.1f;
constexpr float kHighPassCoeffMin = 0.00001f;
constexpr float kHighPassCoeffMax = 0.1f;
constexpr double kPiF = static_cast<double>(3.14159265358979323846f);

// Repeat: every RepeatLimit samples the pitch starts again (a repeat restart).
QUAVIX_ALWAYS_INLINE void RepeatStep(Synthesizer& s, RandomSource& random) {
  s.RepeatTime += 1;
  if (s.RepeatLimit != 0 && s.RepeatTime >= s.RepeatLimit) {
    s.RepeatTime = 0;
    Restart(s, true, random);
  }
}

// Change: once per full or repeat restart the period jumps by ChangeFactor.
QUAVIX_ALWAYS_INLINE void ChangeStep(Synthesizer& s) {
  s.ChangeTime += 1;
  if (s.ChangeLimit != 0 && s.ChangeTime >= s.ChangeLimit) {
    s.ChangeLimit = 0;
    s.PeriodExact = s.ChangeFactor * s.PeriodExact;
  }
}

// Slide: the period follows the slide factor up to PeriodMax, where a
// positive MinFreq ends the sound (this sample is still produced).
QUAVIX_ALWAYS_INLINE void SlideStep(Synthesizer& s) {
  s.SlideFactor = s.SlideStep + s.SlideFactor;
  s.PeriodExact = s.SlideFactor * s.PeriodExact;
  if (s.PeriodExact > s.PeriodMax) {
    s.PeriodExact = s.PeriodMax;
    if (s.Params.MinFreq > 0.0f) {
      s.Playing = false;
    }
  }
}

// Vibrato and period: the whole period of this sample, at least kMinPeriod.
QUAVIX_ALWAYS_INLINE void VibratoAndPeriodStep(Synthesizer& s) {
  float period = Single(s.PeriodExact);
  if (s.VibAmp > 0.0f) {
    s.VibPhase = FloatSum(s.VibStep, s.VibPhase);
    const float wobble = quavix::Sine(s.VibPhase);
    period = Single((1.0 + D(wobble) * D(s.VibAmp)) * s.PeriodExact);
  }
  s.Period = TruncToInt32(D(period));
  if (s.Period < kMinPeriod) {
    s.Period = kMinPeriod;
  }
}

// Duty: swept and held within 0 to 0.5.
QUAVIX_ALWAYS_INLINE void DutyStep(Synthesizer& s) {
  s.Duty = FloatSum(s.DutyStep, s.Duty);
  if (s.Duty < 0.0f) {
    s.Duty = 0.0f;
  }
  if (s.Duty > 0.5f) {
    s.Duty = 0.5f;
  }
}

// Envelope: the stage advances past its length (the last one ends the sound)
// and sets this sample's gain.
QUAVIX_ALWAYS_INLINE void EnvelopeStep(Synthesizer& s) {
  s.EnvTime += 1;
  if (s.EnvStage < kEnvelopeDone &&
      s.EnvTime > s.EnvLength[static_cast<std::size_t>(s.EnvStage)]) {
    s.EnvTime = 0;
    s.EnvStage = static_cast<EnvelopeStage>(s.EnvStage + 1);
    if (s.EnvStage == kEnvelopeDone) {
      s.Playing = false;
    }
  }
  switch (s.EnvStage) {
    case kAttackStage:
      s.EnvVolume = FloatQuotient(FloatOf(s.EnvTime), FloatOf(s.EnvLength[kAttackStage]));
      break;
    case kSustainStage: {
      const float fall = Single(1.0 - D(FloatOf(s.EnvTime)) / D(FloatOf(s.EnvLength[kSustainStage])));
      s.EnvVolume = Single(1.0 + 2.0 * D(fall) * D(s.Params.SustainPunch));
      break;
    }
    case kDecayStage:
      s.EnvVolume = Single(1.0 - D(FloatOf(s.EnvTime)) / D(FloatOf(s.EnvLength[kDecayStage])));
      break;
    case kEnvelopeDone:
      break;
  }
}

// Phaser delay: the swept offset, as a whole delay of at most kPhaserSize - 1.
QUAVIX_ALWAYS_INLINE void PhaserStep(Synthesizer& s) {
  s.PhaserPos = FloatSum(s.PhaserStep, s.PhaserPos);
  const std::int32_t delay = TruncToInt32(D(s.PhaserPos));
  // trunc gives INT32_MIN for magnitudes of 2^31 and beyond, whose absolute
  // value does not exist: read the entry just written (delay 0) then.
  s.PhaserDelay = delay == INT32_MIN ? 0 : std::abs(delay);
  if (s.PhaserDelay > kPhaserSize - 1) {
    s.PhaserDelay = kPhaserSize - 1;
  }
}

// High-pass coefficient: swept and held within its clamps.
QUAVIX_ALWAYS_INLINE void HighPassStep(Synthesizer& s) {
  if (s.HpCoeffFactor != 0.0f) {
    s.HpCoeff = FloatProduct(s.HpCoeffFactor, s.HpCoeff);
    if (s.HpCoeff < kHighPassCoeffMin) {
      s.HpCoeff = kHighPassCoeffMin;
    }
    if (s.HpCoeff > kHighPassCoeffMax) {
      s.HpCoeff = kHighPassCoeffMax;
    }
  }
}

// Per-sample work before the subsamples, in this order.
QUAVIX_ALWAYS_INLINE void SampleStep(Synthesizer& s, RandomSource& random) {
  RepeatStep(s, random);
  ChangeStep(s);
  SlideStep(s);
  VibratoAndPeriodStep(s);
  DutyStep(s);
  EnvelopeStep(s);
  PhaserStep(s);
  HighPassStep(s);
}

// The sine wave at position x of its period, 0 ≤ x < 1: single(sin(single(2·x·πf))).
// 2·x is exact in float, so single(2·x·πf) is one float product.
QUAVIX_ALWAYS_INLINE float SineArgument(float x) {
  return FloatProduct(FloatSum(x, x), static_cast<float>(kPiF));
}
QUAVIX_ALWAYS_INLINE float SineWave(float x) { return quavix::Sine(SineArgument(x)); }

// The subsample state, copied out of the synthesizer for the eight subsamples
// of one sample so that the compiler can keep it in registers (the phaser
// ring is written through memory and would otherwise force every field of the
// synthesizer to be reloaded).
struct Voice {
  std::int32_t Phase;
  float LpPos;
  float LpVel;
  float LpCoeff;
  float HpPos;
  std::int32_t PhaserIndex;
  // Fixed during the subsamples of one sample.
  std::int32_t WaveType;
  std::int32_t Period;
  std::int32_t PhaserDelay;
  float Duty;
  float EnvVolume;
  float HpCoeff;
  float LpCoeffFactor;
  float LpDamping;
  bool LowPassBypassed;
};

QUAVIX_ALWAYS_INLINE Voice LoadVoice(const Synthesizer& s) {
  return Voice{s.Phase,    s.LpPos,       s.LpVel,     s.LpCoeff,         s.HpPos,
               s.PhaserIndex, s.Params.WaveType, s.Period, s.PhaserDelay, s.Duty,
               s.EnvVolume, s.HpCoeff,    s.LpCoeffFactor, s.LpDamping,
               s.Params.LPCutoff == 1.0f};
}

QUAVIX_ALWAYS_INLINE void StoreVoice(Synthesizer& s, const Voice& v) {
  s.Phase = v.Phase;
  s.LpPos = v.LpPos;
  s.LpVel = v.LpVel;
  s.LpCoeff = v.LpCoeff;
  s.HpPos = v.HpPos;
  s.PhaserIndex = v.PhaserIndex;
}

// The sine for the current Phase and Period, through the cache when there is
// one and the period fits in it.
QUAVIX_ALWAYS_INLINE float CachedSine(SineCache* caller, const Voice& voice, float x) {
  if (caller == nullptr || voice.Period > SineCache::kMaxPeriod) {
    return SineWave(x);
  }
  SineCache& cache = *caller;
  if (cache.Period != voice.Period) {
    cache.Period = voice.Period;
    cache.Epoch += 1;
    if (cache.Epoch == 0) {  // stamps wrapped: forget every entry
      cache.Stamp.fill(0);
      cache.Epoch = 1;
    }
  }
  const auto phase = static_cast<std::size_t>(voice.Phase);
  if (cache.Stamp[phase] != cache.Epoch) {
    cache.Stamp[phase] = cache.Epoch;
    cache.Value[phase] = SineWave(x);
  }
  return cache.Value[phase];
}

template <bool kUseCache>
QUAVIX_ALWAYS_INLINE float Oscillator(Synthesizer& s, const Voice& voice) {
  const float x = FloatQuotient(FloatOf(voice.Phase), FloatOf(voice.Period));
  switch (voice.WaveType) {
    case kSquareWave:
      return x < voice.Duty ? 0.5f : -0.5f;
    case kSawtoothWave:
      return FloatDifference(1.0f, FloatSum(x, x));  // single(1 − 2·x): 2·x is exact
    case kSineWave:
      if constexpr (kUseCache) {
        return CachedSine(s.Sines, voice, x);
      } else {
        return SineWave(x);
      }
    case kNoiseWave: {
      // 32·Phase fits 32 bits for every period below 2^26 subsamples; the
      // 64-bit division, much slower, only serves the rest.
      const auto phase = static_cast<std::uint32_t>(voice.Phase);
      const auto period = static_cast<std::uint32_t>(voice.Period);
      const std::uint64_t index = phase < (1u << 26) ? (32u * phase) / period
                                                     : (std::uint64_t{32} * phase) / period;
      return s.NoiseTable[static_cast<std::size_t>(index)];
    }
    default:
      return 0.0f;
  }
}

// The subsample's filters, phaser and envelope on the oscillator value v;
// returns sum plus the subsample's contribution.
QUAVIX_ALWAYS_INLINE float FilterStep(Synthesizer& s, Voice& voice, float v, float sum) {
  const float prev = voice.LpPos;
  voice.LpCoeff = FloatProduct(voice.LpCoeffFactor, voice.LpCoeff);
  if (voice.LpCoeff < 0.0f) {
    voice.LpCoeff = 0.0f;
  }
  if (voice.LpCoeff > kLowPassCoeffMax) {
    voice.LpCoeff = kLowPassCoeffMax;
  }
  if (!voice.LowPassBypassed) {
    const float t = Single((D(v) - D(voice.LpPos)) * D(voice.LpCoeff) + D(voice.LpVel));
    voice.LpVel = Single(D(t) - D(voice.LpDamping) * D(t));
  } else {
    voice.LpPos = v;
    voice.LpVel = 0.0f;
  }
  voice.LpPos = FloatSum(voice.LpVel, voice.LpPos);

  voice.HpPos = Single((D(voice.LpPos) - D(prev)) + D(voice.HpPos));
  voice.HpPos = Single(D(voice.HpPos) - D(voice.HpCoeff) * D(voice.HpPos));
  v = voice.HpPos;

  s.PhaserBuffer[static_cast<std::size_t>(voice.PhaserIndex)] = v;
  const std::int32_t readIndex = (voice.PhaserIndex - voice.PhaserDelay) & (kPhaserSize - 1);
  v = FloatSum(v, s.PhaserBuffer[static_cast<std::size_t>(readIndex)]);
  voice.PhaserIndex = (voice.PhaserIndex + 1) & (kPhaserSize - 1);

  return Single(D(voice.EnvVolume) * D(v) + D(sum));
}

// One subsample: oscillator, low-pass, high-pass and phaser, weighted by the
// envelope and added to sum.
template <bool kUseCache>
QUAVIX_ALWAYS_INLINE float SubsampleStep(Synthesizer& s, Voice& voice, RandomSource& random,
                                         float sum) {
  voice.Phase += 1;
  if (voice.Phase >= voice.Period) {
    voice.Phase = voice.Phase % voice.Period;
    if (voice.WaveType == kNoiseWave) {
      FillNoise(s, random);
    }
  }
  return FilterStep(s, voice, Oscillator<kUseCache>(s, voice), sum);
}

// Gain and clipping of the summed subsamples into the written sample.
QUAVIX_ALWAYS_INLINE std::int16_t OutputSample(const Synthesizer& s, float sum) {
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
  return static_cast<std::int16_t>(TruncToInt32(D(sum) * static_cast<double>(kOutputScale)));
}

// One whole output sample.
template <bool kUseCache>
QUAVIX_ALWAYS_INLINE std::int16_t Sample(Synthesizer& s, RandomSource& random) {
  SampleStep(s, random);
  Voice voice = LoadVoice(s);
  float sum = 0.0f;
  for (int sub = 0; sub < kSubsamplesPerSample; ++sub) {
    sum = SubsampleStep<kUseCache>(s, voice, random, sum);
  }
  StoreVoice(s, voice);
  return OutputSample(s, sum);
}

// A sine with vibrato changes its period nearly every sample, so its sines
// would rarely come from the cache, and each costs more than the rest of its
// subsample. They depend only on the phases and the periods, which the sample
// steps give without the filters. So each sample's filters run interleaved
// with the sines of the next sample, which the processor computes while the
// filters' chain waits on itself. Writes the samples from s.SampleCount on
// until the sound ends or maxSamples are written: the same bits, and the same
// state afterwards, as Sample one by one.
inline void ContinueSineWithVibrato(Synthesizer& s, std::int32_t maxSamples,
                                    std::int16_t* samples, RandomSource& random,
                                    std::int32_t base = 0) {
  struct Held {  // what the filters take from a sample's step
    float EnvVolume;
    float HpCoeff;
    std::int32_t PhaserDelay;
  };
  using Subsamples = std::array<float, kSubsamplesPerSample>;
  // The next sine argument, as SineWave takes it, and its fast sine;
  // advances phase as a subsample does.
  const auto nextArgument = [](std::int32_t& phase, std::int32_t period, float& argument) {
    phase += 1;
    if (phase >= period) {
      phase = phase % period;
    }
    argument = SineArgument(FloatQuotient(FloatOf(phase), FloatOf(period)));
    return sine_detail::FastWaveSine(D(argument));
  };
  // The fast sines rounded where that is safe, as WaveSine does: x is 0 or
  // at least 2^-31 (phase ≥ 1, period < 2^31), so the argument is 0 or more
  // than 2^-30, and at most 2πf.
  const auto round = [](const std::array<double, kSubsamplesPerSample>& y,
                        const Subsamples& argument, Subsamples& wave) {
    for (std::size_t sub = 0; sub < kSubsamplesPerSample; ++sub) {
      wave[sub] = sine_detail::RoundsSafelyAboveFloatMin(y[sub]) ? static_cast<float>(y[sub])
                                                                 : quavix::Sine(argument[sub]);
    }
  };
  if (!s.Playing || s.SampleCount >= maxSamples) {
    return;
  }
  std::int32_t phase = s.Phase;
  SampleStep(s, random);
  Held held{s.EnvVolume, s.HpCoeff, s.PhaserDelay};
  Subsamples argument;
  Subsamples wave;
  std::array<double, kSubsamplesPerSample> y;
  for (std::size_t sub = 0; sub < kSubsamplesPerSample; ++sub) {
    y[sub] = nextArgument(phase, s.Period, argument[sub]);
  }
  round(y, argument, wave);
  Voice voice = LoadVoice(s);
  for (;;) {
    const bool more = s.Playing && s.SampleCount + 1 < maxSamples;
    voice.EnvVolume = held.EnvVolume;
    voice.HpCoeff = held.HpCoeff;
    voice.PhaserDelay = held.PhaserDelay;
    float sum = 0.0f;
    if (more) {
      SampleStep(s, random);
      held = {s.EnvVolume, s.HpCoeff, s.PhaserDelay};
      for (std::size_t sub = 0; sub < kSubsamplesPerSample; ++sub) {
        y[sub] = nextArgument(phase, s.Period, argument[sub]);
        sum = FilterStep(s, voice, wave[sub], sum);
      }
    } else {
      for (std::size_t sub = 0; sub < kSubsamplesPerSample; ++sub) {
        sum = FilterStep(s, voice, wave[sub], sum);
      }
    }
    samples[s.SampleCount - base] = OutputSample(s, sum);
    s.SampleCount += 1;
    if (!more) {
      break;
    }
    round(y, argument, wave);
  }
  voice.Phase = phase;
  StoreVoice(s, voice);
}

}  // namespace quavix::steps
