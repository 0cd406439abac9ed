// What GenLength and GenWave read from an instance's wave buffer after a
// generation.
#pragma once

#include <cstdint>

namespace quavix::host {

// lastLength is the byte length of the sample data of the last sound.
std::int32_t GeneratedLength(std::uint32_t lastLength);

// The sample at offset (compared unsigned with the length) divided by the
// output scale 32000, or 0.0 outside the sound. waveBuffer points at the header.
float GeneratedSample(const std::uint8_t* waveBuffer, std::uint32_t lastLength,
                      std::int32_t offset);

}  // namespace quavix::host
