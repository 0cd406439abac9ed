// The C API against the documented numbers and the C++ core it wraps.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "design/presets.h"
#include "design/randomize.h"
#include "exchange/param_table.h"
#include "exchange/settings_file.h"
#include "quavix/quavix.h"
#include "synth/synthesizer.h"

namespace quavix {
namespace {

quavix_params Defaults() {
  quavix_params p;
  quavix_params_default(&p);
  return p;
}
bool Same(const quavix_params& a, const SynthParams& b) { return std::memcmp(&a, &b, sizeof a) == 0; }
SynthParams Core(const quavix_params& p) {
  SynthParams s;
  std::memcpy(&s, &p, sizeof s);
  return s;
}

TEST(CApi, ParametersInStoredAndUsersUnits) {
  struct Case { const char* Name; bool User; float Value, Stored; };
  for (const Case& c : {Case{"AttackTime", true, 2.2675f, 1}, Case{"sustaintime", true, 0.3f, 0.3637366f},
                        Case{"ChangeSpeed", true, 0, 1}, Case{"RepeatSpeed", true, 0, 1},
                        Case{"RepeatSpeed", true, 10, 0.5304257f}, Case{"VibSpeed", true, 10, 0.3774596f},
                        Case{"WaveType", false, -2.9f, -2}, Case{"AttackTime", false, 1, 1}}) {
    quavix_params p = Defaults();
    ASSERT_EQ((c.User ? quavix_param_set_user_by_name : quavix_param_set_by_name)(&p, c.Name, c.Value), QUAVIX_OK);
    float stored = -1, user = -1;
    const int index = quavix_param_index(c.Name);
    EXPECT_EQ(quavix_param_get(&p, index, &stored), QUAVIX_OK);
    EXPECT_EQ(stored, c.Stored) << c.Name << " " << c.Value;
    EXPECT_EQ(quavix_param_get_user_by_name(&p, c.Name, &user), QUAVIX_OK);
    EXPECT_EQ(user, kParamTable[std::size_t(index)].Get(Core(p))) << c.Name;
  }
  quavix_params p = Defaults();
  float v = 0;
  EXPECT_TRUE(Same(p, DefaultParams()));
  EXPECT_EQ(quavix_param_set(&p, 24, 1.0f), QUAVIX_ERROR_INDEX);
  EXPECT_EQ(quavix_param_set_user(&p, -1, 1.0f), QUAVIX_ERROR_INDEX);
  EXPECT_EQ(quavix_param_get_user(&p, 24, &v), QUAVIX_ERROR_INDEX);
  EXPECT_EQ(quavix_param_set_by_name(&p, "Loudness", 1.0f), QUAVIX_ERROR_NAME);
  EXPECT_TRUE(Same(p, DefaultParams()));
  EXPECT_EQ(quavix_param_get(nullptr, 0, &v), QUAVIX_ERROR_ARGUMENT);
  EXPECT_EQ(quavix_param_name(24), nullptr);
  EXPECT_STREQ(quavix_param_unit(13), "seconds");
  EXPECT_STREQ(quavix_strerror(QUAVIX_ERROR_INDEX), "parameter index outside 0 to 23");
  EXPECT_EQ(quavix_freq_hz(&p, 3528), 1.0f);
}

TEST(CApi, DesignDrawsLikeTheCore) {
  for (std::int32_t family = -1; family <= 7; ++family) {
    quavix_params p = Defaults();
    quavix_random r{77};
    SynthParams expected = DefaultParams();
    RandomSource core{77};
    LoadPreset(expected, family, core);
    EXPECT_EQ(quavix_preset(&p, family, &r), family >= 0 && family < 7 ? QUAVIX_OK : QUAVIX_ERROR_FAMILY);
    EXPECT_TRUE(Same(p, expected)) << family;
    EXPECT_EQ(r.state, core.State) << family;  // a refused family draws nothing
  }
  quavix_params p = Defaults();
  quavix_random r{1};
  SynthParams expected = DefaultParams();
  RandomSource core{1};
  ASSERT_EQ(quavix_randomize(&p, &r), QUAVIX_OK);
  ASSERT_EQ(quavix_mutate(&p, 0.1f, &r), QUAVIX_OK);
  Randomize(expected, core);
  Mutate(expected, 0.1f, core);
  EXPECT_TRUE(Same(p, expected));
  EXPECT_EQ(r.state, core.State);
  EXPECT_EQ(quavix_preset_family_of("Explosion"), QUAVIX_PRESET_EXPLOSION);
  EXPECT_EQ(quavix_preset_family_of("boom"), QUAVIX_ERROR_NAME);
}

TEST(CApi, SettingsStringAndFileInMemory) {
  const quavix_params d = Defaults();
  char text[256], small[10];
  EXPECT_EQ(quavix_settings_string(&d, text, sizeof text), 53u);  // as snprintf: the whole length
  EXPECT_STREQ(text, "1.0000,,,0.3000,,0.4000,0.3000,,,,,,,,,,,,,1.0000,,,,");
  EXPECT_EQ(quavix_settings_string(&d, small, sizeof small), 53u);
  EXPECT_STREQ(small, "1.0000,,,");
  EXPECT_EQ(quavix_settings_string(&d, nullptr, 0), 53u);
  quavix_params q = Defaults();
  ASSERT_EQ(quavix_settings_string_import(&q, "0.5abc,2"), QUAVIX_OK);
  EXPECT_TRUE(q.Volume == 0.5f && q.WaveType == 2 && q.SustainTime == 0.3f);
  struct Check { const char* Text; int Status; std::int32_t Field; };
  for (const Check& c : {Check{"1.0000,,,0.3000", QUAVIX_OK, -1}, Check{"0.5abc,2", QUAVIX_ERROR_NOT_A_NUMBER, 0},
                         Check{",, 1", QUAVIX_ERROR_NOT_A_NUMBER, 2}, Check{",,,,,,,,,,,,,,,,,,,,,,,7", QUAVIX_OK, -1},
                         Check{",,,,,,,,,,,,,,,,,,,,,,,,", QUAVIX_ERROR_TOO_MANY_FIELDS, 24}}) {
    std::int32_t field = 99;
    EXPECT_EQ(quavix_settings_string_check(c.Text, &field), c.Status) << c.Text;
    EXPECT_EQ(field, c.Field) << c.Text;
  }
  std::uint8_t file[QUAVIX_SETTINGS_FILE_SIZE];
  ASSERT_EQ(quavix_settings_file_encode(&d, file), QUAVIX_OK);
  EXPECT_EQ(std::memcmp(file, EncodeSettings(DefaultParams()).data(), sizeof file), 0);
  std::memset(&q, 0x55, sizeof q);
  EXPECT_EQ(quavix_settings_file_decode(&q, file, 104), QUAVIX_ERROR_SHORT_DATA);
  EXPECT_EQ(q.Volume, 1.0f);  // the fields before the end are stored
  const quavix_params cut = q;
  file[0] = 103;
  EXPECT_EQ(quavix_settings_file_decode(&q, file, sizeof file), QUAVIX_ERROR_VERSION);
  EXPECT_EQ(quavix_settings_file_decode(&q, file, 3), QUAVIX_ERROR_VERSION);
  EXPECT_EQ(std::memcmp(&q, &cut, sizeof q), 0);
  file[0] = 102;
  EXPECT_EQ(quavix_settings_file_decode(&q, file, sizeof file), QUAVIX_OK);
  EXPECT_TRUE(q.SustainTime == 0.3f && q.LPCutoff == 1.0f && q.HPCutoffSweep == 0.0f);
}

TEST(CApi, RenderAndWavImageMatchTheCore) {
  const quavix_params p = Defaults();
  quavix_random r{5};
  std::vector<std::int16_t> got(30000), want(30000);
  ASSERT_EQ(quavix_render(&p, &r, got.data(), 30000), 25003);  // the default sound's length
  RandomSource core{5};
  CachedSynthesizer s(core);
  core.State = 5;
  Synthesize(s.Synth, 30000, want.data(), core);
  EXPECT_EQ(got, want);
  EXPECT_EQ(r.state, core.State);
  std::int16_t none = 7;
  EXPECT_EQ(quavix_render(&p, &r, &none, 0), 0);
  EXPECT_EQ(none, 7);
  // One buffer second at an aligned and at an odd address: the same image.
  std::vector<std::uint8_t> image(quavix_wav_buffer_size(1) + 1), header(44);
  EXPECT_EQ(image.size(), 44u + 82000u + 1u);
  EXPECT_EQ(quavix_render_wav(&p, &r, 1, image.data(), image.size() - 2), QUAVIX_ERROR_BUFFER_TOO_SMALL);
  quavix_wav_header(&p, 2 * 25003, header.data());
  for (std::size_t offset : {0, 1}) {
    quavix_random w{5};
    ASSERT_EQ(quavix_render_wav(&p, &w, 1, image.data() + offset, image.size() - 1), 44 + 2 * 25003);
    EXPECT_EQ(std::memcmp(image.data() + offset, header.data(), 44), 0);
    EXPECT_EQ(std::memcmp(image.data() + offset + 44, want.data(), 2 * 25003), 0) << offset;
  }
}

}  // namespace
}  // namespace quavix
