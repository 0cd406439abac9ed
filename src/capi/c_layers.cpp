// Layered sounds in the C API: the record is copied into the core's layers.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "capi/c_records.h"
#include "design/layered_sound.h"
#include "exchange/layers_text.h"

using namespace quavix;
using namespace quavix::capi;

static_assert(QUAVIX_MAX_LAYERS == kMaxLayers);
static_assert(QUAVIX_MAX_LAYER_OFFSET == kMaxLayerOffset);
static_assert(QUAVIX_MIN_LAYER_GAIN_TENTHS == kMinGainTenths);
static_assert(QUAVIX_MAX_LAYER_GAIN_TENTHS == kMaxGainTenths);

namespace {

// The core's layers (count at most kMaxLayers).
std::vector<Layer> ToCoreLayers(const quavix_layer* layers, std::size_t count) {
  std::vector<Layer> core(count);
  for (std::size_t i = 0; i < core.size(); ++i) {
    const quavix_layer& layer = layers[i];
    core[i].Params = ToCore(layer.params);
    core[i].RandomState = layer.random_state;
    core[i].BufferSeconds = layer.buffer_seconds;
    core[i].Offset = layer.offset;
    core[i].GainTenths = layer.gain_tenths;
    core[i].Muted = layer.muted != 0;
  }
  return core;
}

// The mix's 16-bit samples into samples, or its floats into floats, snprintf style.
std::int64_t RenderLayers(const quavix_layer* layers, std::size_t count, std::int16_t* samples, float* floats,
                          std::size_t capacity, std::int64_t* clipped) {
  if (!LayerCountProblem(count).empty()) return QUAVIX_ERROR_VALUE;
  const std::vector<Layer> core = ToCoreLayers(layers, count);
  if (!LayersProblem(core, nullptr).empty()) return QUAVIX_ERROR_VALUE;
  const LayerMix mix = MixLayers(core);
  if (mix.Samples.size() <= capacity) {
    if (floats != nullptr) std::copy(mix.Floats.begin(), mix.Floats.end(), floats);
    if (samples != nullptr) std::copy(mix.Samples.begin(), mix.Samples.end(), samples);
    if (clipped != nullptr) *clipped = mix.Clipped;
  }
  return static_cast<std::int64_t>(mix.Samples.size());
}

// Copies text into problem as snprintf does (nothing when capacity is 0).
void PutText(const std::string& text, char* out, std::size_t capacity) {
  if (capacity == 0) return;
  const std::size_t n = std::min(text.size(), capacity - 1);
  std::memcpy(out, text.data(), n);
  out[n] = '\0';
}

int CheckLayers(const quavix_layer* layers, std::size_t count, std::int32_t* badLayer, char* problem,
                std::size_t capacity) {
  int bad = -1;
  std::string text = LayerCountProblem(count);
  if (text.empty()) text = LayersProblem(ToCoreLayers(layers, count), &bad);
  if (badLayer != nullptr) *badLayer = bad;
  PutText(text, problem, capacity);
  return text.empty() ? QUAVIX_OK : QUAVIX_ERROR_VALUE;
}

std::int64_t LayersText(const quavix_layer* layers, std::size_t count, char* out, std::size_t capacity,
                        std::int32_t* badLayer, char* problem, std::size_t problemCapacity) {
  int bad = -1;
  std::string text = LayerCountProblem(count);
  const std::vector<Layer> core = text.empty() ? ToCoreLayers(layers, count) : std::vector<Layer>{};
  if (text.empty()) text = LayersTextProblem(core, &bad);
  if (badLayer != nullptr) *badLayer = bad;
  PutText(text, problem, problemCapacity);
  if (!text.empty()) return QUAVIX_ERROR_VALUE;
  text = WriteLayersText(core);
  PutText(text, out, capacity);
  return static_cast<std::int64_t>(text.size());
}

std::int64_t LayersFromText(const char* text, std::size_t length, quavix_layer* layers, std::size_t capacity,
                            std::int32_t* badLayer, char* problem, std::size_t problemCapacity) {
  const LayersTextRead read = ReadLayersText(std::string_view(text == nullptr ? "" : text, length));
  if (badLayer != nullptr) *badLayer = read.BadLayer;
  PutText(read.Problem, problem, problemCapacity);
  if (!read.Problem.empty()) return QUAVIX_ERROR_VALUE;
  if (read.Layers.size() <= capacity) {
    for (std::size_t i = 0; i < read.Layers.size(); ++i) {
      const Layer& layer = read.Layers[i];
      layers[i] = quavix_layer{};
      FromCore(layer.Params, layers[i].params);
      layers[i].random_state = layer.RandomState;
      layers[i].buffer_seconds = layer.BufferSeconds;
      layers[i].offset = layer.Offset;
      layers[i].gain_tenths = layer.GainTenths;
      layers[i].muted = layer.Muted ? 1 : 0;
    }
  }
  return static_cast<std::int64_t>(read.Layers.size());
}

}  // namespace

extern "C" {

float quavix_layer_gain(int32_t gain_tenths) { return LayerGain(gain_tenths); }

int quavix_layer_gain_tenths(double db, int32_t* tenths) {
  if (tenths == nullptr) return QUAVIX_ERROR_ARGUMENT;
  return GainTenthsOf(db, *tenths) ? QUAVIX_OK : QUAVIX_ERROR_VALUE;
}

int quavix_layers_check(const quavix_layer* layers, size_t count, int32_t* bad_layer, char* problem,
                        size_t capacity) {
  if ((layers == nullptr && count > 0) || (problem == nullptr && capacity > 0)) return QUAVIX_ERROR_ARGUMENT;
  return MemoryGuarded([&] { return CheckLayers(layers, count, bad_layer, problem, capacity); });
}

int64_t quavix_render_layers(const quavix_layer* layers, size_t count, int16_t* out, size_t capacity,
                             int64_t* clipped) {
  return quavix_render_layers_floats(layers, count, out, nullptr, capacity, clipped);
}

int64_t quavix_render_layers_floats(const quavix_layer* layers, size_t count, int16_t* samples, float* floats,
                                    size_t capacity, int64_t* clipped) {
  if (layers == nullptr || (samples == nullptr && floats == nullptr && capacity > 0)) return QUAVIX_ERROR_ARGUMENT;
  return MemoryGuarded([&] { return RenderLayers(layers, count, samples, floats, capacity, clipped); });
}

int64_t quavix_layers_text(const quavix_layer* layers, size_t count, char* out, size_t capacity, int32_t* bad_layer,
                           char* problem, size_t problem_capacity) {
  if (layers == nullptr || (out == nullptr && capacity > 0) || (problem == nullptr && problem_capacity > 0)) {
    return QUAVIX_ERROR_ARGUMENT;
  }
  return MemoryGuarded(
      [&] { return LayersText(layers, count, out, capacity, bad_layer, problem, problem_capacity); });
}

int64_t quavix_layers_from_text(const char* text, size_t length, quavix_layer* layers, size_t capacity,
                                int32_t* bad_layer, char* problem, size_t problem_capacity) {
  if ((text == nullptr && length > 0) || (layers == nullptr && capacity > 0) ||
      (problem == nullptr && problem_capacity > 0)) {
    return QUAVIX_ERROR_ARGUMENT;
  }
  return MemoryGuarded(
      [&] { return LayersFromText(text, length, layers, capacity, bad_layer, problem, problem_capacity); });
}

}  // extern "C"
