#include <array>
#include <cstdint>

#include "synth/internal/synthesis_steps.h"
#include "synth/synthesizer.h"

namespace quavix {
namespace {

void Begin(Synthesizer& s, RandomSource& random) {
  Restart(s, false, random);
  s.Playing = true;
  s.SampleCount = 0;
}

// Runs the sample loop from the current SampleCount until the sound ends or
// maxSamples samples are written; sample i goes to samples[i - base].
template <bool kUseCache>
void Continue(Synthesizer& s, std::int32_t maxSamples, std::int16_t* samples,
              RandomSource& random, std::int32_t base = 0) {
  if (kUseCache && s.Params.WaveType == kSineWave && s.VibAmp > 0.0f) {
    steps::ContinueSineWithVibrato(s, maxSamples, samples, random, base);
    return;
  }
  for (std::int32_t i = s.SampleCount; i < maxSamples; ++i) {
    if (!s.Playing) {
      return;
    }
    samples[i - base] = steps::Sample<kUseCache>(s, random);
    s.SampleCount += 1;
  }
}

constexpr std::size_t kSideBySideLanes = 2;

bool Active(const SynthesisJob& job) {
  return job.Synth->Playing && job.Synth->SampleCount < job.MaxSamples;
}

// Advances kLanes sounds sample by sample in lockstep for as long as all of
// them go on. The lanes' steps are independent, so the processor overlaps
// their dependent chains.
template <std::size_t kLanes>
void Lockstep(SynthesisJob* jobs) {
  for (;;) {
    for (std::size_t k = 0; k < kLanes; ++k) {
      if (!Active(jobs[k])) {
        return;
      }
    }
    std::array<float, kLanes> sum{};
    std::array<steps::Voice, kLanes> voices;
    for (std::size_t k = 0; k < kLanes; ++k) {
      steps::SampleStep(*jobs[k].Synth, *jobs[k].Random);
      voices[k] = steps::LoadVoice(*jobs[k].Synth);
    }
    for (int sub = 0; sub < kSubsamplesPerSample; ++sub) {
      for (std::size_t k = 0; k < kLanes; ++k) {
        sum[k] = steps::SubsampleStep<true>(*jobs[k].Synth, voices[k], *jobs[k].Random, sum[k]);
      }
    }
    for (std::size_t k = 0; k < kLanes; ++k) {
      Synthesizer& s = *jobs[k].Synth;
      steps::StoreVoice(s, voices[k]);
      jobs[k].Samples[s.SampleCount] = steps::OutputSample(s, sum[k]);
      s.SampleCount += 1;
    }
  }
}

}  // namespace

void Synthesize(Synthesizer& s, std::int32_t maxSamples, std::int16_t* samples,
                RandomSource& random) {
  Begin(s, random);
  Continue<true>(s, maxSamples, samples, random);
}

void SynthesizeStart(Synthesizer& s, RandomSource& random) { Begin(s, random); }

std::int32_t SynthesizeMore(Synthesizer& s, std::int32_t count, std::int16_t* samples,
                            RandomSource& random) {
  const std::int32_t base = s.SampleCount;
  const std::int32_t end = count < INT32_MAX - base ? base + count : INT32_MAX;
  Continue<true>(s, end, samples, random, base);
  return s.SampleCount - base;
}

void SynthesizeReference(Synthesizer& s, std::int32_t maxSamples, std::int16_t* samples,
                         RandomSource& random) {
  Begin(s, random);
  Continue<false>(s, maxSamples, samples, random);
}

void SynthesizeSideBySide(SynthesisJob* jobs, std::size_t count) {
  // Each job's restart draws from its own source, so the order of the
  // restarts does not matter.
  for (std::size_t k = 0; k < count; ++k) {
    Begin(*jobs[k].Synth, *jobs[k].Random);
  }
  // The lanes run in lockstep; a lane whose sound ends takes the next job.
  // When no job is left for it, the other lanes finish one by one.
  std::size_t next = 0;
  const auto take = [&](SynthesisJob& lane) {
    while (next < count) {
      lane = jobs[next++];
      if (Active(lane)) {
        return true;
      }
    }
    return false;
  };
  std::array<SynthesisJob, kSideBySideLanes> lanes{};
  bool full = true;
  for (SynthesisJob& lane : lanes) {
    full = full && take(lane);
  }
  while (full) {
    Lockstep<kSideBySideLanes>(lanes.data());
    for (SynthesisJob& lane : lanes) {
      if (full && !Active(lane)) {
        full = take(lane);
      }
    }
  }
  for (SynthesisJob& lane : lanes) {
    if (lane.Synth != nullptr) {
      Continue<true>(*lane.Synth, lane.MaxSamples, lane.Samples, *lane.Random);
    }
  }
}

}  // namespace quavix
