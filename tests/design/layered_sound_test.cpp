// Layered sounds: the rule's edges, and the mix recomputed from each layer's
// own render in a few lines.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "design/layered_sound.h"
#include "design/presets.h"
#include "exchange/layers_text.h"
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

// The default parameters' settings file (105 bytes) in base64url, by Python's base64.urlsafe_b64encode.
const std::string kDefaults =
    "ZgAAAAAAAAAAAIA_mpmZPgAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAJqZmT7NzMw-AAAAAAAAAAAAAACAPwAAAAAAAAAA"
    "AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA";

TEST(LayersText, WritesEachFieldAndReadsItBack) {
  Layer a;
  a.RandomState = 4294967295u, a.BufferSeconds = 60, a.Offset = 2646000, a.GainTenths = -600, a.Muted = true;
  Layer b = Preset(kPresetLaser, 7, 44100, 120);
  b.BufferSeconds = 1;
  Layer c;
  c.RandomState = 1, c.GainTenths = -5;
  const std::vector<Layer> layers{a, b, c};
  const std::string text = WriteLayersText(layers);
  const std::string first = std::string("qxl1~") + kDefaults + ",4294967295,60,2646000,-60.0,m~";
  EXPECT_EQ(text.substr(0, first.size()), first);
  EXPECT_TRUE(text.ends_with(std::string("~") + kDefaults + ",1,5,0,-0.5")) << text;
  EXPECT_NE(text.find(",1,44100,12.0~"), std::string::npos) << text;
  const LayersTextRead read = ReadLayersText(std::string(" \n") + text + "\r\n");
  ASSERT_EQ(read.Problem, "");
  ASSERT_EQ(read.Layers.size(), 3u);
  std::int64_t clipped[2];
  EXPECT_EQ(Recomputed(read.Layers, clipped[0]), Recomputed(layers, clipped[1]));
  EXPECT_EQ(read.Layers[0].Muted, true);
  EXPECT_EQ(read.Layers[1].GainTenths, 120);
  EXPECT_EQ(read.Layers[2].GainTenths, -5);
  // What the text cannot carry: a random state or a buffer of 0, and what the rule refuses.
  int bad = 99;
  EXPECT_EQ(LayersTextProblem(layers, &bad), "");
  EXPECT_EQ(bad, -1);
  std::vector<Layer> zero = layers;
  zero[1].RandomState = 0;
  EXPECT_EQ(LayersTextProblem(zero, &bad), "layer 2: its seed is not a whole number from 1 to 4294967295");
  EXPECT_EQ(bad, 1);
  zero[1].RandomState = 1, zero[2].BufferSeconds = 0;
  EXPECT_EQ(LayersTextProblem(zero, &bad), "layer 3: its buffer length is not a whole number of seconds from 1 to 60");
  zero[0].GainTenths = 121;
  EXPECT_EQ(LayersTextProblem(zero, &bad), "layer 1: the gain is -60.0 to +12.0 dB in steps of 0.1, not +12.1 dB");
  EXPECT_EQ(bad, 0);
}

TEST(LayersText, RefusesEachFieldWithTheLayerNamed) {
  const std::string ok = kDefaults + ",1,5,0,0.0";
  const auto two = [&](const std::string& second) { return std::string("qxl1~") + ok + "~" + second; };
  std::string nine = std::string("qxl1~") + ok;
  for (int i = 0; i < 8; ++i) nine += std::string("~") + ok;
  const std::string field = "layer 2: its ";
  struct Case { std::string text; int bad; std::string problem; } const cases[] = {
      {"", -1, "it does not begin with \"qxl1~\", as a layered sound's text does"},
      {std::string("qxl1") + ok, -1, "it does not begin with \"qxl1~\", as a layered sound's text does"},
      {std::string("QXL1~") + ok, -1, "it does not begin with \"qxl1~\", as a layered sound's text does"},
      {"qxl1~", -1, "a layered sound has 1 to 8 layers, not 0"},
      {nine, -1, "a layered sound has 1 to 8 layers, not 9"},
      {nine.substr(0, nine.rfind('~')), -1, ""},
      {two(ok + ",m"), -1, ""},
      {two(ok + ",x"), 1, "layer 2: it ends in something else than ,m (muted)"},
      {two(kDefaults + ",1,5,0"), 1,
       "layer 2: it has 4 fields; a layer is its settings, seed, buffer length, start and gain, separated by commas, "
       "then ,m when muted"},
      {two(ok + ",m,m"), 1,
       "layer 2: it has more than 6 fields; a layer is its settings, seed, buffer length, start and gain, separated "
       "by commas, then ,m when muted"},
      {two(kDefaults.substr(1) + ",1,5,0,0.0"), 1,
       field + "settings are not a settings file's 105 bytes in base64url (140 characters)"},
      {two(std::string("+") + kDefaults.substr(1) + ",1,5,0,0.0"), 1,
       field + "settings are not a settings file's 105 bytes in base64url (140 characters)"},
      // "YwAA" is the bytes 99 0 0: a file of version 99
      {two(std::string("Yw") + kDefaults.substr(2) + ",1,5,0,0.0"), 1, field + "settings are not a settings file of a known version"},
      {two(kDefaults + ",0,5,0,0.0"), 1, field + "seed is not a whole number from 1 to 4294967295"},
      {two(kDefaults + ",4294967295,5,0,0"), -1, ""},
      {two(kDefaults + ",4294967296,5,0,0"), 1, field + "seed is not a whole number from 1 to 4294967295"},
      {two(kDefaults + ",-1,5,0,0"), 1, field + "seed is not a whole number from 1 to 4294967295"},
      {two(kDefaults + ",1,0,0,0"), 1, field + "buffer length is not a whole number of seconds from 1 to 60"},
      {two(kDefaults + ",1,60,0,0"), -1, ""},
      {two(kDefaults + ",1,61,0,0"), 1, field + "buffer length is not a whole number of seconds from 1 to 60"},
      {two(kDefaults + ",1,5,2646000,0"), -1, ""},
      {two(kDefaults + ",1,5,2646001,0"), 1, "layer 2: the start is 0 to 2646000 samples (60 s), not 2646001"},
      {two(kDefaults + ",1,5,2147483648,0"), 1, field + "start is not a whole number of samples from 0 to 2646000"},
      {two(kDefaults + ",1,5,1e3,0"), 1, field + "start is not a whole number of samples from 0 to 2646000"},
      {two(kDefaults + ",1,5,0,12.0"), -1, ""},
      {two(kDefaults + ",1,5,0,+12"), -1, ""},
      {two(kDefaults + ",1,5,0,12.1"), 1, "layer 2: the gain is -60.0 to +12.0 dB in steps of 0.1, not +12.1 dB"},
      {two(kDefaults + ",1,5,0,-60.0"), -1, ""},
      {two(kDefaults + ",1,5,0,-60.1"), 1, "layer 2: the gain is -60.0 to +12.0 dB in steps of 0.1, not -60.1 dB"},
      {two(kDefaults + ",1,5,0,99999.9"), 1, "layer 2: the gain is -60.0 to +12.0 dB in steps of 0.1, not +99999.9 dB"},
      {two(kDefaults + ",1,5,0,100000.0"), 1, field + "gain is not a number of decibels with at most one decimal, such as -6.0"},
      {two(kDefaults + ",1,5,0,1.25"), 1, field + "gain is not a number of decibels with at most one decimal, such as -6.0"},
      {two(kDefaults + ",1,5,0,-"), 1, field + "gain is not a number of decibels with at most one decimal, such as -6.0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text.substr(c.text.size() < 40 ? 0 : c.text.size() - 40));
    const LayersTextRead read = ReadLayersText(c.text);
    EXPECT_EQ(read.Problem, c.problem);
    EXPECT_EQ(read.BadLayer, c.bad);
    EXPECT_EQ(read.Layers.empty(), !c.problem.empty());
  }
}

}  // namespace
}  // namespace quavix
