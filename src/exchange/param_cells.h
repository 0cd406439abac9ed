// Access to the 24 parameter cells by index, for the table, the settings
// string and indexed access. Internal to the exchange code.
#pragma once

#include <cstdint>

#include "synth/synth_params.h"

namespace quavix::detail {

inline constexpr std::int32_t kWaveTypeIndex = 1;

// True for 0..23; the index is compared as an unsigned number, so every
// negative index is out of range.
constexpr bool IsParamIndex(std::int32_t index) {
  return static_cast<std::uint32_t>(index) < static_cast<std::uint32_t>(kParamCount);
}

// The float cell of a float parameter index (0, 2..23); nullptr for the
// WaveType index and for indexes out of range.
float* FloatCell(SynthParams& params, std::int32_t index);
const float* FloatCell(const SynthParams& params, std::int32_t index);

}  // namespace quavix::detail
