// A rendered sound's peak and clamped-sample count, for JavaScript: the
// measurement the tool reports.
#include <cstddef>
#include <cstdint>

#include "quavix/quavix.h"
#include "synth/sound_levels.h"

extern "C" {

// Writes the peak and the number of clamped samples of count samples to
// levels[0] and levels[1].
QUAVIX_API void quavix_wasm_levels(const std::int16_t* samples, std::size_t count, std::int32_t levels[2]) {
  const quavix::SoundLevels measured = quavix::MeasureLevels({samples, count});
  levels[0] = measured.Peak;
  levels[1] = static_cast<std::int32_t>(measured.Clipped);
}

}  // extern "C"
