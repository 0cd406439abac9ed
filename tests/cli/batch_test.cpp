// quavix batch, end to end: numbered files, the manifest, and independence
// from the number of threads.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "cli_test_util.h"
#include "design/presets.h"
#include "exchange/settings_string.h"

namespace quavix {
namespace {

using test::LibrarySound;
using test::ReadBytes;
using test::ReadSound;
using test::RunTool;
using test::ScratchDir;

TEST(Batch, FilesAreNumberedAndMatchTheLibrary) {
  ScratchDir dir;
  const auto r = RunTool({"batch", "--preset", "powerup", "--count", "12", "--seed", "500", "--out-dir",
                          dir / "out", "--jobs", "2"});
  ASSERT_EQ(r.Status, 0) << r.Err;
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir / "out")) names.push_back(e.path().filename());
  std::sort(names.begin(), names.end());
  ASSERT_EQ(names.size(), 13u);
  EXPECT_EQ(names.front(), "manifest.json");
  EXPECT_EQ(names[1], "powerup-00.wav");
  EXPECT_EQ(names.back(), "powerup-11.wav");
  for (int i = 0; i < 12; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "powerup-%02d.wav", i);
    const auto expected = LibrarySound(500 + i, [](SynthParams& p, RandomSource& rs) {
      LoadPreset(p, kPresetPowerup, rs);
    });
    const auto file = ReadSound(dir / ("out/" + std::string(name)));
    ASSERT_TRUE(file.Opened) << name;
    EXPECT_EQ(file.Channels, 1);
    EXPECT_EQ(file.SampleRate, 44100);
    EXPECT_EQ(file.Format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    EXPECT_EQ(file.Samples, expected) << name;
  }
}

TEST(Batch, OneJobAndTwoJobsWriteIdenticalFiles) {
  ScratchDir dir;
  const std::vector<std::string> common{"batch", "--randomize", "--mutate", "0.1", "--set", "Volume=0.8",
                                        "--count", "9", "--seed", "77"};
  auto one = common;
  one.insert(one.end(), {"--out-dir", dir / "one", "--jobs", "1"});
  auto two = common;
  two.insert(two.end(), {"--out-dir", dir / "two", "--jobs", "2"});
  ASSERT_EQ(RunTool(one).Status, 0);
  ASSERT_EQ(RunTool(two).Status, 0);
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir / "one")) names.push_back(e.path().filename());
  ASSERT_EQ(names.size(), 10u);
  for (const std::string& name : names) {
    EXPECT_EQ(ReadBytes(dir / ("one/" + name)), ReadBytes(dir / ("two/" + name))) << name;
  }
}

TEST(Batch, SoundIIsRenderWithSeedSPlusI) {
  ScratchDir dir;
  ASSERT_EQ(RunTool({"batch", "--preset", "hurt", "--set", "Volume=0.5", "--mutate", "0.05", "--count", "3",
                     "--seed", "1000", "--out-dir", dir.Path, "--name", "h"})
                .Status,
            0);
  ASSERT_EQ(RunTool({"render", "--seed", "1002", "--preset", "hurt", "--set", "Volume=0.5", "--mutate", "0.05",
                     "-o", dir / "r.wav"})
                .Status,
            0);
  EXPECT_EQ(ReadBytes(dir / "h-2.wav"), ReadBytes(dir / "r.wav"));
}

TEST(Batch, SeedsWrapAtThirtyTwoBits) {
  ScratchDir dir;
  ASSERT_EQ(RunTool({"batch", "--preset", "coin", "--count", "2", "--seed", "4294967295", "--out-dir", dir.Path})
                .Status,
            0);
  ASSERT_EQ(RunTool({"render", "--seed", "0", "--preset", "coin", "-o", dir / "r.wav"}).Status, 0);
  EXPECT_EQ(ReadBytes(dir / "coin-1.wav"), ReadBytes(dir / "r.wav"));
  const auto manifest = nlohmann::json::parse(test::ReadText(dir / "manifest.json"));
  EXPECT_EQ(manifest["sounds"][0]["seed"], 4294967295u);
  EXPECT_EQ(manifest["sounds"][1]["seed"], 0u);
}

TEST(Batch, ManifestDescribesEverySound) {
  ScratchDir dir;
  const auto r = RunTool({"batch", "--preset", "explosion", "--set", "Volume=3", "--count", "4", "--seed", "90",
                          "--out-dir", dir.Path});
  ASSERT_EQ(r.Status, 0) << r.Err;
  const auto manifest = nlohmann::json::parse(test::ReadText(dir / "manifest.json"));
  ASSERT_EQ(manifest["sounds"].size(), 4u);
  EXPECT_EQ(manifest["seed"], 90);
  EXPECT_EQ(manifest["preset"], "explosion");
  EXPECT_EQ(manifest["buffer_length"], 5);
  std::int64_t clippedTotal = 0;
  for (std::size_t i = 0; i < 4; ++i) {
    const auto& s = manifest["sounds"][i];
    EXPECT_EQ(s["file"], "explosion-" + std::to_string(i) + ".wav");
    EXPECT_EQ(s["seed"], 90 + i);
    // Levels counted independently from the file as libsndfile reads it.
    const auto file = ReadSound(dir / s["file"].get<std::string>());
    std::int32_t peak = 0;
    std::int64_t clipped = 0;
    for (const std::int16_t v : file.Samples) {
      peak = std::max(peak, std::abs(static_cast<std::int32_t>(v)));
      if (v >= 32000 || v <= -32000) ++clipped;
    }
    EXPECT_EQ(s["samples"], file.Frames);
    EXPECT_EQ(s["peak"], peak);
    EXPECT_EQ(s["clipped"], clipped);
    clippedTotal += clipped;
    // The settings string is the one of the parameters the library makes.
    RandomSource rs;
    Synthesizer synth(rs);
    SeedRandom(rs, static_cast<std::uint32_t>(90 + i));
    LoadPreset(synth.Params, kPresetExplosion, rs);
    synth.Params.Volume = 3.0f;
    EXPECT_EQ(s["settings"], ExportSettingsString(synth.Params));
    EXPECT_EQ(s["command"], "quavix render --seed " + std::to_string(90 + i) +
                                " --preset explosion --set Volume=3 -o explosion-" + std::to_string(i) + ".wav");
  }
  // Volume 3 drives explosions into the clamp.
  EXPECT_GT(clippedTotal, 0);
  EXPECT_NE(r.Err.find("wrote 4 sounds"), std::string::npos) << r.Err;
  EXPECT_EQ(r.Err.find('\r'), std::string::npos) << "no progress bar when stderr is not a terminal";
  EXPECT_EQ(test::LineCount(r.Err), 1);
}

TEST(Batch, ZeroPaddingFollowsTheCount) {
  ScratchDir dir;
  ASSERT_EQ(RunTool({"batch", "--preset", "blip", "--count", "101", "--seed", "1", "--out-dir", dir.Path,
                     "--buffer-length", "1"})
                .Status,
            0);
  EXPECT_TRUE(std::filesystem::exists(dir / "blip-000.wav"));
  EXPECT_TRUE(std::filesystem::exists(dir / "blip-100.wav"));
  // Sorted by name, the files come in the order of their numbers.
  const auto entries = dir.Entries();
  ASSERT_EQ(entries.size(), 102u);
  for (int i = 0; i <= 100; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "blip-%03d.wav", i);
    EXPECT_EQ(entries[static_cast<std::size_t>(i)], name);
  }
  EXPECT_EQ(entries.back(), "manifest.json");
}

TEST(Batch, RandomizeIsNamedRandom) {
  ScratchDir dir;
  ASSERT_EQ(RunTool({"batch", "--randomize", "--count", "1", "--seed", "3", "--out-dir", dir.Path}).Status, 0);
  EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"manifest.json", "random-0.wav"}));
  const auto expected = LibrarySound(3, [](SynthParams& p, RandomSource& rs) { Randomize(p, rs); });
  EXPECT_EQ(ReadSound(dir / "random-0.wav").Samples, expected);
}

}  // namespace
}  // namespace quavix
