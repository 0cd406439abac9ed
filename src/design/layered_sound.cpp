// The mix of a layered sound.
#include "design/layered_sound.h"

#include <algorithm>
#include <cmath>

#include "synth/exact_math.h"
#include "synth/sound_length.h"
#include "synth/synthesizer.h"

namespace quavix {
std::string GainText(std::int64_t tenths) {
  const std::int64_t size = tenths < 0 ? -tenths : tenths;
  return std::string(tenths < 0 ? "-" : "+") + std::to_string(size / 10) + "." + std::to_string(size % 10);
}

bool GainTenthsOf(double db, std::int32_t& tenths) {
  const double count = std::round(db * 10);
  if (!(std::fabs(db) <= 1e6) || count / 10 != db) return false;
  tenths = static_cast<std::int32_t>(TruncToInt32(count));
  return true;
}

std::string LayerCountProblem(std::size_t count) {
  if (count >= 1 && count <= kMaxLayers) return "";
  return "a layered sound has 1 to " + std::to_string(kMaxLayers) + " layers, not " + std::to_string(count);
}

std::string LayersProblem(std::span<const Layer> layers, int* badLayer) {
  if (badLayer != nullptr) *badLayer = -1;
  if (std::string problem = LayerCountProblem(layers.size()); !problem.empty()) return problem;
  for (std::size_t i = 0; i < layers.size(); ++i) {
    const Layer& layer = layers[i];
    std::string problem;
    if (layer.BufferSeconds > kMaxBufferSeconds) {
      problem = "the buffer length is 0 to " + std::to_string(kMaxBufferSeconds) + " seconds, not " +
                std::to_string(layer.BufferSeconds);
    } else if (layer.Offset < 0 || layer.Offset > kMaxLayerOffset) {
      problem = "the start is 0 to " + std::to_string(kMaxLayerOffset) + " samples (60 s), not " +
                std::to_string(layer.Offset);
    } else if (layer.GainTenths < kMinGainTenths || layer.GainTenths > kMaxGainTenths) {
      problem = "the gain is " + GainText(kMinGainTenths) + " to " + GainText(kMaxGainTenths) +
                " dB in steps of 0.1, not " + GainText(layer.GainTenths) + " dB";
    }
    if (!problem.empty()) {
      if (badLayer != nullptr) *badLayer = static_cast<int>(i);
      return "layer " + std::to_string(i + 1) + ": " + problem;
    }
  }
  return "";
}

std::int16_t MixSample(double sum, bool& clipped) {
  const double rounded = std::round(sum);  // half away from zero, exactly
  clipped = rounded < -32768.0 || rounded > 32767.0;
  return static_cast<std::int16_t>(TruncToInt32(std::clamp(rounded, -32768.0, 32767.0)));
}

LayerMix MixLayers(std::span<const Layer> layers) {
  // Each layer that sounds, rendered alone as the single-sound path renders it.
  std::vector<std::size_t> sounding;  // the layers' indices
  for (std::size_t i = 0; i < layers.size(); ++i) {
    if (!layers[i].Muted) sounding.push_back(i);
  }
  const std::size_t count = sounding.size();
  std::vector<Synthesizer> synths(count);
  std::vector<RandomSource> sources(count);
  std::vector<std::vector<std::int16_t>> renders(count);
  std::vector<SynthesisJob> jobs(count);
  for (std::size_t i = 0; i < count; ++i) {
    const Layer& layer = layers[sounding[i]];
    synths[i].Params = layer.Params;
    sources[i].State = layer.RandomState;
    renders[i].resize(SoundLengthBound(layer.Params, layer.BufferSeconds));
    jobs[i] = {&synths[i], &sources[i], renders[i].data(), static_cast<std::int32_t>(renders[i].size())};
  }
  SynthesizeInLanes(jobs.data(), count);

  LayerMix mix;
  mix.LayerSamples.assign(layers.size(), 0);
  std::size_t length = 0;
  for (std::size_t i = 0; i < count; ++i) {
    renders[i].resize(static_cast<std::size_t>(synths[i].SampleCount));
    mix.LayerSamples[sounding[i]] = renders[i].size();
    length = std::max(length, static_cast<std::size_t>(layers[sounding[i]].Offset) + renders[i].size());
  }
  // Each product of a float gain and a 16-bit sample is exact in double; the
  // sum is taken in layer order.
  std::vector<double> sums(length, 0.0);
  for (std::size_t i = 0; i < count; ++i) {
    const double gain = D(LayerGain(layers[sounding[i]].GainTenths));
    const std::size_t offset = static_cast<std::size_t>(layers[sounding[i]].Offset);
    for (std::size_t n = 0; n < renders[i].size(); ++n) sums[offset + n] += gain * static_cast<double>(renders[i][n]);
  }
  mix.Samples.resize(length);
  mix.Floats.resize(length);
  for (std::size_t n = 0; n < length; ++n) {
    bool clipped = false;
    mix.Samples[n] = MixSample(sums[n], clipped);
    mix.Clipped += clipped ? 1 : 0;
    mix.Floats[n] = Single(sums[n] / 32768.0);
  }
  return mix;
}

}  // namespace quavix
