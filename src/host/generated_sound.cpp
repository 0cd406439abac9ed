#include "host/generated_sound.h"

#include <cstddef>

#include "exchange/wave_image.h"
#include "synth/exact_math.h"
#include "synth/synth_params.h"

namespace quavix::host {

std::int32_t GeneratedLength(std::uint32_t lastLength) {
  return static_cast<std::int32_t>(lastLength >> 1);
}

float GeneratedSample(const std::uint8_t* waveBuffer, std::uint32_t lastLength,
                      std::int32_t offset) {
  const std::uint32_t index = static_cast<std::uint32_t>(offset);
  if (waveBuffer == nullptr || index >= (lastLength >> 1)) {
    return 0.0f;
  }
  const std::uint8_t* at = waveBuffer + kWaveHeaderSize + 2 * static_cast<std::size_t>(index);
  const auto sample = static_cast<std::int16_t>(static_cast<std::uint16_t>(at[0] | (at[1] << 8)));
  return Single(static_cast<double>(sample) / static_cast<double>(kOutputScale));
}

}  // namespace quavix::host
