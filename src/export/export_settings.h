// How the tool turns a synthesized sound into a file for a game engine: the
// container and sample format, the sample rate, the loudness or peak target
// with its true-peak ceiling, silence trimming and a fade at the end. Plain
// records without any library: the command line fills them in every build.
#pragma once

#include <optional>
#include <string_view>

#include "synth/synth_params.h"

namespace quavix::exporting {

enum class FileFormat { Wav, Flac, Ogg, Raw };

// Sample formats: signed integers of 8, 16 or 24 bits (WAV stores 8 bits
// unsigned, as it must), or 32-bit float. Ogg Vorbis has no sample format.
enum class SampleBits { Int8, Int16, Int24, Float32 };

enum class GainTarget { SamplePeak, Loudness };

struct Normalization {
  GainTarget Kind = GainTarget::Loudness;
  double Target = -16;  // dBFS for the sample peak, LUFS for the loudness
};

struct ExportSettings {
  FileFormat Format = FileFormat::Wav;
  SampleBits Bits = SampleBits::Int16;
  int Rate = kSampleRate;
  std::optional<Normalization> Normalize;
  double CeilingDbtp = -1;             // true-peak ceiling of loudness normalisation
  std::optional<double> TrimDb;        // threshold of silence trimming, dBFS
  int FadeOutMs = 0;                   // 0: no fade
};

inline constexpr double kDefaultTrimDb = -60;

constexpr std::string_view FormatName(FileFormat f) {
  switch (f) {
    case FileFormat::Wav: return "wav";
    case FileFormat::Flac: return "flac";
    case FileFormat::Ogg: return "ogg";
    case FileFormat::Raw: return "raw";
  }
  return "wav";
}

constexpr std::string_view BitsName(SampleBits b) {
  switch (b) {
    case SampleBits::Int8: return "8";
    case SampleBits::Int16: return "16";
    case SampleBits::Int24: return "24";
    case SampleBits::Float32: return "32f";
  }
  return "16";
}

}  // namespace quavix::exporting
