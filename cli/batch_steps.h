// The steps of quavix batch, in the order RunBatch takes them: plan (the
// checked options, the numbered files and the memory and disk budget), render
// (the workers that synthesize and stage every file), manifest, commit (the
// folder that takes the set as one change) and report.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "commands.h"
#include "design/layered_sound.h"
#include "export_options.h"
#include "output_file.h"
#include "sound_recipe.h"

namespace quavix::cli {

struct BatchEntry {
  std::string File;
  std::uint32_t Seed = 0;
  std::string Settings;
  std::string SettingsHex;
  std::size_t Samples = 0;
  SoundLevels Levels;
  Silence Silent = Silence::None;
  bool Written = false;
  std::uint64_t Bytes = 0;  // the written file's size and SHA-256, for manifest.json
  std::string Sha256;
  nlohmann::ordered_json Export;  // the export figures, when exported
  bool Limited = false;
  double Reachable = 0;           // the loudest target the ceiling allows it
  bool ConversionClipped = false;
  std::string Name;                   // a project's sound: its name
  std::optional<SoundRecipe> Recipe;  // and its own recipe
  SoundStart Start;                   // its parameters and random state, made once
  std::vector<Layer> Layers;          // a layered sound's layers (then no Start)
  std::int64_t MixClipped = 0;        // and the samples its mix clamped
};

struct BatchPlan {
  std::int64_t Count = 0;
  std::int64_t Jobs = 1;
  std::uint32_t Seed = 0;
  SoundRecipe Recipe;
  std::optional<ExportRequest> Export;
  std::vector<BatchEntry> Entries;
};

// The recipe an entry is made with: its own (a project's sound) or the batch's.
inline const SoundRecipe& RecipeOf(const BatchPlan& plan, const BatchEntry& entry) {
  return entry.Recipe ? *entry.Recipe : plan.Recipe;
}

// batch_plan.cpp: every usage error before anything is touched; the seed (from
// the clock if none is given), the jobs the memory allows and each sound's
// start (its final parameters), which the disk check and the render share.
BatchPlan PlanBatch(const BatchArgs& args, const Streams& streams);

// A listed file of the folder's earlier set, with its size and SHA-256 as
// that set's manifest.json recorded them (Bytes < 0: no record).
struct EarlierFile {
  std::string Name;
  std::int64_t Bytes = -1;
  std::string Sha256;
};

// Why a file of the earlier set stays: the batch cannot prove it wrote it.
enum class KeptBecause { Changed, NotAFile, Unreadable, Unrecorded };

// What became of the earlier set: the files taken away and those kept.
struct EarlierOutcome {
  std::vector<std::string> Removed;
  std::vector<std::pair<std::string, KeptBecause>> Kept;
  std::string Unread;  // why the earlier manifest.json could not be read ("": it could)
};

// The lowercase hexadecimal SHA-256 of some bytes.
std::string Sha256Hex(const std::uint8_t* data, std::size_t size);

// batch_commit.cpp: the output folder while a batch writes into it: locked
// against other batches, with a hidden staging folder for the new files.
// Unless the commit succeeds, the destructor takes everything back, so that
// the folder is as it was before the run.
class BatchFolder {
 public:
  explicit BatchFolder(const std::string& dir);
  ~BatchFolder();
  BatchFolder(const BatchFolder&) = delete;
  BatchFolder& operator=(const BatchFolder&) = delete;

  // A failure before anything was written: nothing in the folder changed.
  [[noreturn]] void Fail(const std::string& message) const;

  std::string StagedPath(const std::string& name) const { return Stage + name; }
  std::string TargetPath(const std::string& name) const { return Slash + name; }
  const std::string& Path() const { return Dir; }

  // An input of the batch (the option that names it and its path): no target
  // may be that file, and the earlier set never takes it away.
  void ReadsFrom(const char* option, const std::string& path);

  // Refuses targets that are not regular files, or that are an input, before
  // anything is written.
  void CheckTarget(const std::string& name) const;

  // The files the folder's manifest.json, written by an earlier batch, lists
  // and that names does not: the earlier set's, which this batch replaces.
  // An input or one of the tool's own hidden files is never among them.
  // A manifest that is not JSON lists none (outcome.Unread says why).
  std::vector<EarlierFile> EarlierSetBeyond(const std::vector<std::string>& names,
                                            EarlierOutcome& outcome) const;

  // Renames every staged file into place and takes away each file of the
  // earlier set that is, just before it goes, still the regular file its
  // manifest recorded (size, then SHA-256); the others are kept. Each replaced
  // file keeps its mode, and its old content until all is done. Returns false
  // (after putting every old file back) when a rename fails or a stop signal
  // arrives, with the reason in error.
  bool CommitAll(const std::vector<std::string>& names, const std::vector<EarlierFile>& earlier,
                 EarlierOutcome& outcome, std::string& error);

 private:
  std::string OldPath(const std::string& name) const { return Old + name; }
  void Release() noexcept;

  struct Input {
    const char* Option;
    std::string Path;
    FileIdentity Identity;
  };
  const Input* InputAt(const std::string& name) const;

  std::vector<Input> Inputs;
  std::string Dir;
  std::string Slash;
  std::string Stage;
  std::string Old;  // the replaced and removed files until the commit ends
  int LockFd = -1;
  std::vector<std::string> Created;  // the folders this run made, outermost first
  bool Kept = false;
};

// SIGINT and SIGTERM only raise a flag while a batch runs: the batch then takes
// back what it wrote and says so.
class StopSignals {
 public:
  StopSignals();
  ~StopSignals();
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

 private:
  struct Saved;
  Saved* Old;
};
bool StopRequested();
[[noreturn]] void ThrowStopped(const std::string& dir);

// batch_plan.cpp: refuses the batch when the folder's disk cannot hold it.
void CheckSpace(const BatchPlan& plan, const BatchFolder& folder);

// The most sounds a job of the render takes at a time: enough for every vector
// lane to play several in turn, within a memory budget for their areas.
std::int64_t MostSoundsPerTake(std::uint32_t bufferSeconds);

// batch_render.cpp: synthesizes every sound on plan.Jobs threads, filling in
// its entry and staging its file; returns the threads used.
std::int64_t RenderBatch(BatchPlan& plan, bool skipSilent, BatchFolder& folder, const Streams& streams);

// batch_manifest.cpp: manifest.json for the entries written.
std::string BuildManifest(const BatchPlan& plan, const BatchArgs& args, const std::string& outDir);

// A file the batch reads as manifest.json names it: relative to the output
// folder ("-" stays standard input).
std::string SettingsFileFrom(const std::string& file, const std::string& outDir);

// batch_report.cpp: the summary line and the warnings on stderr.
struct BatchRun {
  std::int64_t Threads = 0;
  double Seconds = 0;
  std::vector<std::string> Written;  // file names, in order
  EarlierOutcome Earlier;
  std::optional<double> Suggestion;  // the --match-loudness target every sound reaches
};

// batch_report.cpp: the loudest --match-loudness target, in tenths and inside
// the option's range, that every sound the ceiling held back reaches; nothing
// when none is held back or no such target exists. A stop signal ends the
// search with ThrowStopped, before anything is put in place.
std::optional<double> SuggestLoudness(const BatchPlan& plan, const std::string& dir);
void ReportBatch(const BatchPlan& plan, const BatchArgs& args, const BatchRun& run, const Streams& streams);

}  // namespace quavix::cli
