// The binary settings file (*.sfs): versions 100, 101 and 102 are read,
// version 102 (105 bytes) is written.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "synth/synth_params.h"

namespace quavix {

inline constexpr std::size_t kSettingsFileSize = 105;

enum class SettingsLoadResult {
  Loaded,         // every field of the version was read
  Truncated,      // the file ended early; the fields read were stored
  CannotOpen,     // missing file, empty name, directory, unreadable
  BadVersion,     // version other than 100..102 (or fewer than 4 bytes)
};

enum class SettingsSaveResult {
  Saved,
  CannotWrite,  // nothing was replaced; the old file, if any, is intact
};

// The 105 bytes of a version-102 file for the parameters.
std::array<std::uint8_t, kSettingsFileSize> EncodeSettings(const SynthParams& params);

// Reads a file image from memory into the parameters, as a load would.
SettingsLoadResult DecodeSettings(SynthParams& params, const std::uint8_t* bytes, std::size_t size);

SettingsLoadResult LoadSettingsFile(SynthParams& params, const std::string& path);

// Writes a temporary file beside the target and renames it over the target
// only once every byte is written.
SettingsSaveResult SaveSettingsFile(const SynthParams& params, const std::string& path);

}  // namespace quavix
