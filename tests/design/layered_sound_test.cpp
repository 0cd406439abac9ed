// Layered sounds: the rule's edges, and the mix recomputed from each layer's
// own render in a few lines.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "design/layered_sound.h"
#include "design/presets.h"
#include "synth/sound_length.h"
#include "synth/synthesizer.h"

namespace quavix {
namespace {

Layer Preset(PresetFamily family, std::uint32_t seed, std::int32_t offset = 0, std::int32_t gain = 0) {
  Layer layer;
  RandomSource random{seed};
  layer.Params = DefaultParams();
  LoadPreset(layer.Params, family, random);
  layer.RandomState = random.State;
  layer.Offset = offset;
  layer.GainTenths = gain;
  return layer;
}

// The layer alone, as the single-sound path renders it.
std::vector<std::int16_t> Alone(const Layer& layer) {
  Synthesizer synth;
  synth.Params = layer.Params;
  RandomSource random{layer.RandomState};
  std::vector<std::int16_t> out(BufferSamples(layer.BufferSeconds));
  Synthesize(synth, static_cast<std::int32_t>(out.size()), out.data(), random);
  out.resize(static_cast<std::size_t>(synth.SampleCount));
  return out;
}

// The rule written out: sums in double in layer order, rounded half away from zero, clamped.
std::vector<std::int16_t> Recomputed(const std::vector<Layer>& layers, std::int64_t& clipped) {
  std::vector<double> sum;
  for (const Layer& layer : layers) {
    if (layer.Muted) continue;
    const std::vector<std::int16_t> x = Alone(layer);
    sum.resize(std::max(sum.size(), static_cast<std::size_t>(layer.Offset) + x.size()));
    for (std::size_t n = 0; n < x.size(); ++n) sum[layer.Offset + n] += double{LayerGain(layer.GainTenths)} * x[n];
  }
  std::vector<std::int16_t> out;
  clipped = 0;
  for (const double m : sum) {
    const double r = m < 0 ? -std::floor(-m + 0.5) : std::floor(m + 0.5);
    clipped += (r > 32767 || r < -32768) ? 1 : 0;
    out.push_back(static_cast<std::int16_t>(std::fmin(32767, std::fmax(-32768, r))));
  }
  return out;
}

TEST(LayeredSound, MixesTheLayersOwnRenders) {
  const Layer coin = Preset(kPresetCoin, 1), laser = Preset(kPresetLaser, 42, 3000, -65);
  Layer longTail = Preset(kPresetExplosion, 5, 10, 37);
  longTail.Params.SustainTime = 0.8f;  // 64,000 samples of sustain: longer than the others
  Layer muted = longTail;
  muted.Muted = true;
  muted.Offset = kMaxLayerOffset;  // a muted layer takes no room
  Layer late = Preset(kPresetBlip, 3, kMaxLayerOffset, kMinGainTenths);
  Layer loud = Preset(kPresetHurt, 8, 0, kMaxGainTenths);
  Layer cut = Preset(kPresetPowerup, 2);
  cut.BufferSeconds = 0;  // renders nothing
  struct Case {
    const char* name;
    std::vector<Layer> layers;
    std::size_t length;  // where known from the layers' lengths alone (0: not checked)
    bool clipsBothWays;
  } const cases[] = {
      {"one layer is the sound itself", {coin}, 0, false},
      {"a later, quieter layer over another", {coin, laser}, 0, false},
      {"a long layer sets the length", {coin, longTail, laser}, 10 + Alone(longTail).size(), false},
      {"muted adds nothing and takes no room", {coin, muted}, Alone(coin).size(), false},
      {"the latest start, 60 s, at -60.0 dB", {coin, late}, kMaxLayerOffset + Alone(late).size(), false},
      {"eight loud layers clip both ways", std::vector<Layer>(8, loud), 0, true},
      {"an empty render", {cut}, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(LayersProblem(c.layers, nullptr), "");
    std::int64_t clipped = 0;
    const std::vector<std::int16_t> expected = Recomputed(c.layers, clipped);
    const LayerMix mix = MixLayers(c.layers);
    EXPECT_EQ(mix.Samples, expected);
    EXPECT_EQ(mix.Clipped, clipped);
    if (c.length != 0) {
      EXPECT_EQ(mix.Samples.size(), c.length);
    }
    ASSERT_EQ(mix.Floats.size(), expected.size());
    if (c.clipsBothWays) {
      EXPECT_GT(clipped, 0);
      EXPECT_NE(std::find(expected.begin(), expected.end(), 32767), expected.end());
      EXPECT_NE(std::find(expected.begin(), expected.end(), -32768), expected.end());
    }
  }
  // One layer at 0 dB: its render, and export floats of x / 32768.
  const LayerMix one = MixLayers(std::vector<Layer>{coin});
  ASSERT_EQ(one.Samples, Alone(coin));
  EXPECT_EQ(one.Floats[100], static_cast<float>(one.Samples[100] / 32768.0));
}

TEST(LayeredSound, RoundsHalfAwayFromZeroThenClamps) {
  struct Case { double sum; std::int16_t sample; bool clipped; } const cases[] = {
      {2.5, 3, false},          {-2.5, -3, false},        {2.4999999999999996, 2, false},
      {-0.5, -1, false},        {0.49999999999999994, 0, false},
      {32767.49, 32767, false}, {32767.5, 32767, true},   {40000, 32767, true},
      {-32768.49, -32768, false}, {-32768.5, -32768, true}, {-1e6, -32768, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sum);
    bool clipped = !c.clipped;
    EXPECT_EQ(MixSample(c.sum, clipped), c.sample);
    EXPECT_EQ(clipped, c.clipped);
  }
}

TEST(LayeredSound, RefusesEachRuleWithTheLayerNamed) {
  const Layer ok;
  const auto with = [&](auto change) {
    std::vector<Layer> layers(3, ok);
    change(layers[1]);
    return layers;
  };
  struct Case { const char* name; std::vector<Layer> layers; int bad; const char* problem; } const cases[] = {
      {"no layer", {}, -1, "a layered sound has 1 to 8 layers, not 0"},
      {"nine layers", std::vector<Layer>(9, ok), -1, "a layered sound has 1 to 8 layers, not 9"},
      {"twenty layers", std::vector<Layer>(20, ok), -1, "a layered sound has 1 to 8 layers, not 20"},
      {"eight layers", std::vector<Layer>(8, ok), -1, ""},
      {"start 60 s", with([](Layer& l) { l.Offset = 2646000; }), -1, ""},
      {"start past 60 s", with([](Layer& l) { l.Offset = 2646001; }), 1,
       "layer 2: the start is 0 to 2646000 samples (60 s), not 2646001"},
      {"start before 0", with([](Layer& l) { l.Offset = -1; }), 1,
       "layer 2: the start is 0 to 2646000 samples (60 s), not -1"},
      {"-60.0 dB", with([](Layer& l) { l.GainTenths = -600; }), -1, ""},
      {"+12.0 dB", with([](Layer& l) { l.GainTenths = 120; }), -1, ""},
      {"+12.1 dB", with([](Layer& l) { l.GainTenths = 121; }), 1,
       "layer 2: the gain is -60.0 to +12.0 dB in steps of 0.1, not +12.1 dB"},
      {"-60.1 dB", with([](Layer& l) { l.GainTenths = -601; }), 1,
       "layer 2: the gain is -60.0 to +12.0 dB in steps of 0.1, not -60.1 dB"},
      {"a muted layer is checked too", with([](Layer& l) { l.Muted = true, l.GainTenths = 121; }), 1,
       "layer 2: the gain is -60.0 to +12.0 dB in steps of 0.1, not +12.1 dB"},
      {"60 s buffer", with([](Layer& l) { l.BufferSeconds = 60; }), -1, ""},
      {"61 s buffer", with([](Layer& l) { l.BufferSeconds = 61; }), 1,
       "layer 2: the buffer length is 0 to 60 seconds, not 61"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    int bad = 99;
    EXPECT_EQ(LayersProblem(c.layers, &bad), c.problem);
    EXPECT_EQ(bad, c.bad);
  }
}

}  // namespace
}  // namespace quavix
