// The RIFF/WAVE image of a generated sound: a 44-byte header followed by
// signed 16-bit little-endian mono samples. The module publishes this image to
// the host and the command-line tool writes it to files, byte for byte alike.
#pragma once

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

// Writes the 44-byte header for dataBytes of sample data.
void WriteWaveHeader(std::uint8_t* header, const SynthParams& params, std::uint32_t dataBytes);

// Stores samples little-endian at dest (2 bytes each).
void StoreSamplesLE(std::uint8_t* dest, const std::int16_t* samples, std::size_t count);

// The whole image for the given samples: header, then the samples.
std::vector<std::uint8_t> BuildWaveImage(const SynthParams& params, const std::int16_t* samples,
                                         std::size_t count);

}  // namespace quavix
