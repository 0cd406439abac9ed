// quavix batch: many sounds of one recipe, sound i with seed S + i, written
// by several threads into numbered files and described in manifest.json.
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <nlohmann/json.hpp>
#include <limits>
#include <optional>
#include <system_error>
#include <thread>

#include "cli_error.h"
#include "commands.h"
#include "design/presets.h"
#include "exchange/settings_file.h"
#include "exchange/settings_string.h"
#include "exchange/wave_image.h"
#include "export_output.h"
#include "numbers.h"
#include "output_file.h"
#include "synth/sound_length.h"

namespace quavix::cli {
namespace {

inline constexpr std::int64_t kMaxCount = 1000000;
inline constexpr std::int64_t kJobsPerCore = 4;
// Each worker takes a few consecutive sounds at a time and synthesizes them
// side by side; every sound still depends only on its own seed.
inline constexpr std::int64_t kSoundsPerTake = 16;

struct BatchEntry {
  std::string File;
  std::uint32_t Seed = 0;
  std::string Settings;
  std::string SettingsHex;
  std::size_t Samples = 0;
  SoundLevels Levels;
  std::string Silence;  // why it is silent, or ""
  bool Written = false;
  nlohmann::ordered_json Export;  // the export figures, when exported
  bool Limited = false;
  double Reachable = 0;           // the loudest target the ceiling allows it
  bool ConversionClipped = false;
};

std::string DefaultName(const BatchArgs& args, const SoundRecipe& recipe) {
  if (recipe.Source == ParamSource::Preset) {
    return std::string(kPresetFamilyNames[static_cast<std::size_t>(recipe.PresetFamily)].Name);
  }
  if (recipe.Source == ParamSource::Randomize) return "random";
  if (recipe.Source == ParamSource::SettingsFile && args.Recipe.SettingsFile != "-") {
    std::string stem = BaseNameOf(args.Recipe.SettingsFile);
    const std::size_t dot = stem.rfind('.');
    if (dot != std::string::npos && dot > 0) stem.resize(dot);
    if (!stem.empty() && stem != "." && stem != "..") return stem;
  }
  return "sound";
}

std::string PaddedIndex(std::int64_t i, std::int64_t count) {
  const std::size_t width = std::to_string(count - 1).size();
  std::string digits = std::to_string(i);
  return std::string(width - digits.size(), '0') + digits;
}

// One word for a POSIX shell: as it is when it holds only safe characters,
// otherwise in single quotes.
std::string ShellWord(const std::string& word) {
  const bool safe = !word.empty() && word.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                                                           "0123456789_./=:,+-@%") == std::string::npos;
  if (safe) return word;
  std::string quoted = "'";
  for (const char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// The render command that makes sound i again, for the manifest.
std::string RenderCommandFor(const BatchArgs& args, const SoundRecipe& recipe, const BatchEntry& entry,
                             const std::string& exportOptions) {
  std::string cmd = "quavix render --seed " + std::to_string(entry.Seed);
  switch (recipe.Source) {
    case ParamSource::Preset:
      cmd += " --preset " + std::string(kPresetFamilyNames[static_cast<std::size_t>(recipe.PresetFamily)].Name);
      break;
    case ParamSource::Randomize:
      cmd += " --randomize";
      break;
    case ParamSource::SettingsFile:
      cmd += " --sfs " + ShellWord(args.Recipe.SettingsFile);
      break;
    case ParamSource::SettingsString:
      cmd += " --csv " + ShellWord(args.Recipe.SettingsString);
      break;
    case ParamSource::Defaults:
      break;
  }
  for (const ParamChange& change : recipe.Changes) cmd += " --set " + ShellWord(change.Text);
  if (recipe.MutateCoefficient) cmd += " --mutate " + ShellWord(args.Recipe.Mutate);
  if (recipe.BufferSeconds != 5) cmd += " --buffer-length " + std::to_string(recipe.BufferSeconds);
  return cmd + exportOptions + " -o " + ShellWord(entry.File);
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
    ThrowUsage("--name: " + Echo(name) + " cannot start a file name");
  }
}

std::int64_t CoreCount() { return std::max<std::int64_t>(1, std::thread::hardware_concurrency()); }

// Bytes of memory available for new work, from /proc/meminfo (0 when unknown).
std::uint64_t AvailableMemory() {
  std::ifstream in("/proc/meminfo");
  std::string key;
  std::uint64_t kb = 0;
  std::string unit;
  while (in >> key >> kb >> unit) {
    if (key == "MemAvailable:") return kb * 1024;
  }
  return 0;
}

// Free bytes in the folder; QUAVIX_TEST_FREE_BYTES stands in for the
// filesystem's figure so that tests can simulate a nearly full disk.
std::uint64_t FreeBytes(const std::string& folder) {
  if (const char* figure = std::getenv("QUAVIX_TEST_FREE_BYTES")) return std::strtoull(figure, nullptr, 10);
  struct statvfs fs {};
  if (statvfs(folder.c_str(), &fs) != 0) return UINT64_MAX;
  return static_cast<std::uint64_t>(fs.f_bavail) * fs.f_frsize;
}

// SIGINT and SIGTERM only raise a flag while a batch runs: the batch then
// takes back what it wrote and says so.
std::atomic<int> gStopSignal{0};  // lock-free, so safe to set in a handler
extern "C" void NoteStopSignal(int signal) { gStopSignal = signal; }

struct StopSignals {
  struct sigaction OldInt {};
  struct sigaction OldTerm {};
  StopSignals() {
    gStopSignal = 0;
    struct sigaction action {};
    action.sa_handler = NoteStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &OldInt);
    sigaction(SIGTERM, &action, &OldTerm);
  }
  ~StopSignals() {
    sigaction(SIGINT, &OldInt, nullptr);
    sigaction(SIGTERM, &OldTerm, nullptr);
  }
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;
};

// The output folder while a batch writes into it: locked against other
// batches, with a hidden staging folder for the new files. Unless Keep() is
// called, the destructor takes everything back, so that the folder is as it
// was before the run.
class BatchFolder {
 public:
  explicit BatchFolder(const std::string& dir) : Dir(dir) {
    std::error_code ec;
    Created = !std::filesystem::exists(dir, ec);
    std::filesystem::create_directories(dir, ec);
    if (ec || !std::filesystem::is_directory(dir, ec)) {
      ThrowFailure("cannot create the folder " + EchoPath(dir) + (ec ? ": " + ec.message() : ": not a folder"));
    }
    Slash = dir.back() == '/' ? dir : dir + "/";
    // The lock is the folder's own: no lock file is left in it.
    LockFd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (LockFd < 0) Fail("cannot open the folder " + EchoPath(dir) + ": " + std::strerror(errno));
    if (flock(LockFd, LOCK_EX | LOCK_NB) != 0) {
      Fail(errno == EWOULDBLOCK ? "another quavix batch is writing into " + EchoPath(dir) + "; wait until it ends"
                                : "cannot lock the folder " + EchoPath(dir) + ": " + std::strerror(errno));
    }
    RemoveStaleTemporaries(dir);
    Stage = Slash + TemporaryPrefix() + "batch/";
    if (mkdir(Stage.c_str(), 0700) != 0) Fail("cannot write into " + EchoPath(dir) + ": " + std::strerror(errno));
  }
  ~BatchFolder() {
    std::error_code ec;
    if (!Stage.empty()) std::filesystem::remove_all(Stage, ec);
    if (LockFd >= 0) close(LockFd);
    if (Created && !Kept) std::filesystem::remove(Dir, ec);  // only if it is empty again
  }
  BatchFolder(const BatchFolder&) = delete;
  BatchFolder& operator=(const BatchFolder&) = delete;

  // A failure before anything was written: nothing in the folder changed.
  [[noreturn]] void Fail(const std::string& message) const {
    throw CliError{kExitFailure, message + "; nothing in " + EchoPath(Dir) + " was changed"};
  }

  std::string StagedPath(const std::string& name) const { return Stage + name; }
  std::string TargetPath(const std::string& name) const { return Slash + name; }

  // Refuses targets that are not regular files before anything is written.
  void CheckTarget(const std::string& name) const {
    struct stat st {};
    if (lstat(TargetPath(name).c_str(), &st) != 0 || S_ISREG(st.st_mode)) return;
    Fail("cannot write " + EchoPath(TargetPath(name)) + ": " +
         (S_ISDIR(st.st_mode) ? std::string(std::strerror(EISDIR)) : "it exists and is not a regular file"));
  }

  // Renames every staged file into place, keeping each replaced file's mode
  // and a link to its old content until all are in place. Returns false
  // (after putting every old file back) when a rename fails or a stop signal
  // arrives, with the reason in error.
  bool CommitAll(const std::vector<std::string>& names, std::string& error) {
    std::vector<std::pair<std::string, bool>> done;  // name, had an old file
    const auto rollback = [&] {
      for (auto it = done.rbegin(); it != done.rend(); ++it) {
        if (it->second) {
          std::rename(OldPath(it->first).c_str(), TargetPath(it->first).c_str());
        } else {
          unlink(TargetPath(it->first).c_str());
        }
      }
    };
    for (const std::string& name : names) {
      const std::string target = TargetPath(name);
      struct stat old {};
      const bool hadOld = lstat(target.c_str(), &old) == 0;
      if (hadOld) {
        chmod(StagedPath(name).c_str(), old.st_mode & 07777);
        if (lchown(StagedPath(name).c_str(), old.st_uid, old.st_gid) != 0) {
          [[maybe_unused]] const int ignored = lchown(StagedPath(name).c_str(), static_cast<uid_t>(-1), old.st_gid);
        }
        if (link(target.c_str(), OldPath(name).c_str()) != 0) {
          error = "cannot keep the old " + EchoPath(target) + ": " + std::strerror(errno);
          rollback();
          return false;
        }
      }
      if (std::rename(StagedPath(name).c_str(), target.c_str()) != 0) {
        error = "cannot write " + EchoPath(target) + ": " + std::strerror(errno);
        if (hadOld) unlink(OldPath(name).c_str());
        rollback();
        return false;
      }
      done.emplace_back(name, hadOld);
      if (gStopSignal != 0) {
        rollback();
        return false;
      }
    }
    Kept = true;
    return true;
  }

  const std::string& Path() const { return Dir; }

 private:
  std::string OldPath(const std::string& name) const { return Stage + ".old-" + name; }

  std::string Dir;
  std::string Slash;
  std::string Stage;
  int LockFd = -1;
  bool Created = false;
  bool Kept = false;
};

[[noreturn]] void ThrowStopped(const std::string& dir) {
  const int signal = gStopSignal.load();
  throw CliError{128 + signal, std::string("interrupted by ") + (signal == SIGINT ? "SIGINT" : "SIGTERM") +
                                   "; nothing in " + EchoPath(dir) + " was changed"};
}

std::int64_t ParseJobs(const BatchArgs& args) {
  const std::int64_t cores = CoreCount();
  if (args.JobsOption->count() == 0) return cores;
  const std::int64_t jobs = ParseWhole(args.Jobs, 1, 1 << 30, "--jobs");
  if (jobs > kJobsPerCore * cores) {
    ThrowUsage("--jobs: " + std::to_string(jobs) + " is more than " + std::to_string(kJobsPerCore) +
               " per core (" + std::to_string(cores) + " core" + (cores == 1 ? "" : "s") + " here: at most " +
               std::to_string(kJobsPerCore * cores) + ")");
  }
  return jobs;
}

}  // namespace

CLI::App* AddBatchCommand(CLI::App& app, BatchArgs& args) {
  CLI::App* cmd = app.add_subcommand("batch", "Synthesize many sounds of one recipe, with a manifest");
  args.SeedOption = cmd->add_option("--seed", args.Seed, "Seed S of sound 0, 32 bits (default: the clock)")
                        ->type_name("S");
  AddRecipeOptions(*cmd, args.Recipe, true);
  cmd->add_option("--count", args.Count, "Number of sounds, 1 to 1000000")->type_name("N")->required();
  cmd->add_option("--out-dir", args.OutDir, "Folder for the sounds and manifest.json (created if missing)")
      ->type_name("DIR")
      ->required();
  args.JobsOption =
      cmd->add_option("--jobs", args.Jobs, "Threads to use (default: all cores; at most 4 per core)")->type_name("J");
  cmd->add_option("--name", args.Name, "File name stem (default: the preset family, 'random' or the file's name)")
      ->type_name("NAME");
  cmd->add_flag("--skip-silent", args.SkipSilent, "Write no file for a silent sound (the others keep their numbers)");
  AddExportOptions(*cmd, args.Export, true);
  cmd->footer(
      "Sound i (from 0) is exactly what 'quavix render --seed S+i' with the same options gives\n"
      "(S+i wraps at 32 bits), whatever --jobs is. --sfs FILE or --csv STRING with --mutate C\n"
      "varies a saved sound. Files are named NAME-i.wav, zero-padded so that they sort;\n"
      "manifest.json lists each file's seed, settings string (rounded), settings file bytes\n"
      "(exact), sample count, peak, clipped-sample count (+-32000), whether it is silent, and\n"
      "the render command that makes it again. The batch is one change to the folder: on a\n"
      "failure or Ctrl-C the folder is left as it was.\n\n" +
      ParameterHelp() + "\n" + ExportHelp(true) +
              "\nExamples:\n"
              "  quavix batch --preset coin --count 20 --seed 100 --out-dir coins\n"
              "  quavix batch --randomize --mutate 0.05 --count 1000 --out-dir sfx --jobs 2\n"
              "  quavix batch --sfs odd.sfs --mutate 0.1 --count 10 --out-dir odd\n"
              "  quavix batch --preset laser --count 30 --seed 5 --out-dir lasers --format ogg --rate 48000 \\\n"
              "      --trim --match-loudness -18 --true-peak -1\n");
  return cmd;
}

int RunBatch(const BatchArgs& args, const Streams& streams) {
  const std::int64_t count = ParseWhole(args.Count, 1, kMaxCount, "--count");
  std::int64_t jobs = ParseJobs(args);
  if (args.SeedOption->count() > 0) ParseSeed(args.Seed, "--seed");
  if (args.OutDir.empty()) ThrowUsage("--out-dir: the folder name is empty");
  if (!args.Name.empty()) CheckName(args.Name);
  const SoundRecipe recipe = ResolveRecipe(args.Recipe);
  if (recipe.Source == ParamSource::Defaults) {
    ThrowUsage("batch needs --preset NAME, --randomize, --sfs FILE or --csv STRING");
  }
  const std::string name = args.Name.empty() ? DefaultName(args, recipe) : args.Name;
  CheckName(name);
  const std::optional<ExportRequest> exported = ResolveExport(args.Export);
  const std::string extension = exported ? FileExtension(exported->Settings.Format) : "wav";
  const std::string exportOptions = exported ? exported->RenderOptions : "";
  const std::uint32_t seed = SeedOrClock(args.Seed, args.SeedOption, streams);
  const auto seedOf = [seed](std::int64_t i) { return static_cast<std::uint32_t>(seed + static_cast<std::uint32_t>(i)); };

  // Each job holds a take of sounds at full buffer size.
  const std::uint64_t perJob = static_cast<std::uint64_t>(kSoundsPerTake) * (WaveCapacityBytes(recipe.BufferSeconds) + 1024);
  if (const std::uint64_t memory = AvailableMemory(); memory > 0) {
    const auto fit = static_cast<std::int64_t>(std::max<std::uint64_t>(1, memory / 2 / perJob));
    if (fit < jobs) {
      streams.Err << "quavix: note: " << fit << " job" << (fit == 1 ? "" : "s") << " instead of " << jobs
                  << ": each needs up to " << perJob / 1000000 << " MB and " << memory / 1000000
                  << " MB are available\n";
      jobs = fit;
    }
  }

  std::vector<BatchEntry> entries(static_cast<std::size_t>(count));
  for (std::int64_t i = 0; i < count; ++i) {
    entries[static_cast<std::size_t>(i)].File = name + "-" + PaddedIndex(i, count) + "." + extension;
    entries[static_cast<std::size_t>(i)].Seed = seedOf(i);
  }

  const StopSignals stopSignals;
  BatchFolder folder(args.OutDir);
  for (const BatchEntry& entry : entries) folder.CheckTarget(entry.File);
  folder.CheckTarget("manifest.json");
  {
    std::uint64_t needed = 4096;
    for (const BatchEntry& entry : entries) {
      const std::size_t bound = SoundLengthBound(FinalParams(recipe, entry.Seed), recipe.BufferSeconds);
      needed += (exported ? ExportBytesBound(bound, exported->Settings) : 44 + 2 * bound) + 1024;
    }
    const std::uint64_t free = FreeBytes(folder.Path());
    if (needed > free) {
      folder.Fail("not enough space in " + EchoPath(folder.Path()) + ": the batch needs up to " + std::to_string(needed) +
                  " bytes and " + std::to_string(free) + " are free");
    }
  }

  const auto started = std::chrono::steady_clock::now();
  std::atomic<std::int64_t> next{0};
  std::atomic<std::int64_t> done{0};
  std::atomic<bool> failed{false};
  std::mutex reportMutex;
  std::optional<CliError> firstError;
  const bool progress = streams.ErrIsTerminal;

  const auto worker = [&] {
    for (;;) {
      const std::int64_t first = next.fetch_add(kSoundsPerTake);
      if (first >= count || failed.load() || gStopSignal != 0) return;
      const std::int64_t last = std::min(first + kSoundsPerTake, count);
      try {
        std::vector<std::uint32_t> seeds;
        for (std::int64_t i = first; i < last; ++i) seeds.push_back(seedOf(i));
        const std::vector<RenderedSound> sounds = MakeSounds(recipe, seeds);
        for (std::int64_t i = first; i < last; ++i) {
          BatchEntry& entry = entries[static_cast<std::size_t>(i)];
          const RenderedSound& sound = sounds[static_cast<std::size_t>(i - first)];
          entry.Settings = ExportSettingsString(sound.Params);
          entry.SettingsHex = SettingsFileHex(sound.Params);
          entry.Samples = sound.SampleCount;
          entry.Levels = MeasureLevels(sound.Samples());
          entry.Silence = SilenceNote(sound.Params, entry.Levels);
          if (args.SkipSilent && !entry.Silence.empty()) continue;
          if (exported) {
            const ExportReport report = ExportRendered(sound.Samples(), exported->Settings);
            entry.Export = report.Fields;
            entry.Limited = report.Limited;
            entry.Reachable = report.ReachableLoudness;
            entry.ConversionClipped = report.Fields["clipped_by_conversion"].get<std::int64_t>() > 0;
            StagedFile file = StageFile(folder.StagedPath(entry.File), report.Bytes.data(), report.Bytes.size());
            CommitFile(file);
          } else {
            StagedFile file = StageFile(folder.StagedPath(entry.File), sound.ImageData(), sound.ImageSize());
            CommitFile(file);
          }
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
  if (gStopSignal != 0) ThrowStopped(folder.Path());
  if (failed) {
    // The staged files still lie in the staging folder, which the folder's
    // destructor removes: the targets were never touched.
    std::string message = firstError->Message;
    const std::string stage = folder.StagedPath("");
    for (std::size_t at = message.find(stage); at != std::string::npos; at = message.find(stage)) {
      message.replace(at, stage.size(), folder.TargetPath(""));
    }
    folder.Fail(message);
  }

  nlohmann::ordered_json manifest;
  manifest["generator"] = "quavix " QUAVIX_VERSION;
  manifest["seed"] = seed;
  manifest["count"] = count;
  switch (recipe.Source) {
    case ParamSource::Preset:
      manifest["preset"] = kPresetFamilyNames[static_cast<std::size_t>(recipe.PresetFamily)].Name;
      break;
    case ParamSource::Randomize:
      manifest["randomize"] = true;
      break;
    case ParamSource::SettingsFile:
      manifest["sfs_file"] = args.Recipe.SettingsFile;
      break;
    default:
      manifest["csv"] = args.Recipe.SettingsString;
      break;
  }
  manifest["set"] = args.Recipe.Sets;
  manifest["mutate"] = recipe.MutateCoefficient ? nlohmann::ordered_json(static_cast<double>(*recipe.MutateCoefficient))
                                                : nlohmann::ordered_json(nullptr);
  manifest["buffer_length"] = recipe.BufferSeconds;
  manifest["sample_rate"] = 44100;
  manifest["clip_level"] = kClipLevel;
  if (exported) {
    const exporting::ExportSettings& s = exported->Settings;
    manifest["export"] = {
        {"format", exporting::FormatName(s.Format)},
        {"rate", s.Rate},
        {"bits", s.Format == exporting::FileFormat::Ogg ? nlohmann::ordered_json(nullptr)
                                                        : nlohmann::ordered_json(exporting::BitsName(s.Bits))},
        {"match_loudness_lufs", exported->MatchLoudness ? JsonLevel(s.Normalize->Target) : nullptr},
        {"normalize", exported->MatchLoudness || !s.Normalize ? nlohmann::ordered_json(nullptr)
                                                              : nlohmann::ordered_json(args.Export.Normalize)},
        {"true_peak_ceiling_dbtp", s.Normalize && s.Normalize->Kind == exporting::GainTarget::Loudness
                                       ? JsonLevel(s.CeilingDbtp)
                                       : nullptr},
        {"trim_threshold_db", s.TrimDb ? JsonLevel(*s.TrimDb) : nullptr},
        {"fade_out_ms", s.FadeOutMs}};
  }
  nlohmann::ordered_json sounds = nlohmann::ordered_json::array();
  std::int64_t clippedSounds = 0;
  std::int64_t silentSounds = 0;
  std::int64_t noWave = 0;
  std::int64_t limitedSounds = 0;
  double reachable = std::numeric_limits<double>::infinity();
  std::int64_t conversionClipped = 0;
  std::vector<std::string> names;
  for (const BatchEntry& entry : entries) {
    if (!entry.Silence.empty()) {
      ++silentSounds;
      if (entry.Silence.rfind("wave type 4", 0) == 0) ++noWave;
    }
    if (!entry.Written) continue;
    names.push_back(entry.File);
    if (entry.Limited) ++limitedSounds;
    if (std::isfinite(entry.Reachable)) reachable = std::min(reachable, entry.Reachable);
    if (entry.ConversionClipped) ++conversionClipped;
    nlohmann::ordered_json item{{"file", entry.File},
                      {"seed", entry.Seed},
                      {"settings", entry.Settings},
                      {"sfs", entry.SettingsHex},
                      {"samples", entry.Samples},
                      {"peak", entry.Levels.Peak},
                      {"clipped", entry.Levels.Clipped},
                      {"silent", !entry.Silence.empty()},
                      {"command", RenderCommandFor(args, recipe, entry, exportOptions)}};
    for (const auto& [key, value] : entry.Export.items()) item[key] = value;
    sounds.push_back(std::move(item));
    if (entry.Levels.Clipped > 0) ++clippedSounds;
  }
  manifest["skipped_silent"] = args.SkipSilent ? silentSounds : 0;
  manifest["sounds"] = std::move(sounds);
  const std::string text = manifest.dump(2) + "\n";
  try {
    StagedFile file = StageFile(folder.StagedPath("manifest.json"), reinterpret_cast<const std::uint8_t*>(text.data()),
                                text.size());
    CommitFile(file);
  } catch (const CliError& e) {
    folder.Fail(e.Message);
  }
  if (gStopSignal != 0) ThrowStopped(folder.Path());
  names.push_back("manifest.json");
  std::string error;
  if (!folder.CommitAll(names, error)) {
    if (gStopSignal != 0) ThrowStopped(folder.Path());
    folder.Fail(error);
  }

  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  char timing[32];
  std::snprintf(timing, sizeof timing, "%.2f s", seconds);
  const std::int64_t written = static_cast<std::int64_t>(names.size()) - 1;
  streams.Err << "quavix: wrote " << written << " sound" << (written == 1 ? "" : "s");
  if (written > 0) streams.Err << " (" << names.front() << (written > 1 ? " .. " + names[names.size() - 2] : "") << ")";
  streams.Err << " and manifest.json to " << args.OutDir << " in " << timing << " with " << threadCount << " job"
              << (threadCount == 1 ? "" : "s") << "; " << clippedSounds << " with clipped samples";
  if (args.SkipSilent) streams.Err << "; skipped " << silentSounds << " silent";
  streams.Err << '\n';
  if (silentSounds > 0 && !args.SkipSilent) {
    streams.Err << "quavix: warning: " << silentSounds << " of " << count << " sounds are silent (" << noWave
                << " with wave type 4, which makes no wave); --skip-silent leaves them out\n";
  }
  if (limitedSounds > 0) {
    char better[32];
    std::snprintf(better, sizeof better, "%.1f", std::floor(reachable * 10) / 10);
    streams.Err << "quavix: warning: " << limitedSounds << " of " << written << " sounds stay below "
                << TextLevel(exported->Settings.Normalize->Target) << " LUFS: the "
                << TextLevel(exported->Settings.CeilingDbtp) << " dBTP ceiling limits their gain (\"gain_limited\" in "
                << "manifest.json); --match-loudness " << better << " brings every sound to one loudness\n";
  }
  if (conversionClipped > 0) {
    streams.Err << "quavix: warning: " << conversionClipped << " of " << written
                << " sounds have samples clipped at full scale by the conversion (\"clipped_by_conversion\" in "
                   "manifest.json); --normalize peak:-1 keeps them whole\n";
  }
  if (clippedSounds > 0) {
    streams.Err << "quavix: warning: " << clippedSounds << " of " << written
                << " sounds have samples clipped at +-32000 (\"clipped\" in manifest.json)\n";
  }
  return kExitOk;
}

}  // namespace quavix::cli
