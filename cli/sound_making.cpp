// Making the sounds of a recipe: its parameters for a seed, then their synthesis,
// one sound or several side by side.
#include "sound_recipe.h"

#include <bit>
#include <memory>
#include <utility>

#include "design/presets.h"
#include "design/randomize.h"
#include "exchange/param_table.h"
#include "exchange/param_units.h"
#include "exchange/settings_file.h"
#include "exchange/settings_string.h"
#include "exchange/wave_image.h"
#include "synth/oscillator_period.h"
#include "synth/synthesizer.h"

namespace quavix::cli {
namespace {

// The samples are synthesized straight into the image, whose data are
// little-endian 16-bit values: the native order of every host this builds for,
// so they stay in place and Samples() reads them as they are.
static_assert(std::endian::native == std::endian::little);

void ApplyChange(SynthParams& params, const ParamChange& change) {
  const ParamInfo& info = kParamTable[static_cast<std::size_t>(change.Index)];
  if (change.InPitch) {
    SetVariable(params, change.Index, StoredFreqForPitch(params.SampleRate, change.PitchHz));
    return;
  }
  SetUserValue(info, params, change.InHertz ? FreqHz(params, change.Hertz) : change.UserValue);
}

// A sound whose synthesis is still to run.
struct PendingSound {
  RandomSource Random;
  std::unique_ptr<CachedSynthesizer> Cached;
  Synthesizer* Synth = nullptr;
  std::vector<std::int16_t> Buffer;  // header cells, then the whole sample area
};

PendingSound Prepare(const SoundStart& start, std::uint32_t bufferSeconds) {
  PendingSound pending;
  pending.Cached = std::make_unique<CachedSynthesizer>();
  pending.Synth = &pending.Cached->Synth;
  pending.Synth->Params = start.Params;
  pending.Random = start.Random;
  pending.Buffer.resize(RenderedSound::kHeaderCells + WaveCapacityBytes(bufferSeconds) / 2);
  return pending;
}

SynthesisJob JobOf(PendingSound& pending) {
  return {pending.Synth, &pending.Random, pending.Buffer.data() + RenderedSound::kHeaderCells,
          static_cast<std::int32_t>(pending.Buffer.size() - RenderedSound::kHeaderCells)};
}

RenderedSound Finish(PendingSound& pending) {
  RenderedSound sound;
  sound.Params = pending.Synth->Params;
  sound.SampleCount = static_cast<std::size_t>(pending.Synth->SampleCount);
  sound.Buffer = std::move(pending.Buffer);
  sound.Buffer.resize(RenderedSound::kHeaderCells + sound.SampleCount);
  WriteWaveImage(reinterpret_cast<std::uint8_t*>(sound.Buffer.data()), sound.Params,
                 sound.Buffer.data() + RenderedSound::kHeaderCells, sound.SampleCount);
  return sound;
}

}  // namespace

SoundStart StartSound(const SoundRecipe& recipe, std::uint32_t seed) {
  SoundStart start;
  // The seed as "Set random seed to %0" applies it; 0 is taken as the state 0
  // itself, so that every seed the tool prints or records renders again. The
  // draws of the module's new instance come before its seed, which sets the
  // state anew, so the tool's synthesizer makes none.
  SeedRandom(start.Random, seed);
  SynthParams& params = start.Params;
  switch (recipe.Source) {
    case ParamSource::Defaults:
      break;
    case ParamSource::Preset:
      LoadPreset(params, recipe.PresetFamily, start.Random);
      break;
    case ParamSource::Randomize:
      Randomize(params, start.Random);
      break;
    case ParamSource::SettingsFile:
      params = recipe.Loaded;
      break;
    case ParamSource::SettingsString:
      ImportSettingsString(params, recipe.SettingsString);
      break;
  }
  for (const ParamChange& change : recipe.Changes) ApplyChange(params, change);
  if (recipe.MutateCoefficient) Mutate(params, *recipe.MutateCoefficient, start.Random);
  return start;
}

RenderedSound MakeSound(const SoundStart& start, std::uint32_t bufferSeconds) {
  PendingSound pending = Prepare(start, bufferSeconds);
  const SynthesisJob job = JobOf(pending);
  Synthesize(*job.Synth, job.MaxSamples, job.Samples, *job.Random);
  return Finish(pending);
}

RenderedSound MakeSound(const SoundRecipe& recipe, std::uint32_t seed) {
  return MakeSound(StartSound(recipe, seed), recipe.BufferSeconds);
}

std::vector<RenderedSound> MakeSounds(std::span<const SoundStart> starts, std::uint32_t bufferSeconds) {
  std::vector<PendingSound> pending;
  std::vector<SynthesisJob> jobs;
  pending.reserve(starts.size());
  for (const SoundStart& start : starts) pending.push_back(Prepare(start, bufferSeconds));
  for (PendingSound& p : pending) jobs.push_back(JobOf(p));
  SynthesizeInLanes(jobs.data(), jobs.size());
  std::vector<RenderedSound> sounds;
  for (PendingSound& p : pending) sounds.push_back(Finish(p));
  return sounds;
}

}  // namespace quavix::cli
