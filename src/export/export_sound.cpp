#include "export/export_sound.h"

#include <algorithm>
#include <cmath>

#include "export/sound_encoding.h"
#include "export/sound_processing.h"

namespace quavix::exporting {
namespace {

// Lowering the gain by a true-peak excess this much more leaves the peak
// under the ceiling after the conversion's rounding.
constexpr double kCeilingMargin = 0.005;
constexpr int kEncodings = 4;
// A lossy file whose loudness lands further than this from the target is
// encoded again with the gain corrected by the difference.
constexpr double kLoudnessTolerance = 0.02;

}  // namespace

std::size_t TrimmedFrames(std::span<const float> samples, int channels, double thresholdDb) {
  const FrameRange range = AudibleRange(samples, channels, thresholdDb);
  return range.End - range.First;
}

ExportedSound ExportSound(std::span<const float> samples, const ExportSettings& settings) {
  ExportedSound out;
  std::vector<float> sound(samples.begin(), samples.end());
  out.Before = MeasureLoudness(sound, 1, kSampleRate);
  out.TrimmedEnd = sound.size();
  if (settings.TrimDb) {
    const FrameRange range = AudibleRange(sound, 1, *settings.TrimDb);
    out.TrimmedFrom = range.First;
    out.TrimmedEnd = range.End;
    sound = std::vector<float>(sound.begin() + static_cast<std::ptrdiff_t>(range.First),
                               sound.begin() + static_cast<std::ptrdiff_t>(range.End));
  }
  sound = Resample(sound, kSampleRate, settings.Rate);
  if (settings.FadeOutMs > 0) FadeOut(sound, FadeFrames(settings.FadeOutMs, settings.Rate));

  bool ceiling = false;
  if (settings.Normalize) {
    const Loudness level = MeasureLoudness(sound, 1, settings.Rate);
    if (settings.Normalize->Kind == GainTarget::SamplePeak) {
      out.Unmeasurable = !std::isfinite(level.SamplePeakDbfs);
      if (!out.Unmeasurable) out.WantedGainDb = settings.Normalize->Target - level.SamplePeakDbfs;
      out.GainDb = out.WantedGainDb;
    } else {
      ceiling = true;
      out.Unmeasurable = !std::isfinite(level.IntegratedLufs);
      if (!out.Unmeasurable) {
        out.WantedGainDb = settings.Normalize->Target - level.IntegratedLufs;
        const double allowed = settings.CeilingDbtp - level.TruePeakDbtp;
        out.Limited = out.WantedGainDb > allowed;
        out.GainDb = std::min(out.WantedGainDb, allowed);
      }
    }
  }

  for (int attempt = 0; attempt < kEncodings; ++attempt) {
    std::vector<float> scaled = sound;
    if (out.GainDb != 0) ApplyGain(scaled, out.GainDb);
    EncodedSound encoded = EncodeSound(scaled, settings.Rate, settings.Format, settings.Bits);
    out.After = MeasureLoudness(encoded.Stored, 1, settings.Rate);
    out.Bytes = std::move(encoded.Bytes);
    out.Frames = scaled.size();
    out.Clipped = encoded.Clipped;
    out.Silent =
        std::all_of(encoded.Stored.begin(), encoded.Stored.end(), [](float x) { return x == 0; });
    if (!ceiling || out.Unmeasurable || !std::isfinite(out.After.IntegratedLufs)) break;
    const double excess = out.After.TruePeakDbtp - settings.CeilingDbtp;
    const double miss = settings.Normalize->Target - out.After.IntegratedLufs;
    if (excess > 0) {
      out.GainDb -= excess + kCeilingMargin;
      out.Limited = true;
    } else if (settings.Format == FileFormat::Ogg && !out.Limited && std::fabs(miss) > kLoudnessTolerance) {
      out.Limited = miss > -excess;
      out.GainDb += std::min(miss, -excess - kCeilingMargin);
    } else {
      break;
    }
  }
  return out;
}

}  // namespace quavix::exporting
