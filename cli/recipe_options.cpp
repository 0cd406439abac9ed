#include <CLI/CLI.hpp>
#include "recipe_options.h"

#include <cstdio>
#include <string>

#include "cli_error.h"
#include "design/randomize.h"
#include "exchange/param_table.h"
#include "exchange/settings_file.h"
#include "exchange/wave_image.h"
#include "file_kind.h"
#include "numbers.h"
#include "output_file.h"
#include "synth/oscillator_period.h"

namespace quavix::cli {

bool Given(const CLI::Option* option) { return option != nullptr && option->count() > 0; }

void AddRecipeOptions(CLI::App& command, RecipeArgs& args, bool withFileSources) {
  args.PresetOption = command.add_option("--preset", args.Preset,
                                         "Preset family: coin, laser, explosion, powerup, hurt, jump, "
                                         "blip, or its number 0-6")
                          ->type_name("NAME");
  args.RandomizeOption = command.add_flag("--randomize", args.Randomize, "Random parameters");
  if (withFileSources) {
    args.SettingsFileOption =
        command.add_option("--sfs", args.SettingsFile,
                           "Read the parameters from a settings file (*.sfs), '-' for stdin")
            ->type_name("FILE");
    args.SettingsStringOption =
        command.add_option("--csv", args.SettingsString,
                           "Read the parameters from a settings string (24 comma-separated values)")
            ->type_name("STRING");
  }
  args.SetOption = command.add_option("--set", args.Sets, "Set one parameter in its user unit (repeatable, applied in order)")
      ->type_name("NAME=VALUE")
      ->expected(1)
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  args.MutateOption = command.add_option("--mutate", args.Mutate,
                                         "Mutate the parameters by up to +-0.5 x C (0 to 1) after the changes")
                          ->type_name("C");
  args.BufferLengthOption = command.add_option("--buffer-length", args.BufferLength,
                     "Buffer length in whole seconds, 0 to " + std::to_string(kMaxBufferSeconds) +
                         ": the sound is cut at length x " + std::to_string(kSamplesPerBufferSecond) +
                         " samples (default 5)")
      ->type_name("SECONDS");
}

std::uint32_t ParseBufferLength(const std::string& text) {
  return static_cast<std::uint32_t>(ParseWhole(text, 0, kMaxBufferSeconds, "--buffer-length"));
}

SynthParams ReadSettingsFile(const std::string& path) {
  const std::vector<std::uint8_t> bytes = ReadWholeFile(path, kSettingsFileRead);
  const std::string shown = path == "-" ? "standard input" : EchoPath(path);
  SynthParams params = DefaultParams();
  switch (DecodeSettings(params, bytes.data(), bytes.size())) {
    case SettingsLoadResult::Loaded:
      return params;
    case SettingsLoadResult::Truncated:
      ThrowFailure(shown + " ends before its last field");
    case SettingsLoadResult::CannotOpen:
    case SettingsLoadResult::BadVersion:
      break;
  }
  ThrowFailure(shown + " " + WhatThisFileIs(bytes));
}

SoundRecipe ResolveRecipe(const RecipeArgs& args) {
  std::size_t sources = 0;
  std::string names;
  for (const CLI::Option* o : {args.PresetOption, args.RandomizeOption, args.SettingsFileOption,
                               args.SettingsStringOption}) {
    if (o == nullptr) continue;
    sources += o->count() > 0 ? 1 : 0;
    names += (names.empty() ? "" : ", ") + o->get_name();
  }
  if (sources > 1) ThrowUsage("give only one of " + names);

  SoundRecipe recipe;
  recipe.BufferSeconds = ParseBufferLength(args.BufferLength);
  for (const std::string& text : args.Sets) recipe.Changes.push_back(ParseParamChange(text));
  if (args.MutateOption->count() > 0) {
    recipe.MutateCoefficient = ParseUserFloat(args.Mutate, "--mutate");
    if (!IsMutateAmount(*recipe.MutateCoefficient)) {
      ThrowUsage("--mutate: " + Echo(args.Mutate) + " is not " + kMutateAmountRule);
    }
  }
  if (args.PresetOption->count() > 0) {
    recipe.Source = ParamSource::Preset;
    recipe.PresetFamily = ParsePresetFamily(args.Preset);
  } else if (args.RandomizeOption->count() > 0) {
    recipe.Source = ParamSource::Randomize;
  } else if (args.SettingsStringOption != nullptr && args.SettingsStringOption->count() > 0) {
    RequireValidSettingsString(args.SettingsString);
    recipe.Source = ParamSource::SettingsString;
    recipe.SettingsString = args.SettingsString;
  } else if (args.SettingsFileOption != nullptr && args.SettingsFileOption->count() > 0) {
    // Read last, once every usage error has had its say.
    recipe.Source = ParamSource::SettingsFile;
    recipe.Loaded = ReadSettingsFile(args.SettingsFile);
  }
  return recipe;
}

std::string ParameterHelp() {
  std::string text = "Parameters for --set NAME=VALUE (names are case-insensitive):\n";
  for (const ParamInfo& p : kParamTable) {
    const std::string unit = p.Unit == ParamUnit::Stored ? "as stored" : std::string(p.UnitName);
    char line[128];
    std::snprintf(line, sizeof line, "  %-15.*s %s\n", static_cast<int>(p.Name.size()), p.Name.data(),
                  unit.c_str());
    text += line;
  }
  char excess[128];
  std::snprintf(excess, sizeof excess, "                  (FreqHz sounds about %.4g Hz above the number: see the README)\n",
                FreqHzExcess(DefaultParams().SampleRate));
  text +=
      "  StartFreqHz     Hertz (whole number), stored in StartFreq through FreqHz\n"
      "  MinFreqHz       Hertz (whole number), stored in MinFreq through FreqHz\n" +
      std::string(excess) +
      "  StartPitchHz    Hertz, the StartFreq whose oscillator period sounds closest to it\n"
      "  MinPitchHz      Hertz, the MinFreq whose period sounds closest to it\n"
      "'quavix presets' lists the parameters with their typical ranges.\n";
  return text;
}

}  // namespace quavix::cli
