// The search for the recipes that sound most like a target sound.
//
//  1. A broad sample: for each source (a preset family, or Randomize), sounds
//     made exactly as the tool makes them, seed by seed: the seed set, then
//     LoadPreset or Randomize, then the synthesis from the random state they
//     leave. The seeds come from the search's seed. The sample takes a
//     quarter of an evaluation budget (at most 256 sounds per source; 32 per
//     source with a budget of time only).
//  2. The best few of them, each refined by its own CMA-ES run (cma_es.h)
//     over the stored values of every parameter but WaveType, which stays
//     the start's: each wave type is searched on its own. A point of the
//     unit box maps to each parameter's typical stored range of the
//     parameter table, and the parameters are rounded to the four decimals
//     of the settings string, so that the string remakes them exactly; the
//     synthesis starts from the start's random state. A run that comes no
//     closer for four generations starts again from its closest point with
//     half its step.
//  3. Every batch of candidates (the broad sample in pieces, then one
//     generation of every run) is rendered together through the lane
//     renderer, split over the jobs in fixed slices: the results depend on
//     the target, the seed and the evaluation budget, never on the jobs.
// A budget in seconds is checked between batches (the first batch is always
// made) and is not reproducible.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "synth/random_source.h"
#include "synth/synth_params.h"

namespace quavix::match {

// Where a candidate's parameters come from.
enum class Origin { Preset, Randomize, Refined };

// The source value that stands for Randomize beside the preset families 0..6.
inline constexpr std::int32_t kRandomizeSource = 7;

struct Candidate {
  SynthParams Params;
  RandomSource Random;        // the state the synthesis starts from
  Origin From = Origin::Preset;
  std::int32_t Family = 0;    // Preset: the family
  std::uint32_t Seed = 0;     // Preset, Randomize: the seed they start from
  double Distance = 0;
};

struct MatchProgress {
  std::int64_t Generation = 0;  // batches evaluated
  std::int64_t Evaluations = 0;
  double BestDistance = 0;
};

struct MatchSettings {
  std::uint32_t Seed = 1;
  std::int64_t Evaluations = 0;       // at most this many sounds; 0: no such limit
  double Seconds = 0;                 // stop after this long; 0: no such limit
  std::optional<std::int32_t> Source; // one family 0..6 or kRandomizeSource; none: all eight
  std::size_t Top = 3;                // recipes returned
  std::size_t Jobs = 1;               // threads
  std::uint32_t BufferSeconds = 5;    // the sounds' buffer length
  std::function<void(const MatchProgress&)> Progress;
};

// The Top distinct candidates closest to target (mono, 44100 Hz, full scale
// 1; its silence is trimmed), closest first. A settings with neither limit
// evaluates only the broad sample.
std::vector<Candidate> FindMatches(std::span<const float> target, const MatchSettings& settings);

// A candidate's sound, as the tool would render it, at full scale 1.
std::vector<float> RenderCandidate(const Candidate& candidate, std::uint32_t bufferSeconds);

}  // namespace quavix::match
