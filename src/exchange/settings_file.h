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

// Reads the named file (raw bytes, at most the first 105 are used). Fields the
// version lacks, fields the file ends before, and a field cut short keep their
// values; a missing file, an empty name, a directory or a bad version change
// nothing.
SettingsLoadResult LoadSettingsFile(SynthParams& params, const std::string& path);

// The temporary file a save writes first: the target's name with ".tmp"
// appended, in the same folder. A file of that name is overwritten.
std::string SettingsTempPath(const std::string& path);

// Writes the 105 bytes to the temporary file, flushes them to disk and only
// then renames the temporary file over the target (replacing it). On any
// failure the temporary file is removed and an existing target is left as it
// was. An empty name or a directory writes nothing.
SettingsSaveResult SaveSettingsFile(const SynthParams& params, const std::string& path);

}  // namespace quavix
