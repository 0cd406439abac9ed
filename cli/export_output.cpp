#include "export_output.h"

#include <cmath>
#include <cstdio>

#include "cli_error.h"
#include "export/export_sound.h"
#include "export/sound_encoding.h"
#include "export/sound_file_reading.h"
#include "export/sound_processing.h"
#include "json_text.h"
#include "match/sound_distance.h"
#include "output_file.h"

namespace quavix::cli {

using namespace exporting;

bool ExportAvailable() { return true; }

nlohmann::ordered_json JsonLevel(double db) {
  if (!std::isfinite(db)) return nullptr;
  return std::round(db * 1000) / 1000;
}

std::string TextLevel(double db) {
  if (!std::isfinite(db)) return "-inf";
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", db);
  return text;
}

namespace {

std::string SignedDb(double db) {
  char text[32];
  std::snprintf(text, sizeof text, "%+.2f dB", db);
  return text;
}

std::string TextSeconds(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", seconds);
  std::string shown = text;
  while (shown.back() == '0') shown.pop_back();
  if (shown.back() == '.') shown.pop_back();
  return shown + " s";
}

}  // namespace

ExportReport ExportRendered(std::span<const std::int16_t> samples, const ExportSettings& settings) {
  const std::vector<float> floats = ToFloatSamples(samples);
  return ExportRendered(std::span<const float>(floats), settings);
}

ExportReport ExportRendered(std::span<const float> samples, const ExportSettings& settings) {
  ExportedSound sound;
  try {
    sound = ExportSound(samples, settings);
  } catch (const std::runtime_error& e) {
    ThrowFailure(e.what());
  }
  ExportReport report;
  report.Limited = sound.Limited;
  report.Silent = sound.Silent;
  report.LoudnessAfter = sound.After.IntegratedLufs;
  report.ReachableLoudness = sound.After.IntegratedLufs + (settings.CeilingDbtp - sound.After.TruePeakDbtp);
  report.Fields = {
      {"format", FormatName(settings.Format)},
      {"rate", settings.Rate},
      {"bits", settings.Format == FileFormat::Ogg ? nlohmann::ordered_json(nullptr)
                                                  : nlohmann::ordered_json(BitsName(settings.Bits))},
      {"frames", sound.Frames},
      {"gain_db", JsonLevel(sound.GainDb)},
      {"gain_limited", sound.Limited},
      {"loudness_before_lufs", JsonLevel(sound.Before.IntegratedLufs)},
      {"true_peak_before_dbtp", JsonLevel(sound.Before.TruePeakDbtp)},
      {"loudness_after_lufs", JsonLevel(sound.After.IntegratedLufs)},
      {"true_peak_after_dbtp", JsonLevel(sound.After.TruePeakDbtp)},
      {"measured_padded", sound.After.Padded},
      {"clipped_by_conversion", sound.Clipped},
  };
  if (settings.Normalize && sound.Unmeasurable) {
    report.Notes.push_back("the sound is silent before the gain: it is not normalised");
  } else if (sound.Limited) {
    report.Notes.push_back("the " + TextLevel(settings.CeilingDbtp) + " dBTP ceiling limits the gain to " +
                           SignedDb(sound.GainDb) + " (the target asks for " + SignedDb(sound.WantedGainDb) +
                           "): the sound ends at " + TextLevel(sound.After.IntegratedLufs) + " LUFS");
  }
  if (settings.TrimDb && sound.TrimmedEnd == sound.TrimmedFrom) {
    report.Notes.push_back("nothing is louder than " + TextLevel(*settings.TrimDb) +
                           " dBFS: after trimming the file holds no samples");
  }
  if (sound.Clipped > 0) {
    report.Notes.push_back(std::to_string(sound.Clipped) + " sample" + (sound.Clipped == 1 ? " was" : "s were") +
                           " clipped at full scale by the conversion to " + std::string(BitsName(settings.Bits)) +
                           " bits");
  }
  report.Bytes = std::move(sound.Bytes);
  return report;
}

std::uint64_t ExportBytesBound(std::size_t samples, const ExportSettings& settings) {
  const std::uint64_t bytesPerSample = settings.Format == FileFormat::Ogg     ? 4
                                       : settings.Bits == SampleBits::Int8    ? 1
                                       : settings.Bits == SampleBits::Int24   ? 3
                                       : settings.Bits == SampleBits::Float32 ? 4
                                                                              : 2;
  const std::uint64_t frames = samples * static_cast<std::uint64_t>(settings.Rate) / kSampleRate + 1;
  return 4096 + frames * bytesPerSample;
}

std::optional<LoudnessSummary> SummarizeSound(std::span<const std::int16_t> samples, double trimDb) {
  const std::vector<float> sound = ToFloatSamples(samples);
  const Loudness level = MeasureLoudness(sound, 1, kSampleRate);
  return LoudnessSummary{level.IntegratedLufs, level.TruePeakDbtp, level.Padded,
                         static_cast<double>(TrimmedFrames(sound, 1, trimDb)) / kSampleRate};
}

bool LooksLikeSoundFile(std::span<const std::uint8_t> bytes) { return ContainerOf(bytes) != Container::Unknown; }

std::vector<float> ReadMatchTarget(const std::string& path, double mostSeconds) {
  constexpr double kMostFileSeconds = 60;  // silence included; no more is decoded
  const std::string name = Echo(path, 40);
  DecodedSound sound;
  std::string error;
  if (!ReadSoundFile(path, kMostFileSeconds, sound, error)) {
    ThrowFailure("cannot read " + name + " as a sound file: " + error);
  }
  if (sound.TooLong) {
    ThrowFailure(name + " lasts over " + std::to_string(static_cast<int>(kMostFileSeconds)) +
                 " s; a sound to imitate lasts at most " + TextSeconds(mostSeconds));
  }
  if (sound.Samples.empty()) ThrowFailure(name + " holds no samples");
  for (const float s : sound.Samples) {
    if (!std::isfinite(s)) ThrowFailure(name + " holds samples that are not numbers");
  }
  std::vector<float> at44k =
      sound.Rate == kSampleRate ? std::move(sound.Samples) : Resample(sound.Samples, sound.Rate, kSampleRate);
  const std::span<const float> audible = match::TrimSilence(at44k);
  if (audible.empty()) ThrowFailure(name + " is silent: no sample reaches -60 dB");
  const double seconds = static_cast<double>(audible.size()) / kSampleRate;
  if (seconds > mostSeconds) {
    ThrowFailure(name + " holds " + TextSeconds(seconds) + " of sound; a sound to imitate lasts at most " +
                 TextSeconds(mostSeconds));
  }
  return {audible.begin(), audible.end()};
}

int RunSoundFileInfo(const std::string& path, double trimDb, bool json, const Streams& streams) {
  if (json && !IsUtf8(path)) {
    ThrowUsage("--json: the file name " + EchoPath(path) +
               " is not UTF-8 text, which JSON cannot hold");
  }
  SoundFileFigures sound;
  std::string error;
  if (!MeasureSoundFile(path, trimDb, sound, error)) ThrowFailure("cannot read " + EchoPath(path) + " as a sound file: " + error);
  for (const std::string& warning : sound.Warnings) {
    streams.Err << "quavix: warning: " << EchoPath(path) << ": " << warning << '\n';
  }
  const Loudness& level = sound.Level;
  const double seconds = static_cast<double>(sound.Frames) / sound.Rate;
  const double trimmed = static_cast<double>(sound.TrimmedFrames) / sound.Rate;
  if (json) {
    const nlohmann::ordered_json out{{"file", path},
                                     {"format", DescribeFormat(sound.Format)},
                                     {"rate", sound.Rate},
                                     {"channels", sound.Channels},
                                     {"frames", sound.Frames},
                                     {"declared_frames", sound.DeclaredFrames ? nlohmann::ordered_json(*sound.DeclaredFrames)
                                                                              : nlohmann::ordered_json(nullptr)},
                                     {"seconds", seconds},
                                     {"loudness_lufs", JsonLevel(level.IntegratedLufs)},
                                     {"loudness_padded", level.Padded},
                                     {"true_peak_dbtp", JsonLevel(level.TruePeakDbtp)},
                                     {"sample_peak_dbfs", JsonLevel(level.SamplePeakDbfs)},
                                     {"trim_threshold_db", trimDb},
                                     {"trimmed_seconds", trimmed},
                                     {"warnings", sound.Warnings}};
    streams.Out << out.dump(2) << '\n';
  } else {
    char line[256];
    std::snprintf(line, sizeof line, "%s, %d Hz, %d channel%s, %llu frames (%.3f s)\n", DescribeFormat(sound.Format).c_str(),
                  sound.Rate, sound.Channels, sound.Channels == 1 ? "" : "s",
                  static_cast<unsigned long long>(sound.Frames), seconds);
    streams.Out << "file: " << EchoPath(path) << '\n' << "format: " << line;
    streams.Out << "loudness: " << TextLevel(level.IntegratedLufs) << " LUFS integrated"
                << (level.Padded ? " (shorter than 400 ms: measured padded with silence to 400 ms)" : "") << '\n';
    streams.Out << "true peak: " << TextLevel(level.TruePeakDbtp) << " dBTP, sample peak "
                << TextLevel(level.SamplePeakDbfs) << " dBFS\n";
    std::snprintf(line, sizeof line, "%.3f s after trimming at %g dBFS\n", trimmed, trimDb);
    streams.Out << "duration: " << line;
  }
  FlushOrThrow(streams.Out);
  return kExitOk;
}

}  // namespace quavix::cli
