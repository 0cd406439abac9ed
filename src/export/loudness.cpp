#include "export/loudness.h"

#include <ebur128.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <new>
#include <vector>

namespace quavix::exporting {
namespace {

struct MeterDeleter {
  void operator()(ebur128_state* st) const { ebur128_destroy(&st); }
};

double Decibels(double linear) {
  return linear > 0 ? 20 * std::log10(linear) : -std::numeric_limits<double>::infinity();
}

}  // namespace

Loudness MeasureLoudness(std::span<const float> samples, int channels, int rate) {
  std::unique_ptr<ebur128_state, MeterDeleter> meter(
      ebur128_init(static_cast<unsigned>(channels), static_cast<unsigned long>(rate),
                   EBUR128_MODE_I | EBUR128_MODE_TRUE_PEAK | EBUR128_MODE_SAMPLE_PEAK));
  if (!meter) throw std::bad_alloc();
  const std::size_t frames = samples.size() / static_cast<std::size_t>(channels);
  if (frames > 0 && ebur128_add_frames_float(meter.get(), samples.data(), frames) != EBUR128_SUCCESS) {
    throw std::bad_alloc();
  }
  Loudness result;
  const std::size_t block = LoudnessBlockFrames(rate);
  if (frames < block) {
    result.Padded = true;
    const std::vector<float> silence((block - frames) * static_cast<std::size_t>(channels), 0.0f);
    if (ebur128_add_frames_float(meter.get(), silence.data(), block - frames) != EBUR128_SUCCESS) {
      throw std::bad_alloc();
    }
  }
  double lufs = 0;
  if (ebur128_loudness_global(meter.get(), &lufs) != EBUR128_SUCCESS || !std::isfinite(lufs)) {
    lufs = -std::numeric_limits<double>::infinity();
  }
  double truePeak = 0;
  double samplePeak = 0;
  for (unsigned c = 0; c < static_cast<unsigned>(channels); ++c) {
    double tp = 0;
    double sp = 0;
    ebur128_true_peak(meter.get(), c, &tp);
    ebur128_sample_peak(meter.get(), c, &sp);
    truePeak = std::max(truePeak, tp);
    samplePeak = std::max(samplePeak, sp);
  }
  result.IntegratedLufs = lufs;
  result.TruePeakDbtp = Decibels(truePeak);
  result.SamplePeakDbfs = Decibels(samplePeak);
  return result;
}

}  // namespace quavix::exporting
