// Output samples per second of Synthesize for typical and heavy sounds.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "design/layered_sound.h"
#include "design/randomize.h"
#include "synth/synthesizer.h"

namespace quavix {
namespace {

void RunSynthesis(benchmark::State& state, const std::function<void(SynthParams&)>& configure,
                  std::int32_t area) {
  RandomSource random;
  SeedRandom(random, 1);
  auto cached = std::make_unique<CachedSynthesizer>();
  Synthesizer& synth = cached->Synth;
  Init(synth, random);
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

// 64 random sounds, as `quavix batch --randomize` makes them (seeds 1 to 64),
// one after another or in the lanes of each instruction set on one thread:
// the same work, measured in output samples per second.
constexpr int kMixedSounds = 64;
constexpr std::int32_t kMixedArea = 5 * 41000;

void RunMixed(benchmark::State& state, bool inLanes, LaneSet set) {
  if (inLanes && !LaneSetRuns(set)) {
    state.SkipWithError("this processor cannot run the instruction set");
    return;
  }
  std::vector<RandomSource> randoms(kMixedSounds);
  std::vector<std::unique_ptr<CachedSynthesizer>> synths;
  std::vector<std::vector<std::int16_t>> areas(kMixedSounds, std::vector<std::int16_t>(kMixedArea));
  std::vector<SynthesisJob> jobs;
  std::vector<SynthParams> sets;
  for (int i = 0; i < kMixedSounds; ++i) {
    SeedRandom(randoms[static_cast<std::size_t>(i)], static_cast<std::uint32_t>(i + 1));
    synths.push_back(std::make_unique<CachedSynthesizer>());
    Init(synths.back()->Synth, randoms[static_cast<std::size_t>(i)]);
    Randomize(synths.back()->Synth.Params, randoms[static_cast<std::size_t>(i)]);
    jobs.push_back({&synths.back()->Synth, &randoms[static_cast<std::size_t>(i)],
                    areas[static_cast<std::size_t>(i)].data(), kMixedArea});
  }
  std::int64_t produced = 0;
  for (auto _ : state) {
    for (int i = 0; i < kMixedSounds; ++i) {
      SeedRandom(randoms[static_cast<std::size_t>(i)], static_cast<std::uint32_t>(i + 1));
    }
    if (inLanes) {
      SynthesizeInLanes(jobs.data(), jobs.size(), set);
    } else {
      for (SynthesisJob& job : jobs) {
        Synthesize(*job.Synth, job.MaxSamples, job.Samples, *job.Random);
      }
    }
    for (const auto& s : synths) produced += s->Synth.SampleCount;
  }
  state.SetItemsProcessed(produced);
}

void BM_Mixed_OneByOne(benchmark::State& state) { RunMixed(state, false, LaneSet::kOneByOne); }
void BM_Mixed_Lanes_Avx2(benchmark::State& state) { RunMixed(state, true, LaneSet::kAvx2); }
void BM_Mixed_Lanes_Avx512(benchmark::State& state) { RunMixed(state, true, LaneSet::kAvx512); }

BENCHMARK(BM_Mixed_OneByOne)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Mixed_Lanes_Avx2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Mixed_Lanes_Avx512)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quavix

namespace quavix {
namespace {

// A layered sound of eight layers, each about 2 s long (a sustain of 1.6 s and
// the default decay), one per wave type and pitch, from the start: its mix,
// in output samples per second. js/bench/bench.mjs mixes the same layers.
void BM_Layers_Eight_2s(benchmark::State& state) {
  std::vector<Layer> layers(8);
  for (std::size_t i = 0; i < layers.size(); ++i) {
    layers[i].Params.WaveType = static_cast<std::int32_t>(i % 4);
    layers[i].Params.SustainTime = 0.84f;  // sqrt(1.6 s / 2.2675 s)
    layers[i].Params.StartFreq = 0.2f + 0.05f * static_cast<float>(i);
    layers[i].RandomState = static_cast<std::uint32_t>(i + 1);
    layers[i].GainTenths = -90;
  }
  std::int64_t produced = 0;
  for (auto _ : state) {
    const LayerMix mix = MixLayers(layers);
    benchmark::DoNotOptimize(mix.Samples.data());
    produced += static_cast<std::int64_t>(mix.Samples.size());
    state.counters["samples"] = static_cast<double>(mix.Samples.size());
  }
  state.SetItemsProcessed(produced);
}

BENCHMARK(BM_Layers_Eight_2s)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quavix
