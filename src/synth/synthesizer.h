// The sound engine of one instance: the parameters followed by the state of
// the synthesis, which turns the parameters into 16-bit mono samples.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "synth/oscillator_period.h"
#include "synth/random_source.h"
#include "synth/synth_params.h"

namespace quavix {

inline constexpr int kPhaserSize = 1024;
inline constexpr int kNoiseSize = 32;

// The values of EnvStage, in the order the envelope runs through them.
enum EnvelopeStage : std::int32_t {
  kAttackStage = 0,
  kSustainStage = 1,
  kDecayStage = 2,
  kEnvelopeDone = 3,
};

// Sine values of the current period, filled as the phases come up. For a fixed
// Period each Phase always yields the same single(sin(single(2·x·πf))), so a hit
// returns exactly the bits the sine would give.
struct SineCache {
  static constexpr std::int32_t kMaxPeriod = 16384;
  std::int32_t Period = 0;  // the period the stamped entries belong to
  std::uint32_t Epoch = 0;  // entries whose stamp equals Epoch are valid
  std::array<std::uint32_t, kMaxPeriod> Stamp{};
  std::array<float, kMaxPeriod> Value{};
};

// A new synthesizer has the default parameters and every field of the
// synthesis state at 0, and draws nothing: Synthesize (and SynthesizeStart)
// make their own full restart before the first sample. Init gives it the
// state a new instance of the module has, with that restart's draws.
struct Synthesizer {
  SynthParams Params = DefaultParams();

  bool Playing = false;
  std::int32_t Phase = 0;
  double PeriodExact = 0;
  double PeriodMax = 0;
  double SlideFactor = 0;
  double SlideStep = 0;
  std::int32_t Period = 0;
  float Duty = 0;
  float DutyStep = 0;
  EnvelopeStage EnvStage = kAttackStage;
  std::int32_t EnvTime = 0;
  std::array<std::int32_t, 3> EnvLength{};
  float EnvVolume = 0;
  float PhaserPos = 0;
  float PhaserStep = 0;
  std::int32_t PhaserDelay = 0;
  std::array<float, kPhaserSize> PhaserBuffer{};
  std::int32_t PhaserIndex = 0;
  std::array<float, kNoiseSize> NoiseTable{};
  float LpPos = 0;
  float LpVel = 0;
  float LpCoeff = 0;
  float LpCoeffFactor = 0;
  float LpDamping = 0;
  float HpPos = 0;
  float HpCoeff = 0;
  float HpCoeffFactor = 0;
  float VibPhase = 0;
  float VibStep = 0;
  float VibAmp = 0;
  std::int32_t RepeatTime = 0;
  std::int32_t RepeatLimit = 0;
  std::int32_t ChangeTime = 0;
  std::int32_t ChangeLimit = 0;
  double ChangeFactor = 0;
  std::int32_t SampleCount = 0;

  // Not part of the synthesis state: an optional cache, owned by the caller,
  // that makes sine waves cheaper. Without it the sine is evaluated each time;
  // the samples are the same either way. One cache may serve several
  // synthesizers.
  SineCache* Sines = nullptr;
};

// A synthesizer together with a sine cache of its own, for callers that can
// give it the memory (about 132 KB). Not copyable: Synth points at Sines.
struct CachedSynthesizer {
  CachedSynthesizer() { Synth.Sines = &Sines; }
  CachedSynthesizer(const CachedSynthesizer&) = delete;
  CachedSynthesizer& operator=(const CachedSynthesizer&) = delete;

  Synthesizer Synth;
  SineCache Sines;
};

// The module's new instance: the default parameters and a full restart of
// them, which draws the 32 values of the noise table from random.
void Init(Synthesizer& synth, RandomSource& random);

// Restores the default parameters and clears Playing; the rest of the
// synthesis state, SampleCount included, is left as it is.
void Reset(Synthesizer& synth);

// Derives the synthesis state from the parameters. A repeat restart resets
// only frequency, slide, duty and change; a full one resets everything and
// refills the noise table (32 draws).
void Restart(Synthesizer& synth, bool repeat, RandomSource& random);

// Fills the noise table with 32 draws of RandomFraction(2) - 1.
void FillNoise(Synthesizer& synth, RandomSource& random);

// Generates one sound into samples[0 .. maxSamples-1] and leaves the number of
// samples written in synth.SampleCount. The parameters are only read.
void Synthesize(Synthesizer& synth, std::int32_t maxSamples, std::int16_t* samples,
                RandomSource& random);

// The same sound in pieces: SynthesizeStart makes the restart Synthesize
// begins with; each SynthesizeMore then writes the next samples, at most count,
// into samples[0 ..] and returns how many (fewer only where the sound ends).
// The pieces joined are Synthesize's samples, with the same draws.
void SynthesizeStart(Synthesizer& synth, RandomSource& random);
std::int32_t SynthesizeMore(Synthesizer& synth, std::int32_t count, std::int16_t* samples,
                            RandomSource& random);

// The same sound computed step by step without any cache. Synthesize must
// match it bit for bit; tests and fuzzing compare the two.
void SynthesizeReference(Synthesizer& synth, std::int32_t maxSamples, std::int16_t* samples,
                         RandomSource& random);

// One job of SynthesizeInLanes: a synthesizer with its own random source
// and sample area.
struct SynthesisJob {
  Synthesizer* Synth;
  RandomSource* Random;
  std::int16_t* Samples;
  std::int32_t MaxSamples;
};

// The instruction sets the lane renderer can use: eight sounds at once with
// AVX-512, four with AVX2, or one after another.
enum class LaneSet { kOneByOne, kAvx2, kAvx512 };

// The name of the set: "avx512", "avx2" or "one-by-one".
const char* LaneSetName(LaneSet set);

// Whether this build and this processor can run the set (kOneByOne always).
bool LaneSetRuns(LaneSet set);

// The widest set that runs here.
LaneSet FastestLaneSet();

// Synthesizes several independent sounds on one thread, side by side in the
// lanes of vector registers where the processor has them: a lane whose sound
// ends takes the next job. Each job's samples, random state and final
// synthesis state are exactly what Synthesize gives for that job alone.
// Jobs must not share a synthesizer or a random source.
void SynthesizeInLanes(SynthesisJob* jobs, std::size_t count);
// The same with the given set, which must run here (else one by one).
void SynthesizeInLanes(SynthesisJob* jobs, std::size_t count, LaneSet set);

}  // namespace quavix
