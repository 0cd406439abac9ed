// The binary settings file (*.sfs) in memory: versions 100, 101 and 102 are
// read, version 102 (105 bytes) is written. Reading and writing files is
// settings_file_io.h, outside the core.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "synth/synth_params.h"

namespace quavix {

inline constexpr std::size_t kSettingsFileSize = 105;

enum class SettingsLoadResult {
  Loaded,         // every field of the version was read
  Truncated,      // the file ended early; the fields read were stored
  CannotOpen,     // (file loads only) missing file, empty name, directory, unreadable
  BadVersion,     // version other than 100..102 (or fewer than 4 bytes)
};

// The 105 bytes of a version-102 file for the parameters.
std::array<std::uint8_t, kSettingsFileSize> EncodeSettings(const SynthParams& params);

// Reads a file image from memory into the parameters, as a load would.
SettingsLoadResult DecodeSettings(SynthParams& params, const std::uint8_t* bytes, std::size_t size);

}  // namespace quavix
