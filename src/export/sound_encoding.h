// Sound files written and read with libsndfile, in memory, so that the tool's
// safe output path puts the bytes in place.
//
// Integer samples are rounded without dither: v = x x 2^(bits-1) rounded half
// away from zero, then clamped to [-2^(bits-1), 2^(bits-1) - 1] (for 16 bits:
// round(x x 32768) in [-32768, 32767]). A 16-bit sound s / 32768 therefore
// comes back as s exactly. Float samples are stored as they are.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "export/export_settings.h"

namespace quavix::exporting {

// x rounded to a signed integer of bits bits as described above; clipped is
// set when the clamp changed the value.
std::int32_t QuantizeSample(float x, int bits, bool& clipped);

struct EncodedSound {
  std::vector<std::uint8_t> Bytes;
  std::vector<float> Stored;  // the samples as the file gives them back, full scale 1
  std::int64_t Clipped = 0;   // samples clamped at full scale
};

// Vorbis quality on libsndfile's scale 0 to 1 (Vorbis quality 6 of 10).
inline constexpr double kVorbisQuality = 0.6;

// Mono samples in the format: WAV, FLAC and raw (little-endian, headerless)
// in the sample format bits; Ogg Vorbis at kVorbisQuality.
EncodedSound EncodeSound(std::span<const float> samples, int rate, FileFormat format, SampleBits bits);

struct DecodedSound {
  int Channels = 0;
  int Rate = 0;
  int Format = 0;                 // libsndfile's SF_FORMAT_* word
  std::vector<float> Samples;     // interleaved, full scale 1
  std::size_t Frames() const { return Channels > 0 ? Samples.size() / static_cast<std::size_t>(Channels) : 0; }
};

// Whether bytes start like a WAV, FLAC or Ogg file.
bool LooksLikeSoundFile(std::span<const std::uint8_t> bytes);

// Reads a WAV, FLAC or Ogg file; false with the reason in error when it cannot.
bool ReadSoundFile(const std::string& path, DecodedSound& sound, std::string& error);

// "WAV, 16-bit", "FLAC, 24-bit", "Ogg Vorbis", ... for a libsndfile format word.
std::string DescribeFormat(int format);

}  // namespace quavix::exporting
