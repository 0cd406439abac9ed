#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "synth/internal/synthesis_steps.h"
#include "synth/lanes.h"
#include "synth/sound_length.h"
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

#if QUAVIX_X86_LANES
// At most how many samples a begun job makes: its envelope, cut at its area.
std::int64_t LengthBound(const SynthesisJob& job) {
  std::int64_t envelope = kEnvelopeExtraSamples;
  for (const std::int32_t stage : job.Synth->EnvLength) {
    if (stage < 0) {
      return job.MaxSamples;
    }
    envelope += stage;
  }
  return std::min<std::int64_t>(envelope, job.MaxSamples);
}
#endif

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

const char* LaneSetName(LaneSet set) {
  switch (set) {
    case LaneSet::kAvx512: return "avx512";
    case LaneSet::kAvx2: return "avx2";
    case LaneSet::kOneByOne: break;
  }
  return "one-by-one";
}

bool LaneSetRuns(LaneSet set) {
  switch (set) {
#if QUAVIX_X86_LANES
    case LaneSet::kAvx512:
      return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx2");
    case LaneSet::kAvx2:
      return __builtin_cpu_supports("avx2");
#else
    case LaneSet::kAvx512:
    case LaneSet::kAvx2:
      return false;
#endif
    case LaneSet::kOneByOne:
      break;
  }
  return true;
}

LaneSet FastestLaneSet() {
  static const LaneSet fastest = LaneSetRuns(LaneSet::kAvx512) ? LaneSet::kAvx512
                                 : LaneSetRuns(LaneSet::kAvx2) ? LaneSet::kAvx2
                                                               : LaneSet::kOneByOne;
  return fastest;
}

void SynthesizeInLanes(SynthesisJob* jobs, std::size_t count) {
  SynthesizeInLanes(jobs, count, FastestLaneSet());
}

void SynthesizeInLanes(SynthesisJob* jobs, std::size_t count, LaneSet set) {
  // Each job's restart draws from its own source, so their order does not
  // matter.
  for (std::size_t k = 0; k < count; ++k) {
    Begin(*jobs[k].Synth, *jobs[k].Random);
  }
  if (count > 1 && set != LaneSet::kOneByOne && LaneSetRuns(set)) {
#if QUAVIX_X86_LANES
    // Longest first, so that the last lanes to run hold short sounds and
    // few lanes stand idle at the end.
    std::vector<SynthesisJob> order(jobs, jobs + count);
    std::stable_sort(order.begin(), order.end(), [](const SynthesisJob& a, const SynthesisJob& b) {
      return LengthBound(a) > LengthBound(b);
    });
    if (set == LaneSet::kAvx512) {
      lanes::RunAvx512(order.data(), count);
    } else {
      lanes::RunAvx2(order.data(), count);
    }
#endif
  }
  // The lanes leave the last few sounds' ends, or everything, to the
  // single-sound path; a finished job returns at once.
  for (std::size_t k = 0; k < count; ++k) {
    Continue<true>(*jobs[k].Synth, jobs[k].MaxSamples, jobs[k].Samples, *jobs[k].Random);
  }
}

}  // namespace quavix
