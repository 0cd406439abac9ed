// Layered sounds: up to eight recipes, each with a start and a level, mixed
// into one sound. Each layer is rendered alone exactly as the single-sound path
// renders its recipe; the mix adds the layers' samples, scaled by their gains,
// in double and rounds the sum once to 16 bits.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "synth/synth_params.h"

namespace quavix {

inline constexpr std::size_t kMaxLayers = 8;
// The latest start of a layer: 60 seconds of 44100 samples.
inline constexpr std::int32_t kMaxLayerOffset = 60 * kSampleRate;
// Gains in tenths of a decibel, -60.0 to +12.0 dB.
inline constexpr std::int32_t kMinGainTenths = -600;
inline constexpr std::int32_t kMaxGainTenths = 120;
inline constexpr std::size_t kLayerGainCount = kMaxGainTenths - kMinGainTenths + 1;

struct Layer {
  SynthParams Params = DefaultParams();
  std::uint32_t RandomState = 0;    // the random state before the render
  std::uint32_t BufferSeconds = 5;  // the wave buffer that bounds the render, 0 to 60
  std::int32_t Offset = 0;          // its first sample's place in the mix
  std::int32_t GainTenths = 0;      // its level in tenths of a decibel
  bool Muted = false;               // a muted layer adds nothing and takes no room
};

// The float nearest to 10^(tenths / 200), for kMinGainTenths <= tenths <=
// kMaxGainTenths (0 outside): one table, the same in every build.
float LayerGain(std::int32_t tenths);

// A gain given in decibels as tenths: true when db is a whole number of
// tenths (round(db x 10) / 10 == db, written exactly so) of at most 10^6 dB
// either way, the rule of every reader of a layer's gain in decibels. The
// range, -60.0 to +12.0, is LayersProblem's to check.
bool GainTenthsOf(double db, std::int32_t& tenths);

// A gain in tenths of a decibel as a person writes it: "-60.0", "+12.1", "+0.0".
std::string GainText(std::int64_t tenths);

// What is wrong with a count of layers ("" for 1 to kMaxLayers).
std::string LayerCountProblem(std::size_t count);

// What is wrong with a layered sound, in a person's words ("" when nothing);
// *badLayer is the layer it concerns (-1 for the whole sound).
std::string LayersProblem(std::span<const Layer> layers, int* badLayer);

// A sum of the mix as a 16-bit sample: rounded half away from zero, then
// clamped to -32768 .. 32767; clipped tells whether the clamp changed it.
std::int16_t MixSample(double sum, bool& clipped);

struct LayerMix {
  std::vector<std::int16_t> Samples;
  std::vector<float> Floats;  // each sum / 32768 rounded to float, unclamped: the export's input
  std::int64_t Clipped = 0;   // samples whose sum lay beyond -32768 .. 32767
  std::vector<std::size_t> LayerSamples;  // each layer's own length (0 when muted)
};

// Renders each layer that sounds (in lanes when there are several) and mixes
// them: sample n of the mix is the sum over the layers, in layer order, of
// gain x (the layer's sample n - offset, where it has one), rounded half away
// from zero and clamped to 16 bits. The mix is as long as the latest end of a
// layer that sounds. The layers must pass LayersProblem.
LayerMix MixLayers(std::span<const Layer> layers);

}  // namespace quavix
