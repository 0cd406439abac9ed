// The options that describe a sound, shared by render and batch: the source of
// the parameters, --set changes, --mutate and --buffer-length.
#pragma once

#include "cli_forward.h"

#include <cstdint>
#include <string>
#include <vector>

#include "sound_recipe.h"

namespace quavix::cli {

struct RecipeArgs {
  std::string Preset;
  bool Randomize = false;
  std::string SettingsFile;
  std::string SettingsString;
  std::vector<std::string> Sets;
  std::string Mutate;
  std::string BufferLength = "5";

  CLI::Option* PresetOption = nullptr;
  CLI::Option* RandomizeOption = nullptr;
  CLI::Option* SettingsFileOption = nullptr;
  CLI::Option* SettingsStringOption = nullptr;
  CLI::Option* MutateOption = nullptr;
  CLI::Option* SetOption = nullptr;
  CLI::Option* BufferLengthOption = nullptr;
};

// withFileSources adds --sfs and --csv (render) besides --preset and --randomize.
void AddRecipeOptions(CLI::App& command, RecipeArgs& args, bool withFileSources);

// Parses and checks the options; reads the settings file if one is named.
SoundRecipe ResolveRecipe(const RecipeArgs& args);

// Whole seconds of buffer length, 0 to 60.
std::uint32_t ParseBufferLength(const std::string& text);

// Reads a settings file over the default parameters; status 1 when the file
// cannot be read, holds another version or ends early.
SynthParams ReadSettingsFile(const std::string& path);

// The --set names with their units and the examples, for --help.
std::string ParameterHelp();

}  // namespace quavix::cli
