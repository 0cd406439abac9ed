#include "match/sound_match.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <iterator>
#include <limits>
#include <memory>
#include <numeric>
#include <set>
#include <string>
#include <thread>

#include "design/presets.h"
#include "design/randomize.h"
#include "exchange/param_table.h"
#include "exchange/settings_string.h"
#include "exchange/wave_image.h"
#include "match/cma_es.h"
#include "match/sound_distance.h"
#include "synth/synthesizer.h"

namespace quavix::match {
namespace {

constexpr std::size_t kSourceCount = kPresetFamilyCount + 1;
constexpr std::size_t kMostBroadPerSource = 256;  // a quarter of an evaluation budget, at most this
constexpr std::size_t kTimedBroadPerSource = 32;  // with a budget of time only
constexpr std::size_t kBroadBatch = 64;
constexpr std::size_t kRuns = 3;           // the best few refined
constexpr std::size_t kLambda = 16;        // points per generation: a full pass of the widest lanes
constexpr double kStartSigma = 0.02;       // a fiftieth of each typical range
constexpr std::int32_t kWaveTypeIndex = 1;
constexpr int kPatience = 4;               // generations without a closer sound before a restart
constexpr double kLeastSigma = 0.001;

// A run's closest point so far and the generations since it was found.
struct Stall {
  double Best;
  std::vector<double> Point;
  int Generations;
};

// The parameters a refinement moves: all but WaveType.
std::vector<std::int32_t> MovedParams() {
  std::vector<std::int32_t> moved;
  for (std::int32_t i = 0; i < kParamCount; ++i) {
    if (i != kWaveTypeIndex) moved.push_back(i);
  }
  return moved;
}

// Renders a slice of candidates side by side in the lanes and measures each.
void EvaluateSlice(std::span<Candidate> slice, const SoundFeatures& target, std::uint32_t bufferSeconds) {
  const std::size_t capacity = WaveCapacityBytes(bufferSeconds) / 2;
  std::vector<std::unique_ptr<CachedSynthesizer>> synths;
  std::vector<RandomSource> randoms;
  std::vector<std::vector<std::int16_t>> samples(slice.size(), std::vector<std::int16_t>(capacity));
  std::vector<SynthesisJob> jobs;
  randoms.reserve(slice.size());
  for (const Candidate& c : slice) {
    synths.push_back(std::make_unique<CachedSynthesizer>());
    synths.back()->Synth.Params = c.Params;
    randoms.push_back(c.Random);
  }
  for (std::size_t i = 0; i < slice.size(); ++i) {
    jobs.push_back({&synths[i]->Synth, &randoms[i], samples[i].data(), static_cast<std::int32_t>(capacity)});
  }
  SynthesizeInLanes(jobs.data(), jobs.size());
  std::vector<float> sound;
  for (std::size_t i = 0; i < slice.size(); ++i) {
    const auto count = static_cast<std::size_t>(synths[i]->Synth.SampleCount);
    sound.resize(count);
    for (std::size_t k = 0; k < count; ++k) sound[k] = static_cast<float>(samples[i][k]) / 32768.0f;
    slice[i].Distance = CompareSounds(target, DescribeSound(sound)).Total();
  }
}

// Each job takes a fixed slice of the batch, so the results never depend on the jobs.
void Evaluate(std::vector<Candidate>& batch, const SoundFeatures& target, const MatchSettings& settings) {
  const std::size_t jobs = std::clamp<std::size_t>(settings.Jobs, 1, std::max<std::size_t>(batch.size(), 1));
  const std::span<Candidate> all(batch);
  const auto slice = [&](std::size_t t) {
    const std::size_t from = t * batch.size() / jobs, to = (t + 1) * batch.size() / jobs;
    return all.subspan(from, to - from);
  };
  std::vector<std::thread> threads;
  for (std::size_t t = 1; t < jobs; ++t) {
    threads.emplace_back([&, t] { EvaluateSlice(slice(t), target, settings.BufferSeconds); });
  }
  EvaluateSlice(slice(0), target, settings.BufferSeconds);
  for (std::thread& thread : threads) thread.join();
}

std::string KeyOf(const Candidate& c) {
  std::string key(4 * kParamCount + 4, '\0');
  std::memcpy(key.data(), &c.Params.Volume, 4 * kParamCount);
  std::memcpy(key.data() + 4 * kParamCount, &c.Random.State, 4);
  return key;
}

// The first count distinct candidates of those given, closest first (ties in the order given).
std::vector<Candidate> Closest(std::vector<Candidate> candidates, std::size_t count) {
  std::stable_sort(candidates.begin(), candidates.end(),
                   [](const Candidate& a, const Candidate& b) { return a.Distance < b.Distance; });
  std::vector<Candidate> chosen;
  std::set<std::string> seen;
  for (const Candidate& c : candidates) {
    if (chosen.size() == count) break;
    if (seen.insert(KeyOf(c)).second) chosen.push_back(c);
  }
  return chosen;
}

Candidate MadeFrom(std::int32_t source, std::uint32_t seed) {
  Candidate c;
  c.Params = DefaultParams();
  c.Seed = seed;
  SeedRandom(c.Random, seed);
  if (source == kRandomizeSource) {
    c.From = Origin::Randomize;
    Randomize(c.Params, c.Random);
  } else {
    c.From = Origin::Preset;
    c.Family = source;
    LoadPreset(c.Params, source, c.Random);
  }
  return c;
}

// The parameters of a point of the unit box, as the settings string holds them.
SynthParams ParamsAt(const Candidate& start, std::span<const double> point, const std::vector<std::int32_t>& moved) {
  SynthParams p = start.Params;
  for (std::size_t j = 0; j < moved.size(); ++j) {
    const ParamRange range = kParamTable[static_cast<std::size_t>(moved[j])].TypicalStored;
    SetVariable(p, moved[j], static_cast<float>(range.Min + point[j] * (range.Max - range.Min)));
  }
  SynthParams rounded = DefaultParams();
  ImportSettingsString(rounded, ExportSettingsString(p));
  return rounded;
}

std::vector<double> PointOf(const SynthParams& p, const std::vector<std::int32_t>& moved) {
  std::vector<double> point;
  for (const std::int32_t index : moved) {
    const ParamRange range = kParamTable[static_cast<std::size_t>(index)].TypicalStored;
    const double v = static_cast<double>(StoredValue(p, index));
    point.push_back(std::clamp((v - range.Min) / (range.Max - range.Min), 0.0, 1.0));
  }
  return point;
}

}  // namespace

std::vector<Candidate> FindMatches(std::span<const float> target, const MatchSettings& settings) {
  const auto begun = std::chrono::steady_clock::now();
  const SoundFeatures targetFeatures = DescribeSound(target);
  std::vector<Candidate> evaluated;
  MatchProgress progress;
  progress.BestDistance = std::numeric_limits<double>::infinity();
  const auto left = [&]() -> std::int64_t {
    if (settings.Seconds > 0 &&
        std::chrono::duration<double>(std::chrono::steady_clock::now() - begun).count() >= settings.Seconds) {
      return 0;
    }
    if (settings.Evaluations > 0) return settings.Evaluations - progress.Evaluations;
    return settings.Seconds > 0 ? INT64_MAX : 0;
  };
  const bool limitless = settings.Evaluations <= 0 && settings.Seconds <= 0;
  const auto run = [&](std::vector<Candidate>& batch) {
    Evaluate(batch, targetFeatures, settings);
    evaluated.insert(evaluated.end(), batch.begin(), batch.end());
    progress.Generation += 1;
    progress.Evaluations += static_cast<std::int64_t>(batch.size());
    for (const Candidate& c : batch) progress.BestDistance = std::min(progress.BestDistance, c.Distance);
    if (settings.Progress) settings.Progress(progress);
  };

  // 1. The broad sample, source after source for each seed, in batches.
  std::vector<std::int32_t> sources;
  if (settings.Source) {
    sources.push_back(*settings.Source);
  } else {
    for (std::int32_t s = 0; s < static_cast<std::int32_t>(kSourceCount); ++s) sources.push_back(s);
  }
  std::size_t perSource = kTimedBroadPerSource;
  if (settings.Evaluations > 0) {
    perSource = std::clamp<std::size_t>(static_cast<std::size_t>(settings.Evaluations) / (4 * sources.size()), 1,
                                        kMostBroadPerSource);
  }
  std::vector<NormalDraws> seeds;
  for (const std::int32_t s : sources) {
    seeds.push_back({(std::uint64_t{settings.Seed} << 8) | static_cast<std::uint64_t>(s)});
  }
  std::vector<Candidate> broad;
  for (std::size_t k = 0; k < perSource; ++k) {
    for (std::size_t s = 0; s < sources.size(); ++s) {
      broad.push_back(MadeFrom(sources[s], static_cast<std::uint32_t>(NextBits(seeds[s]))));
    }
  }
  for (std::size_t at = 0; at < broad.size();) {
    // The first batch is always made, however short the time, so that there is a closest sound.
    const std::int64_t room = limitless || (at == 0 && settings.Evaluations <= 0) ? static_cast<std::int64_t>(kBroadBatch)
                              : at == 0                                           ? settings.Evaluations
                                                                                  : left();
    if (room <= 0) break;
    const std::size_t n = std::min({kBroadBatch, broad.size() - at, static_cast<std::size_t>(room)});
    std::vector<Candidate> batch(broad.begin() + static_cast<std::ptrdiff_t>(at),
                                 broad.begin() + static_cast<std::ptrdiff_t>(at + n));
    run(batch);
    at += n;
  }

  // 2. The refinement of the best few, one generation of every run per batch.
  const std::vector<std::int32_t> moved = MovedParams();
  std::vector<Candidate> audible;  // a wave type outside 0-3 stays silent however it is refined
  std::copy_if(evaluated.begin(), evaluated.end(), std::back_inserter(audible),
               [](const Candidate& c) { return c.Params.WaveType >= kSquareWave && c.Params.WaveType <= kNoiseWave; });
  const std::vector<Candidate> starts = Closest(std::move(audible), kRuns);
  NormalDraws runSeeds{std::uint64_t{settings.Seed} * 0x9E3779B97F4A7C15ull + 1};
  std::vector<CmaState> runs;
  std::vector<Stall> stalls;
  for (const Candidate& start : starts) {
    runs.push_back(StartCma(PointOf(start.Params, moved), kStartSigma, kLambda, NextBits(runSeeds)));
    stalls.push_back({start.Distance, PointOf(start.Params, moved), 0});
  }
  while (!runs.empty() && !limitless) {
    const std::int64_t room = left();
    if (room <= 0) break;
    std::vector<Candidate> batch;
    std::vector<std::vector<std::vector<double>>> points;
    for (std::size_t r = 0; r < runs.size(); ++r) {
      points.push_back(ProposePoints(runs[r]));
      for (const std::vector<double>& point : points.back()) {
        if (static_cast<std::int64_t>(batch.size()) == room) break;
        Candidate c = starts[r];
        c.From = Origin::Refined;
        c.Params = ParamsAt(starts[r], point, moved);
        batch.push_back(c);
      }
    }
    run(batch);
    for (std::size_t r = 0; r < runs.size(); ++r) {
      if (batch.size() < (r + 1) * kLambda) break;  // the budget ended inside this run's points
      std::vector<double> costs;
      for (std::size_t i = 0; i < kLambda; ++i) costs.push_back(batch[r * kLambda + i].Distance);
      UpdateCma(runs[r], points[r], costs);
      // A run that has not come closer for a while starts again from its closest point, with half the step.
      Stall& stall = stalls[r];
      const auto closest = std::min_element(costs.begin(), costs.end());
      if (*closest < stall.Best) {
        stall = {*closest, points[r][static_cast<std::size_t>(closest - costs.begin())], 0};
      } else if (++stall.Generations == kPatience) {
        const double sigma = std::max(runs[r].Sigma / 2, kLeastSigma);
        runs[r] = StartCma(stall.Point, sigma, kLambda, NextBits(runSeeds));
        stall.Generations = 0;
      }
    }
  }
  return Closest(std::move(evaluated), settings.Top);
}

std::vector<float> RenderCandidate(const Candidate& candidate, std::uint32_t bufferSeconds) {
  const std::size_t capacity = WaveCapacityBytes(bufferSeconds) / 2;
  CachedSynthesizer cached;
  cached.Synth.Params = candidate.Params;
  RandomSource random = candidate.Random;
  std::vector<std::int16_t> samples(capacity);
  Synthesize(cached.Synth, static_cast<std::int32_t>(capacity), samples.data(), random);
  std::vector<float> sound(static_cast<std::size_t>(cached.Synth.SampleCount));
  for (std::size_t k = 0; k < sound.size(); ++k) sound[k] = static_cast<float>(samples[k]) / 32768.0f;
  return sound;
}

}  // namespace quavix::match
