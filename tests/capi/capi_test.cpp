// The C API: argument checks, status codes, buffers, and that each call reaches the core.

#include "design/presets.h"
#include "design/randomize.h"
#include "exchange/settings_file.h"
#include "quavix/quavix.h"
#include "synth/synthesizer.h"
#include "test_util.h"

namespace quavix {
namespace {

// Each call's status (or value) against the documented one; the refused calls change nothing.
TEST(CApi, CallsCheckTheirArgumentsAndGiveWhatTheCoreGives) {
  quavix_params p, q;
  quavix_params_default(&p);
  quavix_params_default(&q);
  quavix_random r{9};
  float v = 0, stored = 0, user = 0;
  const std::int64_t got[][2] = {
      {quavix_param_set_user_by_name(&q, "sustaintime", 0.3f), QUAVIX_OK},
      {quavix_param_get(&q, 3, &stored), QUAVIX_OK},
      {quavix_param_get_user_by_name(&q, "SustainTime", &user), QUAVIX_OK},
      {quavix_param_set_by_name(&q, "DecayTime", 2.0f), QUAVIX_OK},
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
      {quavix_random_draw(nullptr), QUAVIX_ERROR_ARGUMENT}};
  for (std::size_t i = 0; i < std::size(got); ++i) EXPECT_EQ(got[i][0], got[i][1]) << "call " << i;
  EXPECT_EQ(stored, 0.3637366f);  // the user's 0.3 s converted by the core, read unconverted
  EXPECT_EQ(user, 0.3f);
  EXPECT_TRUE(q.DecayTime == 2.0f && q.Volume == 0.5f && q.WaveType == 2);  // 2.0 stored as given
  const SynthParams defaults = DefaultParams();
  EXPECT_EQ(std::memcmp(&p, &defaults, sizeof p), 0);
  EXPECT_EQ(r.state, 9u);
  EXPECT_EQ(quavix_param_name(24), nullptr);
  EXPECT_STREQ(quavix_param_unit(13), "seconds");
  EXPECT_STREQ(quavix_strerror(QUAVIX_ERROR_INDEX), "parameter index outside 0 to 23");
  EXPECT_EQ(quavix_freq_hz(&p, 3528), 1.0f);
  // Texts cut as snprintf cuts them, the first bad field named, a cut file reported as short data;
  // the sound, random state and WAV image (also at an odd address) are the core's.
  char text[256], small[10];
  EXPECT_EQ(quavix_settings_string(&p, text, sizeof text), 53u);
  EXPECT_STREQ(text, "1.0000,,,0.3000,,0.4000,0.3000,,,,,,,,,,,,,1.0000,,,,");
  EXPECT_EQ(quavix_settings_string(&p, small, sizeof small), 53u);
  EXPECT_STREQ(small, "1.0000,,,");
  EXPECT_EQ(quavix_settings_string(&p, nullptr, 0), 53u);
  const std::tuple<const char*, int, std::int32_t> checks[] = {
      {",, 1", QUAVIX_ERROR_NOT_A_NUMBER, 2},
      {",,,,,,,,,,,,,,,,,,,,,,,7", QUAVIX_OK, -1},
      {",,,,,,,,,,,,,,,,,,,,,,,,", QUAVIX_ERROR_TOO_MANY_FIELDS, 24}};
  for (const auto& [checked, status, bad] : checks) {
    std::int32_t field = 99;
    EXPECT_EQ(quavix_settings_string_check(checked, &field), status) << checked;
    EXPECT_EQ(field, bad) << checked;
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
  CachedSynthesizer s(core);
  core.State = 5;
  Synthesize(s.Synth, 30000, want.data(), core);
  EXPECT_TRUE(sound == want && r.state == core.State);
  std::vector<std::uint8_t> image(quavix_wav_buffer_size(1) + 1), header(44);
  EXPECT_EQ(image.size(), 44u + 82000u + 1u);
  EXPECT_EQ(quavix_render_wav(&p, &r, 1, image.data(), image.size() - 2),
            QUAVIX_ERROR_BUFFER_TOO_SMALL);
  quavix_wav_header(&p, 2 * 25003, header.data());
  for (std::size_t offset : {0, 1}) {
    quavix_random w{5};
    ASSERT_EQ(quavix_render_wav(&p, &w, 1, image.data() + offset, image.size() - 1),
              44 + 2 * 25003);
    EXPECT_EQ(std::memcmp(image.data() + offset, header.data(), 44), 0);
    EXPECT_EQ(std::memcmp(image.data() + offset + 44, want.data(), 2 * 25003), 0) << offset;
  }
}

// Family 8 stands for randomize and mutate; the refused families -1 and 7 draw nothing.
TEST(CApi, DesignDrawsLikeTheCore) {
  for (std::int32_t family = -1; family <= 8; ++family) {
    quavix_params p;
    quavix_params_default(&p);
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

}  // namespace
}  // namespace quavix
