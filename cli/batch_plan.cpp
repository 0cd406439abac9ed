// quavix batch, step 1: the plan. Every usage error comes before the folder is
// touched; the memory decides how many jobs run, the disk whether the set fits.
#include <sys/statvfs.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <map>
#include <thread>

#include "batch_steps.h"
#include "cli_error.h"
#include "design/presets.h"
#include "exchange/wave_image.h"
#include "export_output.h"
#include "json_text.h"
#include "numbers.h"
#include "output_file.h"
#include "project_file.h"
#include "synth/sound_length.h"

namespace quavix::cli {
namespace {

inline constexpr std::int64_t kMaxCount = 1000000;
inline constexpr std::int64_t kJobsPerCore = 4;

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

std::int64_t ParseJobs(const BatchArgs& args) {
  const std::int64_t cores = CoreCount();
  if (!Given(args.JobsOption)) return cores;
  const std::int64_t jobs = ParseWhole(args.Jobs, 1, 1 << 30, "--jobs");
  if (jobs > kJobsPerCore * cores) {
    ThrowUsage("--jobs: " + std::to_string(jobs) + " is more than " + std::to_string(kJobsPerCore) +
               " per core (" + std::to_string(cores) + " core" + (cores == 1 ? "" : "s") + " here: at most " +
               std::to_string(kJobsPerCore * cores) + ")");
  }
  return jobs;
}

// Why a name cannot start the files' names here or on Windows ("" when it can).
std::string NameProblem(const std::string& name) {
  if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos) {
    return "cannot start a file name";
  }
  if (HasControlBytes(name)) return "holds control characters, which no file name should";
  if (!IsUtf8(name)) return "is not UTF-8 text, which manifest.json cannot hold";
  if (const std::size_t at = name.find_first_of("<>:\"\\|?*"); at != std::string::npos) {
    return "holds " + Echo(name.substr(at, 1)) + ", which Windows does not allow in a file name";
  }
  // The files are NAME-i.wav, which Windows may take for a device.
  if (const std::string file = name + "-1.wav"; IsDeviceFileName(file)) {
    return "starts with " + Echo(std::string(DevicePart(file))) +
           ", which Windows keeps for a device, so its files could not be made there";
  }
  if (IsTemporaryName(name)) {
    return "starts as the tool's own temporary files do, which a later run removes";
  }
  return "";
}

void CheckName(const std::string& name) {
  if (const std::string problem = NameProblem(name); !problem.empty())
    ThrowUsage("--name: " + Echo(name) + " " + problem);
}

// The longest file name of the set must fit in one name of the file system.
void CheckLength(const std::string& longest) {
  if (longest.size() <= NAME_MAX) return;
  ThrowUsage("the file names would be " + std::to_string(longest.size()) + " bytes long (" +
             Echo(longest) + "), more than the " + std::to_string(NAME_MAX) +
             " a file name may have; --name sets a shorter stem");
}

std::string DefaultName(const BatchArgs& args, const SoundRecipe& recipe) {
  if (recipe.Source == ParamSource::Preset) {
    return std::string(kPresetFamilyNames[static_cast<std::size_t>(recipe.PresetFamily)].Name);
  }
  if (recipe.Source == ParamSource::Randomize) return "random";
  if (recipe.Source == ParamSource::SettingsFile && args.Recipe.SettingsFile != "-") {
    std::string stem = BaseNameOf(args.Recipe.SettingsFile);
    const std::size_t dot = stem.rfind('.');
    if (dot != std::string::npos && dot > 0) stem.resize(dot);
    if (NameProblem(stem).empty()) return stem;
  }
  return "sound";
}

std::string PaddedIndex(std::int64_t i, std::int64_t count) {
  const std::size_t width = std::to_string(count - 1).size();
  std::string digits = std::to_string(i);
  return std::string(width - digits.size(), '0') + digits;
}

// Each job holds a take of sounds at full buffer size: fewer jobs when the memory is short.
void FitJobs(BatchPlan& plan, const Streams& streams) {
  const std::uint64_t perJob =
      static_cast<std::uint64_t>(MostSoundsPerTake(plan.Recipe.BufferSeconds)) * (WaveCapacityBytes(plan.Recipe.BufferSeconds) + 1024);
  if (const std::uint64_t memory = AvailableMemory(); memory > 0) {
    const auto fit = static_cast<std::int64_t>(std::max<std::uint64_t>(1, memory / 2 / perJob));
    if (fit < plan.Jobs) {
      streams.Err << "quavix: note: " << fit << " job" << (fit == 1 ? "" : "s") << " instead of " << plan.Jobs
                  << ": each needs up to " << perJob / 1000000 << " MB and " << memory / 1000000
                  << " MB are available\n";
      plan.Jobs = fit;
    }
  }
}

// Each sound's parameters and random state, made once for the disk check and the render.
void StartSounds(BatchPlan& plan) {
  for (BatchEntry& entry : plan.Entries) {
    if (entry.Layers.empty()) entry.Start = StartSound(RecipeOf(plan, entry), entry.Seed);
  }
}

// The samples an entry's sound takes at most: a layered sound's latest end.
std::size_t EntryLengthBound(const BatchPlan& plan, const BatchEntry& entry) {
  if (entry.Layers.empty()) return SoundLengthBound(entry.Start.Params, RecipeOf(plan, entry).BufferSeconds);
  std::size_t bound = 0;
  for (const Layer& layer : entry.Layers) {
    if (!layer.Muted) bound = std::max(bound, layer.Offset + SoundLengthBound(layer.Params, layer.BufferSeconds));
  }
  return bound;
}

// A project's sounds, each with its own recipe and a file named after it.
void PlanProject(const BatchArgs& args, const std::string& extension, BatchPlan& plan) {
  const std::vector<ProjectSound> sounds = ReadProjectFile(args.Project);
  const std::vector<std::string> stems = ProjectFileStems(sounds);
  plan.Count = static_cast<std::int64_t>(sounds.size());
  plan.Entries.resize(sounds.size());
  std::map<std::string, int> named;
  for (const ProjectSound& sound : sounds) ++named[sound.Name];
  for (std::size_t i = 0; i < sounds.size(); ++i) {
    if (!sounds[i].Layers.empty() && named[sounds[i].Name] > 1) {
      ThrowFailure("--project: sound " + std::to_string(i + 1) + " (" + Echo(sounds[i].Name) +
                   ") is a layered sound whose name another sound shares; the manifest's command makes it by "
                   "its name (quavix render --layers FILE --sound NAME), so it needs a name of its own");
    }
    BatchEntry& entry = plan.Entries[i];
    entry.Layers = sounds[i].Layers;
    entry.File = stems[i] + "." + extension;
    entry.Seed = sounds[i].Seed;
    entry.Name = sounds[i].Name;
    SoundRecipe recipe;
    recipe.Source = ParamSource::SettingsFile;
    recipe.Loaded = sounds[i].Params;
    recipe.BufferSeconds = sounds[i].BufferSeconds;
    // The memory budget below reckons with the longest buffer.
    plan.Recipe.BufferSeconds = std::max(plan.Recipe.BufferSeconds, recipe.BufferSeconds);
    for (const Layer& layer : entry.Layers) {
      plan.Recipe.BufferSeconds = std::max(plan.Recipe.BufferSeconds, layer.BufferSeconds);
    }
    entry.Recipe = recipe;
  }
}

}  // namespace

BatchPlan PlanBatch(const BatchArgs& args, const Streams& streams) {
  BatchPlan plan;
  const bool project = Given(args.ProjectOption);
  if (!project && args.CountOption != nullptr && !Given(args.CountOption)) {
    ThrowUsage("batch needs --count N (or --project FILE)");
  }
  if (!project) plan.Count = ParseWhole(args.Count, 1, kMaxCount, "--count");
  plan.Jobs = ParseJobs(args);
  if (Given(args.SeedOption)) ParseSeed(args.Seed, "--seed");
  if (args.OutDir.empty()) ThrowUsage("--out-dir: the folder name is empty");
  if (!args.Name.empty()) CheckName(args.Name);
  // manifest.json names the file it read, and JSON holds only UTF-8 text.
  for (const auto& [option, path] :
       {std::pair{"--project", &args.Project}, {"--sfs", &args.Recipe.SettingsFile}}) {
    if (!IsUtf8(*path))
      ThrowUsage(std::string(option) + ": the name " + EchoPath(*path) +
                 " is not UTF-8 text, which manifest.json cannot hold");
    if (const std::string recorded = path->empty() ? "" : SettingsFileFrom(*path, args.OutDir);
        !IsUtf8(recorded)) {
      ThrowUsage(std::string(option) + ": manifest.json names " + EchoPath(*path) +
                 " from its folder as " + EchoPath(recorded) +
                 ", which is not UTF-8 text, as JSON must be");
    }
  }
  if (project) {
    plan.Export = ResolveExport(args.Export);
    plan.Recipe.BufferSeconds = 0;
    PlanProject(args, plan.Export ? FileExtension(plan.Export->Settings.Format) : "wav", plan);
    FitJobs(plan, streams);
    StartSounds(plan);
    return plan;
  }
  plan.Recipe = ResolveRecipe(args.Recipe);
  if (plan.Recipe.Source == ParamSource::Defaults) {
    ThrowUsage("batch needs --preset NAME, --randomize, --sfs FILE or --csv STRING");
  }
  const std::string name = args.Name.empty() ? DefaultName(args, plan.Recipe) : args.Name;
  CheckName(name);
  plan.Export = ResolveExport(args.Export);
  const std::string extension = plan.Export ? FileExtension(plan.Export->Settings.Format) : "wav";
  plan.Seed = SeedOrClock(args.Seed, args.SeedOption, streams);

  FitJobs(plan, streams);

  plan.Entries.resize(static_cast<std::size_t>(plan.Count));
  for (std::int64_t i = 0; i < plan.Count; ++i) {
    BatchEntry& entry = plan.Entries[static_cast<std::size_t>(i)];
    entry.File = name + "-" + PaddedIndex(i, plan.Count) + "." + extension;
    entry.Seed = static_cast<std::uint32_t>(plan.Seed + static_cast<std::uint32_t>(i));
  }
  CheckLength(plan.Entries.back().File);
  StartSounds(plan);
  return plan;
}

void CheckSpace(const BatchPlan& plan, const BatchFolder& folder) {
  std::uint64_t needed = 4096;
  for (const BatchEntry& entry : plan.Entries) {
    const std::size_t bound = EntryLengthBound(plan, entry);
    needed += (plan.Export ? ExportBytesBound(bound, plan.Export->Settings) : 44 + 2 * bound) + 1024;
  }
  const std::uint64_t free = FreeBytes(folder.Path());
  if (needed > free) {
    folder.Fail("not enough space in " + EchoPath(folder.Path()) + ": the batch needs up to " +
                std::to_string(needed) + " bytes and " + std::to_string(free) + " are free");
  }
}

}  // namespace quavix::cli
