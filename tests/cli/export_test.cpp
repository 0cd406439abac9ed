// The export options end to end: files read back by libsndfile, measured by libebur128.
#include <ebur128.h>

#include "cli_test_util.h"
#include "exchange/param_table.h"

namespace quavix::test {
namespace {

namespace fs = std::filesystem;

// Integrated loudness and true peak (dB) of a mono file by libebur128; a sound shorter than one
// 400 ms block is followed by silence up to the block, the tool's rule.
std::pair<double, double> Meter(const std::string& path) {
  SoundFile f = ReadSound(path);
  const auto rate = static_cast<unsigned long>(f.SampleRate);
  ebur128_state* st = ebur128_init(1, rate, EBUR128_MODE_I | EBUR128_MODE_TRUE_PEAK);
  f.Samples.resize(std::max(f.Samples.size(), 4 * ((rate + 5) / 10)), 0);
  ebur128_add_frames_short(st, f.Samples.data(), f.Samples.size());
  double lufs = 0, peak = 0;
  ebur128_loudness_global(st, &lufs);
  ebur128_true_peak(st, 0, &peak);
  ebur128_destroy(&st);
  return {lufs, 20 * std::log10(peak)};
}

// The default parameters with seed 9 make 25003 samples (0.567 s).
const std::vector<std::int16_t>& DefaultSound() {
  static const auto sound = LibrarySound(9, [](SynthParams&, RandomSource&) {});
  return sound;
}

ToolResult Render(const std::string& options, const std::string& out) {
  return RunTool("render --seed 9 -o " + out + " " + options);
}

// Frames: round(25003 x rate / 44100), half up. Integers are the samples s / 32768 rounded half
// away from zero: 16 and 24 bits keep s, 8 bits (WAV's unsigned, read back as (u - 128) x 256)
// keep round(s / 256) x 256. Without --format the output's extension, in any case, names it.
TEST(Export, EachFileHoldsItsFormatRateBitsAndFrames) {
  struct Case {
    const char *Name, *Options;
    int Format, Rate;  // Format 0: raw, the module's image without its header
    std::int64_t Frames;
    int Step;  // 0: resampled or lossy, not compared
  } const cases[] = {
      {"out", "--format wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 25003, 1},
      {"out", "--format flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 44100, 25003, 1},
      {"out", "--format flac --bits 24", SF_FORMAT_FLAC | SF_FORMAT_PCM_24, 44100, 25003, 1},
      {"out", "--format wav --bits 8", SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 44100, 25003, 256},
      {"out", "--bits 24 --rate 48000", SF_FORMAT_WAV | SF_FORMAT_PCM_24, 48000, 27214, 0},
      {"out", "--bits 8 --rate 22050", SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 22050, 12502, 0},
      {"out", "--bits 32f --rate 96000", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 96000, 54428, 0},
      {"out", "--format ogg --rate 48000", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 48000, 27214, 0},
      {"out", "--format raw", 0, 0, 0, 0},
      {"a.raw", "", 0, 0, 0, 0},
      {"a.ogg", "", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 44100, 25003, 0},
      {"a.OGA", "", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 44100, 25003, 0},
      {"a.ogg", "--format ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 44100, 25003, 0},
      {"a.Flac", "", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 44100, 25003, 1},
      {"a.flac", "--bits 24", SF_FORMAT_FLAC | SF_FORMAT_PCM_24, 44100, 25003, 1},
      {"a.wav", "--bits 24", SF_FORMAT_WAV | SF_FORMAT_PCM_24, 44100, 25003, 1},
  };
  ScratchDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.Name) + " " + c.Options);
    ASSERT_EQ(Render(c.Options, dir / c.Name).Status, 0);
    if (c.Format == 0) {
      EXPECT_EQ(ReadText(dir / c.Name), ModuleImage(DefaultSound()).substr(44));
      continue;
    }
    const SoundFile f = ReadSound(dir / c.Name);
    EXPECT_TRUE(f.Format == c.Format && f.SampleRate == c.Rate && f.Channels == 1);
    EXPECT_EQ(std::ssize(f.Samples), c.Frames);
    if (c.Step == 0) continue;
    std::vector<std::int16_t> expected = DefaultSound();
    for (auto& s : expected) s = static_cast<std::int16_t>(std::round(s / double(c.Step)) * c.Step);
    EXPECT_EQ(f.Samples, expected);
  }
  // Info on a stereo file of the sound twice: two channels of its energy, 3.01 dB more.
  std::vector<std::int16_t> two;
  for (const std::int16_t v : DefaultSound()) two.insert(two.end(), {v, v});
  SF_INFO info{0, 44100, 2, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 0, 0};
  SNDFILE* sf = sf_open((dir / "two.wav").c_str(), SFM_WRITE, &info);
  sf_write_short(sf, two.data(), sf_count_t(two.size()));
  sf_close(sf);
  const auto j = nlohmann::json::parse(RunTool("info --json " + dir / "two.wav").Out);
  EXPECT_NEAR(j["loudness_lufs"].get<double>(), Meter(dir / "a.wav").first + 3.01, 0.02);
}

// A name of another format than --format's, or of one the tool does not write, is refused
// before anything is written.
const RunCase kExportCases[] = {
    {"render -o @/a --format ogg --bits 16", 2, "Ogg Vorbis has no sample format"},
    {"render -o @/a --format flac --bits 32f", 2, "FLAC holds integer samples of 8, 16 or 24 bits"},
    {"render -o @/a --bits 12", 2, "is not one of 8, 16, 24, 32f"},
    {"render -o @/a --format mp3", 2, "is not one of wav, flac, ogg, raw"},
    {"render -o @/a --rate 7999", 2, "--rate"},
    {"render --seed 1 -o @/a --rate 8000", 0, "", "", "a"},
    {"render --seed 1 -o @/a --rate 192000", 0, "", "", "a"},
    {"render -o @/a --rate 192001", 2, "--rate"},
    {"render -o @/a --normalize loud:-3", 2, "is neither peak:DBFS nor lufs:LUFS"},
    {"render -o @/a --normalize peak:0.5", 2, "outside -100 to 0 dBFS"},
    {"render -o @/a --normalize peak:-1 --true-peak -2", 2, "--true-peak is the ceiling of a"},
    {"render -o @/a --trim 0", 2, "--trim"},
    {"render -o @/a --fade-out -5", 2, "--fade-out"},
    {"batch --csv 1 --count 1 --out-dir @/b --normalize lufs:-1 --match-loudness -1", 2, "both"},
    {"render -o @/a.ogg --format wav", 2, "-o '@/a.ogg' names a .ogg file but --format is wav"},
    {"render -o @/a.wav --format flac", 2, "names a .wav file but --format is flac"},
    {"render -o @/a.flac --bits 32f", 2, "FLAC holds integer samples"},
    {"render -o @/a.ogg --bits 16", 2, "Ogg Vorbis has no sample format"},
    {"render -o @/a.mp3", 2,
     "-o '@/a.mp3': quavix writes WAV, FLAC, Ogg Vorbis and raw files, not .mp3"},
    {"render -o @/a.aiff --format wav", 2, "not .aiff"},
    {"render -o @/a.sfs", 2, "a .sfs name is a settings file's"},
    {"render --save-sfs @/s.wav", 2,
     "'@/s.wav' would write a settings file under a wav file's name"},
};
INSTANTIATE_TEST_SUITE_P(Export, ToolRuns, ::testing::ValuesIn(kExportCases));

// A loudness target is reached unless the true-peak ceiling (default -1 dBTP) holds the gain
// back, and info reads the file as the meter does; a peak target puts the largest sample there.
TEST(Export, NormalizationReachesItsTargetUnderTheCeiling) {
  struct Case {
    const char* Options;
    double Lufs, Peak;
    const char* Note;
  } const cases[] = {
      {"--normalize lufs:-20 --bits 24", -20, NAN, ""},
      {"--normalize lufs:-20 --set DecayTime=0.1", -20, NAN, ""},  // 0.3 s: padded to 0.4 s
      {"--normalize lufs:-20 --format ogg --rate 48000", -20, NAN, ""},
      {"--normalize lufs:-3 --format flac", NAN, -1, "the -1.00 dBTP ceiling limits the gain"},
      {"--normalize lufs:-3 --true-peak -2 --format flac", NAN, -2, "-2.00 dBTP ceiling"},
  };
  ScratchDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Options);
    const auto r = Render(c.Options, dir / "out");
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_TRUE(Has(r.Err, c.Note)) << r.Err;
    const auto [lufs, truePeak] = Meter(dir / "out");
    EXPECT_TRUE(std::isnan(c.Lufs) || std::fabs(lufs - c.Lufs) <= 0.1) << lufs;
    EXPECT_LE(truePeak, std::isnan(c.Peak) ? -1 : c.Peak);
    EXPECT_TRUE(std::isnan(c.Peak) || std::fabs(truePeak - c.Peak) <= 0.05) << truePeak;
    const auto info = nlohmann::json::parse(RunTool("info --json " + dir / "out").Out);
    EXPECT_NEAR(info["loudness_lufs"].get<double>(), lufs, 0.02);
    EXPECT_NEAR(info["true_peak_dbtp"].get<double>(), truePeak, 0.1);
    EXPECT_EQ(info["loudness_padded"], Has(c.Options, "DecayTime"));
  }
  // At -3 dBFS the largest sample is 32768 x 10^(-3/20) = 23197.9, rounded.
  ASSERT_EQ(Render("--normalize peak:-3", dir / "p.wav").Status, 0);
  auto s = ReadSound(dir / "p.wav").Samples;
  EXPECT_EQ(std::max(-std::ranges::min(s), int{std::ranges::max(s)}), 23198);
  // The blip's largest sample is positive: at peak 0 it is 32768, clamped to 32767.
  const auto blip = LibrarySound(9, [](SynthParams& q, RandomSource& r) { LoadPreset(q, 6, r); });
  const auto max = std::ranges::max(blip), n = std::int16_t(std::ranges::count(blip, max));
  ASSERT_GT(max, -std::ranges::min(blip));
  const auto r = Render("--preset blip --normalize peak:0", dir / "p.wav");
  EXPECT_TRUE(Has(r.Err, std::to_string(n) + " samples were clipped")) << r.Err;
  s = ReadSound(dir / "p.wav").Samples;
  EXPECT_TRUE(std::ranges::max(s) == 32767 && std::ranges::count(s, 32767) == n);
}

// A 0.1 s attack rises from silence. The threshold in 16-bit steps is 32768 x 10^(dB/20):
// 32.768 at -60 dB (|s| >= 33 stays), 327.68 at -40 dB.
TEST(Export, TrimKeepsTheSamplesFromFirstToLastAtTheThreshold) {
  const auto sound =
      LibrarySound(9, [](SynthParams& p, RandomSource&) { FindParam("AttackTime")->Set(p, 0.1f); });
  ScratchDir dir;
  for (const auto& [db, least] : {std::pair{"", 33}, {"-40", 328}}) {
    SCOPED_TRACE(db);
    ASSERT_EQ(Render(std::string("--set AttackTime=0.1 --trim ") + db, dir / "t.wav").Status, 0);
    const auto loud = [&](std::int16_t v) { return std::abs(v) >= least; };
    const auto first = std::find_if(sound.begin(), sound.end(), loud);
    const auto last = std::find_if(sound.rbegin(), sound.rend(), loud).base();
    ASSERT_TRUE(first != sound.begin() && last != sound.end());
    EXPECT_EQ(ReadSound(dir / "t.wav").Samples, std::vector<std::int16_t>(first, last));
  }
}

// --fade-out 100: the last round(0.1 x 44100) = 4410 samples s times 1 - (k + 1) / 4410 as a
// float of full scale 1, rounded back half away from zero; the last one is 0.
TEST(Export, FadeOutEndsTheSoundAtZero) {
  ScratchDir dir;
  ASSERT_EQ(Render("--fade-out 100", dir / "f.wav").Status, 0);
  std::vector<std::int16_t> expected = DefaultSound();
  const std::size_t start = expected.size() - 4410;
  for (std::size_t k = 0; k < 4410; ++k) {
    const auto x = static_cast<float>(expected[start + k] / 32768.0 * (1 - (k + 1) / 4410.0));
    expected[start + k] = static_cast<std::int16_t>(std::round(double(x) * 32768));
  }
  EXPECT_EQ(expected.back(), 0);
  EXPECT_EQ(ReadSound(dir / "f.wav").Samples, expected);
  // At 48000 Hz the fade takes round(0.1 x 48000) = 4800 frames of the resampled sound (in floats).
  const auto floats = [&](const std::string& options) {
    EXPECT_EQ(Render("--rate 48000 --bits 32f " + options, dir / "r.wav").Status, 0);
    SF_INFO info{};
    SNDFILE* sf = sf_open((dir / "r.wav").c_str(), SFM_READ, &info);
    std::vector<float> x(static_cast<std::size_t>(sf ? info.frames : 0));
    if (sf != nullptr) sf_readf_float(sf, x.data(), info.frames), sf_close(sf);
    return x;
  };
  std::vector<float> faded = floats("");
  ASSERT_EQ(faded.size(), 27214u);  // round(25003 x 48000 / 44100)
  const std::size_t from = faded.size() - 4800;
  for (std::size_t k = 0; k < 4800; ++k) faded[from + k] = static_cast<float>(faded[from + k] * (1 - (k + 1) / 4800.0));
  EXPECT_TRUE(floats("--fade-out 100") == faded);
}

// A matched set is within a tenth of its target and under the -1 dBTP ceiling, measured here as
// its manifest says; a set that some sounds cannot reach is told a target that all of them reach.
TEST(Export, MatchedSetsReachTheTargetTheyAreToldToAskFor) {
  for (const std::string format : {"ogg", "flac", "wav"}) {
    SCOPED_TRACE(format);
    ScratchDir dir;
    const std::string batch =
        "batch --preset explosion --seed 11 --count 16 --rate 48000 " +
        ("--format " + format + " --out-dir " + dir / "set --match-loudness ");
    const auto loud = RunTool(batch + "-5");
    ASSERT_EQ(loud.Status, 0) << loud.Err;
    const std::size_t at = loud.Err.find("--match-loudness ");
    ASSERT_NE(at, std::string::npos) << loud.Err;  // explosions peak high: some are held back
    const std::string suggested = loud.Err.substr(at + 17, loud.Err.find(' ', at + 17) - at - 17);
    const auto again = RunTool(batch + suggested);
    ASSERT_EQ(again.Status, 0) << again.Err;
    EXPECT_FALSE(Has(again.Err, "stay below")) << again.Err;
    const auto manifest = nlohmann::json::parse(ReadText(dir / "set/manifest.json"));
    ASSERT_EQ(manifest["sounds"].size(), 16u);
    for (const auto& s : manifest["sounds"]) {
      const auto [lufs, truePeak] = Meter(dir / ("set/" + s["file"].get<std::string>()));
      EXPECT_TRUE(std::abs(lufs - std::stod(suggested)) <= 0.1 && truePeak <= -1) << lufs << s;
      EXPECT_NEAR(s["loudness_after_lufs"].get<double>(), lufs, 0.01);
      EXPECT_NEAR(s["true_peak_after_dbtp"].get<double>(), truePeak, 0.01);
      EXPECT_TRUE(s["format"] == format && s["rate"] == 48000 && !s["gain_limited"].get<bool>() &&
                  s["bits"] == (format == "ogg" ? nlohmann::json() : "16"))
          << s;
    }
  }
}

// A click of seed 9 (the defaults but attack 0, sustain 0, decay 0.0001 s) is the samples 0, p,
// ..., 0, 0 with p its peak. Its file is silent when it holds no sample but 0: trimmed at a
// threshold above p (32768 x 10^(-26/20) = 1642 > 1599) it holds none; at -27 dB (1463) only p,
// which a fade of 1 ms (44 frames, all of them) takes to 0 and --rate 8000 to round(8000 / 44100) =
// 0 frames; 8 bits keep round(p / 256), 0 for p = 127 (volume 0.04), 1 for p = 128 (volume 0.0401).
TEST(Export, FilesThatHoldOnlyZerosAreSilent) {
  struct Case {
    const char* Options;
    float Volume;
    int Peak;
    bool Silent;
  } const cases[] = {
      {"--trim -27", 0.5f, 1599, false},
      {"--trim -26", 0.5f, 1599, true},
      {"--trim -26 --format ogg", 0.5f, 1599, true},
      {"--trim -27 --fade-out 1", 0.5f, 1599, true},
      {"--trim -27 --rate 8000", 0.5f, 1599, true},
      {"--bits 8", 0.04f, 127, true},
      {"--bits 8", 0.0401f, 128, false},
      {"--bits 16", 0.04f, 127, false},
  };
  ScratchDir dir;
  for (const Case& c : cases) {
    std::string recipe =
        "--seed 9 --csv 1,,,,,,0.3,,,,,,,,,,,,,1,,,, --set DecayTime=0.0001 --set Volume=";
    recipe += std::to_string(c.Volume) + " " + c.Options;
    SCOPED_TRACE(recipe);
    const auto sound = LibrarySound(9, [&](SynthParams& p, RandomSource&) {
      for (const char* name : {"AttackTime", "SustainTime"}) FindParam(name)->Set(p, 0);
      FindParam("DecayTime")->Set(p, 0.0001f);
      FindParam("Volume")->Set(p, c.Volume);
    });
    ASSERT_EQ(Peak(sound), c.Peak);
    const auto r = RunTool("render -o " + dir / "f " + recipe);
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(Has(r.Err, "the sound is silent: the exported file holds no sample other than 0"),
              c.Silent)
        << r.Err;
    EXPECT_EQ(std::ranges::all_of(ReadSound(dir / "f").Samples, [](int v) { return v == 0; }),
              c.Silent);
    for (const std::string skip : {"", " --skip-silent"}) {
      const std::string folder = dir / (skip.empty() ? "b" : "bs");
      const auto b = RunTool("batch --count 1 --out-dir " + folder + " " + recipe + skip);
      ASSERT_EQ(b.Status, 0) << b.Err;
      const auto m = nlohmann::json::parse(ReadText(folder + "/manifest.json"));
      const bool skipped = !skip.empty() && c.Silent;
      EXPECT_TRUE(m["skipped_silent"] == (skipped ? 1 : 0) &&
                  m["sounds"].size() == (skipped ? 0u : 1u))
          << m;
      EXPECT_TRUE(skipped || m["sounds"][0]["silent"] == c.Silent) << m;
      EXPECT_EQ(fs::exists(folder + (Has(c.Options, "ogg") ? "/sound-0.ogg" : "/sound-0.wav")),
                !skipped);
    }
  }
}

// A slow square under a low-pass of 0.02 is a soft 0.3 s swell whose loudness lies 44 dB below
// its true peak: under a ceiling of -26 dBTP every 400 ms block of it falls under the meter's
// -70 LUFS gate ("loudness_after_lufs" null), so no target of --match-loudness's range (-70 to 0)
// is reached; under -25 dBTP a target inside the range is, and a rerun at it is not held back.
TEST(Export, HeldBackSetsAreToldATargetInsideTheRangeOrNone) {
  struct Case {
    const char* Options;
    bool Reachable;
  } const cases[] = {
      {"--true-peak -26 --format wav", false},
      {"--true-peak -25 --format wav", true},
      {"--true-peak -26 --format ogg", false},
      {"--true-peak -25 --format ogg", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Options);
    ScratchDir dir;
    const std::string batch =
        "batch --csv 10,,0.21,0.21,,0.21,0.001,,,,,,,,,,,,,0.02,,,, --seed 1 --count 2 " +
        ("--out-dir " + dir / "b ") + c.Options + " --match-loudness ";
    const auto r = RunTool(batch + "-20");
    ASSERT_EQ(r.Status, 0) << r.Err;
    const auto m = nlohmann::json::parse(ReadText(dir / "b/manifest.json"));
    for (const auto& s : m["sounds"])
      EXPECT_TRUE(s["gain_limited"] && s["loudness_after_lufs"].is_null() != c.Reachable) << s;
    EXPECT_EQ(LineCount(r.Err), 2) << r.Err;
    EXPECT_TRUE(Has(r.Err, "2 of 2 sounds stay below -20.00 LUFS")) << r.Err;
    EXPECT_EQ(Has(r.Err,
                  "no --match-loudness target from -70.00 to 0.00 LUFS brings every sound to one "
                  "loudness"),
              !c.Reachable)
        << r.Err;
    const std::size_t at = r.Err.find("; --match-loudness ");
    ASSERT_EQ(at != std::string::npos, c.Reachable) << r.Err;
    if (!c.Reachable) continue;
    const std::string suggested = r.Err.substr(at + 19, r.Err.find(' ', at + 19) - at - 19);
    const double target = std::stod(suggested);
    EXPECT_TRUE(std::isfinite(target) && target >= -70 && target <= 0) << suggested;
    const auto again = RunTool(batch + suggested);
    EXPECT_TRUE(again.Status == 0 && !Has(again.Err, "stay below")) << again.Err;
  }
}

}  // namespace
}  // namespace quavix::test
