// quavix's export options, end to end: the files are read back with
// libsndfile and measured with a plain EBU R128 meter (libebur128), whose
// readings are anchored by sines of known loudness.
#include <ebur128.h>
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <nlohmann/json.hpp>

#include "cli_test_util.h"
#include "design/presets.h"
#include "exchange/param_table.h"

namespace quavix {
namespace {

using test::LibrarySound;
using test::ReadBytes;
using test::RunTool;
using test::ScratchDir;

struct FloatFile {
  SF_INFO Info{};
  std::vector<float> Samples;
};

FloatFile ReadFloats(const std::string& path, SF_INFO info = {}) {
  FloatFile f;
  f.Info = info;
  SNDFILE* sf = sf_open(path.c_str(), SFM_READ, &f.Info);
  if (sf == nullptr) return f;
  f.Samples.resize(static_cast<std::size_t>(f.Info.frames * f.Info.channels));
  f.Samples.resize(static_cast<std::size_t>(sf_readf_float(sf, f.Samples.data(), f.Info.frames) * f.Info.channels));
  sf_close(sf);
  return f;
}

// Integrated loudness and true peak (dB) by libebur128; a sound shorter than
// one 400 ms block is followed by silence up to the block, the tool's rule.
std::pair<double, double> Meter(const FloatFile& f) {
  ebur128_state* st = ebur128_init(static_cast<unsigned>(f.Info.channels), static_cast<unsigned long>(f.Info.samplerate),
                                   EBUR128_MODE_I | EBUR128_MODE_TRUE_PEAK);
  std::vector<float> s = f.Samples;
  s.resize(std::max(s.size(), static_cast<std::size_t>(4 * ((f.Info.samplerate + 5) / 10) * f.Info.channels)), 0.0f);
  ebur128_add_frames_float(st, s.data(), s.size() / static_cast<std::size_t>(f.Info.channels));
  double lufs = 0, peak = 0, tp = 0;
  ebur128_loudness_global(st, &lufs);
  for (unsigned c = 0; c < static_cast<unsigned>(f.Info.channels); ++c) {
    ebur128_true_peak(st, c, &tp);
    peak = std::max(peak, tp);
  }
  ebur128_destroy(&st);
  return {lufs, 20 * std::log10(peak)};
}

// The default parameters with seed 9 make 25003 samples (0.567 s).
const std::vector<std::int16_t>& DefaultSound() {
  static const auto sound = LibrarySound(9, [](SynthParams&, RandomSource&) {});
  return sound;
}

// The module's image: a 44-byte RIFF/WAVE header (PCM, mono, 44100 Hz, 16 bits), then the samples.
std::vector<std::uint8_t> ModuleImage(const std::vector<std::int16_t>& s) {
  std::vector<std::uint8_t> b;
  const auto put = [&](std::uint32_t v, int n) { for (int i = 0; i < n; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i))); };
  const auto tag = [&](const char* t) { b.insert(b.end(), t, t + 4); };
  const auto data = static_cast<std::uint32_t>(2 * s.size());
  tag("RIFF"), put(36 + data, 4), tag("WAVE"), tag("fmt "), put(16, 4), put(1, 2), put(1, 2);
  put(44100, 4), put(88200, 4), put(2, 2), put(16, 2), tag("data"), put(data, 4);
  for (const std::int16_t v : s) put(static_cast<std::uint16_t>(v), 2);
  return b;
}

TEST(Export, WithoutExportOptionsTheFilesAreTheModuleImage) {
  ScratchDir dir;
  const auto coin = LibrarySound(9, [](SynthParams& p, RandomSource& rs) { LoadPreset(p, kPresetFamilyNames[0].Family, rs); });
  ASSERT_EQ(RunTool({"render", "--seed", "9", "-o", dir / "r.wav"}).Status, 0);
  ASSERT_EQ(RunTool({"batch", "--preset", "coin", "--seed", "9", "--count", "1", "--out-dir", dir / "b"}).Status, 0);
  EXPECT_EQ(ReadBytes(dir / "r.wav"), ModuleImage(DefaultSound()));
  EXPECT_EQ(ReadBytes(dir / "b/coin-0.wav"), ModuleImage(coin));
}

TEST(Export, EachFileHoldsItsFormatRateBitsAndFrames) {
  // Frames: round(25003 x rate / 44100). 16-bit integers s / 32768 round back to s.
  struct Case { std::vector<std::string> args; int format; int rate; std::int64_t frames; bool exact; } const cases[] = {
      {{"--format", "wav"}, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 25003, true},
      {{"--format", "flac"}, SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 44100, 25003, true},
      {{"--format", "flac", "--bits", "24", "--rate", "48000"}, SF_FORMAT_FLAC | SF_FORMAT_PCM_24, 48000, 27214, false},
      {{"--format", "wav", "--bits", "8", "--rate", "22050"}, SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 22050, 12502, false},
      {{"--bits", "32f", "--rate", "96000"}, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 96000, 54428, false},
      {{"--format", "ogg", "--rate", "48000"}, SF_FORMAT_OGG | SF_FORMAT_VORBIS, 48000, 27214, false},
  };
  ScratchDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[1] + " " + std::to_string(c.rate));
    std::vector<std::string> args{"render", "--seed", "9", "-o", dir / "out"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    ASSERT_EQ(RunTool(args).Status, 0);
    const test::SoundFile f = test::ReadSound(dir / "out");
    EXPECT_EQ(f.Format, c.format);
    EXPECT_EQ(f.SampleRate, c.rate);
    EXPECT_EQ(f.Channels, 1);
    EXPECT_EQ(f.Frames, c.frames);
    if (c.exact) { EXPECT_EQ(f.Samples, DefaultSound()); }
  }
  // Raw 16 bits: the image's sample bytes without its header.
  ASSERT_EQ(RunTool({"render", "--seed", "9", "--format", "raw", "-o", dir / "out.raw"}).Status, 0);
  const auto image = ModuleImage(DefaultSound());
  EXPECT_EQ(ReadBytes(dir / "out.raw"), std::vector<std::uint8_t>(image.begin() + 44, image.end()));
}

TEST(Export, RefusedCombinationsExitTwoAndWriteNothing) {
  struct Case { std::vector<std::string> args; const char* says; } const cases[] = {
      {{"--format", "ogg", "--bits", "16"}, "Ogg Vorbis has no sample format"},
      {{"--format", "flac", "--bits", "32f"}, "FLAC holds integer samples of 8, 16 or 24 bits only"},
      {{"--bits", "12"}, "is not one of 8, 16, 24, 32f"},
      {{"--format", "mp3"}, "is not one of wav, flac, ogg, raw"},
      {{"--rate", "7999"}, "--rate"},
      {{"--rate", "192001"}, "--rate"},
      {{"--normalize", "loud:-3"}, "is neither peak:DBFS nor lufs:LUFS"},
      {{"--normalize", "peak:0.5"}, "outside -100 to 0 dBFS"},
      {{"--normalize", "peak:-1", "--true-peak", "-2"}, "--true-peak is the ceiling of a loudness target"},
      {{"--trim", "0"}, "--trim"},
      {{"--fade-out", "-5"}, "--fade-out"},
  };
  ScratchDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.says);
    std::vector<std::string> args{"render", "--seed", "9", "-o", dir / "out"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const auto r = RunTool(args);
    EXPECT_EQ(r.Status, 2);
    EXPECT_NE(r.Err.find(c.says), std::string::npos) << r.Err;
  }
  const auto r = RunTool({"batch", "--preset", "coin", "--count", "2", "--out-dir", dir / "b", "--normalize",
                          "lufs:-16", "--match-loudness", "-16"});
  EXPECT_EQ(r.Status, 2);
  EXPECT_NE(r.Err.find("not both"), std::string::npos) << r.Err;
  EXPECT_TRUE(dir.Entries().empty());
}

TEST(Export, SinesMeasureAsTheStandardSays) {
  // EBU Tech 3341: a 1 kHz stereo sine at -23 dBFS reads -23 LUFS. BS.1770's
  // -0.691 dB offset cancels the K-weighting's gain at 1 kHz, so a channel of
  // peak A adds A^2 / 2 of energy: stereo gives 20 log10(A), mono 3.01 dB less.
  // Shorter than 400 ms, the energy is spread over 400 ms: + 10 log10(T / 0.4).
  struct Case { int channels; double seconds; double lufs; bool padded; } const cases[] = {
      {2, 2.0, -23.0, false}, {1, 2.0, -26.01, false}, {2, 0.4, -23.0, false},
      {2, 0.3, -23.0 + 10 * std::log10(0.75), true},   {1, 0.2, -26.01 - 3.01, true},
  };
  ScratchDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.channels) + " channels, " + std::to_string(c.seconds) + " s");
    SF_INFO info{0, 48000, c.channels, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 0, 0};
    SNDFILE* sf = sf_open((dir / "sine.wav").c_str(), SFM_WRITE, &info);
    const auto frames = static_cast<std::size_t>(std::lround(c.seconds * 48000));
    std::vector<float> s;
    for (std::size_t i = 0; i < frames; ++i) {
      s.insert(s.end(), static_cast<std::size_t>(c.channels), static_cast<float>(std::pow(10, -23.0 / 20) * std::sin(2 * std::numbers::pi * 1000 * static_cast<double>(i) / 48000)));
    }
    sf_writef_float(sf, s.data(), static_cast<sf_count_t>(frames));
    sf_close(sf);
    const auto r = RunTool({"info", dir / "sine.wav", "--json"});
    ASSERT_EQ(r.Status, 0) << r.Err;
    const auto j = nlohmann::json::parse(r.Out);
    EXPECT_NEAR(j["loudness_lufs"].get<double>(), c.lufs, 0.1);
    EXPECT_NEAR(j["true_peak_dbtp"].get<double>(), -23.0, 0.1);
    EXPECT_EQ(j["loudness_padded"], c.padded);
  }
}

TEST(Export, NormalizationReachesItsTargetUnderTheCeiling) {
  struct Case { std::vector<std::string> args; double lufs; double peak; const char* note; } const cases[] = {
      {{"--normalize", "lufs:-20", "--bits", "24"}, -20, NAN, ""},
      {{"--normalize", "lufs:-20", "--format", "ogg", "--rate", "48000"}, -20, NAN, ""},
      {{"--normalize", "lufs:-3", "--true-peak", "-2", "--format", "flac"}, NAN, -2, "ceiling limits the gain"},
  };
  ScratchDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[1]);
    std::vector<std::string> args{"render", "--seed", "9", "-o", dir / "out"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const auto r = RunTool(args);
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_NE(r.Err.find(c.note), std::string::npos) << r.Err;
    const auto [lufs, truePeak] = Meter(ReadFloats(dir / "out"));
    if (!std::isnan(c.lufs)) { EXPECT_NEAR(lufs, c.lufs, 0.1); }
    EXPECT_LE(truePeak, std::isnan(c.peak) ? -1 : c.peak);
    if (!std::isnan(c.peak)) { EXPECT_NEAR(truePeak, c.peak, 0.05); }
  }
  ASSERT_EQ(RunTool({"render", "--seed", "9", "--normalize", "peak:-3", "--bits", "24", "-o", dir / "p.wav"}).Status, 0);
  const FloatFile p = ReadFloats(dir / "p.wav");
  float top = 0;
  for (const float v : p.Samples) top = std::max(top, std::fabs(v));
  EXPECT_NEAR(20 * std::log10(top), -3.0, 0.001);
}

TEST(Export, MatchedSetIsWithinATenthOfItsTargetAndUnderItsCeiling) {
  ScratchDir dir;
  const auto r = RunTool({"batch", "--preset", "coin", "--seed", "3", "--count", "4", "--out-dir", dir / "set",
                          "--format", "flac", "--rate", "48000", "--match-loudness", "-20"});
  ASSERT_EQ(r.Status, 0) << r.Err;
  const auto manifest = nlohmann::json::parse(test::ReadText(dir / "set/manifest.json"));
  ASSERT_EQ(manifest["sounds"].size(), 4u);
  for (const auto& s : manifest["sounds"]) {
    SCOPED_TRACE(s["file"].get<std::string>());
    const auto [lufs, truePeak] = Meter(ReadFloats(dir / ("set/" + s["file"].get<std::string>())));
    EXPECT_NEAR(lufs, -20, 0.1);
    EXPECT_LE(truePeak, -1);
    EXPECT_NEAR(s["loudness_after_lufs"].get<double>(), lufs, 0.01);
    EXPECT_NEAR(s["true_peak_after_dbtp"].get<double>(), truePeak, 0.01);
    EXPECT_EQ(s["format"], "flac");
    EXPECT_EQ(s["rate"], 48000);
    EXPECT_EQ(s["bits"], "16");
    EXPECT_FALSE(s["gain_limited"].get<bool>());
    EXPECT_TRUE(s["loudness_before_lufs"].is_number() && s["true_peak_before_dbtp"].is_number() && s["gain_db"].is_number());
  }
}

TEST(Export, TrimKeepsTheFirstAndLastSamplesAtTheThresholdAndFadeEndsAtZero) {
  // A 0.1 s attack rises from silence. The threshold in 16-bit steps is
  // 32768 x 10^(dB/20): 32.768 at -60 dB (|s| >= 33 stays), 327.68 at -40 dB.
  const auto sound = LibrarySound(9, [](SynthParams& p, RandomSource&) { FindParam("AttackTime")->Set(p, 0.1f); });
  struct Case { std::string db; std::int16_t least; } const cases[] = {{"", 33}, {"-40", 328}};
  ScratchDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.db);
    std::vector<std::string> args{"render", "--seed", "9", "--set", "AttackTime=0.1", "-o", dir / "t.wav", "--trim"};
    if (!c.db.empty()) args.push_back(c.db);
    ASSERT_EQ(RunTool(args).Status, 0);
    const auto loud = [&](std::int16_t v) { return std::abs(v) >= c.least; };
    const auto first = std::find_if(sound.begin(), sound.end(), loud);
    const auto last = std::find_if(sound.rbegin(), sound.rend(), loud).base();
    ASSERT_GT(first - sound.begin(), 0);
    EXPECT_EQ(test::ReadSound(dir / "t.wav").Samples, std::vector<std::int16_t>(first, last));
  }
  // --fade-out 100: the last round(0.1 x 44100) = 4410 samples times 1 - (k + 1) / 4410.
  ASSERT_EQ(RunTool({"render", "--seed", "9", "--fade-out", "100", "-o", dir / "f.wav"}).Status, 0);
  const auto faded = test::ReadSound(dir / "f.wav").Samples;
  ASSERT_EQ(faded.size(), DefaultSound().size());
  const std::size_t start = faded.size() - 4410;
  EXPECT_TRUE(std::equal(faded.begin(), faded.begin() + static_cast<std::ptrdiff_t>(start), DefaultSound().begin()));
  for (const std::size_t k : {std::size_t{0}, std::size_t{2000}, std::size_t{4409}}) {
    EXPECT_NEAR(faded[start + k], DefaultSound()[start + k] * (1 - static_cast<double>(k + 1) / 4410), 0.5) << k;
  }
}

}  // namespace
}  // namespace quavix
