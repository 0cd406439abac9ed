// A synthesized sound made into a file for a game engine, in this order:
// 16-bit samples to float, trimming of leading and trailing silence,
// resampling, the fade at the end, the gain of the normalisation, then the
// conversion to the file's sample format.
//
// Normalisation measures the sound as it is just before the gain. A loudness
// target never pushes the true peak above the ceiling: the gain is limited
// instead (Limited). Every figure "after" is measured on what the file holds
// (for Ogg Vorbis: on the decoded file); if that lands above the ceiling, the
// gain is lowered by the excess and the file encoded again. Vorbis changes a
// sound's loudness a little (most in short, bright sounds), so an Ogg file is
// also encoded again with the gain corrected by what it missed.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "export/export_settings.h"
#include "export/loudness.h"

namespace quavix::exporting {

struct ExportedSound {
  std::vector<std::uint8_t> Bytes;
  std::size_t Frames = 0;
  Loudness Before;              // the synthesized sound, as synthesized
  Loudness After;               // the file's content
  double GainDb = 0;            // applied
  double WantedGainDb = 0;      // what the target asked for
  bool Limited = false;         // the ceiling cut the gain
  bool Unmeasurable = false;    // silent before the gain: left unnormalised
  std::int64_t Clipped = 0;     // samples clamped at full scale by the conversion
  std::size_t TrimmedFrom = 0;  // source frames cut at the start
  std::size_t TrimmedEnd = 0;   // one past the last source frame kept
  bool Silent = false;          // the file holds no sample other than 0
};

// Float samples at full scale 1: a synthesized sound's 16-bit samples / 32768
// (ToFloatSamples), or a layered sound's mix, which may lie beyond it.
ExportedSound ExportSound(std::span<const float> samples, const ExportSettings& settings);

// Source frames left after trimming at thresholdDb (info's "duration after trimming").
std::size_t TrimmedFrames(std::span<const float> samples, int channels, double thresholdDb);

}  // namespace quavix::exporting
