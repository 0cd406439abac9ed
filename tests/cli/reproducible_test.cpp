// Exports are the same bytes for the same recipe and options, whenever and with however many jobs
// they are made; a sound without samples or without sound still makes a file its readers take.
#include <chrono>
#include <ctime>
#include <thread>

#include "cli_test_util.h"

namespace quavix::test {
namespace {

const char* const kFormats[] = {
    "--format wav --bits 8", "--format wav",           "--format wav --bits 24", "--format wav --bits 32f",
    "--format flac --bits 8", "--format flac",         "--format flac --bits 24", "--format ogg",
    "--format raw",          "--format raw --bits 32f",
};

// A time stamp in a file would differ between runs a second apart: the second round starts
// after the clock's second has changed. Ogg's serial number was drawn at random on every run.
TEST(Reproducible, EveryFormatGivesTheSameBytesOnEveryRunAndWithAnyJobs) {
  ScratchDir dir;
  const std::string recipe = "--preset explosion --seed 9 --set SustainTime=0.1 --set DecayTime=0.1 ";
  const auto round = [&](const std::string& tag, const char* jobs) {
    for (std::size_t i = 0; i < std::size(kFormats); ++i) {
      const std::string n = std::to_string(i);
      ASSERT_EQ(RunTool("render " + recipe + kFormats[i] + " -o " + dir / (tag + n)).Status, 0);
      ASSERT_EQ(RunTool("batch " + recipe + kFormats[i] + " --count 20 --name s --jobs " + jobs +
                        " --out-dir " + dir / (tag + "set" + n))
                    .Status,
                0);
    }
  };
  const std::time_t started = std::time(nullptr);
  round("a", "1");
  while (std::time(nullptr) == started) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  round("b", "2");
  for (std::size_t i = 0; i < std::size(kFormats); ++i) {
    SCOPED_TRACE(kFormats[i]);
    const std::string n = std::to_string(i), ext = Has(kFormats[i], "flac") ? "flac"
                                                   : Has(kFormats[i], "ogg") ? "ogg"
                                                   : Has(kFormats[i], "raw") ? "raw"
                                                                             : "wav";
    const std::string first = ReadText(dir / ("a" + n));
    ASSERT_FALSE(first.empty());
    EXPECT_EQ(ReadText(dir / ("b" + n)), first);
    EXPECT_EQ(ReadText(dir / ("aset" + n + "/s-00." + ext)), first);  // sound 0 has seed 9
    for (int k = 0; k < 20; ++k) {
      const std::string file = "set" + n + "/s-" + (k < 10 ? "0" : "") + std::to_string(k) + "." + ext;
      EXPECT_EQ(ReadText(dir / ("a" + file)), ReadText(dir / ("b" + file))) << file;
    }
    EXPECT_EQ(ReadText(dir / ("aset" + n + "/manifest.json")), ReadText(dir / ("bset" + n + "/manifest.json")));
  }
}

// No samples (buffer 0), samples that are all 0 (volume 0), and a silent sound trimmed to nothing:
// every format but raw (which has no header) makes a file that libsndfile and info read back.
TEST(Reproducible, EmptyAndSilentSoundsMakeReadableFiles) {
  struct Case {
    const char* Recipe;
    bool Empty;
  } const cases[] = {
      {"--buffer-length 0", true},
      {"--set Volume=0", false},
      {"--set Volume=0 --trim", true},
  };
  ScratchDir dir;
  for (const Case& c : cases) {
    for (const char* format : kFormats) {
      if (Has(format, "raw")) continue;
      SCOPED_TRACE(std::string(c.Recipe) + " " + format);
      const std::string out = dir / "f";
      ASSERT_EQ(RunTool("render --seed 1 " + std::string(c.Recipe) + " " + format + " -o " + out).Status, 0);
      EXPECT_GE(SoundHeader(out).frames, 0) << sf_strerror(nullptr);
      const auto r = RunTool("info --json " + out);
      ASSERT_EQ(r.Status, 0) << r.Err;
      const auto j = nlohmann::json::parse(r.Out);
      EXPECT_EQ(j["frames"] == 0, c.Empty) << j;
      EXPECT_TRUE(j["loudness_lufs"].is_null());
    }
  }
}

}  // namespace
}  // namespace quavix::test
