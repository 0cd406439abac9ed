// quavix info's reading of a WAV, FLAC or Ogg file: its header checked first
// (sound_file_header.h), then the samples decoded with libsndfile piece by
// piece into the loudness meter, so that no claim of the header sizes memory.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "export/loudness.h"
#include "export/sound_file_header.h"

namespace quavix::exporting {

struct SoundFileFigures {
  int Channels = 0;
  int Rate = 0;
  int Format = 0;                               // libsndfile's SF_FORMAT_* word
  std::uint64_t Frames = 0;                     // decoded
  std::optional<std::uint64_t> DeclaredFrames;  // what the header says, when it says
  Loudness Level;
  std::uint64_t TrimmedFrames = 0;              // from the first to the last frame at the threshold
  std::vector<std::string> Warnings;            // e.g. the data end before the header says
};

// Reads and measures the file; false with the reason in error (one clause,
// without the file's name) when no sound can be read from it.
bool MeasureSoundFile(const std::string& path, double trimDb, SoundFileFigures& out, std::string& error);

// A sound file's samples, its channels mixed down to one (their mean).
struct DecodedSound {
  int Channels = 0;
  int Rate = 0;
  std::vector<float> Samples;  // one per frame
  bool TooLong = false;        // the file holds more than the frames asked for; Samples is partial
};

// Decodes at most mostSeconds of the file, after the same header checks as
// MeasureSoundFile; false with the reason in error when it cannot be read.
bool ReadSoundFile(const std::string& path, double mostSeconds, DecodedSound& out, std::string& error);

}  // namespace quavix::exporting
