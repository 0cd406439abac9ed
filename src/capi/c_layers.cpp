// Layered sounds in the C API: the record is copied into the core's layers.
#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "capi/c_records.h"
#include "design/layered_sound.h"

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

std::int64_t RenderLayers(const quavix_layer* layers, std::size_t count, std::int16_t* out,
                          std::size_t capacity, std::int64_t* clipped) {
  if (!LayerCountProblem(count).empty()) return QUAVIX_ERROR_VALUE;
  const std::vector<Layer> core = ToCoreLayers(layers, count);
  if (!LayersProblem(core, nullptr).empty()) return QUAVIX_ERROR_VALUE;
  const LayerMix mix = MixLayers(core);
  if (mix.Samples.size() <= capacity) {
    std::copy(mix.Samples.begin(), mix.Samples.end(), out);
    if (clipped != nullptr) *clipped = mix.Clipped;
  }
  return static_cast<std::int64_t>(mix.Samples.size());
}

}  // namespace

extern "C" {

float quavix_layer_gain(int32_t gain_tenths) { return LayerGain(gain_tenths); }

int quavix_layers_check(const quavix_layer* layers, size_t count, int32_t* bad_layer, char* problem,
                        size_t capacity) {
  if ((layers == nullptr && count > 0) || (problem == nullptr && capacity > 0)) return QUAVIX_ERROR_ARGUMENT;
  int bad = -1;
  std::string text = LayerCountProblem(count);
  if (text.empty()) text = LayersProblem(ToCoreLayers(layers, count), &bad);
  if (bad_layer != nullptr) *bad_layer = bad;
  if (capacity > 0) {
    const std::size_t n = std::min(text.size(), capacity - 1);
    std::memcpy(problem, text.data(), n);
    problem[n] = '\0';
  }
  return text.empty() ? QUAVIX_OK : QUAVIX_ERROR_VALUE;
}

int64_t quavix_render_layers(const quavix_layer* layers, size_t count, int16_t* out, size_t capacity,
                             int64_t* clipped) {
  if (layers == nullptr || (out == nullptr && capacity > 0)) return QUAVIX_ERROR_ARGUMENT;
#if defined(__cpp_exceptions)
  try {
    return RenderLayers(layers, count, out, capacity, clipped);
  } catch (const std::bad_alloc&) {
    return QUAVIX_ERROR_MEMORY;
  }
#else  // a build without exceptions ends the program when memory runs out
  return RenderLayers(layers, count, out, capacity, clipped);
#endif
}

}  // extern "C"
