// quavix match: the recipes that sound most like a sound file, printed as the
// render commands that make them again.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <thread>

#include "cli_error.h"
#include "commands.h"
#include "design/presets.h"
#include "exchange/settings_file.h"
#include "exchange/settings_string.h"
#include "export_options.h"
#include "export_output.h"
#include "match/sound_match.h"
#include "numbers.h"
#include "output_file.h"
#include "sound_recipe.h"
#include "synth/sound_length.h"

namespace quavix::cli {
namespace {

constexpr double kMostTargetSeconds = 10;
constexpr std::int64_t kDefaultEvaluations = 1000;
constexpr std::int64_t kMostTop = 20;
constexpr std::int64_t kJobsPerCore = 4;

std::int64_t CoreCount() { return std::max<std::int64_t>(1, std::thread::hardware_concurrency()); }

// The shortest buffer that holds the whole target: the tool's default of 5 s when it does.
std::uint32_t BufferFor(std::size_t targetSamples) {
  const auto seconds = static_cast<std::uint32_t>((targetSamples + kSamplesPerBufferSecond - 1) / kSamplesPerBufferSecond);
  return std::max<std::uint32_t>(5, seconds + 1);
}

std::int32_t ParseSource(const std::string& text) {
  if (text == "randomize" || text == "random") return match::kRandomizeSource;
  if (const auto family = FindPresetFamily(text)) return *family;
  if (text.size() == 1 && text[0] >= '0' && text[0] < '0' + kPresetFamilyCount) return text[0] - '0';
  std::string names;
  for (const PresetFamilyName& f : kPresetFamilyNames) names += std::string(f.Name) + ", ";
  ThrowUsage("--family: unknown family " + Echo(text, 40) + " (choose " + names + "0-6 or randomize)");
}

// The render command that makes the candidate's samples again, byte for byte.
std::string RenderCommand(const match::Candidate& c, std::uint32_t bufferSeconds, const std::string& output) {
  std::string command = "quavix render ";
  switch (c.From) {
    case match::Origin::Preset:
      command += "--preset " + std::string(kPresetFamilyNames[static_cast<std::size_t>(c.Family)].Name) +
                 " --seed " + std::to_string(c.Seed);
      break;
    case match::Origin::Randomize:
      command += "--randomize --seed " + std::to_string(c.Seed);
      break;
    case match::Origin::Refined:
      command += "--csv " + ExportSettingsString(c.Params) + " --seed " + std::to_string(c.Random.State);
      break;
  }
  if (bufferSeconds != 5) command += " --buffer-length " + std::to_string(bufferSeconds);
  return command + " -o " + output;
}

std::string DistanceText(double distance) {
  char text[32];
  std::snprintf(text, sizeof text, "%.4f", distance);
  return text;
}

void DrawProgress(std::ostream& err, const match::MatchProgress& p, double done) {
  constexpr int kWidth = 30;
  const int filled = static_cast<int>(std::clamp(done, 0.0, 1.0) * kWidth);
  err << "\r[" << std::string(static_cast<std::size_t>(filled), '#')
      << std::string(static_cast<std::size_t>(kWidth - filled), '.') << "] " << p.Evaluations
      << " sounds, best " << DistanceText(p.BestDistance) << std::flush;
}

void CheckDistinctFiles(const MatchArgs& args) {
  const std::vector<std::pair<const char*, std::string>> files = {
      {"TARGET", args.Target}, {"-o", args.Output}, {"--save-sfs", args.SaveSettings}};
  for (std::size_t i = 0; i < files.size(); ++i) {
    for (std::size_t j = i + 1; j < files.size(); ++j) {
      if (files[i].second.empty() || files[j].second.empty()) continue;
      if (IdentityOf(files[i].second) == IdentityOf(files[j].second)) {
        ThrowUsage(std::string(files[j].first) + " " + Echo(files[j].second, 40) + " is the same file as " +
                   files[i].first + " " + Echo(files[i].second, 40));
      }
    }
  }
}

}  // namespace

CLI::App* AddMatchCommand(CLI::App& app, MatchArgs& args) {
  CLI::App* cmd = app.add_subcommand("match", "Find the recipes that sound most like a sound file");
  cmd->add_option("TARGET", args.Target, "The sound to imitate: WAV, FLAC, Ogg, AIFF...; any rate, mono or stereo")
      ->required();
  args.SecondsOption = cmd->add_option("--seconds", args.Seconds, "Search for this long (not reproducible)")
                           ->type_name("S");
  args.EvaluationsOption =
      cmd->add_option("--evaluations", args.Evaluations,
                      "Try this many sounds (default " + std::to_string(kDefaultEvaluations) + ")")
          ->type_name("N")
          ->excludes(args.SecondsOption);
  args.FamilyOption = cmd->add_option("--family", args.Family, "Start only from this preset family, or randomize")
                          ->type_name("F");
  args.TopOption = cmd->add_option("--top", args.Top, "Print this many recipes, closest first (default 3)")
                       ->type_name("K");
  args.SeedOption = cmd->add_option("--seed", args.Seed, "Seed of the search, 32 bits (default 1)")->type_name("N");
  args.JobsOption = cmd->add_option("--jobs", args.Jobs, "Threads to use (default: all cores)")->type_name("J");
  cmd->add_option("-o,--output", args.Output, "Write the closest recipe's sound to this WAV file")
      ->type_name("OUT.wav");
  cmd->add_option("--save-sfs", args.SaveSettings, "Write the closest recipe's parameters to a settings file")
      ->type_name("FILE");
  cmd->footer(
      "The target is mixed down to mono, resampled to 44100 Hz and trimmed of its leading and\n"
      "trailing silence (below -60 dB); it may hold at most 10 s of sound. The search renders\n"
      "a broad sample of every preset family and of --randomize (or of --family F alone), then\n"
      "refines the closest few, each with its own wave type. It prints one line per recipe: its\n"
      "distance to the target (0 for the same sound) and the quavix render command that makes\n"
      "it again, sample for sample. The same target, --seed and --evaluations give the same\n"
      "recipes with any --jobs.\n\n"
      "Examples:\n"
      "  quavix render --preset laser --seed 5 -o laser.wav\n"
      "  quavix match laser.wav --evaluations 300 --top 2\n"
      "  quavix match laser.wav --family laser --evaluations 200 --seed 2 -o like.wav --save-sfs like.sfs\n");
  return cmd;
}

int RunMatch(const MatchArgs& args, const Streams& streams) {
  match::MatchSettings settings;
  settings.Evaluations = kDefaultEvaluations;
  if (Given(args.SecondsOption)) {
    const float seconds = ParseUserFloat(args.Seconds, "--seconds");
    if (!(seconds > 0 && seconds <= 86400)) {
      ThrowUsage("--seconds: " + Echo(args.Seconds, 40) + " is not a time above 0, up to 86400 seconds");
    }
    settings.Seconds = static_cast<double>(seconds);
    settings.Evaluations = 0;
  }
  if (Given(args.EvaluationsOption)) settings.Evaluations = ParseWhole(args.Evaluations, 1, 1'000'000'000, "--evaluations");
  if (Given(args.FamilyOption)) settings.Source = ParseSource(args.Family);
  settings.Top = static_cast<std::size_t>(Given(args.TopOption) ? ParseWhole(args.Top, 1, kMostTop, "--top") : 3);
  settings.Seed = Given(args.SeedOption) ? ParseSeed(args.Seed, "--seed") : 1;
  settings.Jobs = static_cast<std::size_t>(
      Given(args.JobsOption) ? ParseWhole(args.Jobs, 1, kJobsPerCore * CoreCount(), "--jobs") : CoreCount());
  if (args.Output == "-") ThrowUsage("-o - would mix the sound with the recipes on stdout; name a file");
  if (!args.Output.empty()) {
    if (const auto format = FormatOfName(args.Output, "-o"); format && *format != exporting::FileFormat::Wav) {
      ThrowUsage("-o " + Echo(args.Output, 40) + ": match writes WAV files only, not " +
                 std::string(exporting::FormatName(*format)));
    }
  }
  if (!args.SaveSettings.empty() && FormatOfName(args.SaveSettings, "--save-sfs").has_value()) {
    ThrowUsage("--save-sfs " + Echo(args.SaveSettings, 40) + " would write a settings file under a sound file's name");
  }
  CheckDistinctFiles(args);

  const std::vector<float> target = ReadMatchTarget(args.Target, kMostTargetSeconds);
  settings.BufferSeconds = BufferFor(target.size());
  const bool progress = streams.ErrIsTerminal;
  const auto begun = std::chrono::steady_clock::now();
  if (progress) {
    settings.Progress = [&](const match::MatchProgress& p) {
      const double done =
          settings.Evaluations > 0
              ? static_cast<double>(p.Evaluations) / static_cast<double>(settings.Evaluations)
              : std::chrono::duration<double>(std::chrono::steady_clock::now() - begun).count() / settings.Seconds;
      DrawProgress(streams.Err, p, done);
    };
  }
  const std::vector<match::Candidate> found = match::FindMatches(target, settings);
  if (progress) streams.Err << '\n';

  std::vector<FileContent> files;
  RenderedSound best;
  std::array<std::uint8_t, kSettingsFileSize> settingsFile{};
  if (!found.empty()) {
    best = MakeSound(SoundStart{found.front().Params, found.front().Random}, settings.BufferSeconds);
    settingsFile = EncodeSettings(found.front().Params);
  }
  if (!args.Output.empty()) files.push_back({args.Output, best.ImageData(), best.ImageSize()});
  if (!args.SaveSettings.empty()) files.push_back({args.SaveSettings, settingsFile.data(), settingsFile.size()});
  for (const FileContent& f : files) RemoveStaleTemporaries(FolderOf(ResolveTarget(f.Target)));
  WriteFilesTogether(files);

  for (std::size_t i = 0; i < found.size(); ++i) {
    streams.Out << DistanceText(found[i].Distance) << "  "
                << RenderCommand(found[i], settings.BufferSeconds, "match-" + std::to_string(i + 1) + ".wav")
                << '\n';
  }
  FlushOrThrow(streams.Out);
  return kExitOk;
}

}  // namespace quavix::cli
