// Output samples per second of Synthesize for typical and heavy sounds.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "synth/synthesizer.h"

namespace quavix {
namespace {

void RunSynthesis(benchmark::State& state, const std::function<void(SynthParams&)>& configure,
                  std::int32_t area) {
  RandomSource random;
  SeedRandom(random, 1);
  auto cached = std::make_unique<CachedSynthesizer>(random);
  Synthesizer& synth = cached->Synth;
  configure(synth.Params);
  std::vector<std::int16_t> samples(static_cast<std::size_t>(area));
  std::int64_t produced = 0;
  for (auto _ : state) {
    Synthesize(synth, area, samples.data(), random);
    benchmark::DoNotOptimize(samples.data());
    produced += synth.SampleCount;
  }
  state.counters["samples"] = static_cast<double>(synth.SampleCount);
  state.SetItemsProcessed(produced);
}

constexpr std::int32_t kLongArea = 2460000;

void Long(SynthParams& p) { p.SustainTime = 4.9f; }

void BM_Default(benchmark::State& state) {
  RunSynthesis(state, [](SynthParams&) {}, 205000);
}
void BM_Noise(benchmark::State& state) {
  RunSynthesis(state, [](SynthParams& p) { p.WaveType = 3; }, 205000);
}
void BM_LowPassResonance(benchmark::State& state) {
  RunSynthesis(state, [](SynthParams& p) {
    p.LPCutoff = 0.5f;
    p.LPResonance = 0.5f;
  }, 205000);
}
void BM_SineVibrato(benchmark::State& state) {
  RunSynthesis(state, [](SynthParams& p) {
    p.WaveType = 2;
    p.VibDepth = 0.5f;
    p.VibSpeed = 0.3f;
  }, 205000);
}

// The long cases: 60-second area, SustainTime 4.9 (about 2.4 million samples).
void BM_Long_SquareBypass(benchmark::State& state) {
  RunSynthesis(state, [](SynthParams& p) { Long(p); }, kLongArea);
}
void BM_Long_Noise(benchmark::State& state) {
  RunSynthesis(state, [](SynthParams& p) {
    Long(p);
    p.WaveType = 3;
  }, kLongArea);
}
void BM_Long_FilterPhaserRepeat(benchmark::State& state) {
  RunSynthesis(state, [](SynthParams& p) {
    Long(p);
    p.LPCutoff = 0.5f;
    p.LPResonance = 0.5f;
    p.PhaserOffset = 0.3f;
    p.PhaserSweep = 0.1f;
    p.RepeatSpeed = 0.5f;
  }, kLongArea);
}
void BM_Long_Sine(benchmark::State& state) {
  RunSynthesis(state, [](SynthParams& p) {
    Long(p);
    p.WaveType = 2;
  }, kLongArea);
}
void BM_Long_SineVibrato(benchmark::State& state) {
  RunSynthesis(state, [](SynthParams& p) {
    Long(p);
    p.WaveType = 2;
    p.VibDepth = 0.5f;
    p.VibSpeed = 0.3f;
  }, kLongArea);
}

BENCHMARK(BM_Default)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Noise)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LowPassResonance)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SineVibrato)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Long_SquareBypass)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Long_Noise)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Long_FilterPhaserRepeat)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Long_Sine)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Long_SineVibrato)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quavix

namespace quavix {
namespace {

// Many short randomised sounds, one after another or two side by side on
// one thread: the same work, measured in output samples per second.
std::vector<SynthParams> MixedSounds() {
  std::vector<SynthParams> sets;
  RandomSource pick{7};
  for (int i = 0; i < 16; ++i) {
    SynthParams p = DefaultParams();
    p.WaveType = i % 4;
    p.StartFreq = 0.2f + RandomFraction(pick, 0.6f);
    p.Slide = RandomFraction(pick, 0.4f) - 0.2f;
    p.LPCutoff = i % 2 == 0 ? 1.0f : 0.3f + RandomFraction(pick, 0.6f);
    p.LPResonance = RandomFraction(pick, 0.8f);
    p.PhaserOffset = RandomFraction(pick, 0.4f);
    p.SustainTime = 0.2f + RandomFraction(pick, 0.3f);
    p.DecayTime = 0.2f + RandomFraction(pick, 0.3f);
    sets.push_back(p);
  }
  return sets;
}

void RunMixed(benchmark::State& state, bool sideBySide) {
  const std::vector<SynthParams> sets = MixedSounds();
  std::vector<std::unique_ptr<CachedSynthesizer>> synths;
  std::vector<RandomSource> randoms(sets.size());
  std::vector<std::vector<std::int16_t>> areas(sets.size(), std::vector<std::int16_t>(205000));
  std::vector<SynthesisJob> jobs;
  for (std::size_t i = 0; i < sets.size(); ++i) {
    synths.push_back(std::make_unique<CachedSynthesizer>(randoms[i]));
    synths[i]->Synth.Params = sets[i];
    jobs.push_back({&synths[i]->Synth, &randoms[i], areas[i].data(), 205000});
  }
  std::int64_t produced = 0;
  for (auto _ : state) {
    if (sideBySide) {
      SynthesizeSideBySide(jobs.data(), jobs.size());
    } else {
      for (SynthesisJob& job : jobs) {
        Synthesize(*job.Synth, job.MaxSamples, job.Samples, *job.Random);
      }
    }
    for (const auto& s : synths) produced += s->Synth.SampleCount;
  }
  state.SetItemsProcessed(produced);
}

void BM_Mixed_OneByOne(benchmark::State& state) { RunMixed(state, false); }
void BM_Mixed_SideBySide(benchmark::State& state) { RunMixed(state, true); }

BENCHMARK(BM_Mixed_OneByOne)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Mixed_SideBySide)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quavix
