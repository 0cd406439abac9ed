// quavix render: one sound into a WAV file, stdout, a settings file or a
// settings string.
#include <CLI/CLI.hpp>
#include <tuple>
#include "cli_error.h"
#include "commands.h"
#include "design/randomize.h"
#include "exchange/settings_file.h"
#include "exchange/settings_string.h"
#include "export_output.h"
#include "numbers.h"
#include "output_file.h"
#include "project_file.h"
#include "design/layered_sound.h"
#include "exchange/wave_image.h"
#include "synth/sound_length.h"

namespace quavix::cli {

CLI::App* AddRenderCommand(CLI::App& app, RenderArgs& args) {
  CLI::App* cmd = app.add_subcommand("render", "Synthesize one sound into a WAV file (" + std::to_string(kSampleRate) + " Hz, 16-bit mono)");
  args.SeedOption = cmd->add_option("--seed", args.Seed, "Seed of the random source, 32 bits")
                        ->type_name("N");
  AddRecipeOptions(*cmd, args.Recipe, true);
  cmd->add_option("-o,--output", args.Output, "Sound file to write, '-' for stdout; .flac, .ogg or .raw choose that format")->type_name("OUT.wav");
  cmd->add_option("--save-sfs", args.SaveSettings, "Write the final parameters to a settings file")
      ->type_name("FILE");
  cmd->add_flag("--print-csv", args.PrintSettings, "Print the final parameters' settings string on stdout");
  AddExportOptions(*cmd, args.Export, false);
  std::tie(args.LayersOption, args.SoundNameOption) = AddLayersOptions(*cmd, "render", args.Layers, args.SoundName);
  cmd->footer(
      "Steps, in this fixed order:\n"
      "  1. seed the random source (--seed, or the clock, which is then printed on stderr);\n"
      "  2. take the parameters from --preset, --randomize, --sfs or --csv (at most one;\n"
      "     the default parameters when none is given);\n"
      "  3. apply each --set NAME=VALUE in the order given, in the parameter's user unit;\n"
      "  4. mutate them with --mutate C;\n"
      "  5. synthesize, cutting the sound at --buffer-length x " + std::to_string(kSamplesPerBufferSecond) +
      " samples.\n\n" + 
      ParameterHelp() + "\n" + ExportHelp(false) +
              "\nExamples:\n"
              "  quavix render --preset coin --seed 42 --save-sfs coin.sfs -o coin.wav\n"
              "  quavix render --preset laser --set SustainTime=0.25 --set StartFreqHz=880 -o laser.wav\n"
              "  quavix render --randomize --mutate 0.1 --save-sfs odd.sfs --print-csv -o odd.wav\n"
              "  quavix render --sfs odd.sfs --seed 7 -o - | aplay\n"
              "  quavix render --preset coin --seed 42 --format ogg --rate 48000 --normalize lufs:-16 -o coin.ogg\n"
              "  quavix render --preset hurt --seed 3 --format flac --bits 24 --trim --fade-out 20 -o hurt.flac\n"
              "  quavix render --layers sounds.json --sound \"Laser over noise\" -o laser.wav\n\n"
              "With --layers, each layer of the sound is rendered from its own recipe, seed and buffer\n"
              "length, and the layers are mixed at their offsets and gains (see docs/project-file.md);\n"
              "the export options then shape the mix.\n");
  return cmd;
}

std::uint32_t SeedOrClock(const std::string& text, const CLI::Option* option, const Streams& streams) {
  if (option->count() > 0) return ParseSeed(text, "--seed");
  const std::uint32_t seed = CalendarSeconds();
  streams.Err << "quavix: seed " << seed << " (from the clock; --seed " << seed
              << " makes the same sound)\n";
  return seed;
}

namespace {

// Refuses an output that is an input or the other output, however spelled.
void CheckDistinctFiles(const RenderArgs& args) {
  struct Named {
    const char* Option;
    std::string Path;
  };
  std::vector<Named> files;
  if (!args.Recipe.SettingsFile.empty() && args.Recipe.SettingsFile != "-") {
    files.push_back({"--sfs", args.Recipe.SettingsFile});
  }
  if (!args.Output.empty() && args.Output != "-") files.push_back({"-o", args.Output});
  if (!args.SaveSettings.empty()) files.push_back({"--save-sfs", args.SaveSettings});
  for (std::size_t i = 0; i < files.size(); ++i) {
    for (std::size_t j = i + 1; j < files.size(); ++j) {
      if (IdentityOf(files[i].Path) == IdentityOf(files[j].Path)) {
        ThrowUsage(std::string(files[j].Option) + " " + EchoPath(files[j].Path) + " is the same file as " +
                   files[i].Option + " " + EchoPath(files[i].Path));
      }
    }
  }
}

// render --layers: the mix of a project's sound, a plain one taken as one layer at 0 dB.
int RunLayeredRender(const RenderArgs& args, const std::optional<ExportRequest>& exported, const Streams& streams) {
  RefuseBesideLayers({{"--seed", args.SeedOption}, {"--preset", args.Recipe.PresetOption},
                      {"--randomize", args.Recipe.RandomizeOption}, {"--sfs", args.Recipe.SettingsFileOption},
                      {"--csv", args.Recipe.SettingsStringOption}, {"--set", args.Recipe.SetOption},
                      {"--mutate", args.Recipe.MutateOption}, {"--buffer-length", args.Recipe.BufferLengthOption}});
  if (!args.SaveSettings.empty() || args.PrintSettings) {
    ThrowUsage("--layers makes a mix of several recipes, which no settings file or string holds: give -o OUT");
  }
  if (!args.Layers.empty() && args.Layers != "-" && !args.Output.empty() && args.Output != "-" &&
      IdentityOf(args.Layers) == IdentityOf(args.Output)) {
    ThrowUsage("-o " + EchoPath(args.Output) + " is the same file as --layers " + EchoPath(args.Layers));
  }
  const ProjectSound sound =
      ChooseProjectSound(args.Layers, Given(args.SoundNameOption) ? &args.SoundName : nullptr);
  const LayerMix mix = MixLayers(LayersOf(sound));
  std::vector<std::uint8_t> image;
  ExportReport report;
  if (exported) {
    report = ExportRendered(std::span<const float>(mix.Floats), exported->Settings);
    image = std::move(report.Bytes);
  } else {
    image = BuildWaveImage(DefaultParams(), mix.Samples.data(), mix.Samples.size());
  }
  if (args.Output == "-") {
    WriteToStream(streams.Out, image.data(), image.size());
  } else {
    RemoveStaleTemporaries(FolderOf(ResolveTarget(args.Output)));
    WriteFilesTogether({{args.Output, image.data(), image.size()}});
  }
  if (mix.Clipped > 0) {
    streams.Err << "quavix: warning: " << mix.Clipped << " sample" << (mix.Clipped == 1 ? " is" : "s are")
                << " clipped in the mix at -32768 or 32767\n";
  }
  for (const std::string& note : report.Notes) streams.Err << "quavix: note: " << note << '\n';
  return kExitOk;
}

}  // namespace

int RunRender(const RenderArgs& args, const Streams& streams) {
  const bool toStdout = args.Output == "-";
  if (Given(args.LayersOption) && args.Output.empty()) ThrowUsage("--layers needs -o OUT");
  if (Given(args.SoundNameOption) && !Given(args.LayersOption)) ThrowUsage("--sound names a sound of --layers FILE.json");
  if (args.Output.empty() && args.SaveSettings.empty() && !args.PrintSettings) {
    ThrowUsage("nothing to write: give -o OUT.wav, --save-sfs FILE or --print-csv");
  }
  if (toStdout && args.PrintSettings) {
    ThrowUsage("-o - and --print-csv cannot share stdout");
  }
  if (toStdout && streams.OutIsTerminal) {
    ThrowUsage("-o - would write a WAV file to the terminal; redirect stdout or name a file");
  }
  CheckDistinctFiles(args);
  if (!args.SaveSettings.empty()) {
    if (const auto sound = FormatOfName(args.SaveSettings, "--save-sfs")) {
      ThrowUsage("--save-sfs " + EchoPath(args.SaveSettings) + " would write a settings file under a " +
                 std::string(exporting::FormatName(*sound)) + " file's name");
    }
  }
  const std::optional<exporting::FileFormat> named =
      toStdout || args.Output.empty() ? std::nullopt : FormatOfName(args.Output, "-o");
  const std::optional<ExportRequest> exported = ResolveExport(args.Export, named, args.Output);
  if (exported && args.Output.empty()) ThrowUsage("the export options shape the sound file: give -o OUT");
  if (Given(args.LayersOption)) return RunLayeredRender(args, exported, streams);
  if (args.SeedOption->count() > 0) ParseSeed(args.Seed, "--seed");  // usage errors first
  const SoundRecipe recipe = ResolveRecipe(args.Recipe);
  const std::uint32_t seed = SeedOrClock(args.Seed, args.SeedOption, streams);

  const RenderedSound sound = MakeSound(recipe, seed);

  ExportReport report;
  const std::uint8_t* image = sound.ImageData();
  std::size_t imageSize = sound.ImageSize();
  if (exported) {
    report = ExportRendered(sound.Samples(), exported->Settings);
    image = report.Bytes.data();
    imageSize = report.Bytes.size();
  }

  std::vector<FileContent> files;
  if (!args.Output.empty() && !toStdout) files.push_back({args.Output, image, imageSize});
  const auto settings = EncodeSettings(sound.Params);
  if (!args.SaveSettings.empty()) files.push_back({args.SaveSettings, settings.data(), settings.size()});
  for (const FileContent& f : files) RemoveStaleTemporaries(FolderOf(ResolveTarget(f.Target)));
  WriteFilesTogether(files);
  if (toStdout) WriteToStream(streams.Out, image, imageSize);
  if (args.PrintSettings) {
    streams.Out << ExportSettingsString(sound.Params) << '\n';
    FlushOrThrow(streams.Out);
    const std::string why = WhyNotASettingsString(sound.Params);
    if (!why.empty()) streams.Err << "quavix: warning: --csv will not read this settings string back: " << why << '\n';
  }
  if (!args.Output.empty()) {
    const SoundLevels levels = MeasureLevels(sound.Samples());
    Silence why = WhySilent(sound.Params, levels);
    if (why == Silence::None && exported && report.Silent) why = Silence::FileAllZero;
    const std::string silence = SilenceText(why, sound.Params);
    if (!silence.empty()) streams.Err << "quavix: warning: the sound is silent: " << silence << '\n';
    if (levels.Clipped > 0) {
      streams.Err << "quavix: warning: " << levels.Clipped << " sample" << (levels.Clipped == 1 ? " is" : "s are")
                  << " clipped at +-32000\n";
    }
    for (const std::string& note : report.Notes) streams.Err << "quavix: note: " << note << '\n';
  }
  return kExitOk;
}

}  // namespace quavix::cli
