// quavix batch, end to end: numbered files, the manifest, and independence
// from the number of threads.
#include <gtest/gtest.h>

#include <sys/file.h>

#include <nlohmann/json.hpp>
#include <regex>

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
  EXPECT_EQ(test::LineCount(r.Err), 2) << "the summary and the clipping warning";
  EXPECT_NE(r.Err.find(" of 4 sounds have samples clipped at +-32000"), std::string::npos) << r.Err;
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

// A run that cannot finish leaves the folder exactly as an earlier run left
// it: same names, modes and contents, and one line saying so.
std::string gUnfinishedFolder;  // the folder of the running case

struct UnfinishedCase {
  const char* Title;
  std::vector<std::string> Extra;  // appended to the second run
  test::RunOptions Options;
  int Status;
  const char* Message;
  const char* Obstacle = nullptr;  // a folder put where a file of the run goes
};
void PrintTo(const UnfinishedCase& c, std::ostream* os) { *os << c.Title; }

class BatchUnfinished : public ::testing::TestWithParam<UnfinishedCase> {};

TEST_P(BatchUnfinished, LeavesTheFolderAsItWas) {
  const UnfinishedCase& c = GetParam();
  ScratchDir dir;
  const std::string out = dir / "o";
  gUnfinishedFolder = out;
  const std::vector<std::string> common{"batch", "--preset", "explosion", "--count", "200", "--out-dir", out,
                                        "--jobs", "1"};
  auto first = common;
  first.insert(first.end(), {"--seed", "1", "--buffer-length", "1"});
  ASSERT_EQ(RunTool(first).Status, 0);
  std::filesystem::permissions(out + "/explosion-007.wav", std::filesystem::perms(0640));
  if (c.Obstacle != nullptr) {
    std::filesystem::remove(out + "/" + c.Obstacle);
    std::filesystem::create_directories(out + "/" + c.Obstacle + "/inside");
  }
  const auto before = test::FolderState(out);
  // Three-second sounds keep the second run busy for a while.
  auto second = common;
  second.insert(second.end(), {"--seed", "2", "--set", "SustainTime=3"});
  second.insert(second.end(), c.Extra.begin(), c.Extra.end());
  const auto r = RunTool(second, c.Options);
  EXPECT_EQ(r.Status, c.Status) << r.Err;
  EXPECT_EQ(test::LineCount(r.Err), 1) << r.Err;
  EXPECT_NE(r.Err.find(c.Message), std::string::npos) << r.Err;
  EXPECT_NE(r.Err.find("nothing in '" + out + "' was changed"), std::string::npos) << r.Err;
  EXPECT_EQ(test::FolderState(out), before);
}

// The second run has begun writing: its hidden staging folder holds a file.
bool WritingHasBegun() {
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(gUnfinishedFolder, ec)) {
    if (e.path().filename().string().rfind(".quavix-tmp-", 0) == 0 && !std::filesystem::is_empty(e.path(), ec)) {
      return true;
    }
  }
  return false;
}

const UnfinishedCase kUnfinished[] = {
    {"SoundTargetIsAFolder", {}, {}, 1, "explosion-150.wav': Is a directory", "explosion-150.wav"},
    {"ManifestTargetIsAFolder", {}, {}, 1, "manifest.json': Is a directory", "manifest.json"},
    {"NotEnoughSpace", {}, {{"QUAVIX_TEST_FREE_BYTES=1000000"}}, 1, "not enough space"},
    {"SigInt", {}, {{}, "", SIGINT, WritingHasBegun}, 130, "interrupted by SIGINT"},
    {"SigTerm", {}, {{}, "", SIGTERM, WritingHasBegun}, 143, "interrupted by SIGTERM"},
};
INSTANTIATE_TEST_SUITE_P(Cases, BatchUnfinished, ::testing::ValuesIn(kUnfinished),
                         [](const ::testing::TestParamInfo<UnfinishedCase>& param) { return param.param.Title; });

TEST(BatchUnfinished, FolderCreatedByAFailedRunIsRemoved) {
  ScratchDir dir;
  const auto r = RunTool({"batch", "--preset", "coin", "--count", "3", "--seed", "1", "--out-dir", dir / "new"},
                         {{"QUAVIX_TEST_FREE_BYTES=10"}});
  EXPECT_EQ(r.Status, 1);
  EXPECT_FALSE(std::filesystem::exists(dir / "new"));
}

// While another batch holds the folder, a second one fails at once.
TEST(BatchLock, SecondBatchIntoALockedFolderFails) {
  ScratchDir dir;
  const int fd = open(dir.Path.c_str(), O_RDONLY | O_DIRECTORY);
  ASSERT_EQ(flock(fd, LOCK_EX), 0);
  const auto r = RunTool({"batch", "--preset", "coin", "--count", "3", "--seed", "1", "--out-dir", dir.Path});
  close(fd);
  EXPECT_EQ(r.Status, 1);
  EXPECT_EQ(test::LineCount(r.Err), 1) << r.Err;
  EXPECT_NE(r.Err.find("another quavix batch is writing into"), std::string::npos) << r.Err;
  EXPECT_TRUE(dir.Entries().empty());
}

// Every command in the manifest, run by a shell in the folder, makes its
// file again byte for byte, even for names with spaces and a saved sound.
TEST(BatchManifest, CommandsRunInAShellMakeEachFileAgain) {
  ScratchDir dir;
  ASSERT_EQ(RunTool({"render", "--seed", "5", "--preset", "laser", "--save-sfs", dir / "it's.sfs"}).Status, 0);
  // Relative names, so that the commands are run in the scratch folder.
  const std::string batch = std::string("cd '") + dir.Path + "' && '" QUAVIX_TOOL "' batch --sfs \"it's.sfs\" "
                            "--mutate 0.2 --count 3 --seed 40 --out-dir o --name 'a b' 2>batch.err";
  ASSERT_EQ(std::system(batch.c_str()), 0);
  const auto manifest = nlohmann::json::parse(test::ReadText(dir / "o/manifest.json"));
  ASSERT_EQ(manifest["sounds"].size(), 3u);
  for (const auto& sound : manifest["sounds"]) {
    std::string command = sound["command"].get<std::string>();
    command.replace(0, std::string("quavix").size(), "'" QUAVIX_TOOL "'");
    const std::string file = sound["file"].get<std::string>();
    const std::string again = std::string("cd '") + dir.Path + "' && " +
                              std::regex_replace(command, std::regex(" -o .*$"), " -o again.wav");
    ASSERT_EQ(std::system(again.c_str()), 0) << command;
    EXPECT_EQ(ReadBytes(dir / "again.wav"), ReadBytes(dir / ("o/" + file))) << command;
    // The settings file bytes are the exact parameters the file was made from.
    std::vector<std::uint8_t> sfs;
    const std::string hex = sound["sfs"].get<std::string>();
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) sfs.push_back(static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    test::WriteBytes(dir / "exact.sfs", sfs);
    ASSERT_EQ(RunTool({"render", "--seed", std::to_string(sound["seed"].get<std::uint32_t>()), "--sfs",
                       dir / "exact.sfs", "-o", dir / "exact.wav"})
                  .Status,
              0);
    EXPECT_EQ(ReadBytes(dir / "exact.wav"), ReadBytes(dir / ("o/" + file)));
  }
}

// Randomize makes wave type 4 (no wave) about one time in five: those sounds
// are left out and counted; every other sound keeps its number and seed.
TEST(BatchSilence, SkipSilentWritesOnlySoundsThatAreHeard) {
  ScratchDir dir;
  const auto r = RunTool({"batch", "--randomize", "--count", "40", "--seed", "7", "--out-dir", dir.Path,
                          "--skip-silent"});
  ASSERT_EQ(r.Status, 0) << r.Err;
  int silent = 0;
  for (int i = 0; i < 40; ++i) {
    const auto samples = LibrarySound(7 + i, [](SynthParams& p, RandomSource& rs) { Randomize(p, rs); });
    const bool heard = std::any_of(samples.begin(), samples.end(), [](std::int16_t v) { return v != 0; });
    char name[32];
    std::snprintf(name, sizeof name, "random-%02d.wav", i);
    EXPECT_EQ(std::filesystem::exists(dir / name), heard) << name;
    if (heard) {
      EXPECT_EQ(ReadSound(dir / name).Samples, samples) << name;
    }
    silent += heard ? 0 : 1;
  }
  EXPECT_GT(silent, 0);
  const auto manifest = nlohmann::json::parse(test::ReadText(dir / "manifest.json"));
  EXPECT_EQ(manifest["skipped_silent"], silent);
  EXPECT_EQ(manifest["sounds"].size(), static_cast<std::size_t>(40 - silent));
  EXPECT_NE(r.Err.find("skipped " + std::to_string(silent) + " silent"), std::string::npos) << r.Err;
  // Without the flag the silent sounds are written, flagged and warned about.
  const auto all = RunTool({"batch", "--randomize", "--count", "40", "--seed", "7", "--out-dir", dir / "all"});
  ASSERT_EQ(all.Status, 0);
  EXPECT_NE(all.Err.find("warning: " + std::to_string(silent) + " of 40 sounds are silent"), std::string::npos)
      << all.Err;
  const auto flagged = nlohmann::json::parse(test::ReadText(dir / "all/manifest.json"));
  EXPECT_EQ(std::count_if(flagged["sounds"].begin(), flagged["sounds"].end(),
                          [](const auto& s) { return s["silent"].template get<bool>(); }),
            silent);
}

}  // namespace
}  // namespace quavix
