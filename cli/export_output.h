// What render, batch and info do with the export part of the tree: files in
// other formats, the figures the manifest and the messages give, and loudness
// for info. A build without the export libraries (QUAVIX_EXPORT=OFF, e.g. the
// ARM64 cross build) links export_output_off.cpp instead, which refuses these.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "commands.h"
#include "export/export_settings.h"

namespace quavix::cli {

bool ExportAvailable();

struct ExportReport {
  std::vector<std::uint8_t> Bytes;
  nlohmann::ordered_json Fields;   // format, rate, bits, gain, loudness and true peak before and after
  std::vector<std::string> Notes;  // for stderr, one line each
  bool Limited = false;            // the ceiling kept the sound below its loudness target
  double LoudnessAfter = 0;
  double ReachableLoudness = 0;    // the loudest target the ceiling lets this sound reach
  bool Silent = false;             // the file holds no sample other than 0
};

// The file for synthesized 16-bit samples.
ExportReport ExportRendered(std::span<const std::int16_t> samples, const exporting::ExportSettings& settings);
// The same for float samples at full scale 1: a layered sound's mix.
ExportReport ExportRendered(std::span<const float> samples, const exporting::ExportSettings& settings);

// Bytes a file of at most samples synthesized samples can take, for the
// batch's free-space check.
std::uint64_t ExportBytesBound(std::size_t samples, const exporting::ExportSettings& settings);

// Loudness, true peak and length after trimming of synthesized samples, or
// nothing in a build without the export part.
struct LoudnessSummary {
  double Lufs = 0;
  double TruePeakDbtp = 0;
  bool Padded = false;
  double TrimmedSeconds = 0;
};
std::optional<LoudnessSummary> SummarizeSound(std::span<const std::int16_t> samples, double trimDb);

// Whether the bytes start like a sound file info reads (WAV, RF64, FLAC, Ogg,
// AIFF, AU, CAF, Wave64) or knows and refuses (MP3).
bool LooksLikeSoundFile(std::span<const std::uint8_t> bytes);

// The sound of a file to imitate: mono (its channels' mean), at 44100 Hz
// (resampled with libsoxr), its leading and trailing silence trimmed
// (below -60 dB). Status 1 with one line for a file that cannot be read,
// holds no samples, is silent, or holds more than mostSeconds of sound.
std::vector<float> ReadMatchTarget(const std::string& path, double mostSeconds);

// quavix info for such a sound file.
int RunSoundFileInfo(const std::string& path, double trimDb, bool json, const Streams& streams);

// A level for messages and the manifest: rounded to 0.001, null (JSON) or
// "-inf" (text) for silence.
nlohmann::ordered_json JsonLevel(double db);
std::string TextLevel(double db);

}  // namespace quavix::cli
