#include "sound_recipe.h"

#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <utility>

#include "cli_error.h"
#include "design/presets.h"
#include "design/randomize.h"
#include "exchange/param_table.h"
#include "exchange/param_units.h"
#include "exchange/settings_file.h"
#include "exchange/settings_string.h"
#include "exchange/wave_image.h"
#include "numbers.h"
#include "synth/ascii_text.h"
#include "synth/exact_math.h"
#include "synth/oscillator_period.h"
#include "synth/synthesizer.h"

namespace quavix::cli {
namespace {

// The samples are synthesized straight into the image, whose data are
// little-endian 16-bit values: the native order of every host this builds for.
static_assert(std::endian::native == std::endian::little);

void ApplyChange(SynthParams& params, const ParamChange& change) {
  const ParamInfo& info = kParamTable[static_cast<std::size_t>(change.Index)];
  if (change.InPitch) {
    SetVariable(params, change.Index, StoredFreqForPitch(params.SampleRate, change.PitchHz));
    return;
  }
  info.Set(params, change.InHertz ? FreqHz(params, change.Hertz) : change.UserValue);
}

// Refuses a user value by the parameter table's rule.
void CheckUserValue(const ParamInfo& info, float value, const std::string& text) {
  const UserValueProblem problem = CheckUserValue(info, value);
  if (problem == UserValueProblem::None) return;
  std::string message = "--set " + Echo(text) + ": " + std::string(UserValueRule(problem));
  if (problem == UserValueProblem::StageTooLong) {
    char limit[32];
    std::snprintf(limit, sizeof limit, " (%.2f s)", D(LongestStageSeconds()));
    message += limit;
  }
  ThrowUsage(message);
}

}  // namespace

namespace {

// A sound whose parameters are ready and whose synthesis is still to run.
struct PendingSound {
  RandomSource Random;
  std::unique_ptr<CachedSynthesizer> Cached;
  Synthesizer* Synth = nullptr;
  std::vector<std::int16_t> Buffer;  // header cells, then the whole sample area
};

PendingSound Prepare(const SoundRecipe& recipe, std::uint32_t seed) {
  PendingSound pending;
  pending.Cached = std::make_unique<CachedSynthesizer>(pending.Random);
  pending.Synth = &pending.Cached->Synth;
  // The seed as "Set random seed to %0" applies it; 0 is taken as the state 0
  // itself, so that every seed the tool prints or records renders again.
  SeedRandom(pending.Random, seed);

  SynthParams& params = pending.Synth->Params;
  switch (recipe.Source) {
    case ParamSource::Defaults:
      break;
    case ParamSource::Preset:
      LoadPreset(params, recipe.PresetFamily, pending.Random);
      break;
    case ParamSource::Randomize:
      Randomize(params, pending.Random);
      break;
    case ParamSource::SettingsFile:
      params = recipe.Loaded;
      break;
    case ParamSource::SettingsString:
      ImportSettingsString(params, recipe.SettingsString);
      break;
  }
  for (const ParamChange& change : recipe.Changes) ApplyChange(params, change);
  if (recipe.MutateCoefficient) Mutate(params, *recipe.MutateCoefficient, pending.Random);

  pending.Buffer.resize(RenderedSound::kHeaderCells + WaveCapacityBytes(recipe.BufferSeconds) / 2);
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
  WriteWaveHeader(reinterpret_cast<std::uint8_t*>(sound.Buffer.data()), sound.Params,
                  static_cast<std::uint32_t>(2 * sound.SampleCount));
  return sound;
}

}  // namespace

SynthParams FinalParams(const SoundRecipe& recipe, std::uint32_t seed) {
  SoundRecipe paramsOnly = recipe;
  paramsOnly.BufferSeconds = 0;
  return Prepare(paramsOnly, seed).Synth->Params;
}

Silence WhySilent(const SynthParams& params, const SoundLevels& levels) {
  if (params.WaveType == 4) return Silence::NoWave;
  if (params.WaveType < 0 || params.WaveType > 4) return Silence::NotAWave;
  if (levels.Peak == 0) return Silence::AllZero;
  return Silence::None;
}

std::string SilenceText(Silence reason, const SynthParams& params) {
  switch (reason) {
    case Silence::NoWave: return "wave type 4 makes no wave";
    case Silence::NotAWave: return "wave type " + std::to_string(params.WaveType) + " is not a wave (0-3)";
    case Silence::AllZero: return "every sample is 0";
    case Silence::None: break;
  }
  return "";
}

std::string SettingsFileHex(const SynthParams& params) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string hex;
  for (const std::uint8_t b : EncodeSettings(params)) {
    hex.push_back(kHex[b >> 4]);
    hex.push_back(kHex[b & 15]);
  }
  return hex;
}

std::string WhyNotASettingsString(const SynthParams& params) {
  for (const ParamInfo& p : kParamTable) {
    const float v = StoredValue(params, p.Index);
    if (!std::isfinite(v)) {
      return "field " + std::to_string(p.Index) + " (" + std::string(p.Name) + ") is " +
             (std::isnan(v) ? "nan" : "infinite") + ", which is not a number to the module; keep it with --save-sfs";
    }
  }
  return "";
}

RenderedSound MakeSound(const SoundRecipe& recipe, std::uint32_t seed) {
  PendingSound pending = Prepare(recipe, seed);
  const SynthesisJob job = JobOf(pending);
  Synthesize(*job.Synth, job.MaxSamples, job.Samples, *job.Random);
  return Finish(pending);
}

std::vector<RenderedSound> MakeSounds(const SoundRecipe& recipe,
                                      const std::vector<std::uint32_t>& seeds) {
  std::vector<PendingSound> pending;
  std::vector<SynthesisJob> jobs;
  pending.reserve(seeds.size());
  for (const std::uint32_t seed : seeds) pending.push_back(Prepare(recipe, seed));
  for (PendingSound& p : pending) jobs.push_back(JobOf(p));
  SynthesizeSideBySide(jobs.data(), jobs.size());
  std::vector<RenderedSound> sounds;
  for (PendingSound& p : pending) sounds.push_back(Finish(p));
  return sounds;
}

SoundLevels MeasureLevels(std::span<const std::int16_t> samples) {
  SoundLevels levels;
  for (const std::int16_t s : samples) {
    const std::int32_t magnitude = std::abs(static_cast<std::int32_t>(s));
    if (magnitude > levels.Peak) levels.Peak = magnitude;
    if (magnitude >= kClipLevel) ++levels.Clipped;
  }
  return levels;
}

ParamChange ParseParamChange(const std::string& text) {
  const std::size_t eq = text.find('=');
  if (eq == std::string::npos) {
    ThrowUsage("--set: " + Echo(text) + " is not of the form NAME=VALUE");
  }
  const std::string name = text.substr(0, eq);
  const std::string value = text.substr(eq + 1);
  const std::string what = "--set " + name;

  ParamChange change{text, 0, false, 0.0f, 0};
  if (EqualsIgnoringAsciiCase(name, "StartPitchHz") || EqualsIgnoringAsciiCase(name, "MinPitchHz")) {
    const bool start = EqualsIgnoringAsciiCase(name, "StartPitchHz");
    change.Index = FindParam(start ? "StartFreq" : "MinFreq")->Index;
    change.InPitch = true;
    change.PitchHz = ParseUserFloat(value, what);
    const std::int32_t rate = DefaultParams().SampleRate;
    if (!(change.PitchHz >= LowestPitch(rate) && change.PitchHz <= HighestPitch(rate))) {
      char range[96];
      std::snprintf(range, sizeof range, ": the oscillator's pitch lies between %.6g and %.6g Hz",
                    LowestPitch(rate), HighestPitch(rate));
      ThrowUsage("--set " + Echo(text) + range);
    }
    return change;
  }
  if (EqualsIgnoringAsciiCase(name, "StartFreqHz") || EqualsIgnoringAsciiCase(name, "MinFreqHz")) {
    const ParamInfo* info = FindParam(EqualsIgnoringAsciiCase(name, "StartFreqHz") ? "StartFreq" : "MinFreq");
    change.Index = info->Index;
    change.InHertz = true;
    change.Hertz = static_cast<std::int32_t>(ParseWhole(value, 0, 2147483647, what));
    return change;
  }
  const ParamInfo* info = FindParam(name);
  if (info == nullptr) {
    ThrowUsage("--set: unknown parameter " + Echo(name) + " (see quavix presets)");
  }
  change.Index = info->Index;
  change.UserValue = ParseUserFloat(value, what);
  CheckUserValue(*info, change.UserValue, text);
  return change;
}

std::int32_t ParsePresetFamily(const std::string& text) {
  if (const auto family = FindPresetFamily(text)) return *family;
  if (text.size() == 1 && text[0] >= '0' && text[0] < '0' + kPresetFamilyCount) {
    return text[0] - '0';
  }
  std::string names;
  for (const PresetFamilyName& f : kPresetFamilyNames) {
    names += (names.empty() ? "" : ", ") + std::string(f.Name);
  }
  ThrowUsage("--preset: unknown preset " + Echo(text) + " (choose " + names + " or 0-6)");
}

void RequireValidSettingsString(const std::string& text) {
  const SettingsStringCheck check = CheckSettingsString(text);
  switch (check.Problem) {
    case SettingsStringProblem::None:
      return;
    case SettingsStringProblem::TooManyFields:
      ThrowUsage("--csv: more than 24 fields");
    case SettingsStringProblem::NotANumber:
      ThrowUsage("--csv: field " + std::to_string(check.Field) + " " +
                 Echo(text.substr(check.Offset, check.Length)) + " is not a number");
  }
}

}  // namespace quavix::cli
