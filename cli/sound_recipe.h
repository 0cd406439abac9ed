// A sound as the tool describes it: where its parameters come from, the
// changes applied to them, and the buffer length it is synthesized with. The
// same recipe and seed always give the same samples.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "synth/random_source.h"
#include "synth/sound_levels.h"
#include "synth/synth_params.h"

namespace quavix::cli {

enum class ParamSource { Defaults, Preset, Randomize, SettingsFile, SettingsString };

// One --set NAME=VALUE, resolved: either a parameter of the table set in its
// user unit, or a frequency in Hertz converted through FreqHz.
struct ParamChange {
  std::string Text;        // as typed, for messages and the manifest
  std::int32_t Index;      // parameter index 0..23
  bool InHertz;            // StartFreqHz= / MinFreqHz=
  float UserValue;         // the value in the parameter's user unit
  std::int32_t Hertz;      // the value when InHertz
  bool InPitch = false;    // StartPitchHz= / MinPitchHz=
  double PitchHz = 0;      // the value when InPitch
};

struct SoundRecipe {
  ParamSource Source = ParamSource::Defaults;
  std::int32_t PresetFamily = 0;
  SynthParams Loaded{};  // parameters read from the settings file
  std::string SettingsString;
  std::vector<ParamChange> Changes;
  std::optional<float> MutateCoefficient;
  std::uint32_t BufferSeconds = 5;
};

// A synthesized sound held once, as its RIFF/WAVE image: the 44-byte header
// and the samples written in place behind it, as the module does, so that even
// a 60-second sound is kept in memory only once.
struct RenderedSound {
  static constexpr std::size_t kHeaderCells = 22;  // 44 header bytes as 16-bit cells

  SynthParams Params;                // the final parameters
  std::vector<std::int16_t> Buffer;  // header cells, then the samples
  std::size_t SampleCount = 0;       // samples written

  std::span<const std::int16_t> Samples() const {
    return {Buffer.data() + kHeaderCells, SampleCount};
  }
  const std::uint8_t* ImageData() const {
    return reinterpret_cast<const std::uint8_t*>(Buffer.data());
  }
  std::size_t ImageSize() const { return 2 * (kHeaderCells + SampleCount); }
};

// A sound ready to synthesize: its final parameters (the defaults until a
// recipe's steps change them) and the random state the synthesis draws from.
struct SoundStart {
  SynthParams Params = DefaultParams();
  RandomSource Random{};
};

// Applies the recipe's parameter steps in the tool's fixed order (source,
// --set changes, mutation) after seeding with seed, so the draws of preset,
// randomize, mutate and the noise table follow the seed exactly as the
// module's "Set random seed", then "Load preset" or "Randomize", then
// "Generate sound" do.
SoundStart StartSound(const SoundRecipe& recipe, std::uint32_t seed);

// Synthesizes a started sound in a wave buffer of bufferSeconds.
RenderedSound MakeSound(const SoundStart& start, std::uint32_t bufferSeconds);

// MakeSound(StartSound(recipe, seed), recipe.BufferSeconds).
RenderedSound MakeSound(const SoundRecipe& recipe, std::uint32_t seed);

// MakeSound for several started sounds at once, synthesized side by side on
// this thread; sound i is exactly MakeSound(starts[i], bufferSeconds).
std::vector<RenderedSound> MakeSounds(std::span<const SoundStart> starts, std::uint32_t bufferSeconds);

// Why a sound is silent: wave type 4, a wave type outside 0-4, samples that
// are all 0, or a sound file made of it (trimmed, resampled, faded, converted)
// that holds no sample other than 0; None when it is not silent.
enum class Silence { None, NoWave, NotAWave, AllZero, FileAllZero };
Silence WhySilent(const SynthParams& params, const SoundLevels& levels);

// The reason in words ("wave type 4 makes no wave", ...), "" for None.
std::string SilenceText(Silence reason, const SynthParams& params);

// The 105 bytes of the parameters' settings file in hex: their exact record.
std::string SettingsFileHex(const SynthParams& params);

// Why --csv would not read the parameters' settings string back (a field that
// is not a number), or "".
std::string WhyNotASettingsString(const SynthParams& params);

// Parses NAME=VALUE against the parameter table (names are case-insensitive)
// plus StartFreqHz, MinFreqHz, StartPitchHz and MinPitchHz; usage error on an
// unknown name, a bad number, or a value the parameter table's rule refuses
// (a negative time or speed, a stage longer than the longest sound, a wave
// type other than 0-3) or a pitch no oscillator period gives.
ParamChange ParseParamChange(const std::string& text);

// The preset family of a name from the family list or a number 0..6.
std::int32_t ParsePresetFamily(const std::string& text);

// Checks that a settings string holds at most 24 fields, each empty or a number.
// The message names the first bad field.
void RequireValidSettingsString(const std::string& text);

}  // namespace quavix::cli
