// The tool's commands: each registers its options on a CLI11 subcommand and
// runs from the parsed values.
#pragma once

#include "cli_forward.h"

#include <ostream>
#include <string>

#include "export_options.h"
#include "recipe_options.h"

namespace quavix::cli {

// Where a command writes: stdout, stderr, whether stderr is a terminal (the
// batch progress bar is only drawn on one) and whether stdout is one (no WAV
// is written to a terminal).
struct Streams {
  std::ostream& Out;
  std::ostream& Err;
  bool ErrIsTerminal;
  bool OutIsTerminal;
};

struct RenderArgs {
  RecipeArgs Recipe;
  std::string Seed;
  CLI::Option* SeedOption = nullptr;
  std::string Output;
  std::string SaveSettings;
  bool PrintSettings = false;
  ExportArgs Export;
  std::string Layers;  // a project file whose layered sound to render
  CLI::Option* LayersOption = nullptr;
  std::string SoundName;
  CLI::Option* SoundNameOption = nullptr;
};

struct BatchArgs {
  RecipeArgs Recipe;
  std::string Seed;
  CLI::Option* SeedOption = nullptr;
  std::string Count;
  std::string OutDir;
  std::string Jobs;
  CLI::Option* JobsOption = nullptr;
  std::string Name;
  bool SkipSilent = false;
  ExportArgs Export;
  std::string Project;
  CLI::Option* ProjectOption = nullptr;
  CLI::Option* CountOption = nullptr;
};

struct InfoArgs {
  std::string SettingsFile;
  std::string SettingsString;
  CLI::Option* SettingsFileOption = nullptr;
  CLI::Option* SettingsStringOption = nullptr;
  std::string Seed = "1";
  std::string BufferLength = "5";
  bool Json = false;
  std::string Trim;
  CLI::Option* TrimOption = nullptr;
  CLI::Option* SeedOption = nullptr;
  CLI::Option* BufferLengthOption = nullptr;
  std::string Layers;
  CLI::Option* LayersOption = nullptr;
  std::string SoundName;
  CLI::Option* SoundNameOption = nullptr;
};

struct MatchArgs {
  std::string Target;
  std::string Seconds, Evaluations, Family, Top, Seed, Jobs;
  CLI::Option* SecondsOption = nullptr;
  CLI::Option* EvaluationsOption = nullptr;
  CLI::Option* FamilyOption = nullptr;
  CLI::Option* TopOption = nullptr;
  CLI::Option* SeedOption = nullptr;
  CLI::Option* JobsOption = nullptr;
  std::string Output;
  std::string SaveSettings;
};

CLI::App* AddRenderCommand(CLI::App& app, RenderArgs& args);
CLI::App* AddMatchCommand(CLI::App& app, MatchArgs& args);
CLI::App* AddBatchCommand(CLI::App& app, BatchArgs& args);
CLI::App* AddInfoCommand(CLI::App& app, InfoArgs& args);
CLI::App* AddPresetsCommand(CLI::App& app);

// Each returns the exit status or throws CliError.
int RunRender(const RenderArgs& args, const Streams& streams);
int RunBatch(const BatchArgs& args, const Streams& streams);
int RunInfo(const InfoArgs& args, const Streams& streams);
int RunPresets(const Streams& streams);
int RunMatch(const MatchArgs& args, const Streams& streams);

// The seed given with --seed, or the clock's (announced on stderr so that the
// sound can be made again).
std::uint32_t SeedOrClock(const std::string& text, const CLI::Option* option, const Streams& streams);

}  // namespace quavix::cli
