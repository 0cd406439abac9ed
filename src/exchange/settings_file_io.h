// Settings files on disk: the file access of the "Load settings file" and
// "Save settings to" actions. Not part of the core, which works in memory
// (settings_file.h); the module links it.
#pragma once

#include <string>

#include "exchange/settings_file.h"
#include "synth/synth_params.h"

namespace quavix {

enum class SettingsSaveResult {
  Saved,
  CannotWrite,  // nothing was replaced; the old file, if any, is intact
};

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
