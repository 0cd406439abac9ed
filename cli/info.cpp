// quavix info: the parameters of a settings file or string in both units,
// its settings string, and the sound it makes with a given seed.
#include <sys/stat.h>

#include <CLI/CLI.hpp>
#include <tuple>
#include <bit>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <nlohmann/json.hpp>

#include "cli_error.h"
#include "commands.h"
#include "design/layered_sound.h"
#include "exchange/layers_text.h"
#include "project_file.h"
#include "recipe_options.h"
#include "exchange/decimal_text.h"
#include "exchange/param_table.h"
#include "exchange/settings_file.h"
#include "exchange/settings_string.h"
#include "export_output.h"
#include "numbers.h"
#include "output_file.h"
#include "synth/oscillator_period.h"

namespace quavix::cli {
namespace {

std::string Format(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

// JSON has no NaN or infinity: such values are written as null.
nlohmann::ordered_json JsonNumber(float value) {
  if (!std::isfinite(value)) return nullptr;
  return static_cast<double>(value);
}

// A repeat or change that is off reads "off", not its unit's infinity or 0.
bool IsOff(const ParamInfo& p, const SynthParams& params) {
  const float stored = StoredValue(params, p.Index);
  if (p.Unit == ParamUnit::RepeatsPerSecond) return stored == 0 || stored == 1;
  if (p.Unit == ParamUnit::ChangeSeconds) return stored == 1;
  return false;
}

std::string Bits(const SynthParams& params, std::int32_t index) {
  std::uint32_t bits = 0;
  if (index == 1) {
    bits = static_cast<std::uint32_t>(params.WaveType);
  } else {
    bits = std::bit_cast<std::uint32_t>(StoredValue(params, index));
  }
  char text[16];
  std::snprintf(text, sizeof text, "0x%08x", bits);
  return text;
}

// A named pipe may wait for ever for a writer or for its end, and a device or
// socket is no file to describe: only regular files (and '-') are read.
void RequireRegularFile(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0)
    ThrowFailure("cannot read " + EchoPath(path) + ": " + std::strerror(errno));
  if (S_ISREG(st.st_mode) || S_ISDIR(st.st_mode)) return;  // a folder is refused by the reading
  const char* kind = S_ISFIFO(st.st_mode)   ? "a named pipe (FIFO)"
                     : S_ISCHR(st.st_mode)  ? "a character device"
                     : S_ISBLK(st.st_mode)  ? "a block device"
                     : S_ISSOCK(st.st_mode) ? "a socket"
                                            : "a special file";
  ThrowFailure("cannot read " + EchoPath(path) + ": it is " + kind +
               ", not a regular file (a settings file can come on standard input as '-')");
}

std::string UnitLabel(const ParamInfo& p) {
  if (p.Unit == ParamUnit::Stored || p.Unit == ParamUnit::WaveType) return "";
  return std::string(p.UnitName);
}

}  // namespace

CLI::App* AddInfoCommand(CLI::App& app, InfoArgs& args) {
  CLI::App* cmd = app.add_subcommand("info", "Show the parameters of a settings file or string and their sound");
  args.SettingsFileOption = cmd->add_option("file", args.SettingsFile,
                                            "Settings file (*.sfs), or a sound file (WAV, RF64, "
                                            "FLAC, Ogg, AIFF, AU, CAF, Wave64)")
                                ->type_name("FILE");
  args.SettingsStringOption =
      cmd->add_option("--csv", args.SettingsString, "Settings string instead of a file")->type_name("STRING");
  args.SeedOption = cmd->add_option("--seed", args.Seed, "Seed of the random source for the rendering (default 1)")
                        ->type_name("N");
  args.BufferLengthOption =
      cmd->add_option("--buffer-length", args.BufferLength, "Buffer length in whole seconds, 0 to 60 (default 5)")
          ->type_name("SECONDS");
  std::tie(args.LayersOption, args.SoundNameOption) = AddLayersOptions(*cmd, "show", args.Layers, args.SoundName);
  cmd->add_flag("--json", args.Json, "Machine-readable output");
  args.TrimOption = cmd->add_option("--trim", args.Trim, "Threshold of the duration after trimming, dBFS (default -60)")
                        ->type_name("[DB]")
                        ->expected(0, 1);
  cmd->footer(
      "Shows the 24 parameters in the users' units and in stored units, the settings string,\n"
      "and the sound they make with --seed: its length in samples and seconds, its peak and\n"
      "its count of clipped samples (+-32000), and the pitch its start period gives.\n"
      "--json adds each stored value's 32-bit pattern and the settings file's bytes in hex:\n"
      "the settings string is rounded to four decimals by design.\n"
      "Loudness: EBU R128 integrated loudness (LUFS) and true peak (dBTP), and the length\n"
      "left after trimming silence below --trim (default -60 dBFS), of the sound or of a\n"
      "sound file; a sound shorter than 400 ms is measured padded with silence to 400 ms,\n"
      "as --normalize and --match-loudness measure it. Only regular files are read.\n\n"
      "Examples:\n"
      "  quavix info coin.sfs\n"
      "  quavix info coin.ogg --trim -50\n"
      "  quavix info --csv '1.0000,,,0.3000,,0.4000,0.3000,,,,,,,,,,,,,1.0000,,,,' --json\n"
      "  quavix info --layers sounds.json --sound \"Laser over noise\"\n");
  return cmd;
}

namespace {

// info --layers: each layer's recipe, start, gain and length, and the mix's length, peak and clipping.
int RunLayersInfo(const InfoArgs& args, const Streams& streams) {
  RefuseBesideLayers({{"file", args.SettingsFileOption}, {"--csv", args.SettingsStringOption},
                      {"--seed", args.SeedOption}, {"--buffer-length", args.BufferLengthOption},
                      {"--trim", args.TrimOption}});
  const ProjectSound sound =
      ChooseProjectSound(args.Layers, Given(args.SoundNameOption) ? &args.SoundName : nullptr);
  const std::vector<Layer> layers = LayersOf(sound);
  const LayerMix mix = MixLayers(layers);
  const std::int32_t peak = MeasureLevels(mix.Samples).Peak;
  const double seconds = static_cast<double>(mix.Samples.size()) / kSampleRate;
  if (args.Json) {
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (std::size_t i = 0; i < layers.size(); ++i) {
      const Layer& l = layers[i];
      list.push_back({{"seed", l.RandomState}, {"buffer_length", l.BufferSeconds}, {"offset", l.Offset},
                      {"gain_db", l.GainTenths / 10.0}, {"muted", l.Muted}, {"settings", ExportSettingsString(l.Params)},
                      {"sfs", SettingsFileHex(l.Params)}, {"samples", mix.LayerSamples[i]}});
    }
    streams.Out << nlohmann::ordered_json{{"name", sound.Name}, {"layers", list}, {"samples", mix.Samples.size()},
                                          {"seconds", seconds}, {"peak", peak}, {"clipped", mix.Clipped},
                                          {"text", WriteLayersText(layers)}}
                       .dump(2)
                << '\n';
  } else {
    streams.Out << "layered sound " << Echo(sound.Name) << ": " << layers.size() << " layer"
                << (layers.size() == 1 ? "" : "s") << "\n";
    streams.Out << "  #        seed  buffer     offset (s)     gain     samples\n";
    for (std::size_t i = 0; i < layers.size(); ++i) {
      const Layer& l = layers[i];
      char line[160];
      std::snprintf(line, sizeof line, "%3zu  %10u  %4u s  %9d (%7.3f)  %5s dB  %8zu%s\n", i + 1, l.RandomState,
                    l.BufferSeconds, l.Offset, l.Offset / static_cast<double>(kSampleRate),
                    GainText(l.GainTenths).c_str(), mix.LayerSamples[i], l.Muted ? "  muted" : "");
      streams.Out << line;
    }
    streams.Out << "mix: " << mix.Samples.size() << " samples (" << Format("%.3f", seconds) << " s), peak " << peak
                << ", " << mix.Clipped << " sample" << (mix.Clipped == 1 ? "" : "s") << " clipped in the mix\n";
    streams.Out << "text: " << WriteLayersText(layers) << "\n";
  }
  FlushOrThrow(streams.Out);
  return kExitOk;
}

}  // namespace

int RunInfo(const InfoArgs& args, const Streams& streams) {
  if (Given(args.SoundNameOption) && !Given(args.LayersOption)) ThrowUsage("--sound names a sound of --layers FILE.json");
  if (Given(args.LayersOption)) return RunLayersInfo(args, streams);
  const std::uint32_t seed = ParseSeed(args.Seed, "--seed");
  SoundRecipe recipe;
  recipe.BufferSeconds = ParseBufferLength(args.BufferLength);
  // "--trim FILE": the threshold is optional, so CLI11 hands the file to it.
  std::string file = args.SettingsFile;
  bool haveFile = args.SettingsFileOption->count() > 0;
  double trimDb = exporting::kDefaultTrimDb;
  if (args.TrimOption->count() > 0) {
    const bool valued = !args.TrimOption->results().empty() && !args.TrimOption->results().front().empty();
    if (valued && !haveFile && args.SettingsStringOption->count() == 0 && !IsDecimalNumber(args.Trim)) {
      file = args.Trim;
      haveFile = true;
    } else {
      trimDb = ParseTrimThreshold(*args.TrimOption, args.Trim);
    }
  }
  if (args.SettingsStringOption->count() > 0 && haveFile) {
    ThrowUsage("give a settings file or --csv STRING, not both");
  }
  if (args.SettingsStringOption->count() > 0) {
    RequireValidSettingsString(args.SettingsString);
    recipe.Source = ParamSource::SettingsString;
    recipe.SettingsString = args.SettingsString;
  } else if (haveFile) {
    if (file != "-") RequireRegularFile(file);
    if (file != "-" && LooksLikeSoundFile(ReadWholeFile(file, kSettingsFileRead))) {
      return RunSoundFileInfo(file, trimDb, args.Json, streams);
    }
    recipe.Source = ParamSource::SettingsFile;
    recipe.Loaded = ReadSettingsFile(file);
  } else {
    ThrowUsage("info needs a settings file or --csv STRING");
  }

  const RenderedSound sound = MakeSound(recipe, seed);
  const SoundLevels levels = MeasureLevels(sound.Samples());
  const double seconds = static_cast<double>(sound.SampleCount) / sound.Params.SampleRate;
  const std::string settings = ExportSettingsString(sound.Params);
  const std::int32_t period = StartPeriod(sound.Params.StartFreq);
  const double pitch = PitchOfPeriod(sound.Params.SampleRate, period);
  const std::string silence = SilenceText(WhySilent(sound.Params, levels), sound.Params);
  const std::optional<LoudnessSummary> loudness = SummarizeSound(sound.Samples(), trimDb);

  if (args.Json) {
    nlohmann::ordered_json params = nlohmann::ordered_json::array();
    for (const ParamInfo& p : kParamTable) {
      nlohmann::ordered_json item{{"index", p.Index}, {"name", p.Name}, {"unit", UnitLabel(p)}};
      if (p.Unit == ParamUnit::WaveType) {
        item["value"] = sound.Params.WaveType;
        item["stored"] = sound.Params.WaveType;
      } else {
        item["value"] = IsOff(p, sound.Params) ? nlohmann::ordered_json("off") : JsonNumber(p.Get(sound.Params));
        item["stored"] = JsonNumber(StoredValue(sound.Params, p.Index));
      }
      item["bits"] = Bits(sound.Params, p.Index);
      params.push_back(std::move(item));
    }
    nlohmann::ordered_json out{{"parameters", params},
                             {"settings", settings},
                             {"sfs", SettingsFileHex(sound.Params)},
                             {"start_period", period},
                             {"start_pitch_hz", pitch},
                             {"render",
                              {{"seed", seed},
                               {"buffer_length", recipe.BufferSeconds},
                               {"samples", sound.SampleCount},
                               {"seconds", seconds},
                               {"peak", levels.Peak},
                               {"clipped", levels.Clipped},
                               {"silent", !silence.empty()}}}};
    if (loudness) {
      nlohmann::ordered_json& render = out["render"];
      render["loudness_lufs"] = JsonLevel(loudness->Lufs);
      render["loudness_padded"] = loudness->Padded;
      render["true_peak_dbtp"] = JsonLevel(loudness->TruePeakDbtp);
      render["trim_threshold_db"] = trimDb;
      render["trimmed_seconds"] = loudness->TrimmedSeconds;
    }
    streams.Out << out.dump(2) << '\n';
  } else {
    streams.Out << "  #  parameter       user value  unit                  stored value\n";
    for (const ParamInfo& p : kParamTable) {
      char line[160];
      const std::string name(p.Name);
      if (p.Unit == ParamUnit::WaveType) {
        std::snprintf(line, sizeof line, "%3d  %-14s %11d  %-20s %13d\n", p.Index, name.c_str(),
                      sound.Params.WaveType, "", sound.Params.WaveType);
      } else {
        const std::string user =
            IsOff(p, sound.Params) ? "off" : Format("%.6g", static_cast<double>(p.Get(sound.Params)));
        std::snprintf(line, sizeof line, "%3d  %-14s %11s  %-20s %13s\n", p.Index, name.c_str(), user.c_str(),
                      UnitLabel(p).c_str(),
                      Format("%.9g", static_cast<double>(StoredValue(sound.Params, p.Index))).c_str());
      }
      streams.Out << line;
    }
    streams.Out << "settings string: " << settings << " (rounded to 4 decimals)\n";
    streams.Out << "settings file:   " << SettingsFileHex(sound.Params) << '\n';
    streams.Out << "start pitch: " << Format("%.3f", pitch) << " Hz (period " << period << " subsamples)\n";
    streams.Out << "sound with seed " << seed << ", buffer " << recipe.BufferSeconds
                << " s: " << sound.SampleCount << " samples (" << Format("%.3f", seconds) << " s), peak "
                << levels.Peak << " (" << Format("%.3f", static_cast<double>(levels.Peak) / kClipLevel)
                << " of 32000), " << levels.Clipped << " clipped sample" << (levels.Clipped == 1 ? "" : "s");
    if (loudness) {
      streams.Out << "; loudness " << TextLevel(loudness->Lufs) << " LUFS integrated"
                  << (loudness->Padded ? " (shorter than 400 ms: measured padded with silence to 400 ms)" : "")
                  << ", true peak " << TextLevel(loudness->TruePeakDbtp) << " dBTP, "
                  << Format("%.3f", loudness->TrimmedSeconds) << " s after trimming at " << Format("%g", trimDb)
                  << " dBFS";
    }
    streams.Out << '\n';
    if (!silence.empty()) streams.Out << "silent: " << silence << '\n';
  }
  FlushOrThrow(streams.Out);
  return kExitOk;
}

}  // namespace quavix::cli
