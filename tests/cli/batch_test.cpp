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

namespace quavix::test {
namespace {

using Json = nlohmann::json;
namespace fs = std::filesystem;

// Sound i is the module's sound of seed S + i; the manifest describes each, with levels
// counted here from the file; its command, run by a shell in the folder, makes the file
// and the settings file bytes it lists again.
TEST(Batch, NumberedFilesAndTheirManifest) {
  ScratchDir dir;
  const std::string cd = "cd " + dir.Path + " && ", tool = "'" QUAVIX_TOOL "'";
  ASSERT_EQ(std::system((cd + tool +
                         " batch --preset explosion --set Volume=3 --count 12 --seed 90 "
                         "--out-dir o --name \"it's\" --jobs 2 2>err")
                            .c_str()),
            0);
  const auto manifest = Json::parse(ReadText(dir / "o/manifest.json"));
  EXPECT_TRUE(manifest["seed"] == 90 && manifest["preset"] == "explosion" &&
              manifest["buffer_length"] == 5);
  ASSERT_EQ(manifest["sounds"].size(), 12u);
  int clippedSounds = 0;
  for (std::uint32_t i = 0; i < 12; ++i) {
    const auto& s = manifest["sounds"][i];
    const std::string name = (i < 10 ? "it's-0" : "it's-") + std::to_string(i) + ".wav";
    EXPECT_TRUE(s["file"] == name && s["seed"] == 90 + i) << s;
    const auto made = ReadText(dir / ("o/" + name));
    const auto file = ReadSound(dir / ("o/" + name));
    SynthParams params;
    EXPECT_EQ(file.Samples,
              LibrarySound(std::int32_t(90 + i), [&](SynthParams& p, RandomSource& r) {
                LoadPreset(p, kPresetExplosion, r);
                p.Volume = 3;
                params = p;
              }));
    std::int32_t peak = 0, clipped = 0;
    for (const std::int16_t v : file.Samples) {
      peak = std::max(peak, std::abs(std::int32_t{v}));
      clipped += std::abs(v) >= 32000;
    }
    EXPECT_TRUE(s["samples"] == file.Frames && s["peak"] == peak && s["clipped"] == clipped) << s;
    clippedSounds += clipped > 0;
    EXPECT_EQ(s["settings"], ExportSettingsString(params));
    std::string command = s["command"];
    ASSERT_EQ(command.rfind("quavix render --seed " + std::to_string(90 + i) + " ", 0), 0u);
    command = std::regex_replace(command.replace(0, 6, tool), std::regex(" -o .*$"),
                                 " -o again.wav --save-sfs again.sfs 2>again.err");
    ASSERT_EQ(std::system((cd + command).c_str()), 0);
    EXPECT_EQ(ReadText(dir / "again.wav"), made) << command;
    std::string hex = s["sfs"], sfs;
    for (std::size_t at = 0; at + 1 < hex.size(); at += 2)
      sfs += char(std::stoi(hex.substr(at, 2), 0, 16));
    EXPECT_EQ(ReadText(dir / "again.sfs"), sfs);
  }
  EXPECT_GT(clippedSounds, 0);  // volume 3 drives explosions into the clamp
  const std::string err = ReadText(dir / "err");
  EXPECT_EQ(err.find('\r'), std::string::npos) << "no progress bar when stderr is not a terminal";
  EXPECT_EQ(LineCount(err), 2) << err;
  EXPECT_NE(err.find("wrote 12 sounds"), std::string::npos) << err;
  EXPECT_NE(err.find(" of 12 sounds have samples clipped at +-32000"), std::string::npos) << err;
  EXPECT_EQ(std::distance(fs::directory_iterator(dir / "o"), {}), 13);
}

// Sound i equals render with seed S + i (wrapping at 32 bits), for one or two jobs; the
// numbers are padded to the width of count - 1. A run over an earlier one keeps the modes.
TEST(Batch, SoundsAreRendersOfConsecutiveSeeds) {
  ScratchDir dir;
  const std::string sound = "--preset hurt --set Volume=0.5 --mutate 0.05 --buffer-length 1 ";
  const auto batch = [&](const std::string& count, const char* jobs) {
    return RunTool("batch --seed 4294967290 --name h " + sound + "--count " + count + " --jobs " +
                   jobs + " --out-dir " + dir / ("o" + count));
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
  ASSERT_EQ(RunTool("render --seed 4 " + sound + "-o " + dir / "r.wav").Status, 0);
  EXPECT_EQ(ReadText(dir / "o11/h-10.wav"), ReadText(dir / "r.wav"));  // 4294967290 + 10 is 4
  EXPECT_EQ(ReadText(dir / "o101/h-010.wav"), ReadText(dir / "r.wav"));
  EXPECT_EQ(ReadText(dir / "o10/h-6.wav"), ReadText(dir / "o11/h-06.wav"));
  fs::permissions(dir / "o11/h-06.wav", fs::perms(0640));
  ASSERT_EQ(batch("11", "1").Status, 0);
  EXPECT_EQ(fs::status(dir / "o11/h-06.wav").permissions(), fs::perms(0640));
}

// The --jobs limit is four per core; free space is checked before anything is written: the
// default sound's 25003 samples (at most 3 + 1 + 9001 + 16001 from its envelope) need more
// than their 50006 + 44 bytes, far less than 1 MB.
TEST(Batch, JobLimitAndFreeSpaceOnBothSides) {
  ScratchDir dir;
  const unsigned limit = 4 * std::max(1u, std::thread::hardware_concurrency());
  struct Case {
    unsigned Jobs;
    std::string Free;
    int Status;
  };
  for (const Case& c : {Case{limit, "1000000", 0}, {limit + 1, "1000000", 2}, {1, "50050", 1}}) {
    const auto r =
        RunTool("batch --csv 1,,,0.3,,0.4,0.3,,,,,,,,,,,,,1 --count 1 --seed 1 --out-dir " +
                    dir / "o --jobs " + std::to_string(c.Jobs),
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
    const auto perms = std::to_string(static_cast<unsigned>(fs::symlink_status(e).permissions()));
    state.push_back(e.path().string() + " " + perms + " " +
                    (e.is_directory() ? "" : ReadText(e.path())));
  }
  std::sort(state.begin(), state.end());
  return state;
}

std::string gFolder;  // the folder of the running unfinished case

// The second run has begun writing: its hidden staging folder holds a file.
bool WritingHasBegun() {
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(gFolder, ec)) {
    if (e.path().filename().string().starts_with(".quavix-tmp-") && !fs::is_empty(e, ec))
      return true;
  }
  return false;
}

// A run that cannot finish leaves the folder exactly as an earlier run left it (names, modes,
// contents) and says so in one line.
TEST(Batch, UnfinishedRunLeavesTheFolderAsItWas) {
  struct Case {
    RunOptions Options;
    int Status;
    const char *Message, *Obstacle;
  } const cases[] = {
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
    const std::string batch = "batch --preset explosion --count 200 --jobs 1 --out-dir " + out;
    ASSERT_EQ(RunTool(batch + " --seed 1 --buffer-length 1").Status, 0);
    fs::permissions(out + "/explosion-007.wav", fs::perms(0640));
    if (c.Obstacle != nullptr) {
      fs::remove(out + "/" + c.Obstacle);
      fs::create_directories(out + "/" + c.Obstacle + "/inside");
    }
    const auto before = FolderState(out);
    const auto r = RunTool(batch + " --seed 2 --set SustainTime=3", c.Options);  // long sounds
    EXPECT_EQ(r.Status, c.Status) << r.Err;
    EXPECT_EQ(LineCount(r.Err), 1) << r.Err;
    EXPECT_NE(r.Err.find(c.Message), std::string::npos) << r.Err;
    EXPECT_NE(r.Err.find("nothing in '" + out + "' was changed"), std::string::npos) << r.Err;
    EXPECT_EQ(FolderState(out), before);
  }
  ScratchDir dir;  // a folder that a failed run created is removed again
  EXPECT_EQ(RunTool("batch --preset coin --count 3 --out-dir " + dir / "new",
                    {.Env = {"QUAVIX_TEST_FREE_BYTES=10"}})
                .Status,
            1);
  EXPECT_FALSE(fs::exists(dir / "new"));
  const int fd = open(dir.Path.c_str(), O_RDONLY | O_DIRECTORY);  // another batch holds the folder
  ASSERT_EQ(flock(fd, LOCK_EX), 0);
  const auto r = RunTool("batch --preset coin --count 3 --seed 1 --out-dir " + dir.Path);
  close(fd);
  EXPECT_EQ(r.Status, 1);
  EXPECT_NE(r.Err.find("another quavix batch is writing into"), std::string::npos) << r.Err;
  EXPECT_TRUE(dir.Entries().empty());
}

// Randomize makes wave type 4 (no wave) about one time in five: --skip-silent leaves those
// sounds out and counts them; without it they are written and flagged.
TEST(Batch, SilentSoundsAreSkippedOrFlagged) {
  ScratchDir dir;
  const auto r =
      RunTool("batch --randomize --count 40 --seed 7 --skip-silent --out-dir " + dir.Path);
  ASSERT_EQ(r.Status, 0) << r.Err;
  int silent = 0;
  for (int i = 0; i < 40; ++i) {
    const auto samples =
        LibrarySound(7 + i, [](SynthParams& p, RandomSource& rs) { Randomize(p, rs); });
    const bool heard =
        std::any_of(samples.begin(), samples.end(), [](std::int16_t v) { return v != 0; });
    const std::string name = (i < 10 ? "random-0" : "random-") + std::to_string(i) + ".wav";
    EXPECT_EQ(fs::exists(dir / name), heard) << name;
    EXPECT_EQ(heard ? ReadSound(dir / name).Samples : samples, samples) << name;
    silent += heard ? 0 : 1;
  }
  EXPECT_GT(silent, 0);
  const auto manifest = Json::parse(ReadText(dir / "manifest.json"));
  EXPECT_EQ(manifest["skipped_silent"], silent);
  EXPECT_EQ(manifest["sounds"].size(), std::size_t(40 - silent));
  EXPECT_NE(r.Err.find("skipped " + std::to_string(silent) + " silent"), std::string::npos)
      << r.Err;
  const auto all = RunTool("batch --randomize --count 40 --seed 7 --out-dir " + dir / "all");
  EXPECT_NE(all.Err.find(std::to_string(silent) + " of 40 sounds are silent"), std::string::npos);
  const auto flagged = Json::parse(ReadText(dir / "all/manifest.json"))["sounds"];
  EXPECT_EQ(std::count_if(flagged.begin(), flagged.end(),
                          [](const Json& s) { return s["silent"] == true; }),
            silent);
}

}  // namespace
}  // namespace quavix::test
