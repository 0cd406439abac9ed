// The RIFF/WAVE image of a generated sound: a 44-byte header followed by
// signed 16-bit little-endian mono samples. The module publishes this image to
// the host and the command-line tool writes it to files, byte for byte alike.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "synth/sound_length.h"
#include "synth/synth_params.h"

namespace quavix {

inline constexpr std::size_t kWaveHeaderSize = 44;
inline constexpr std::uint32_t kBytesPerBufferSecond = 2 * kSamplesPerBufferSecond;

// Sample-data bytes of a wave buffer for a stored buffer length in seconds
// (values above 60 count as 60).
std::uint32_t WaveCapacityBytes(std::uint32_t bufferSeconds);

// The 44-byte header alone, for dataBytes of sample data that the caller
// writes itself (the C API's quavix_wav_header).
std::array<std::uint8_t, kWaveHeaderSize> WaveHeader(const SynthParams& params, std::uint32_t dataBytes);

// Writes the whole image of count samples into image (44 + 2 x count bytes):
// the header, then the samples little-endian. The samples may lie anywhere,
// inside image too: synthesized in place behind the header (where nothing
// moves on a little-endian host) or even starting inside the header.
void WriteWaveImage(std::uint8_t* image, const SynthParams& params, const std::int16_t* samples,
                    std::size_t count);

// The whole image for the given samples, as a new vector.
std::vector<std::uint8_t> BuildWaveImage(const SynthParams& params, const std::int16_t* samples,
                                         std::size_t count);

}  // namespace quavix
