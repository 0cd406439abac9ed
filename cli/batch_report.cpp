// quavix batch, step 5: the report. One summary line, then a warning for each
// kind of trouble; the loudness a limited set can reach is suggested only once
// the sounds that were held back have been exported at it and reach it.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "batch_steps.h"
#include "cli_error.h"
#include "export_output.h"

namespace quavix::cli {
namespace {

constexpr double kSuggestionStep = 0.1;
constexpr int kSuggestionTries = 30;

std::string Files(std::size_t n) {
  return std::to_string(n) + (n == 1 ? " file" : " files");
}

// The earlier set's files a batch kept, counted by why.
std::string KeptLine(const std::vector<std::pair<std::string, KeptBecause>>& kept) {
  struct Reason {
    KeptBecause Why;
    const char *One, *Many;
  } const reasons[] = {
      {KeptBecause::Changed, "changed since manifest.json recorded it",
       "changed since manifest.json recorded them"},
      {KeptBecause::NotAFile, "no longer a regular file", "no longer regular files"},
      {KeptBecause::Unreadable, "that cannot be read", "that cannot be read"},
      {KeptBecause::Unrecorded, "without a size and SHA-256 in manifest.json",
       "without a size and SHA-256 in manifest.json"},
  };
  std::string line = "kept " + Files(kept.size()) + " of the earlier set (" +
                     EchoPath(kept.front().first) +
                     (kept.size() > 1 ? " .. " + EchoPath(kept.back().first) : "") + "):";
  const char* comma = " ";
  for (const Reason& reason : reasons) {
    const auto n = static_cast<std::size_t>(std::count_if(
        kept.begin(), kept.end(), [&](const auto& k) { return k.second == reason.Why; }));
    if (n == 0) continue;
    line += comma + std::to_string(n) + " " + (n == 1 ? reason.One : reason.Many);
    comma = ", ";
  }
  return line;
}

}  // namespace

// A lossy format's file changes with its gain, so each candidate is tried on
// the held-back sounds. A sound measured as silent after its gain (quieter
// than the meter's -70 LUFS gate) reaches no target of the range.
std::optional<double> SuggestLoudness(const BatchPlan& plan, const std::string& dir) {
  bool limited = false;
  double reachable = kHighestLoudnessTarget;
  for (const BatchEntry& entry : plan.Entries) {
    if (!entry.Written || !entry.Limited) continue;
    limited = true;
    const double level =
        std::isnan(entry.Reachable) ? -std::numeric_limits<double>::infinity() : entry.Reachable;
    reachable = std::min(reachable, level);
  }
  if (!limited) return std::nullopt;
  double target = std::floor(reachable * 10) / 10;
  if (!(target >= kLowestLoudnessTarget)) return std::nullopt;
  if (plan.Export->Settings.Format != exporting::FileFormat::Ogg) return target;
  exporting::ExportSettings settings = plan.Export->Settings;
  for (int attempt = 0; attempt < kSuggestionTries && target >= kLowestLoudnessTarget; ++attempt) {
    settings.Normalize->Target = target;
    bool reached = true;
    for (const BatchEntry& entry : plan.Entries) {
      if (!entry.Written || !entry.Limited) continue;
      if (StopRequested()) ThrowStopped(dir);
      const RenderedSound sound = MakeSound(entry.Start, RecipeOf(plan, entry).BufferSeconds);
      if (ExportRendered(sound.Samples(), settings).Limited) {
        reached = false;
        break;
      }
    }
    if (reached) return target;
    target = std::round((target - kSuggestionStep) * 10) / 10;
  }
  return std::nullopt;
}

void ReportBatch(const BatchPlan& plan, const BatchArgs& args, const BatchRun& run, const Streams& streams) {
  std::int64_t clippedSounds = 0;
  std::int64_t silentSounds = 0;
  std::int64_t noWave = 0;
  std::int64_t limitedSounds = 0;
  std::int64_t conversionClipped = 0;
  for (const BatchEntry& entry : plan.Entries) {
    if (entry.Silent != Silence::None) ++silentSounds;
    if (entry.Silent == Silence::NoWave) ++noWave;
    if (!entry.Written) continue;
    if (entry.Limited) ++limitedSounds;
    if (entry.ConversionClipped) ++conversionClipped;
    if (entry.Levels.Clipped > 0) ++clippedSounds;
  }
  char timing[32];
  std::snprintf(timing, sizeof timing, "%.2f s", run.Seconds);
  const auto written = static_cast<std::int64_t>(run.Written.size());
  streams.Err << "quavix: wrote " << written << " sound" << (written == 1 ? "" : "s");
  if (written > 0) {
    streams.Err << " (" << run.Written.front() << (written > 1 ? " .. " + run.Written.back() : "") << ")";
  }
  streams.Err << " and manifest.json to " << EchoPath(args.OutDir) << " in " << timing << " with " << run.Threads
              << " job" << (run.Threads == 1 ? "" : "s") << "; " << clippedSounds << " with clipped samples";
  if (args.SkipSilent) streams.Err << "; skipped " << silentSounds << " silent";
  streams.Err << '\n';
  const EarlierOutcome& earlier = run.Earlier;
  if (!earlier.Removed.empty()) {
    streams.Err << "quavix: note: removed " << Files(earlier.Removed.size())
                << " of the earlier set that manifest.json listed ("
                << EchoPath(earlier.Removed.front())
                << (earlier.Removed.size() > 1 ? " .. " + EchoPath(earlier.Removed.back()) : "")
                << ")\n";
  }
  if (!earlier.Unread.empty()) {
    streams.Err << "quavix: note: kept every file of the earlier set: the earlier manifest.json "
                   "cannot be read ("
                << earlier.Unread << ")\n";
  }
  if (!earlier.Kept.empty()) streams.Err << "quavix: note: " << KeptLine(earlier.Kept) << '\n';
  if (silentSounds > 0 && !args.SkipSilent) {
    streams.Err << "quavix: warning: " << silentSounds << " of " << plan.Count << " sounds are silent (" << noWave
                << " with wave type 4, which makes no wave); --skip-silent leaves them out\n";
  }
  if (limitedSounds > 0) {
    streams.Err << "quavix: warning: " << limitedSounds << " of " << written
                << " sounds stay below " << TextLevel(plan.Export->Settings.Normalize->Target)
                << " LUFS: the " << TextLevel(plan.Export->Settings.CeilingDbtp)
                << " dBTP ceiling limits their gain (\"gain_limited\" in "
                << "manifest.json); ";
    if (run.Suggestion) {
      char better[32];
      std::snprintf(better, sizeof better, "%.1f", *run.Suggestion);
      streams.Err << "--match-loudness " << better << " brings every sound to one loudness\n";
    } else {
      streams.Err << "no --match-loudness target from " << TextLevel(kLowestLoudnessTarget)
                  << " to " << TextLevel(kHighestLoudnessTarget)
                  << " LUFS brings every sound to one loudness under it\n";
    }
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
}

}  // namespace quavix::cli
