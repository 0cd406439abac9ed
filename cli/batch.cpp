// quavix batch: many sounds of one recipe, sound i with seed S + i, written
// by several threads into numbered files and described in manifest.json.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <system_error>
#include <thread>

#include "cli_error.h"
#include "commands.h"
#include "design/presets.h"
#include "exchange/settings_string.h"
#include "numbers.h"
#include "output_file.h"

namespace quavix::cli {
namespace {

inline constexpr std::int64_t kMaxCount = 1000000;
inline constexpr std::int64_t kMaxJobs = 1024;

struct BatchEntry {
  std::string File;
  std::uint32_t Seed = 0;
  std::string Settings;
  std::size_t Samples = 0;
  SoundLevels Levels;
  bool Written = false;
};

std::string DefaultName(const SoundRecipe& recipe) {
  if (recipe.Source == ParamSource::Preset) {
    return std::string(kPresetFamilyNames[static_cast<std::size_t>(recipe.PresetFamily)].Name);
  }
  return "random";
}

std::string PaddedIndex(std::int64_t i, std::int64_t count) {
  const std::size_t width = std::to_string(count - 1).size();
  std::string digits = std::to_string(i);
  return std::string(width - digits.size(), '0') + digits;
}

// The render command that makes sound i again, for the manifest.
std::string RenderCommandFor(const BatchArgs& args, const SoundRecipe& recipe, const BatchEntry& entry) {
  std::string cmd = "quavix render --seed " + std::to_string(entry.Seed);
  if (recipe.Source == ParamSource::Preset) {
    cmd += " --preset " + std::string(kPresetFamilyNames[static_cast<std::size_t>(recipe.PresetFamily)].Name);
  } else {
    cmd += " --randomize";
  }
  for (const ParamChange& change : recipe.Changes) cmd += " --set " + change.Text;
  if (recipe.MutateCoefficient) cmd += " --mutate " + args.Recipe.Mutate;
  if (recipe.BufferSeconds != 5) cmd += " --buffer-length " + std::to_string(recipe.BufferSeconds);
  return cmd + " -o " + entry.File;
}

void DrawProgress(std::ostream& err, std::int64_t done, std::int64_t count) {
  constexpr int kWidth = 30;
  const int filled = static_cast<int>(done * kWidth / count);
  err << "\r[" << std::string(static_cast<std::size_t>(filled), '#')
      << std::string(static_cast<std::size_t>(kWidth - filled), '.') << "] " << done << '/' << count
      << std::flush;
}

void CheckName(const std::string& name) {
  if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos) {
    ThrowUsage("--name: '" + name + "' cannot start a file name");
  }
}

}  // namespace

CLI::App* AddBatchCommand(CLI::App& app, BatchArgs& args) {
  CLI::App* cmd = app.add_subcommand("batch", "Synthesize many sounds of one recipe, with a manifest");
  args.SeedOption = cmd->add_option("--seed", args.Seed, "Seed S of sound 0, 32 bits (default: the clock)")
                        ->type_name("S");
  AddRecipeOptions(*cmd, args.Recipe, false);
  cmd->add_option("--count", args.Count, "Number of sounds, 1 to 1000000")->type_name("N")->required();
  cmd->add_option("--out-dir", args.OutDir, "Folder for the sounds and manifest.json (created if missing)")
      ->type_name("DIR")
      ->required();
  args.JobsOption =
      cmd->add_option("--jobs", args.Jobs, "Threads to use (default: all cores)")->type_name("J");
  cmd->add_option("--name", args.Name, "File name stem (default: the preset family, or 'random')")
      ->type_name("NAME");
  cmd->footer(
      "Sound i (from 0) is exactly what 'quavix render --seed S+i' with the same options gives\n"
      "(S+i wraps at 32 bits), whatever --jobs is. Files are named NAME-i.wav, zero-padded so\n"
      "that they sort; manifest.json lists each file's seed, settings string, sample count, peak\n"
      "and clipped-sample count (+-32000), and the render command that makes it again.\n\n" +
      ParameterHelp() +
              "\nExamples:\n"
              "  quavix batch --preset coin --count 20 --seed 100 --out-dir coins\n"
              "  quavix batch --randomize --mutate 0.05 --count 1000 --out-dir sfx --jobs 2\n");
  return cmd;
}

int RunBatch(const BatchArgs& args, const Streams& streams) {
  const std::int64_t count = ParseWhole(args.Count, 1, kMaxCount, "--count");
  std::int64_t jobs = std::max<std::int64_t>(1, std::thread::hardware_concurrency());
  if (args.JobsOption->count() > 0) jobs = ParseWhole(args.Jobs, 1, kMaxJobs, "--jobs");
  if (args.SeedOption->count() > 0) ParseSeed(args.Seed, "--seed");
  const SoundRecipe recipe = ResolveRecipe(args.Recipe);
  if (recipe.Source != ParamSource::Preset && recipe.Source != ParamSource::Randomize) {
    ThrowUsage("batch needs --preset NAME or --randomize");
  }
  const std::string name = args.Name.empty() ? DefaultName(recipe) : args.Name;
  CheckName(name);
  const std::uint32_t seed = SeedOrClock(args.Seed, args.SeedOption, streams);

  std::error_code ec;
  std::filesystem::create_directories(args.OutDir, ec);
  if (ec || !std::filesystem::is_directory(args.OutDir, ec)) {
    ThrowFailure("cannot create the folder '" + args.OutDir + "'" + (ec ? ": " + ec.message() : ""));
  }
  const std::string folder = args.OutDir.back() == '/' ? args.OutDir : args.OutDir + "/";

  const auto started = std::chrono::steady_clock::now();
  std::vector<BatchEntry> entries(static_cast<std::size_t>(count));
  std::atomic<std::int64_t> next{0};
  std::atomic<std::int64_t> done{0};
  std::atomic<bool> failed{false};
  std::mutex reportMutex;
  std::optional<CliError> firstError;
  const bool progress = streams.ErrIsTerminal;

  // Each worker takes a few consecutive sounds at a time and synthesizes them
  // side by side; every sound still depends only on its own seed.
  constexpr std::int64_t kSoundsPerTake = 16;
  const auto worker = [&] {
    for (;;) {
      const std::int64_t first = next.fetch_add(kSoundsPerTake);
      if (first >= count || failed.load()) return;
      const std::int64_t last = std::min(first + kSoundsPerTake, count);
      try {
        std::vector<std::uint32_t> seeds;
        for (std::int64_t i = first; i < last; ++i) {
          seeds.push_back(static_cast<std::uint32_t>(seed + static_cast<std::uint32_t>(i)));
        }
        const std::vector<RenderedSound> sounds = MakeSounds(recipe, seeds);
        for (std::int64_t i = first; i < last; ++i) {
          BatchEntry& entry = entries[static_cast<std::size_t>(i)];
          const RenderedSound& sound = sounds[static_cast<std::size_t>(i - first)];
          entry.Seed = seeds[static_cast<std::size_t>(i - first)];
          entry.File = name + "-" + PaddedIndex(i, count) + ".wav";
          entry.Settings = ExportSettingsString(sound.Params);
          entry.Samples = sound.SampleCount;
          entry.Levels = MeasureLevels(sound.Samples());
          CommitFile(StageFile(folder + entry.File, sound.ImageData(), sound.ImageSize()));
          entry.Written = true;
        }
      } catch (const CliError& e) {
        const std::lock_guard lock(reportMutex);
        if (!firstError) firstError = e;
        failed = true;
        return;
      } catch (const std::exception& e) {
        const std::lock_guard lock(reportMutex);
        if (!firstError) firstError = CliError{kExitFailure, e.what()};
        failed = true;
        return;
      }
      const std::int64_t finished = done.fetch_add(last - first) + (last - first);
      if (progress) {
        const std::lock_guard lock(reportMutex);
        DrawProgress(streams.Err, finished, count);
      }
    }
  };
  std::vector<std::thread> threads;
  const std::int64_t threadCount = std::min(jobs, (count + kSoundsPerTake - 1) / kSoundsPerTake);
  for (std::int64_t t = 0; t < threadCount; ++t) threads.emplace_back(worker);
  for (std::thread& t : threads) t.join();
  if (progress) streams.Err << '\n';

  if (failed) {
    // No partial batch: take back the sounds this run wrote.
    for (const BatchEntry& entry : entries) {
      if (entry.Written) std::filesystem::remove(folder + entry.File, ec);
    }
    throw *firstError;
  }

  nlohmann::ordered_json manifest;
  manifest["generator"] = "quavix " QUAVIX_VERSION;
  manifest["seed"] = seed;
  manifest["count"] = count;
  if (recipe.Source == ParamSource::Preset) {
    manifest["preset"] = kPresetFamilyNames[static_cast<std::size_t>(recipe.PresetFamily)].Name;
  } else {
    manifest["randomize"] = true;
  }
  manifest["set"] = args.Recipe.Sets;
  manifest["mutate"] = recipe.MutateCoefficient ? nlohmann::ordered_json(static_cast<double>(*recipe.MutateCoefficient))
                                                : nlohmann::ordered_json(nullptr);
  manifest["buffer_length"] = recipe.BufferSeconds;
  manifest["sample_rate"] = 44100;
  manifest["clip_level"] = kClipLevel;
  nlohmann::ordered_json sounds = nlohmann::ordered_json::array();
  std::int64_t clippedSounds = 0;
  for (const BatchEntry& entry : entries) {
    sounds.push_back({{"file", entry.File},
                      {"seed", entry.Seed},
                      {"settings", entry.Settings},
                      {"samples", entry.Samples},
                      {"peak", entry.Levels.Peak},
                      {"clipped", entry.Levels.Clipped},
                      {"command", RenderCommandFor(args, recipe, entry)}});
    if (entry.Levels.Clipped > 0) ++clippedSounds;
  }
  manifest["sounds"] = std::move(sounds);
  const std::string text = manifest.dump(2) + "\n";
  try {
    WriteFilesTogether({{folder + "manifest.json", reinterpret_cast<const std::uint8_t*>(text.data()),
                         text.size()}});
  } catch (const CliError&) {
    for (const BatchEntry& entry : entries) std::filesystem::remove(folder + entry.File, ec);
    throw;
  }

  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  char timing[32];
  std::snprintf(timing, sizeof timing, "%.2f s", seconds);
  streams.Err << "quavix: wrote " << count << " sound" << (count == 1 ? "" : "s") << " ("
              << entries.front().File << (count > 1 ? " .. " + entries.back().File : "")
              << ") and manifest.json to " << args.OutDir << " in " << timing << " with "
              << threadCount << " job" << (threadCount == 1 ? "" : "s") << "; " << clippedSounds
              << " with clipped samples\n";
  return kExitOk;
}

}  // namespace quavix::cli
