#include "export/sound_processing.h"

#include <soxr.h>

#include <cmath>
#include <stdexcept>
#include <string>

namespace quavix::exporting {

std::vector<float> ToFloatSamples(std::span<const std::int16_t> samples) {
  std::vector<float> out(samples.size());
  for (std::size_t i = 0; i < samples.size(); ++i) out[i] = static_cast<float>(samples[i]) / 32768.0f;
  return out;
}

FrameRange AudibleRange(std::span<const float> samples, int channels, double thresholdDb) {
  const double threshold = std::pow(10.0, thresholdDb / 20);
  const auto width = static_cast<std::size_t>(channels);
  const std::size_t frames = samples.size() / width;
  const auto audible = [&](std::size_t frame) {
    for (std::size_t c = 0; c < width; ++c) {
      if (std::fabs(static_cast<double>(samples[frame * width + c])) >= threshold) return true;
    }
    return false;
  };
  FrameRange range;
  std::size_t first = 0;
  while (first < frames && !audible(first)) ++first;
  if (first == frames) return range;
  std::size_t end = frames;
  while (!audible(end - 1)) --end;
  range.First = first;
  range.End = end;
  return range;
}

std::vector<float> Resample(std::span<const float> samples, int from, int to) {
  if (from == to || samples.empty()) return {samples.begin(), samples.end()};
  const auto frames = static_cast<std::size_t>(
      std::llround(static_cast<double>(samples.size()) * to / from));
  if (frames == 0) return {};  // a frame or two that round to none: libsoxr is given no room at all
  std::vector<float> out(frames);
  const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
  const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_VHQ, 0);
  std::size_t used = 0;
  std::size_t made = 0;
  const soxr_error_t error = soxr_oneshot(from, to, 1, samples.data(), samples.size(), &used, out.data(),
                                          out.size(), &made, &io, &quality, nullptr);
  if (error != nullptr) throw std::runtime_error(std::string("resampling failed: ") + error);
  out.resize(made);
  out.resize(frames, 0.0f);  // the resampler's last fraction of a frame, if it kept one
  return out;
}

std::size_t FadeFrames(int ms, int rate) {
  return static_cast<std::size_t>(std::llround(static_cast<double>(ms) * rate / 1000));
}

void FadeOut(std::span<float> samples, std::size_t n) {
  if (n > samples.size()) n = samples.size();
  const std::size_t start = samples.size() - n;
  for (std::size_t k = 0; k < n; ++k) {
    const double gain = 1.0 - static_cast<double>(k + 1) / static_cast<double>(n);
    samples[start + k] = static_cast<float>(static_cast<double>(samples[start + k]) * gain);
  }
}

void ApplyGain(std::span<float> samples, double db) {
  const auto factor = static_cast<float>(std::pow(10.0, db / 20));
  for (float& s : samples) s *= factor;
}

}  // namespace quavix::exporting
