// Sound files written with libsndfile, in memory, so that the tool's safe
// output path puts the bytes in place. The same samples always give the same
// bytes: no time stamp, and an Ogg serial number derived from the samples
// (ogg_pages.h).
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

// "WAV, 16-bit", "FLAC, 24-bit", "Ogg Vorbis", ... for a libsndfile format word.
std::string DescribeFormat(int format);

}  // namespace quavix::exporting
