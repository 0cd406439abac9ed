// The C API: argument checks, status codes, buffers, and that each call reaches the core; the
// calls for games and bindings: length-counted texts, checkable settings strings, WAV limits,
// versions and sizes, the audible randomize, lengths, images and streams.

#include <cstdio>
#include <cstring>
#include <regex>

#include "design/layered_sound.h"
#include "design/presets.h"
#include "design/randomize.h"
#include "exchange/settings_file.h"
#include "quavix/quavix.h"
#include "synth/synthesizer.h"
#include "test_util.h"

namespace quavix {
namespace {

quavix_params Defaults() {
  quavix_params p;
  quavix_params_default(&p);
  return p;
}

std::vector<std::int16_t> Render(const quavix_params& p, quavix_random& r, std::int32_t max) {
  std::vector<std::int16_t> out(static_cast<std::size_t>(max));
  const std::int32_t n = quavix_render(&p, &r, out.data(), max);
  out.resize(static_cast<std::size_t>(std::max(n, 0)));
  return out;
}

// Each call's status (or value) against the documented one; the refused calls change nothing.
TEST(CApi, CallsCheckTheirArgumentsAndGiveWhatTheCoreGives) {
  quavix_params p = Defaults(), q = Defaults();
  quavix_random r{9};
  const char volume[] = {'V', 'o', 'l', 'u', 'm', 'e', '\0', 'x'};
  float v = 0, stored = 0, user = 0;
  const std::int64_t got[][2] = {
      {quavix_param_set_user_by_name(&q, "sustaintime", 0.3f), QUAVIX_OK},
      {quavix_param_get(&q, 3, &stored), QUAVIX_OK},
      {quavix_param_get_user_by_name(&q, "SustainTime", &user), QUAVIX_OK},
      {quavix_param_set_by_name(&q, "DecayTime", 2.0f), QUAVIX_OK},
      {quavix_param_set_user(&q, 16, 0.00002f), QUAVIX_OK},  // the users' rule (exchange tests)
      {quavix_settings_string_import(&q, "0.5abc,2"), QUAVIX_OK},
      {quavix_param_get(nullptr, 0, &v), QUAVIX_ERROR_ARGUMENT},
      {quavix_param_get_user(&p, 0, nullptr), QUAVIX_ERROR_ARGUMENT},
      {quavix_param_set(nullptr, 0, 1), QUAVIX_ERROR_ARGUMENT},
      {quavix_param_set(&p, 24, 1), QUAVIX_ERROR_INDEX},
      {quavix_param_set_user(&p, -1, 1), QUAVIX_ERROR_INDEX},
      {quavix_param_set_by_name(&p, "Loudness", 1), QUAVIX_ERROR_NAME},
      {quavix_param_get_by_name(&p, nullptr, &v), QUAVIX_ERROR_ARGUMENT},
      {quavix_preset(&p, 0, nullptr), QUAVIX_ERROR_ARGUMENT},
      {quavix_randomize(nullptr, &r), QUAVIX_ERROR_ARGUMENT},
      {quavix_mutate(&p, 0.1f, nullptr), QUAVIX_ERROR_ARGUMENT},
      {quavix_mutate(&p, std::nextafter(1.0f, 2.0f), &r), QUAVIX_ERROR_VALUE},  // amounts 0 to 1
      {quavix_mutate(&p, std::nextafter(0.0f, -1.0f), &r), QUAVIX_ERROR_VALUE},
      {quavix_mutate(&p, kNaN, &r), QUAVIX_ERROR_VALUE},
      {quavix_preset_family_of("Explosion"), QUAVIX_PRESET_EXPLOSION},
      {quavix_preset_family_of("boom"), QUAVIX_ERROR_NAME},
      {quavix_settings_string_import(&p, nullptr), QUAVIX_ERROR_ARGUMENT},
      {quavix_settings_string_check(nullptr, nullptr), QUAVIX_ERROR_ARGUMENT},
      {quavix_settings_file_encode(&p, nullptr), QUAVIX_ERROR_ARGUMENT},
      {quavix_settings_file_decode(&p, nullptr, 1), QUAVIX_ERROR_ARGUMENT},
      {quavix_settings_file_decode(&p, nullptr, 0), QUAVIX_ERROR_VERSION},
      {quavix_render(&p, &r, nullptr, 1), QUAVIX_ERROR_ARGUMENT},
      {quavix_render(&p, nullptr, nullptr, 0), QUAVIX_ERROR_ARGUMENT},
      {quavix_wav_header(&p, 0, nullptr), QUAVIX_ERROR_ARGUMENT},
      {quavix_render_wav(&p, &r, 1, nullptr, 1 << 20), QUAVIX_ERROR_ARGUMENT},
      {quavix_random_draw(nullptr), QUAVIX_ERROR_ARGUMENT},
      // A NULL name is a missing argument, not an unknown name; a zero-length text is an empty one.
      {quavix_param_index(nullptr), QUAVIX_ERROR_ARGUMENT},
      {quavix_param_set_by_name(&p, nullptr, 1), QUAVIX_ERROR_ARGUMENT},
      {quavix_param_get_user_by_name(&p, nullptr, &v), QUAVIX_ERROR_ARGUMENT},
      {quavix_param_set_user_by_name(&p, nullptr, 1), QUAVIX_ERROR_ARGUMENT},
      {quavix_preset_family_of(nullptr), QUAVIX_ERROR_ARGUMENT},
      {quavix_param_index_n(nullptr, 3), QUAVIX_ERROR_ARGUMENT},
      {quavix_preset_family_of_n(nullptr, 3), QUAVIX_ERROR_ARGUMENT},
      {quavix_settings_string_import_n(&p, nullptr, 3), QUAVIX_ERROR_ARGUMENT},
      {quavix_settings_string_check_n(nullptr, 3, nullptr), QUAVIX_ERROR_ARGUMENT},
      {quavix_param_index_n(nullptr, 0), QUAVIX_ERROR_NAME},
      // Only the counted characters are read, up to a NUL among them.
      {quavix_param_index_n("AttackTimeXYZ", 10), 2},
      {quavix_param_index_n("AttackTime", 6), QUAVIX_ERROR_NAME},
      {quavix_param_index_n(volume, sizeof volume), 0},
      {quavix_preset_family_of_n("coins", 4), QUAVIX_PRESET_COIN},
      {quavix_preset_family_of_n("coins", 5), QUAVIX_ERROR_NAME},
      {quavix_preset_family_of_n(nullptr, 0), QUAVIX_ERROR_NAME},  // as quavix_param_index_n
      {quavix_render_preset(-1, 42, nullptr, 0), QUAVIX_ERROR_FAMILY},
      {quavix_render_preset(7, 42, nullptr, 0), QUAVIX_ERROR_FAMILY}};
  for (std::size_t i = 0; i < std::size(got); ++i) EXPECT_EQ(got[i][0], got[i][1]) << "call " << i;
  EXPECT_EQ(stored, 0.3637366f);  // the user's 0.3 s converted by the core, read unconverted
  EXPECT_EQ(user, 0.3f);
  EXPECT_TRUE(q.DecayTime == 2.0f && q.Volume == 0.5f && q.WaveType == 2);  // 2.0 stored as given
  EXPECT_EQ(q.RepeatSpeed, -326.679993f);  // not -331.039: its count would wrap past 2^31
  const SynthParams defaults = DefaultParams();
  EXPECT_EQ(std::memcmp(&p, &defaults, sizeof p), 0);
  EXPECT_EQ(r.state, 9u);
  EXPECT_EQ(quavix_param_name(24), nullptr);
  EXPECT_STREQ(quavix_param_unit(13), "seconds");
  EXPECT_STREQ(quavix_strerror(QUAVIX_ERROR_INDEX), "parameter index outside 0 to 23");
  EXPECT_EQ(quavix_freq_hz(&p, 3528), 1.0f);  // sqrt(100 / (44100 / (3528 * 0.125))) = 1
  EXPECT_TRUE(std::isnan(quavix_freq_hz(nullptr, 440)));
  quavix_params t = Defaults();
  ASSERT_EQ(quavix_settings_string_import_n(&t, "0.5,2junk", 3), QUAVIX_OK);
  EXPECT_TRUE(t.Volume == 0.5f && t.WaveType == 0);  // field 1 lies beyond the count
  ASSERT_EQ(quavix_settings_string_import_n(&t, "0.25,3", 6), QUAVIX_OK);
  EXPECT_TRUE(t.Volume == 0.25f && t.WaveType == 3);
  // Texts cut as snprintf cuts them, the first bad field named, a cut file reported as short data;
  // the sound and random state are the core's.
  char text[256], small[10];
  EXPECT_EQ(quavix_settings_string(&p, text, sizeof text), 53u);
  EXPECT_STREQ(text, "1.0000,,,0.3000,,0.4000,0.3000,,,,,,,,,,,,,1.0000,,,,");
  EXPECT_EQ(quavix_settings_string(&p, small, sizeof small), 53u);
  EXPECT_STREQ(small, "1.0000,,,");
  EXPECT_EQ(quavix_settings_string(&p, nullptr, 0), 53u);
  constexpr std::size_t kWhole = SIZE_MAX;  // checked by quavix_settings_string_check
  const std::tuple<const char*, std::size_t, int, std::int32_t> checks[] = {
      {",, 1", kWhole, QUAVIX_ERROR_NOT_A_NUMBER, 2}, {",, 1", 4, QUAVIX_ERROR_NOT_A_NUMBER, 2},
      {",, 1", 2, QUAVIX_OK, -1}, {nullptr, 0, QUAVIX_OK, -1},
      {",,,,,,,,,,,,,,,,,,,,,,,7", kWhole, QUAVIX_OK, -1},
      {",,,,,,,,,,,,,,,,,,,,,,,,", kWhole, QUAVIX_ERROR_TOO_MANY_FIELDS, 24}};
  for (const auto& [checked, length, status, bad] : checks) {
    SCOPED_TRACE(std::string(checked ? checked : "NULL") + " " + std::to_string(length));
    std::int32_t field = 99;
    EXPECT_EQ(length == kWhole ? quavix_settings_string_check(checked, &field)
                               : quavix_settings_string_check_n(checked, length, &field),
              status);
    EXPECT_EQ(field, bad);
  }
  std::uint8_t file[QUAVIX_SETTINGS_FILE_SIZE];
  ASSERT_EQ(quavix_settings_file_encode(&p, file), QUAVIX_OK);
  EXPECT_EQ(std::memcmp(file, EncodeSettings(DefaultParams()).data(), sizeof file), 0);
  std::memset(&q, 0x55, sizeof q);
  EXPECT_EQ(quavix_settings_file_decode(&q, file, 104), QUAVIX_ERROR_SHORT_DATA);
  EXPECT_EQ(quavix_settings_file_decode(&q, file, sizeof file), QUAVIX_OK);
  EXPECT_TRUE(q.SustainTime == 0.3f && q.LPCutoff == 1.0f && q.ChangeAmount == 0.0f);
  r.state = 5;
  std::vector<std::int16_t> sound(30000), want(30000);
  ASSERT_EQ(quavix_render(&p, &r, sound.data(), 30000), 25003);  // the default sound's length
  RandomSource core{5};
  CachedSynthesizer s;
  Synthesize(s.Synth, 30000, want.data(), core);
  EXPECT_TRUE(sound == want && r.state == core.State);
  EXPECT_EQ(quavix_wav_buffer_size(1), 44u + 82000u);
}

// Many sounds at once give each job what quavix_render gives it, called for the jobs in order: with
// a random source each (the lanes, where the processor has them), with sources shared (one by one,
// in order), and with empty areas; a refused call draws and writes nothing.
TEST(CApi, RenderManyGivesEachJobWhatRenderGivesIt) {
  constexpr std::int16_t kUntouched = 0x5A5A;
  struct Case {
    const char* name;
    std::size_t jobs;
    std::size_t sources;  // job i draws from source i % sources
    std::int32_t area;    // samples for job i: area + 701 * i
  } const cases[] = {{"own sources", 21, 21, 20000},
                     {"one shared source", 5, 1, 9000}, {"two sources taken in turns", 6, 2, 9000},
                     {"empty areas", 3, 3, 0},
                     {"one job", 1, 1, 30000}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<quavix_params> params(c.jobs);
    for (std::size_t i = 0; i < c.jobs; ++i) {
      quavix_random design{static_cast<std::uint32_t>(100 + i)};
      ASSERT_EQ(i % 3 == 0 ? quavix_randomize(&params[i], &design)
                           : quavix_preset(&params[i], static_cast<std::int32_t>(i % 7), &design),
                QUAVIX_OK);
    }
    std::vector<quavix_random> many(c.sources), one(c.sources);
    for (std::size_t k = 0; k < c.sources; ++k) many[k].state = one[k].state = 7 + 13 * k;
    std::vector<std::vector<std::int16_t>> manyOut(c.jobs), oneOut(c.jobs);
    std::vector<quavix_render_job> jobs(c.jobs);
    for (std::size_t i = 0; i < c.jobs; ++i) {
      const std::int32_t area = c.area + static_cast<std::int32_t>(701 * i) * (c.area > 0);
      manyOut[i].assign(static_cast<std::size_t>(area) + 4, kUntouched);
      oneOut[i] = manyOut[i];
      jobs[i] = {&params[i], &many[i % c.sources], manyOut[i].data(), area, -99};
    }
    ASSERT_EQ(quavix_render_many(jobs.data(), jobs.size()), QUAVIX_OK);
    for (std::size_t i = 0; i < c.jobs; ++i) {
      SCOPED_TRACE(i);
      const std::int32_t count = quavix_render(&params[i], &one[i % c.sources], oneOut[i].data(),
                                               jobs[i].max_samples);
      EXPECT_EQ(jobs[i].count, count);
      EXPECT_TRUE(manyOut[i] == oneOut[i]);
    }
    for (std::size_t k = 0; k < c.sources; ++k) EXPECT_EQ(many[k].state, one[k].state);
  }

  quavix_params p = Defaults();
  quavix_random r{5}, s{6};
  std::int16_t out[8] = {kUntouched, kUntouched};
  quavix_render_job fine{&p, &r, out, 8, -99};
  const std::pair<const char*, quavix_render_job> refused[] = {
      {"no parameters", {nullptr, &s, out, 8, -99}},
      {"no random source", {&p, nullptr, out, 8, -99}},
      {"no output for samples", {&p, &s, nullptr, 1, -99}}};
  for (const auto& [name, bad] : refused) {
    SCOPED_TRACE(name);
    quavix_render_job both[2] = {fine, bad};
    EXPECT_EQ(quavix_render_many(both, 2), QUAVIX_ERROR_ARGUMENT);
    EXPECT_TRUE(both[0].count == -99 && r.state == 5 && s.state == 6 && out[0] == kUntouched);
  }
  quavix_render_job empty{&p, &s, nullptr, 0, -99};
  EXPECT_EQ(quavix_render_many(&empty, 1), QUAVIX_OK);
  EXPECT_EQ(empty.count, 0);
  EXPECT_NE(s.state, 6u);  // the noise table's 32 draws, as quavix_render makes them
  EXPECT_EQ(quavix_render_many(nullptr, 1), QUAVIX_ERROR_ARGUMENT);
  EXPECT_EQ(quavix_render_many(nullptr, 0), QUAVIX_OK);
  EXPECT_STREQ(quavix_strerror(QUAVIX_ERROR_MEMORY), "working memory could not be allocated");
}

// Family 8 stands for randomize and mutate; the refused families -1 and 7 draw nothing.
// Layers through the C API: the mix of quavix_render's own samples, snprintf style, and the
// core's refusals with the layer named.
TEST(CApi, RenderLayersMixesWhatRenderGivesEachLayer) {
  quavix_layer layers[3] = {};
  for (std::int32_t i = 0; i < 3; ++i) {
    quavix_random design{static_cast<std::uint32_t>(11 + i)};
    ASSERT_EQ(quavix_preset(&layers[i].params, i, &design), QUAVIX_OK);
    layers[i].random_state = design.state;
    layers[i].buffer_seconds = 5;
  }
  layers[1].offset = 1234;
  layers[1].gain_tenths = -35;
  layers[2].offset = 60 * 44100;  // the latest start
  std::vector<double> sum;
  for (const quavix_layer& layer : layers) {
    quavix_random r{layer.random_state};
    const std::vector<std::int16_t> x = Render(layer.params, r, 5 * QUAVIX_SAMPLES_PER_BUFFER_SECOND);
    sum.resize(std::max(sum.size(), layer.offset + x.size()));
    for (std::size_t n = 0; n < x.size(); ++n) sum[layer.offset + n] += double{quavix_layer_gain(layer.gain_tenths)} * x[n];
  }
  std::vector<std::int16_t> expected;
  for (const double m : sum) expected.push_back(static_cast<std::int16_t>(std::round(m)));  // no clipping here

  std::vector<std::int16_t> out(expected.size() - 1, 7);
  std::int64_t clipped = -1;
  EXPECT_EQ(quavix_render_layers(layers, 3, out.data(), out.size(), &clipped), static_cast<std::int64_t>(expected.size()));
  EXPECT_TRUE(clipped == -1 && out[0] == 7);  // too small: nothing written
  out.assign(expected.size(), 7);
  EXPECT_EQ(quavix_render_layers(layers, 3, out.data(), out.size(), &clipped), static_cast<std::int64_t>(expected.size()));
  EXPECT_EQ(out, expected);
  EXPECT_EQ(clipped, 0);
  EXPECT_EQ(quavix_render_layers(layers, 3, nullptr, 0, nullptr), static_cast<std::int64_t>(expected.size()));
  EXPECT_EQ(quavix_render_layers(nullptr, 0, nullptr, 0, nullptr), QUAVIX_ERROR_ARGUMENT);
  EXPECT_EQ(quavix_render_layers(layers, 3, nullptr, 1, nullptr), QUAVIX_ERROR_ARGUMENT);
  // The floats beside the samples, in one render: each sum / 32768 rounded to float.
  std::vector<float> floats(expected.size()), wantFloats;
  for (const double m : sum) wantFloats.push_back(static_cast<float>(m / 32768));
  out.assign(expected.size(), 7);
  EXPECT_EQ(quavix_render_layers_floats(layers, 3, out.data(), floats.data(), out.size(), nullptr),
            static_cast<std::int64_t>(expected.size()));
  EXPECT_TRUE(out == expected && floats == wantFloats);
  floats.assign(floats.size(), 0);
  EXPECT_EQ(quavix_render_layers_floats(layers, 3, nullptr, floats.data(), floats.size(), nullptr),
            static_cast<std::int64_t>(expected.size()));
  EXPECT_EQ(floats, wantFloats);
  EXPECT_EQ(quavix_render_layers_floats(layers, 3, nullptr, nullptr, 1, nullptr), QUAVIX_ERROR_ARGUMENT);
  EXPECT_EQ(quavix_layer_gain(-35), LayerGain(-35));

  char problem[24] = "x";
  std::int32_t bad = 99;
  EXPECT_EQ(quavix_layers_check(layers, 2, &bad, problem, sizeof problem), QUAVIX_OK);
  EXPECT_TRUE(bad == -1 && problem[0] == '\0');
  layers[1].gain_tenths = 121;
  EXPECT_EQ(quavix_render_layers(layers, 3, out.data(), out.size(), nullptr), QUAVIX_ERROR_VALUE);
  EXPECT_EQ(quavix_layers_check(layers, 2, &bad, problem, sizeof problem), QUAVIX_ERROR_VALUE);
  EXPECT_EQ(bad, 1);
  EXPECT_STREQ(problem, "layer 2: the gain is -6");  // cut at the capacity
  EXPECT_EQ(quavix_layers_check(layers, 0, &bad, nullptr, 0), QUAVIX_ERROR_VALUE);
  EXPECT_EQ(bad, -1);
  std::vector<quavix_layer> twenty(20, layers[0]);
  char count[96];
  EXPECT_EQ(quavix_layers_check(twenty.data(), 20, &bad, count, sizeof count), QUAVIX_ERROR_VALUE);
  EXPECT_STREQ(count, "a layered sound has 1 to 8 layers, not 20");
  EXPECT_EQ(quavix_render_layers(twenty.data(), 20, nullptr, 0, nullptr), QUAVIX_ERROR_VALUE);
  EXPECT_EQ(quavix_layers_check(nullptr, 1, &bad, nullptr, 0), QUAVIX_ERROR_ARGUMENT);
  EXPECT_EQ(quavix_layers_check(layers, 2, &bad, nullptr, 5), QUAVIX_ERROR_ARGUMENT);

  // The text, snprintf style, and back: the same layers, so the same mix.
  layers[1].gain_tenths = -35;
  layers[1].muted = 1;
  const std::int64_t length = quavix_layers_text(layers, 2, nullptr, 0, nullptr, nullptr, 0);
  ASSERT_GT(length, 5);
  std::string text(static_cast<std::size_t>(length) + 1, 'x');
  EXPECT_EQ(quavix_layers_text(layers, 2, text.data(), 6, nullptr, nullptr, 0), length);
  EXPECT_STREQ(text.c_str(), "qxl1~");
  EXPECT_EQ(quavix_layers_text(layers, 2, text.data(), text.size(), nullptr, nullptr, 0), length);
  text.pop_back();
  EXPECT_TRUE(text.ends_with(",1234,-3.5,m")) << text;
  quavix_layer back[8] = {};
  EXPECT_EQ(quavix_layers_from_text(text.data(), text.size(), back, 1, &bad, nullptr, 0), 2);  // counted, not written
  EXPECT_EQ(back[0].random_state, 0u);
  EXPECT_EQ(quavix_layers_from_text(text.data(), text.size(), back, 8, &bad, nullptr, 0), 2);
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(std::memcmp(&back[i], &layers[i], sizeof back[i]), 0) << i;
  }
  text.replace(text.rfind(",1234,"), 6, ",2646001,");
  EXPECT_EQ(quavix_layers_from_text(text.data(), text.size(), back, 8, &bad, count, sizeof count), QUAVIX_ERROR_VALUE);
  EXPECT_EQ(bad, 1);
  EXPECT_STREQ(count, "layer 2: the start is 0 to 2646000 samples (60 s), not 2646001");
  layers[1].buffer_seconds = 0;  // a buffer the text cannot carry
  EXPECT_EQ(quavix_layers_text(layers, 2, nullptr, 0, &bad, count, sizeof count), QUAVIX_ERROR_VALUE);
  EXPECT_EQ(bad, 1);
  EXPECT_STREQ(count, "layer 2: its buffer length is not a whole number of seconds from 1 to 60");
  EXPECT_EQ(quavix_layers_text(nullptr, 1, nullptr, 0, nullptr, nullptr, 0), QUAVIX_ERROR_ARGUMENT);
  EXPECT_EQ(quavix_layers_text(layers, 2, nullptr, 1, nullptr, nullptr, 0), QUAVIX_ERROR_ARGUMENT);
  EXPECT_EQ(quavix_layers_text(layers, 2, nullptr, 0, nullptr, nullptr, 1), QUAVIX_ERROR_ARGUMENT);
  EXPECT_EQ(quavix_layers_from_text(nullptr, 1, back, 8, nullptr, nullptr, 0), QUAVIX_ERROR_ARGUMENT);
  EXPECT_EQ(quavix_layers_from_text("", 0, nullptr, 1, nullptr, nullptr, 0), QUAVIX_ERROR_ARGUMENT);
  EXPECT_EQ(quavix_layers_from_text("", 0, back, 8, nullptr, nullptr, 1), QUAVIX_ERROR_ARGUMENT);
  EXPECT_EQ(quavix_layers_from_text("", 0, back, 8, nullptr, nullptr, 0), QUAVIX_ERROR_VALUE);
}

TEST(CApi, DesignDrawsLikeTheCore) {
  for (std::int32_t family = -1; family <= 8; ++family) {
    quavix_params p = Defaults();
    quavix_random r{77};
    RandomSource core{77};
    SynthParams expected = DefaultParams();
    if (family == 8) {
      EXPECT_EQ(quavix_randomize(&p, &r), QUAVIX_OK);
      EXPECT_EQ(quavix_mutate(&p, 0.1f, &r), QUAVIX_OK);
      Randomize(expected, core);
      Mutate(expected, 0.1f, core);
    } else {
      EXPECT_EQ(quavix_preset(&p, family, &r),
                family >= 0 && family < 7 ? QUAVIX_OK : QUAVIX_ERROR_FAMILY);
      LoadPreset(expected, family, core);
    }
    EXPECT_TRUE(std::memcmp(&p, &expected, sizeof p) == 0 && r.state == core.State) << family;
  }
}

// The descriptions against the header, which documents each parameter's default and typical
// stored range where the field is declared ("float SustainTime;  /*  3  default 0.3; 0 to 1 ...");
// names as quavix_param_name gives them, defaults as quavix_params_default sets them (0.3 stored
// is 0.3 x 0.3 x 2.2675 = 0.204075 s), groups, flags and the users' ranges.
TEST(CApi, ParamInfoDescribesEachParameterAsTheHeaderDoes) {
  EXPECT_EQ(quavix_param_count(), QUAVIX_PARAM_COUNT);
  std::ifstream header(QUAVIX_PUBLIC_HEADER);
  ASSERT_TRUE(header) << QUAVIX_PUBLIC_HEADER;
  const std::regex field(R"(^\s*(?:float|int32_t) (\w+);\s+/\*\s+(\d+)\s.*default (-?[0-9.]+); (-?[0-9.]+) to (-?[0-9.]+))");
  quavix_params defaults = Defaults();
  bool groupSeen[10] = {}, indexSeen[QUAVIX_PARAM_COUNT] = {};
  for (std::string line; std::getline(header, line);) {
    std::smatch m;
    if (!std::regex_search(line, m, field)) continue;
    SCOPED_TRACE(line);
    const std::int32_t i = std::stoi(m[2]);
    quavix_param_description d{};
    ASSERT_EQ(quavix_param_info(i, &d), QUAVIX_OK);
    ASSERT_FALSE(indexSeen[i]);
    indexSeen[i] = true;
    EXPECT_STREQ(d.name, m[1].str().c_str());
    EXPECT_EQ(d.default_stored, std::stof(m[3]));
    EXPECT_TRUE(d.typical_stored_min == std::stof(m[4]) && d.typical_stored_max == std::stof(m[5]));
    float stored = 0, user = 0;
    quavix_param_get(&defaults, i, &stored);
    quavix_param_get_user(&defaults, i, &user);
    EXPECT_EQ(d.index, i);
    EXPECT_STREQ(d.name, quavix_param_name(i));
    EXPECT_STREQ(d.unit, quavix_param_unit(i));
    EXPECT_TRUE(std::memcmp(&d.default_stored, &stored, 4) == 0 && std::memcmp(&d.default_user, &user, 4) == 0);
    EXPECT_TRUE(d.typical_stored_min < d.typical_stored_max && d.typical_user_min < d.typical_user_max);
    EXPECT_TRUE(d.valid_user_min <= d.typical_user_min && d.typical_user_max <= d.valid_user_max);
    EXPECT_TRUE(*d.label != 0 && *d.help != 0 && *d.group_id != 0 && *d.group_title != 0);
    ASSERT_TRUE(d.group >= 0 && d.group < 10);
    groupSeen[d.group] = true;
    EXPECT_EQ(d.whole, i == 1 ? 1 : 0);
    EXPECT_EQ(d.frequency, i == 6 || i == 7 ? 1 : 0);
  }
  for (const bool seen : indexSeen) EXPECT_TRUE(seen);
  for (const bool seen : groupSeen) EXPECT_TRUE(seen);
  struct Case { std::int32_t index; int group; const char* groupTitle; float defaultUser; const char* setter; } const cases[] = {
      {0, QUAVIX_GROUP_VOLUME, "Volume", 1.0f, "Set volume to %0"},
      {1, QUAVIX_GROUP_WAVE, "Wave", 0.0f, "Set wave type to %0"},
      {3, QUAVIX_GROUP_ENVELOPE, "Envelope",
       static_cast<float>(double{0.3f} * double{0.3f} * double{2.2675f}), "Set sustain time to %0"},
      {6, QUAVIX_GROUP_PITCH, "Pitch", 0.3f, "Set start frequency to %0"},
      {13, QUAVIX_GROUP_CHANGE, "Pitch jump", static_cast<float>(20000.0 / 44100), "Set change speed to %0"},
      {16, QUAVIX_GROUP_REPEAT, "Repeat", 0.0f, "Set repeat speed to %0"},
      {23, QUAVIX_GROUP_FILTERS, "Filters", 0.0f, "Set HP filter cutoff sweep to %0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.index);
    quavix_param_description d{};
    quavix_param_info(c.index, &d);
    EXPECT_EQ(d.group, c.group);
    EXPECT_STREQ(d.group_title, c.groupTitle);
    EXPECT_EQ(d.default_user, c.defaultUser);
    EXPECT_STREQ(d.setter_text, c.setter);
  }
  quavix_param_description d{};
  EXPECT_EQ(quavix_param_info(24, &d), QUAVIX_ERROR_INDEX);
  EXPECT_EQ(quavix_param_info(-1, &d), QUAVIX_ERROR_INDEX);
  EXPECT_EQ(quavix_param_info(0, nullptr), QUAVIX_ERROR_ARGUMENT);
}

// The longest stage is the longest sound, 60 x 41000 samples: stored^2 x 100000 = 2460000, that is
// 24.6 x 2.2675 = 55.78 seconds. Both sides of each edge of the rule.
TEST(CApi, CheckUserRefusesWhatNoPersonMeans) {
  const double longest = 60.0 * 41000 / 100000 * 2.2675;
  struct Case { std::int32_t index; float value; int status; const char* problem; } const cases[] = {
      {3, -3.0f, QUAVIX_ERROR_VALUE, "a time cannot be negative"}, {3, -0.0f, QUAVIX_OK, ""},
      {3, 0.0f, QUAVIX_OK, ""}, {2, static_cast<float>(longest * 0.999), QUAVIX_OK, ""},
      {5, static_cast<float>(longest * 1.001), QUAVIX_ERROR_VALUE, "longer than the longest possible sound"},
      {3, 48696.0f, QUAVIX_ERROR_VALUE, "longer than the longest possible sound"},
      {11, -0.001f, QUAVIX_ERROR_VALUE, "a speed cannot be negative"}, {11, 0.0f, QUAVIX_OK, ""},
      {13, -1.0f, QUAVIX_ERROR_VALUE, "a speed cannot be negative"},
      {16, -1.0f, QUAVIX_ERROR_VALUE, "a speed cannot be negative"}, {16, 1000.0f, QUAVIX_OK, ""},
      {11, 22050.0f, QUAVIX_OK, ""},  // half the sample rate: the vibrato's step is pi
      {11, 22050.002f, QUAVIX_ERROR_VALUE,
       "a vibrato faster than 22050 cycles per second sounds slower"},
      {1, 3.0f, QUAVIX_OK, ""}, {1, 0.0f, QUAVIX_OK, ""},
      {1, 4.0f, QUAVIX_ERROR_VALUE, "the wave type is 0 square, 1 sawtooth, 2 sine or 3 noise"},
      {1, -1.0f, QUAVIX_ERROR_VALUE, "the wave type is 0 square, 1 sawtooth, 2 sine or 3 noise"},
      {1, 2.5f, QUAVIX_ERROR_VALUE, "the wave type is 0 square, 1 sawtooth, 2 sine or 3 noise"},
      {8, -1e30f, QUAVIX_OK, ""}, {0, kNaN, QUAVIX_ERROR_VALUE, "a value must be a finite number"},
      {0, kInf, QUAVIX_ERROR_VALUE, "a value must be a finite number"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.index) + " " + std::to_string(c.value));
    const char* problem = nullptr;
    EXPECT_EQ(quavix_param_check_user(c.index, c.value, &problem), c.status);
    EXPECT_STREQ(problem, c.problem);
  }
  quavix_param_description d{};
  quavix_param_info(2, &d);
  EXPECT_NEAR(d.valid_user_max, longest, 0.01);
  quavix_param_info(11, &d);
  EXPECT_EQ(d.valid_user_max, 22050.0f);
  // Mutation amounts from 0 to 1.
  for (const float amount : {0.0f, -0.0f, 1.0f, std::nextafter(1.0f, 2.0f), -1e-45f, kNaN, kInf}) {
    const bool valid = amount >= 0 && amount <= 1;
    const char* problem = nullptr;
    EXPECT_EQ(quavix_mutate_check(amount, &problem), valid ? QUAVIX_OK : QUAVIX_ERROR_VALUE)
        << amount;
    EXPECT_STREQ(problem, valid ? "" : "an amount from 0 to 1");
  }
  EXPECT_EQ(quavix_param_check_user(24, 0.0f, nullptr), QUAVIX_ERROR_INDEX);
  EXPECT_EQ(quavix_param_check_user(3, -1.0f, nullptr), QUAVIX_ERROR_VALUE);
}

// The period is trunc(single(100 / (f^2 + 0.001))), at least 8: 3.5 gives 8.16, 3.6 gives 7.7
// (held at 8), 3.333 gives 9.0009 and 3.334 gives 8.996; the default 0.3 gives 1098.
TEST(CApi, PitchHelpersFollowThePeriod) {
  struct Case { float freq; std::int32_t period; } const cases[] = {
      {0.3f, 1098}, {0.0f, 100000}, {3.333f, 9}, {3.334f, 8}, {3.5f, 8}, {3.6f, 8}, {kNaN, 8}, {-0.3f, 1098},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.freq);
    EXPECT_EQ(quavix_start_period(c.freq), c.period);
    EXPECT_DOUBLE_EQ(quavix_pitch_of_freq(nullptr, c.freq), 8.0 * 44100 / c.period);
  }
  EXPECT_DOUBLE_EQ(quavix_pitch_of_period(nullptr, 8), 44100.0);
  EXPECT_EQ(quavix_pitch_of_period(nullptr, 0), 0.0);
  quavix_params half = Defaults();
  half.SampleRate = 22050;
  EXPECT_DOUBLE_EQ(quavix_pitch_of_period(&half, 8), 22050.0);
  // 352800 / 440 = 801.8: period 801 sounds 440.45 Hz, 802 sounds 439.90 Hz, the closer.
  struct Pitch { double hz; std::int32_t period; } const pitches[] = {
      {440.0, 802}, {3.528, 100000}, {44100.0, 8}, {352800.0 / 1098, 1098}, {20.0, 17640},
  };
  for (const Pitch& c : pitches) {
    SCOPED_TRACE(c.hz);
    const float f = quavix_freq_for_pitch(nullptr, c.hz);
    EXPECT_EQ(quavix_start_period(f), c.period);
    EXPECT_GE(f, 0.0f);
  }
  EXPECT_TRUE(std::isnan(quavix_freq_for_pitch(nullptr, 3.527)));
  EXPECT_TRUE(std::isnan(quavix_freq_for_pitch(nullptr, 44100.5)));
  EXPECT_TRUE(std::isnan(quavix_freq_for_pitch(nullptr, std::nan(""))));
}

// Lengths trunc(t^2 x 100000): the defaults 0, 9000, 16000 and 25003 samples; 0.05 and 0.08
// give 250 and 639 (0.08 squared in single precision lies below 0.0064), 892 samples.
TEST(CApi, EnvelopeLengthsAndTheBoundOfASound) {
  quavix_params p = Defaults();
  std::int32_t lengths[3] = {};
  EXPECT_EQ(quavix_envelope_lengths(&p, lengths), QUAVIX_OK);
  EXPECT_TRUE(lengths[0] == 0 && lengths[1] == 9000 && lengths[2] == 16000);
  struct Case { float sustain; float decay; std::uint32_t seconds; std::size_t bound; } const cases[] = {
      {0.3f, 0.4f, 5, 25003}, {0.3f, 0.4f, 1, 25003}, {0.3f, 0.4f, 0, 0}, {0.05f, 0.08f, 5, 892},
      {2.1f, 0.4f, 1, 41000},                 // 441000 samples of sustain
      {5.0f, 5.0f, 61, 60 * 41000},           // 61 counts as 60
      {kNaN, 0.4f, 2, 82000},                 // a NaN stage: the whole buffer
      {0.3f, 0.4f, 0xffffffffu, 25003},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.sustain) + " " + std::to_string(c.seconds));
    p.SustainTime = c.sustain;
    p.DecayTime = c.decay;
    EXPECT_EQ(quavix_sound_length_bound(&p, c.seconds), c.bound);
  }
  quavix_params_default(&p);
  p.SustainTime = 0.05f;
  p.DecayTime = 0.08f;
  quavix_random r{1};
  std::vector<std::int16_t> out(2000);
  EXPECT_EQ(static_cast<std::size_t>(quavix_render(&p, &r, out.data(), 2000)), quavix_sound_length_bound(&p, 5));
  EXPECT_EQ(quavix_envelope_lengths(nullptr, lengths), QUAVIX_ERROR_ARGUMENT);
  EXPECT_EQ(quavix_sound_length_bound(nullptr, 5), 0u);
}

// Whatever the parameters, the text written is terminated and passes the strict check.
TEST(CApiBindings, SettingsStringsAreTerminatedAndCheckable) {
  char text[300];
  std::memset(text, 'x', sizeof text);
  EXPECT_EQ(quavix_settings_string(nullptr, text, sizeof text), 0u);
  EXPECT_EQ(text[0], '\0');
  const float fltMax = std::numeric_limits<float>::max();
  const struct { float value; bool written; const char* module; } cases[] = {
      {kNaN, false, "nan"}, {kInf, false, "inf"}, {-kInf, false, "-inf"},
      {fltMax, true, nullptr}, {-fltMax, true, nullptr}, {1e-45f, true, nullptr},
      {0.3637366f, true, nullptr}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    quavix_params p = Defaults();
    p.SustainTime = c.value;
    std::memset(text, 'x', sizeof text);
    const std::size_t length = quavix_settings_string(&p, text, sizeof text);
    EXPECT_EQ(length != 0, c.written);
    EXPECT_EQ(std::strlen(text), length);
    // The module's text of the same values, whatever they are.
    char module[300];
    const std::size_t moduleLength =
        quavix_settings_string_ex(&p, module, sizeof module, QUAVIX_SETTINGS_MODULE_TEXT);
    EXPECT_EQ(std::strlen(module), moduleLength);
    EXPECT_EQ(std::string(module), c.written ? std::string(text)
                                             : "1.0000,,," + std::string(c.module) +
                                                   ",,0.4000,0.3000,,,,,,,,,,,,,1.0000,,,,");
    if (!c.written) {
      EXPECT_EQ(quavix_settings_string_check(module, nullptr), QUAVIX_ERROR_NOT_A_NUMBER);
      continue;
    }
    std::int32_t bad = 99;
    EXPECT_EQ(quavix_settings_string_check(text, &bad), QUAVIX_OK) << text;
    // The value comes back as its four-decimal text read as a float.
    char fixed[64];
    std::snprintf(fixed, sizeof fixed, "%.4f", static_cast<double>(c.value));
    quavix_params q = Defaults();
    q.SustainTime = 12;
    ASSERT_EQ(quavix_settings_string_import(&q, text), QUAVIX_OK);
    const float expected = std::strtof(fixed, nullptr);
    EXPECT_EQ(q.SustainTime, expected == 0.0f ? 0.0f : expected) << fixed;
  }
}

// The RIFF size, data_bytes + 36, must fit 32 bits; the header states the samples' own format.
TEST(CApiBindings, WavHeaderRefusesWhatItCannotDescribe) {
  const std::uint32_t largest = 0xFFFFFFFFu - 36u - 1u;  // the largest even size that fits
  const struct { std::uint32_t bytes; int status; } sizes[] = {
      {0, QUAVIX_OK}, {50006, QUAVIX_OK}, {largest, QUAVIX_OK}, {3, QUAVIX_ERROR_RANGE},
      {largest + 2, QUAVIX_ERROR_RANGE}, {0xFFFFFFFFu, QUAVIX_ERROR_RANGE}};
  for (const auto& c : sizes) {
    SCOPED_TRACE(c.bytes);
    quavix_params p = Defaults();
    std::uint8_t header[QUAVIX_WAV_HEADER_SIZE] = {};
    EXPECT_EQ(quavix_wav_header(&p, c.bytes, header), c.status);
    const std::uint32_t riff = header[4] | header[5] << 8 | header[6] << 16 |
                               static_cast<std::uint32_t>(header[7]) << 24;
    EXPECT_EQ(riff, c.status == QUAVIX_OK ? c.bytes + 36u : 0u);
  }
  const struct { std::int32_t rate, bits; int status; } formats[] = {
      {44100, 16, QUAVIX_OK}, {44099, 16, QUAVIX_ERROR_FIXED_FIELD},
      {44101, 16, QUAVIX_ERROR_FIXED_FIELD}, {22050, 16, QUAVIX_ERROR_FIXED_FIELD},
      {44100, 8, QUAVIX_ERROR_FIXED_FIELD}};
  for (const auto& c : formats) {
    SCOPED_TRACE(c.rate * 100 + c.bits);
    quavix_params p = Defaults();
    p.SampleRate = c.rate;
    p.BitsPerSample = c.bits;
    std::uint8_t header[QUAVIX_WAV_HEADER_SIZE];
    std::vector<std::uint8_t> image(quavix_wav_buffer_size(1));
    quavix_random r{3};
    EXPECT_EQ(quavix_wav_header(&p, 0, header), c.status);
    EXPECT_EQ(quavix_render_wav(&p, &r, 1, image.data(), image.size()) < 0, c.status != QUAVIX_OK);
    EXPECT_EQ(quavix_wav_image(&p, &r, 10, image.data(), image.size()) < 0, c.status != QUAVIX_OK);
    if (c.status != QUAVIX_OK) {
      EXPECT_EQ(r.state, 3u);  // refused before any draw
    }
  }
  EXPECT_STREQ(quavix_strerror(QUAVIX_ERROR_FIXED_FIELD),
               "the parameters' SampleRate or BitsPerSample is not 44100 or 16");
}

// What a binding checks at run time, and the size of a mirror of quavix_params.
TEST(CApiBindings, VersionsAndSizes) {
  char version[32];
  const std::uint32_t v = quavix_version();
  std::snprintf(version, sizeof version, "%u.%u.%u", v >> 16, (v >> 8) & 0xFF, v & 0xFF);
  EXPECT_STREQ(quavix_version_string(), version);
  EXPECT_EQ(v, (QUAVIX_VERSION_MAJOR << 16) | (QUAVIX_VERSION_MINOR << 8) | QUAVIX_VERSION_PATCH);
  EXPECT_EQ(quavix_abi_version(), static_cast<std::uint32_t>(QUAVIX_ABI_VERSION));
  EXPECT_EQ(quavix_abi_version(), QUAVIX_VERSION_MAJOR);  // the soname's number
  // Two int32, the 24 parameters, MasterVolume, one byte padded to 4, VibReserved.
  EXPECT_EQ(quavix_params_size(), 2 * 4 + 24 * 4 + 4 + 4 + 4 + 0u);
  EXPECT_EQ(quavix_params_size(), static_cast<std::size_t>(QUAVIX_PARAMS_SIZE));
  EXPECT_EQ(quavix_stream_size(), static_cast<std::size_t>(QUAVIX_STREAM_SIZE));
}

// The audible randomize draws the wave type mod 4 where randomize draws it mod 5; other flag
// bits are ignored.
TEST(CApiBindings, AudibleRandomizeNeverPicksTheSilentWave) {
  const std::pair<std::uint32_t, bool> flags[] = {
      {0, false}, {2, false}, {QUAVIX_RANDOMIZE_AUDIBLE, true}, {3, true}, {0xFFFFFFFFu, true}};
  int seen[5] = {};
  for (std::uint32_t seed = 1; seed <= 2000; ++seed) {
    quavix_params plain = Defaults();
    quavix_random a{seed}, first{seed};
    const std::int32_t draw = quavix_random_draw(&first);
    ASSERT_EQ(quavix_randomize(&plain, &a), QUAVIX_OK);
    EXPECT_EQ(plain.WaveType, draw % 5);
    for (const auto& [flag, audible] : flags) {
      quavix_params p = Defaults();
      quavix_random r{seed};
      ASSERT_EQ(quavix_randomize_ex(&p, &r, flag), QUAVIX_OK);
      EXPECT_EQ(p.WaveType, audible ? draw % 4 : draw % 5) << flag;
      if (flag == QUAVIX_RANDOMIZE_AUDIBLE) ++seen[p.WaveType];
      p.WaveType = plain.WaveType;
      EXPECT_TRUE(std::memcmp(&plain, &p, sizeof plain) == 0 && a.state == r.state) << seed;
    }
  }
  EXPECT_EQ(seen[4], 0);
  for (int w = 0; w < 4; ++w) EXPECT_GT(seen[w], 400) << w;
  EXPECT_EQ(quavix_randomize_ex(nullptr, nullptr, 1), QUAVIX_ERROR_ARGUMENT);
}

// Every preset and randomize result fits QUAVIX_MAX_SOUND_SAMPLES: its three stored times are at
// most 1.5 in magnitude (225000 samples each), as randomize adds up to 0.2 + 0.3 to times up to 1.
TEST(CApiBindings, DesignedSoundsFitTheMaximum) {
  EXPECT_EQ(QUAVIX_MAX_SOUND_SAMPLES, 3 * 225000 + 3);
  float longest = 0;
  for (std::uint32_t seed = 1; seed <= 3000; ++seed) {
    for (std::int32_t family = 0; family <= 7; ++family) {
      quavix_params p;
      quavix_random r{seed};
      if (family == 7) {
        quavix_randomize(&p, &r);
      } else {
        quavix_preset(&p, family, &r);
      }
      for (const float time : {p.AttackTime, p.SustainTime, p.DecayTime}) {
        EXPECT_LE(std::abs(time), 1.5f) << seed << " " << family;
        longest = std::max(longest, std::abs(time));
      }
    }
  }
  EXPECT_GT(longest, 1.0f);  // a bound of 1 would not do
}

// The sounds that every way of rendering is compared on, from random state 11: the presets
// (kinds 0 to 6), randomize (7), a sine with vibrato (8), and the defaults with the stored times
// given (9). Times of magnitude 1 end each stage by its maximum of 100000 samples, 1.0001 gives
// 100020 samples of decay, and 1.5 (225000 samples a stage) is the longest designed sound.
struct Sound {
  const char* name;
  std::int32_t kind;
  float attack = 0, sustain = 0, decay = 0;
  std::int32_t count = -1;  // -1: not stated
} const kSounds[] = {
    {"coin", 0},
    {"laser", 1},
    {"explosion (noise)", 2},
    {"powerup", 3},
    {"hurt", 4},
    {"jump", 5},
    {"blip", 6},
    {"randomized", 7},
    {"sine with vibrato", 8},
    {"defaults", 9, 0.0f, 0.3f, 0.4f, 25003},  // 0 + 9000 + 16000 + 3
    {"times of 1", 9, -1.0f, -1.0f, -1.0f, 3 * 100000 + 3},
    {"decay 1.0001", 9, -1.0f, -1.0f, 1.0001f, 3 * 100000 + 3 + 20},
    {"times of 1.5", 9, 1.5f, -1.5f, 1.5f, QUAVIX_MAX_SOUND_SAMPLES},
};

quavix_params Make(const Sound& s, quavix_random& r) {
  quavix_params p = Defaults();
  if (s.kind < 7) quavix_preset(&p, s.kind, &r);
  if (s.kind == 7) quavix_randomize(&p, &r);
  if (s.kind == 8) p.WaveType = QUAVIX_WAVE_SINE, p.VibDepth = 0.5f, p.VibSpeed = 0.4f;
  if (s.kind == 9) p.AttackTime = s.attack, p.SustainTime = s.sustain, p.DecayTime = s.decay;
  return p;
}

// The WAV image of samples: the header, then each sample little-endian.
std::vector<std::uint8_t> WavOf(const quavix_params& p, const std::vector<std::int16_t>& samples) {
  std::vector<std::uint8_t> image(44);
  EXPECT_EQ(quavix_wav_header(&p, static_cast<std::uint32_t>(2 * samples.size()), image.data()),
            QUAVIX_OK);
  for (const std::int16_t sample : samples) {
    const auto u = static_cast<std::uint16_t>(sample);
    image.insert(image.end(),
                 {static_cast<std::uint8_t>(u & 0xFF), static_cast<std::uint8_t>(u >> 8)});
  }
  return image;
}

// Every way of rendering gives quavix_render's samples and random state: the count (which writes
// and draws nothing), seed, preset and render in one call, streams in pieces of any size, the
// WAV image (asked with too little room it says its size and draws nothing) and the WAV of a
// buffer (5 seconds, 205000 samples, cut the longer sounds), at any address.
TEST(CApiBindings, EveryWayOfRenderingGivesTheRendersSamples) {
  for (const Sound& s : kSounds) {
    SCOPED_TRACE(s.name);
    quavix_random seeded{11};
    const quavix_params p = Make(s, seeded);
    quavix_random whole = seeded, cut = seeded;
    const auto want = Render(p, whole, QUAVIX_MAX_SOUND_SAMPLES);
    const auto n = static_cast<std::int32_t>(want.size());
    EXPECT_EQ(n, s.count < 0 ? n : s.count);
    for (const std::int32_t max : {INT32_MAX, 100, 0}) {
      EXPECT_EQ(quavix_render_count(&p, &seeded, max), std::min(max, n)) << max;
    }
    if (s.kind < 7) {
      std::vector<std::int16_t> got(want), area(want.size() + 1, 0x5A5A);
      got.push_back(0x5A5A);  // the sample after the area stays untouched
      EXPECT_EQ(quavix_render_preset(s.kind, 11, area.data(), n), n);
      EXPECT_TRUE(area == got);
    }
    for (std::int32_t piece : {1, 7, 1024, 400000}) {
      SCOPED_TRACE(piece);
      quavix_stream stream;
      ASSERT_EQ(quavix_stream_start(&stream, &p, &seeded), QUAVIX_OK);
      std::vector<std::int16_t> got, buffer(static_cast<std::size_t>(piece));
      std::int32_t got_now;
      while ((got_now = quavix_stream_render(&stream, buffer.data(), piece)) > 0) {
        got.insert(got.end(), buffer.begin(), buffer.begin() + got_now);
        if (got_now < piece) break;
      }
      EXPECT_EQ(quavix_stream_render(&stream, buffer.data(), piece), 0);
      EXPECT_TRUE(got == want);
      quavix_random after{0};
      ASSERT_EQ(quavix_stream_random(&stream, &after), QUAVIX_OK);
      EXPECT_EQ(after.state, whole.state);
    }
    const std::vector<std::uint8_t> image = WavOf(p, want);
    const std::int64_t size = 44 + 2 * std::int64_t{n};
    for (std::size_t capacity : {std::size_t{0}, std::size_t{44}, image.size() - 1}) {
      std::vector<std::uint8_t> out(capacity + 1);
      quavix_random w = seeded;
      EXPECT_EQ(quavix_wav_image(&p, &w, INT32_MAX, capacity ? out.data() : nullptr, capacity),
                size);
      EXPECT_EQ(w.state, seeded.state) << capacity;
    }
    const auto buffered = WavOf(p, Render(p, cut, 5 * 41000));
    for (std::size_t offset : {0, 1}) {
      SCOPED_TRACE(offset);
      const std::size_t five = quavix_wav_buffer_size(5);
      std::vector<std::uint8_t> out(std::max(image.size(), five) + 1);
      quavix_random w = seeded;
      ASSERT_EQ(quavix_wav_image(&p, &w, INT32_MAX, out.data() + offset, image.size()), size);
      EXPECT_TRUE(w.state == whole.state &&
                  std::equal(image.begin(), image.end(), out.begin() + offset));
      w = seeded;
      EXPECT_EQ(quavix_render_wav(&p, &w, 5, out.data() + offset, five - 1),
                QUAVIX_ERROR_BUFFER_TOO_SMALL);
      ASSERT_EQ(quavix_render_wav(&p, &w, 5, out.data() + offset, five),
                static_cast<std::int64_t>(buffered.size()));
      EXPECT_TRUE(w.state == cut.state &&
                  std::equal(buffered.begin(), buffered.end(), out.begin() + offset));
    }
  }
  quavix_params p = Defaults();
  quavix_random w{5};
  EXPECT_EQ(quavix_wav_image(&p, &w, 1000, nullptr, 0), 44 + 2000);
  quavix_stream zero{};
  std::int16_t sample;
  EXPECT_EQ(quavix_stream_render(&zero, &sample, 1), QUAVIX_ERROR_STREAM);
  EXPECT_EQ(quavix_stream_render(nullptr, &sample, 1), QUAVIX_ERROR_ARGUMENT);
}

}  // namespace
}  // namespace quavix
