// quavix batch, end to end: numbered files, the manifest, independence from
// the number of threads, and a folder left as it was by a run that fails.
#include <gtest/gtest.h>
#include <sys/file.h>

#include <csignal>
#include <nlohmann/json.hpp>
#include <regex>
#include <thread>

#include "cli_test_util.h"
#include "design/presets.h"
#include "exchange/settings_string.h"

namespace quavix {
namespace {

using test::ReadBytes;
using test::RunTool;
using test::ScratchDir;
using Json = nlohmann::json;
namespace fs = std::filesystem;

// Sound i is the module's sound of seed S + i; the manifest describes each,
// with levels counted here from the file as libsndfile reads it.
TEST(Batch, NumberedFilesAndTheirManifest) {
  ScratchDir dir;
  const auto r = RunTool({"batch", "--preset", "explosion", "--set", "Volume=3", "--count", "12",
                          "--seed", "90", "--out-dir", dir / "o", "--jobs", "2"});
  ASSERT_EQ(r.Status, 0) << r.Err;
  const auto manifest = Json::parse(test::ReadText(dir / "o/manifest.json"));
  EXPECT_TRUE(manifest["seed"] == 90 && manifest["preset"] == "explosion" &&
              manifest["buffer_length"] == 5);
  ASSERT_EQ(manifest["sounds"].size(), 12u);
  std::int64_t clippedSounds = 0;
  for (std::uint32_t i = 0; i < 12; ++i) {
    const auto& s = manifest["sounds"][i];
    const std::string name = (i < 10 ? "explosion-0" : "explosion-") + std::to_string(i) + ".wav";
    EXPECT_TRUE(s["file"] == name && s["seed"] == 90 + i) << s;
    const auto file = test::ReadSound(dir / ("o/" + name));
    SynthParams params;
    EXPECT_EQ(file.Samples, test::LibrarySound(std::int32_t(90 + i),
                                               [&](SynthParams& p, RandomSource& rs) {
                                                 LoadPreset(p, kPresetExplosion, rs);
                                                 p.Volume = 3;
                                                 params = p;
                                               }))
        << name;
    std::int32_t peak = 0;
    std::int64_t clipped = 0;
    for (const std::int16_t v : file.Samples) {
      peak = std::max(peak, std::abs(std::int32_t{v}));
      clipped += std::abs(v) >= 32000;
    }
    EXPECT_TRUE(s["samples"] == file.Frames && s["peak"] == peak && s["clipped"] == clipped) << s;
    clippedSounds += clipped > 0;
    EXPECT_EQ(s["settings"], ExportSettingsString(params));
    EXPECT_EQ(s["command"], "quavix render --seed " + std::to_string(90 + i) +
                                " --preset explosion --set Volume=3 -o " + name);
  }
  EXPECT_GT(clippedSounds, 0);  // volume 3 drives explosions into the clamp
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"o"});
  EXPECT_EQ(r.Err.find('\r'), std::string::npos) << "no progress bar when stderr is not a terminal";
  EXPECT_EQ(test::LineCount(r.Err), 2) << r.Err;
  EXPECT_NE(r.Err.find("wrote 12 sounds"), std::string::npos) << r.Err;
  EXPECT_NE(r.Err.find(" of 12 sounds have samples clipped at +-32000"), std::string::npos)
      << r.Err;
}

// Sound i equals render with seed S + i (wrapping at 32 bits), for one or two
// jobs; the numbers are padded to the width of count - 1. A run over an earlier
// one keeps each replaced file's mode.
TEST(Batch, SoundsAreRendersOfConsecutiveSeeds) {
  ScratchDir dir;
  const auto batch = [&](const std::string& count, const char* jobs) {
    return RunTool({"batch", "--preset", "hurt", "--set", "Volume=0.5", "--mutate", "0.05",
                    "--count", count, "--seed", "4294967290", "--out-dir", dir / ("o" + count),
                    "--name", "h", "--jobs", jobs, "--buffer-length", "1"});
  };
  struct Case {
    const char *Count, *Jobs, *First, *Last;
  };
  for (const Case& c : {Case{"10", "1", "h-0.wav", "h-9.wav"},
                        {"11", "2", "h-00.wav", "h-10.wav"},
                        {"101", "2", "h-000.wav", "h-100.wav"}}) {
    const std::string out = dir / (std::string("o") + c.Count);
    ASSERT_EQ(batch(c.Count, c.Jobs).Status, 0);
    EXPECT_EQ(std::distance(fs::directory_iterator(out), {}), std::atoi(c.Count) + 1);
    EXPECT_TRUE(fs::exists(out + "/" + c.First) && fs::exists(out + "/" + c.Last)) << c.Count;
  }
  ASSERT_EQ(RunTool({"render", "--seed", "4", "--preset", "hurt", "--set", "Volume=0.5", "--mutate",
                     "0.05", "--buffer-length", "1", "-o", dir / "r.wav"})
                .Status,
            0);
  EXPECT_EQ(ReadBytes(dir / "o11/h-10.wav"), ReadBytes(dir / "r.wav"));  // 4294967290 + 10 is 4
  EXPECT_EQ(ReadBytes(dir / "o101/h-010.wav"), ReadBytes(dir / "r.wav"));
  EXPECT_EQ(ReadBytes(dir / "o10/h-6.wav"), ReadBytes(dir / "o11/h-06.wav"));
  fs::permissions(dir / "o11/h-06.wav", fs::perms(0640));
  ASSERT_EQ(batch("11", "1").Status, 0);
  EXPECT_EQ(fs::status(dir / "o11/h-06.wav").permissions(), fs::perms(0640));
  EXPECT_EQ(ReadBytes(dir / "o10/h-6.wav"), ReadBytes(dir / "o11/h-06.wav"));
}

// The --jobs limit is four per core; free space is checked before anything is
// written: the default sound's 25003 samples (at most 3 + 1 + 9001 + 16001
// from its envelope) need more than their 50006 + 44 bytes, far less than 1 MB.
TEST(Batch, JobLimitAndFreeSpaceOnBothSides) {
  ScratchDir dir;
  const unsigned limit = 4 * std::max(1u, std::thread::hardware_concurrency());
  struct Case {
    std::string Jobs, Free;
    int Status;
  };
  for (const Case& c : {Case{std::to_string(limit), "1000000", 0},
                        {std::to_string(limit + 1), "1000000", 2},
                        {"1", "50050", 1}}) {
    const auto r = RunTool({"batch", "--csv", "1,,,0.3,,0.4,0.3,,,,,,,,,,,,,1", "--count", "1",
                            "--seed", "1", "--jobs", c.Jobs, "--out-dir", dir / "o"},
                           {.Env = {"QUAVIX_TEST_FREE_BYTES=" + c.Free}});
    EXPECT_EQ(r.Status, c.Status) << c.Jobs << " " << c.Free << ": " << r.Err;
    EXPECT_EQ(fs::exists(dir / "o/sound-0.wav"), c.Status == 0);
    fs::remove_all(dir / "o");
  }
}

// Every entry of a folder with its mode and content.
std::vector<std::string> FolderState(const std::string& path) {
  std::vector<std::string> state;
  for (const auto& e : fs::recursive_directory_iterator(path)) {
    const auto perms = static_cast<unsigned>(fs::symlink_status(e.path()).permissions());
    const std::string content = e.is_regular_file() ? test::ReadText(e.path().string()) : "";
    state.push_back(e.path().string() + " " + std::to_string(perms) + " " + content);
  }
  std::sort(state.begin(), state.end());
  return state;
}

std::string gFolder;  // the folder of the running unfinished case

// The second run has begun writing: its hidden staging folder holds a file.
bool WritingHasBegun() {
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(gFolder, ec)) {
    if (e.path().filename().string().starts_with(".quavix-tmp-") && !fs::is_empty(e.path(), ec)) {
      return true;
    }
  }
  return false;
}

// A run that cannot finish leaves the folder exactly as an earlier run left it
// (names, modes, contents) and says so in one line.
TEST(Batch, UnfinishedRunLeavesTheFolderAsItWas) {
  struct Case {
    test::RunOptions Options;
    int Status;
    const char *Message, *Obstacle;
  };
  const Case cases[] = {
      {{}, 1, "explosion-150.wav': Is a directory", "explosion-150.wav"},
      {{}, 1, "manifest.json': Is a directory", "manifest.json"},
      {{.Env = {"QUAVIX_TEST_FREE_BYTES=1000000"}}, 1, "not enough space", nullptr},
      {{.Signal = SIGINT, .SignalWhen = WritingHasBegun}, 130, "interrupted by SIGINT", nullptr},
      {{.Signal = SIGTERM, .SignalWhen = WritingHasBegun}, 143, "interrupted by SIGTERM", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Message);
    ScratchDir dir;
    const std::string out = gFolder = dir / "o";
    const std::vector<std::string> common{"batch",     "--preset", "explosion", "--count", "200",
                                          "--out-dir", out,        "--jobs",    "1"};
    auto first = common, second = common;
    first.insert(first.end(), {"--seed", "1", "--buffer-length", "1"});
    ASSERT_EQ(RunTool(first).Status, 0);
    fs::permissions(out + "/explosion-007.wav", fs::perms(0640));
    if (c.Obstacle != nullptr) {
      fs::remove(out + "/" + c.Obstacle);
      fs::create_directories(out + "/" + c.Obstacle + "/inside");
    }
    const auto before = FolderState(out);
    second.insert(second.end(),
                  {"--seed", "2", "--set", "SustainTime=3"});  // long sounds keep it busy
    const auto r = RunTool(second, c.Options);
    EXPECT_EQ(r.Status, c.Status) << r.Err;
    EXPECT_EQ(test::LineCount(r.Err), 1) << r.Err;
    EXPECT_NE(r.Err.find(c.Message), std::string::npos) << r.Err;
    EXPECT_NE(r.Err.find("nothing in '" + out + "' was changed"), std::string::npos) << r.Err;
    EXPECT_EQ(FolderState(out), before);
  }
  ScratchDir dir;  // a folder that a failed run created is removed again
  EXPECT_EQ(RunTool({"batch", "--preset", "coin", "--count", "3", "--seed", "1", "--out-dir",
                     dir / "new"},
                    {.Env = {"QUAVIX_TEST_FREE_BYTES=10"}})
                .Status,
            1);
  EXPECT_FALSE(fs::exists(dir / "new"));
  const int fd = open(dir.Path.c_str(), O_RDONLY | O_DIRECTORY);  // another batch holds the folder
  ASSERT_EQ(flock(fd, LOCK_EX), 0);
  const auto r =
      RunTool({"batch", "--preset", "coin", "--count", "3", "--seed", "1", "--out-dir", dir.Path});
  close(fd);
  EXPECT_EQ(r.Status, 1);
  EXPECT_NE(r.Err.find("another quavix batch is writing into"), std::string::npos) << r.Err;
  EXPECT_TRUE(dir.Entries().empty());
}

// Every command in the manifest, run by a shell in the folder, makes its file
// again byte for byte, and so do the exact settings file bytes it lists.
TEST(Batch, ManifestCommandsAndSettingsBytesMakeEachFileAgain) {
  ScratchDir dir;
  ASSERT_EQ(RunTool({"render", "--seed", "5", "--preset", "laser", "--save-sfs", dir / "it's.sfs"})
                .Status,
            0);
  const std::string cd = "cd '" + dir.Path + "' && ";
  ASSERT_EQ(std::system((cd + "'" QUAVIX_TOOL "' batch --sfs \"it's.sfs\" --mutate 0.2 --count 3 "
                              "--seed 40 --out-dir o --name 'a b' 2>batch.err")
                            .c_str()),
            0);
  const auto manifest = Json::parse(test::ReadText(dir / "o/manifest.json"));
  ASSERT_EQ(manifest["sounds"].size(), 3u);
  for (const auto& sound : manifest["sounds"]) {
    std::string command = sound["command"].get<std::string>();
    command.replace(0, 6, "'" QUAVIX_TOOL "'");
    const auto made = ReadBytes(dir / ("o/" + sound["file"].get<std::string>()));
    command = std::regex_replace(command, std::regex(" -o .*$"), " -o again.wav");
    ASSERT_EQ(std::system((cd + command).c_str()), 0);
    EXPECT_EQ(ReadBytes(dir / "again.wav"), made) << command;
    const std::string hex = sound["sfs"].get<std::string>();
    std::ofstream sfs(dir / "exact.sfs", std::ios::binary);
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
      sfs.put(char(std::stoi(hex.substr(i, 2), nullptr, 16)));
    sfs.close();
    ASSERT_EQ(RunTool({"render", "--seed", std::to_string(sound["seed"].get<std::uint32_t>()),
                       "--sfs", dir / "exact.sfs", "-o", dir / "exact.wav"})
                  .Status,
              0);
    EXPECT_EQ(ReadBytes(dir / "exact.wav"), made);
  }
}

// Randomize makes wave type 4 (no wave) about one time in five: --skip-silent
// leaves those sounds out and counts them; without it they are written and flagged.
TEST(Batch, SilentSoundsAreSkippedOrFlagged) {
  ScratchDir dir;
  const auto r = RunTool({"batch", "--randomize", "--count", "40", "--seed", "7", "--out-dir",
                          dir.Path, "--skip-silent"});
  ASSERT_EQ(r.Status, 0) << r.Err;
  int silent = 0;
  for (int i = 0; i < 40; ++i) {
    const auto samples =
        test::LibrarySound(7 + i, [](SynthParams& p, RandomSource& rs) { Randomize(p, rs); });
    const bool heard =
        std::any_of(samples.begin(), samples.end(), [](std::int16_t v) { return v != 0; });
    const std::string name = (i < 10 ? "random-0" : "random-") + std::to_string(i) + ".wav";
    EXPECT_EQ(heard ? test::ReadSound(dir / name).Samples : samples, samples) << name;
    EXPECT_EQ(fs::exists(dir / name), heard) << name;
    silent += heard ? 0 : 1;
  }
  EXPECT_GT(silent, 0);
  const auto manifest = Json::parse(test::ReadText(dir / "manifest.json"));
  EXPECT_EQ(manifest["skipped_silent"], silent);
  EXPECT_EQ(manifest["sounds"].size(), std::size_t(40 - silent));
  EXPECT_NE(r.Err.find("skipped " + std::to_string(silent) + " silent"), std::string::npos)
      << r.Err;
  const auto all =
      RunTool({"batch", "--randomize", "--count", "40", "--seed", "7", "--out-dir", dir / "all"});
  EXPECT_NE(all.Err.find("warning: " + std::to_string(silent) + " of 40 sounds are silent"),
            std::string::npos)
      << all.Err;
  const auto flagged = Json::parse(test::ReadText(dir / "all/manifest.json"))["sounds"];
  EXPECT_EQ(std::count_if(flagged.begin(), flagged.end(),
                          [](const Json& s) { return s["silent"].get<bool>(); }),
            silent);
}

}  // namespace
}  // namespace quavix
