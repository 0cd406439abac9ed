// The C API against the C++ core and the documented numbers, group by group.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "design/presets.h"
#include "exchange/param_table.h"
#include "quavix/quavix.h"
#include "synth/synthesizer.h"

namespace quavix {
namespace {

SynthParams Core(const quavix_params& p) {
  SynthParams s;
  std::memcpy(&s, &p, sizeof s);
  return s;
}

quavix_params Defaults() {
  quavix_params p;
  quavix_params_default(&p);
  return p;
}

// The generator written out independently: state * 214013 + 2531011.
std::uint32_t After(std::uint32_t state, int draws) {
  for (int i = 0; i < draws; ++i) state = state * 214013u + 2531011u;
  return state;
}

TEST(CApiDefaults, StoredAndUsersUnitsMatchTheCoreAndTheDocumentedValues) {
  const quavix_params p = Defaults();
  EXPECT_EQ(p.BitsPerSample, 16);
  EXPECT_EQ(p.SampleRate, 44100);
  EXPECT_EQ(p.MasterVolume, 0.05f);
  for (std::int32_t i = 0; i < QUAVIX_PARAM_COUNT; ++i) {
    float stored = -1, user = -1;
    ASSERT_EQ(quavix_param_get(&p, i, &stored), QUAVIX_OK);
    ASSERT_EQ(quavix_param_get_user(&p, i, &user), QUAVIX_OK);
    EXPECT_EQ(stored, StoredValue(DefaultParams(), i)) << i;
    EXPECT_EQ(user, kParamTable[static_cast<std::size_t>(i)].Get(DefaultParams())) << i;
    EXPECT_EQ(quavix_param_index(quavix_param_name(i)), i);
  }
  struct Case { const char* Name; float Stored; float User; };
  for (const Case& c : {Case{"volume", 1.0f, 1.0f}, Case{"SustainTime", 0.3f, 0.204075f},
                        Case{"DecayTime", 0.4f, 0.362800f}, Case{"RepeatSpeed", 0.0f, 0.0f},
                        Case{"LPCutoff", 1.0f, 1.0f}, Case{"WaveType", 0.0f, 0.0f}}) {
    float stored = -1, user = -1;
    EXPECT_EQ(quavix_param_get_by_name(&p, c.Name, &stored), QUAVIX_OK);
    EXPECT_EQ(quavix_param_get_user_by_name(&p, c.Name, &user), QUAVIX_OK);
    EXPECT_EQ(stored, c.Stored) << c.Name;
    EXPECT_FLOAT_EQ(user, c.User) << c.Name;
  }
}

TEST(CApiDefaults, SettersConvertUsersUnitsAndRefuseBadIndexes) {
  struct Case { const char* Name; bool User; float Value; float Stored; };
  for (const Case& c : {Case{"AttackTime", true, 2.2675f, 1.0f}, Case{"SustainTime", true, 0.3f, 0.3637366f},
                        Case{"ChangeSpeed", true, 0.0f, 1.0f}, Case{"RepeatSpeed", true, 0.0f, 1.0f},
                        Case{"RepeatSpeed", true, 10.0f, 0.5304257f}, Case{"VibSpeed", true, 10.0f, 0.3774596f},
                        Case{"WaveType", true, 7.0f, 7.0f}, Case{"WaveType", false, 2.9f, 2.0f},
                        Case{"WaveType", false, -2.9f, -2.0f}, Case{"AttackTime", false, 1.0f, 1.0f}}) {
    quavix_params p = Defaults();
    const int status = c.User ? quavix_param_set_user_by_name(&p, c.Name, c.Value)
                              : quavix_param_set_by_name(&p, c.Name, c.Value);
    ASSERT_EQ(status, QUAVIX_OK);
    float stored = -1;
    quavix_param_get_by_name(&p, c.Name, &stored);
    EXPECT_FLOAT_EQ(stored, c.Stored) << c.Name << " " << c.Value;
  }
  quavix_params p = Defaults();
  const quavix_params before = p;
  float v = 0;
  EXPECT_EQ(quavix_param_set(&p, 24, 1.0f), QUAVIX_ERROR_INDEX);
  EXPECT_EQ(quavix_param_set_user(&p, -1, 1.0f), QUAVIX_ERROR_INDEX);
  EXPECT_EQ(quavix_param_get(&p, 24, &v), QUAVIX_ERROR_INDEX);
  EXPECT_EQ(quavix_param_set_by_name(&p, "Loudness", 1.0f), QUAVIX_ERROR_NAME);
  EXPECT_EQ(std::memcmp(&p, &before, sizeof p), 0);
  EXPECT_EQ(quavix_param_get(nullptr, 0, &v), QUAVIX_ERROR_ARGUMENT);
  EXPECT_STREQ(quavix_strerror(QUAVIX_ERROR_INDEX), "parameter index outside 0 to 23");

  struct Hz { std::int32_t In; float Out; };
  for (const Hz& h : {Hz{0, 0.0f}, Hz{3528, 1.0f}, Hz{20, 0.0752923f}, Hz{20000, 2.3809524f}, Hz{440, 0.35315f}}) {
    EXPECT_NEAR(quavix_freq_hz(&p, h.In), h.Out, 5e-6) << h.In;
  }
  EXPECT_TRUE(std::isnan(quavix_freq_hz(&p, -1)));
}

TEST(CApiDesign, PresetsRandomizeAndMutateDrawLikeTheCore) {
  for (std::int32_t family = -1; family <= 7; ++family) {
    quavix_params p = Defaults();
    quavix_random r{77};
    SynthParams expected = DefaultParams();
    RandomSource core{77};
    LoadPreset(expected, family, core);
    const bool valid = family >= 0 && family < 7;
    EXPECT_EQ(quavix_preset(&p, family, &r), valid ? QUAVIX_OK : QUAVIX_ERROR_FAMILY);
    EXPECT_EQ(std::memcmp(&p, &expected, sizeof p), 0) << family;
    EXPECT_EQ(r.state, valid ? core.State : 77u) << family;
  }
  EXPECT_EQ(quavix_preset_family_of("Explosion"), QUAVIX_PRESET_EXPLOSION);
  EXPECT_EQ(quavix_preset_family_of("boom"), QUAVIX_ERROR_NAME);

  quavix_params p;
  quavix_random r;
  quavix_random_seed(&r, 1);
  ASSERT_EQ(quavix_randomize(&p, &r), QUAVIX_OK);
  EXPECT_EQ(r.state, After(1, 26));
  EXPECT_EQ(p.WaveType, 1);
  struct Near { float Got; float Want; };
  for (const Near& n : {Near{p.StartFreq, 0.48053f}, Near{p.Slide, 0.00241f}, Near{p.SustainTime, 0.89397f},
                        Near{p.DecayTime, -0.12947f}, Near{p.ChangeAmount, -0.5238f}, Near{p.Volume, 1.0f}}) {
    EXPECT_NEAR(n.Got, n.Want, 5e-6);
  }
  p = Defaults();
  quavix_random_seed(&r, 1);
  ASSERT_EQ(quavix_mutate(&p, 0.1f, &r), QUAVIX_OK);
  EXPECT_EQ(r.state, After(1, 34));
  EXPECT_NEAR(p.StartFreq, 0.33466f, 5e-6);
  EXPECT_NEAR(p.LPCutoff, 0.99603f, 5e-6);
  EXPECT_EQ(p.Slide, 0.0f);
}

TEST(CApiExchange, SettingsStringLikeSnprintfAndTheStrictCheck) {
  const quavix_params p = Defaults();
  const std::string expected = "1.0000,,,0.3000,,0.4000,0.3000,,,,,,,,,,,,,1.0000,,,,";
  char text[256];
  EXPECT_EQ(quavix_settings_string(&p, text, sizeof text), 53u);
  EXPECT_EQ(text, expected);
  char small[10];
  EXPECT_EQ(quavix_settings_string(&p, small, sizeof small), 53u);
  EXPECT_EQ(std::string(small), expected.substr(0, 9));
  EXPECT_EQ(quavix_settings_string(&p, nullptr, 0), 53u);

  quavix_params q = Defaults();
  ASSERT_EQ(quavix_settings_string_import(&q, "0.5abc,2"), QUAVIX_OK);
  EXPECT_EQ(q.Volume, 0.5f);
  EXPECT_EQ(q.WaveType, 2);
  EXPECT_EQ(q.SustainTime, 0.3f);

  struct Check { const char* Text; int Status; std::int32_t Field; };
  for (const Check& c : {Check{"1.0000,,,0.3000", QUAVIX_OK, -1}, Check{"0.5abc,2", QUAVIX_ERROR_NOT_A_NUMBER, 0},
                         Check{",,1e", QUAVIX_ERROR_NOT_A_NUMBER, 2}, Check{",, 1", QUAVIX_ERROR_NOT_A_NUMBER, 2},
                         Check{",,,,,,,,,,,,,,,,,,,,,,,,", QUAVIX_ERROR_TOO_MANY_FIELDS, 24}}) {
    std::int32_t field = 99;
    EXPECT_EQ(quavix_settings_string_check(c.Text, &field), c.Status) << c.Text;
    EXPECT_EQ(field, c.Field) << c.Text;
  }
}

TEST(CApiExchange, SettingsFileInMemory) {
  quavix_params p = Defaults();
  std::uint8_t file[QUAVIX_SETTINGS_FILE_SIZE];
  ASSERT_EQ(quavix_settings_file_encode(&p, file), QUAVIX_OK);
  // The documented image of the defaults, written as runs of bytes.
  std::vector<std::uint8_t> expected;
  const auto put = [&](std::initializer_list<int> bytes) { for (int b : bytes) expected.push_back(static_cast<std::uint8_t>(b)); };
  const auto zeros = [&](std::size_t n) { expected.resize(expected.size() + n, 0); };
  put({0x66, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x80, 0x3F, 0x9A, 0x99, 0x99, 0x3E});
  zeros(36);
  put({0x9A, 0x99, 0x99, 0x3E, 0xCD, 0xCC, 0xCC, 0x3E});
  zeros(9);
  put({0, 0, 0x80, 0x3F});
  zeros(32);
  EXPECT_EQ(std::vector<std::uint8_t>(file, file + sizeof file), expected);

  quavix_params q;
  std::memset(&q, 0x55, sizeof q);
  EXPECT_EQ(quavix_settings_file_decode(&q, file, 50), QUAVIX_ERROR_SHORT_DATA);
  EXPECT_EQ(q.Volume, 1.0f);
  const quavix_params cut = q;
  file[0] = 103;
  EXPECT_EQ(quavix_settings_file_decode(&q, file, sizeof file), QUAVIX_ERROR_VERSION);
  EXPECT_EQ(quavix_settings_file_decode(&q, file, 3), QUAVIX_ERROR_VERSION);
  EXPECT_EQ(std::memcmp(&q, &cut, sizeof q), 0);
  file[0] = 102;
  EXPECT_EQ(quavix_settings_file_decode(&q, file, sizeof file), QUAVIX_OK);
  EXPECT_EQ(Core(q).HPCutoffSweep, 0.0f);
  EXPECT_EQ(q.SustainTime, 0.3f);
}

TEST(CApiRender, SamplesAndWavImageMatchTheCoreAndTheDocumentedSounds) {
  struct Case { std::int32_t Wave; std::uint32_t Seed; std::int32_t Count; std::vector<std::int16_t> First; };
  for (const Case& c : {Case{QUAVIX_WAVE_SQUARE, 5, 25003, {3199, 3199, 3199, 3199, 3198, 3198, 3198, 3198, 3197, 3197}},
                        Case{QUAVIX_WAVE_NOISE, 12345, 25003, {3307, 3307, 3306, 3306, 4822, 5326, 5326, 5326, 3168, 1012}},
                        Case{QUAVIX_WAVE_SINE, 9, 25003, {}}}) {
    quavix_params p = Defaults();
    p.WaveType = c.Wave;
    quavix_random r{c.Seed};
    std::vector<std::int16_t> got(30000);
    ASSERT_EQ(quavix_render(&p, &r, got.data(), 30000), c.Count);
    got.resize(static_cast<std::size_t>(c.Count));
    EXPECT_TRUE(std::equal(c.First.begin(), c.First.end(), got.begin())) << c.Wave;

    RandomSource core{c.Seed};
    CachedSynthesizer s(core);
    s.Synth.Params = Core(p);
    core.State = c.Seed;
    std::vector<std::int16_t> want(30000);
    Synthesize(s.Synth, 30000, want.data(), core);
    want.resize(static_cast<std::size_t>(s.Synth.SampleCount));
    EXPECT_EQ(got, want) << c.Wave;
    EXPECT_EQ(r.state, core.State);
  }
  quavix_params p = Defaults();
  quavix_random r{1};
  std::int16_t none = 7;
  EXPECT_EQ(quavix_render(&p, &r, &none, 0), 0);
  EXPECT_EQ(none, 7);
  EXPECT_EQ(r.state, After(1, 32));
  std::vector<std::int16_t> cut(100);
  EXPECT_EQ(quavix_render(&p, &r, cut.data(), 100), 100);

  // The WAV image, at an aligned and at an odd address, for a 1-second buffer.
  std::vector<std::uint8_t> image(quavix_wav_buffer_size(1) + 1);
  EXPECT_EQ(image.size(), 44u + 82000u + 1u);
  EXPECT_EQ(quavix_render_wav(&p, &r, 1, image.data(), image.size() - 2), QUAVIX_ERROR_BUFFER_TOO_SMALL);
  for (std::size_t offset : {0, 1}) {
    quavix_random w{1};
    ASSERT_EQ(quavix_render_wav(&p, &w, 1, image.data() + offset, image.size() - 1), 44 + 2 * 25003);
    std::uint8_t header[QUAVIX_WAV_HEADER_SIZE];
    quavix_wav_header(&p, 2 * 25003, header);
    EXPECT_EQ(std::memcmp(image.data() + offset, header, 44), 0);
    EXPECT_EQ(std::memcmp(image.data() + offset, "RIFF", 4), 0);
    EXPECT_EQ(image[offset + 44], 3199 & 0xFF);
    EXPECT_EQ(image[offset + 45], 3199 >> 8);
  }
}

}  // namespace
}  // namespace quavix
