// quavix batch, step 2: the render. Workers take consecutive sounds a few dozen
// at a time, synthesize them side by side in the processor's vector lanes and
// stage each file; every sound still depends only on its own seed, so --jobs
// never changes a file.
#include <algorithm>
#include <atomic>
#include <mutex>
#include <optional>
#include <thread>

#include "batch_steps.h"
#include "cli_error.h"
#include "exchange/settings_string.h"
#include "exchange/wave_image.h"
#include "synth/synth_params.h"
#include "export_output.h"
#include "output_file.h"

namespace quavix::cli {
namespace {

inline constexpr std::int64_t kMostSoundsPerTake = 64;
inline constexpr std::int64_t kLeastSoundsPerTake = 16;
inline constexpr std::int64_t kTakeBytes = std::int64_t{256} << 20;

void DrawProgress(std::ostream& err, std::int64_t done, std::int64_t count) {
  constexpr int kWidth = 30;
  const int filled = static_cast<int>(done * kWidth / count);
  err << "\r[" << std::string(static_cast<std::size_t>(filled), '#')
      << std::string(static_cast<std::size_t>(kWidth - filled), '.') << "] " << done << '/' << count
      << std::flush;
}

// Stages a measured entry's file: the export of its samples (16-bit, or a
// mix's floats), or image, its WAV as made. A sound that turns out silent in
// the file is left out with skipSilent.
template <typename Sample>
void StageEntry(const BatchPlan& plan, bool skipSilent, std::span<const Sample> samples,
                std::span<const std::uint8_t> image, BatchEntry& entry, BatchFolder& folder) {
  if (skipSilent && entry.Silent != Silence::None) return;
  ExportReport report;
  if (plan.Export) {
    report = ExportRendered(samples, plan.Export->Settings);
    if (entry.Silent == Silence::None && report.Silent) entry.Silent = Silence::FileAllZero;
    if (skipSilent && entry.Silent != Silence::None) return;
    entry.Export = report.Fields;
    entry.Limited = report.Limited;
    entry.Reachable = report.ReachableLoudness;
    entry.ConversionClipped = report.Fields["clipped_by_conversion"].get<std::int64_t>() > 0;
    image = report.Bytes;
  }
  WriteNewFile(folder.StagedPath(entry.File), image.data(), image.size());
  entry.Bytes = image.size();
  entry.Sha256 = Sha256Hex(image.data(), image.size());
  entry.Written = true;
}

// Synthesizes, measures and stages one sound's file.
void RenderEntry(const BatchPlan& plan, bool skipSilent, const RenderedSound& sound, BatchEntry& entry,
                 BatchFolder& folder) {
  entry.Settings = ExportSettingsString(sound.Params);
  entry.SettingsHex = SettingsFileHex(sound.Params);
  entry.Samples = sound.SampleCount;
  entry.Levels = MeasureLevels(sound.Samples());
  entry.Silent = WhySilent(sound.Params, entry.Levels);
  StageEntry(plan, skipSilent, sound.Samples(), {sound.ImageData(), sound.ImageSize()}, entry, folder);
}

// Mixes, measures and stages a layered sound's file: the 16-bit mix, or its
// floats through the export.
void RenderLayeredEntry(const BatchPlan& plan, bool skipSilent, BatchEntry& entry, BatchFolder& folder) {
  const LayerMix mix = MixLayers(entry.Layers);
  entry.Samples = mix.Samples.size();
  entry.Levels = MeasureLevels(mix.Samples);
  entry.Silent = entry.Levels.Peak == 0 ? Silence::AllZero : Silence::None;
  entry.MixClipped = mix.Clipped;
  const std::vector<std::uint8_t> image =
      plan.Export ? std::vector<std::uint8_t>() : BuildWaveImage(DefaultParams(), mix.Samples.data(), mix.Samples.size());
  StageEntry(plan, skipSilent, std::span<const float>(mix.Floats), image, entry, folder);
}

}  // namespace

std::int64_t MostSoundsPerTake(std::uint32_t bufferSeconds) {
  const std::int64_t bytes = std::max<std::int64_t>(1, WaveCapacityBytes(bufferSeconds));
  return std::min(kMostSoundsPerTake, std::max(kLeastSoundsPerTake, kTakeBytes / bytes));
}

std::int64_t RenderBatch(BatchPlan& plan, bool skipSilent, BatchFolder& folder, const Streams& streams) {
  const std::int64_t count = plan.Count;
  std::atomic<std::int64_t> next{0};
  std::atomic<std::int64_t> done{0};
  std::atomic<bool> failed{false};
  std::mutex reportMutex;
  std::optional<CliError> firstError;
  const bool progress = streams.ErrIsTerminal;
  // No more than an even share, so that every job has sounds to make.
  const std::int64_t take = std::max<std::int64_t>(
      1, std::min((count + plan.Jobs - 1) / plan.Jobs, MostSoundsPerTake(plan.Recipe.BufferSeconds)));

  const auto worker = [&] {
    for (;;) {
      const std::int64_t first = next.fetch_add(take);
      if (first >= count || failed.load() || StopRequested()) return;
      const std::int64_t last = std::min(first + take, count);
      try {
        std::vector<SoundStart> starts;
        std::vector<RenderedSound> sounds;
        for (std::int64_t i = first; i < last; ++i) {
          BatchEntry& entry = plan.Entries[static_cast<std::size_t>(i)];
          // A project's sounds each have their own buffer, or layers; one recipe's are made side by side.
          if (!entry.Layers.empty()) {
            RenderLayeredEntry(plan, skipSilent, entry, folder);
            continue;
          }
          if (entry.Recipe) {
            RenderEntry(plan, skipSilent, MakeSound(entry.Start, entry.Recipe->BufferSeconds), entry, folder);
            continue;
          }
          starts.push_back(entry.Start);
        }
        if (!starts.empty()) {
          sounds = MakeSounds(starts, plan.Recipe.BufferSeconds);
          for (std::int64_t i = first; i < last; ++i) {
            RenderEntry(plan, skipSilent, sounds[static_cast<std::size_t>(i - first)],
                        plan.Entries[static_cast<std::size_t>(i)], folder);
          }
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
  const std::int64_t threadCount = std::min(plan.Jobs, (count + take - 1) / take);
  for (std::int64_t t = 0; t < threadCount; ++t) threads.emplace_back(worker);
  for (std::thread& t : threads) t.join();
  if (progress) streams.Err << '\n';
  if (StopRequested()) ThrowStopped(folder.Path());
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
  return threadCount;
}

}  // namespace quavix::cli
