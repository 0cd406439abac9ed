// The C API's calls for games and bindings: NULL names, terminated and
// checkable settings strings, WAV header limits, versions and sizes, the
// audible randomize, length-counted texts, lengths, images and streams.

#include <cstdio>

#include "quavix/quavix.h"
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

// A NULL name is a missing argument, not an unknown name.
TEST(CApiBindings, NullNamesAreArgumentErrors) {
  quavix_params p = Defaults();
  float v = 0;
  const struct { const char* name; int got; } cases[] = {
      {"param_index", quavix_param_index(nullptr)},
      {"get_by_name", quavix_param_get_by_name(&p, nullptr, &v)},
      {"set_by_name", quavix_param_set_by_name(&p, nullptr, 1)},
      {"get_user_by_name", quavix_param_get_user_by_name(&p, nullptr, &v)},
      {"set_user_by_name", quavix_param_set_user_by_name(&p, nullptr, 1)},
      {"preset_family_of", quavix_preset_family_of(nullptr)},
      {"param_index_n", quavix_param_index_n(nullptr, 3)},
      {"preset_family_of_n", quavix_preset_family_of_n(nullptr, 3)},
      {"import_n", quavix_settings_string_import_n(&p, nullptr, 3)},
      {"check_n", quavix_settings_string_check_n(nullptr, 3, nullptr)},
  };
  for (const auto& c : cases) EXPECT_EQ(c.got, QUAVIX_ERROR_ARGUMENT) << c.name;
  // Zero-length texts are empty ones: unknown names, a text of one empty field.
  EXPECT_EQ(quavix_param_index_n(nullptr, 0), QUAVIX_ERROR_NAME);
  EXPECT_EQ(quavix_settings_string_check_n(nullptr, 0, nullptr), QUAVIX_OK);
  EXPECT_TRUE(std::isnan(quavix_freq_hz(nullptr, 440)));
  EXPECT_EQ(quavix_freq_hz(&p, 3528), 1.0f);  // sqrt(100 / (44100 / (3528 * 0.125))) = 1
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

// The audible randomize draws the wave type mod 4 where randomize draws it mod 5.
TEST(CApiBindings, AudibleRandomizeNeverPicksTheSilentWave) {
  int seen[5] = {};
  for (std::uint32_t seed = 1; seed <= 2000; ++seed) {
    quavix_params plain = Defaults(), flag0 = Defaults(), audible = Defaults();
    quavix_random a{seed}, b{seed}, c{seed}, first{seed};
    const std::int32_t draw = quavix_random_draw(&first);
    ASSERT_EQ(quavix_randomize(&plain, &a), QUAVIX_OK);
    ASSERT_EQ(quavix_randomize_ex(&flag0, &b, 0), QUAVIX_OK);
    ASSERT_EQ(quavix_randomize_ex(&audible, &c, QUAVIX_RANDOMIZE_AUDIBLE), QUAVIX_OK);
    EXPECT_EQ(plain.WaveType, draw % 5);
    EXPECT_EQ(audible.WaveType, draw % 4);
    ++seen[audible.WaveType];
    audible.WaveType = plain.WaveType;
    EXPECT_TRUE(std::memcmp(&plain, &flag0, sizeof plain) == 0 &&
                std::memcmp(&plain, &audible, sizeof plain) == 0 && a.state == b.state &&
                a.state == c.state)
        << seed;
  }
  EXPECT_EQ(seen[4], 0);
  for (int w = 0; w < 4; ++w) EXPECT_GT(seen[w], 400) << w;
  EXPECT_EQ(quavix_randomize_ex(nullptr, nullptr, 1), QUAVIX_ERROR_ARGUMENT);
}

// Only the counted characters are read, up to a NUL among them.
TEST(CApiBindings, LengthCountedTexts) {
  const char volume[] = {'V', 'o', 'l', 'u', 'm', 'e', '\0', 'x'};
  EXPECT_EQ(quavix_param_index_n("AttackTimeXYZ", 10), 2);
  EXPECT_EQ(quavix_param_index_n("AttackTime", 6), QUAVIX_ERROR_NAME);
  EXPECT_EQ(quavix_param_index_n(volume, sizeof volume), 0);
  EXPECT_EQ(quavix_preset_family_of_n("coins", 4), QUAVIX_PRESET_COIN);
  EXPECT_EQ(quavix_preset_family_of_n("coins", 5), QUAVIX_ERROR_NAME);
  quavix_params p = Defaults();
  ASSERT_EQ(quavix_settings_string_import_n(&p, "0.5,2junk", 3), QUAVIX_OK);
  EXPECT_TRUE(p.Volume == 0.5f && p.WaveType == 0);  // field 1 lies beyond the count
  ASSERT_EQ(quavix_settings_string_import_n(&p, "0.25,3", 6), QUAVIX_OK);
  EXPECT_TRUE(p.Volume == 0.25f && p.WaveType == 3);
  std::int32_t bad = 99;
  EXPECT_EQ(quavix_settings_string_check_n(",, 1", 2, &bad), QUAVIX_OK);
  EXPECT_EQ(bad, -1);
  EXPECT_EQ(quavix_settings_string_check_n(",, 1", 4, &bad), QUAVIX_ERROR_NOT_A_NUMBER);
  EXPECT_EQ(bad, 2);
}

// The count is the render's, without writing or drawing; times of magnitude 1 end by the maximum.
TEST(CApiBindings, RenderCountIsTheRendersLength) {
  quavix_params longest = Defaults();
  longest.AttackTime = longest.SustainTime = longest.DecayTime = -1.0f;
  quavix_params beyond = longest;
  beyond.DecayTime = 1.0001f;  // 100020 samples of decay instead of 100000
  const struct { const char* name; quavix_params p; std::int32_t max, count; } cases[] = {
      {"defaults", Defaults(), INT32_MAX, 25003},  // 0 + 9000 + 16000 + 3
      {"defaults cut", Defaults(), 100, 100},
      {"nothing asked", Defaults(), 0, 0},
      {"times of 1", longest, INT32_MAX, 3 * 100000 + 3},
      {"decay 1.0001", beyond, INT32_MAX, 3 * 100000 + 3 + 20},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const quavix_random r{7};
    EXPECT_EQ(quavix_render_count(&c.p, &r, c.max), c.count);
    EXPECT_EQ(r.state, 7u);
    quavix_random w{7};
    if (c.max > 0) {
      EXPECT_EQ(Render(c.p, w, std::min(c.max, 400000)).size(), static_cast<std::size_t>(c.count));
    }
  }
  EXPECT_EQ(quavix_render_count(nullptr, nullptr, 1), QUAVIX_ERROR_ARGUMENT);
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
  quavix_params p = Defaults();
  p.AttackTime = p.DecayTime = 1.5f;
  p.SustainTime = -1.5f;
  const quavix_random r{1};
  EXPECT_EQ(quavix_render_count(&p, &r, INT32_MAX), QUAVIX_MAX_SOUND_SAMPLES);
}

// One call for seed, preset and render.
TEST(CApiBindings, RenderPresetIsSeedPresetRender) {
  for (std::int32_t family = -1; family <= 7; ++family) {
    SCOPED_TRACE(family);
    std::vector<std::int16_t> got(QUAVIX_MAX_SOUND_SAMPLES);
    const std::int32_t n = quavix_render_preset(family, 42, got.data(), QUAVIX_MAX_SOUND_SAMPLES);
    if (family < 0 || family > 6) {
      EXPECT_EQ(n, QUAVIX_ERROR_FAMILY);
      continue;
    }
    quavix_params p;
    quavix_random r;
    quavix_random_seed(&r, 42);
    quavix_preset(&p, family, &r);
    const auto want = Render(p, r, QUAVIX_MAX_SOUND_SAMPLES);
    got.resize(static_cast<std::size_t>(std::max(n, 0)));
    EXPECT_TRUE(got == want);
  }
}

// Asked with too little room the image says its size and draws nothing; with that room it is the
// render's sound behind the header, at any address.
TEST(CApiBindings, WavImageSizesItselfLikeSnprintf) {
  quavix_params p;
  quavix_random seeded{5};
  quavix_preset(&p, QUAVIX_PRESET_COIN, &seeded);
  quavix_random r = seeded;
  const auto samples = Render(p, r, QUAVIX_MAX_SOUND_SAMPLES);
  const std::int64_t size = 44 + 2 * static_cast<std::int64_t>(samples.size());
  std::vector<std::uint8_t> header(44);
  quavix_wav_header(&p, static_cast<std::uint32_t>(2 * samples.size()), header.data());
  for (std::size_t capacity : {std::size_t{0}, std::size_t{44}, static_cast<std::size_t>(size - 1)}) {
    SCOPED_TRACE(capacity);
    std::vector<std::uint8_t> out(capacity + 1);
    quavix_random w = seeded;
    EXPECT_EQ(quavix_wav_image(&p, &w, INT32_MAX, capacity ? out.data() : nullptr, capacity), size);
    EXPECT_EQ(w.state, seeded.state);
  }
  for (std::size_t offset : {0, 1}) {
    SCOPED_TRACE(offset);
    std::vector<std::uint8_t> out(static_cast<std::size_t>(size) + 1);
    quavix_random w = seeded;
    ASSERT_EQ(quavix_wav_image(&p, &w, INT32_MAX, out.data() + offset, static_cast<std::size_t>(size)), size);
    EXPECT_EQ(w.state, r.state);
    EXPECT_EQ(std::memcmp(out.data() + offset, header.data(), 44), 0);
    for (std::size_t i = 0; i < samples.size(); ++i) {
      const auto u = static_cast<std::uint16_t>(samples[i]);
      ASSERT_TRUE(out[offset + 44 + 2 * i] == (u & 0xFF) && out[offset + 45 + 2 * i] == (u >> 8)) << i;
    }
  }
  quavix_random w = seeded;
  EXPECT_EQ(quavix_wav_image(&p, &w, 1000, nullptr, 0), 44 + 2000);
}

// Streams in pieces of any size give the whole render's samples and random state.
TEST(CApiBindings, StreamsEqualWholeRenders) {
  const struct { const char* name; std::int32_t family; } sounds[] = {
      {"coin", QUAVIX_PRESET_COIN}, {"explosion (noise)", QUAVIX_PRESET_EXPLOSION},
      {"powerup", QUAVIX_PRESET_POWERUP}, {"laser", QUAVIX_PRESET_LASER},
      {"sine with vibrato", 100}, {"randomized", 101}};
  for (const auto& s : sounds) {
    quavix_params p;
    quavix_random seeded{11};
    if (s.family == 100) {
      quavix_params_default(&p);
      p.WaveType = QUAVIX_WAVE_SINE;
      p.VibDepth = 0.5f;
      p.VibSpeed = 0.4f;
    } else if (s.family == 101) {
      quavix_randomize(&p, &seeded);
    } else {
      quavix_preset(&p, s.family, &seeded);
    }
    quavix_random whole = seeded;
    const auto want = Render(p, whole, QUAVIX_MAX_SOUND_SAMPLES);
    for (std::int32_t piece : {1, 7, 1024, 400000}) {
      SCOPED_TRACE(std::string(s.name) + " in pieces of " + std::to_string(piece));
      quavix_stream stream;
      ASSERT_EQ(quavix_stream_start(&stream, &p, &seeded), QUAVIX_OK);
      std::vector<std::int16_t> got, buffer(static_cast<std::size_t>(piece));
      std::int32_t n;
      while ((n = quavix_stream_render(&stream, buffer.data(), piece)) > 0) {
        got.insert(got.end(), buffer.begin(), buffer.begin() + n);
        if (n < piece) break;
      }
      EXPECT_EQ(quavix_stream_render(&stream, buffer.data(), piece), 0);
      EXPECT_TRUE(got == want);
      quavix_random after{0};
      ASSERT_EQ(quavix_stream_random(&stream, &after), QUAVIX_OK);
      EXPECT_EQ(after.state, whole.state);
    }
  }
  quavix_stream zero{};
  std::int16_t sample;
  EXPECT_EQ(quavix_stream_render(&zero, &sample, 1), QUAVIX_ERROR_STREAM);
  EXPECT_EQ(quavix_stream_render(nullptr, &sample, 1), QUAVIX_ERROR_ARGUMENT);
}

}  // namespace
}  // namespace quavix
