// The longest sound at the highest rate, in every format, from render and from a batch's
// threads, under the default stack size.

#include "cli_test_util.h"

namespace quavix::test {
namespace {

// Sustain and decay of 30 s each outlast the longest buffer: the sound is cut at 60 x 41000
// samples (a blip preset with these times too), which the resampler makes round(2,460,000 x 192,000
// / 44,100) = 10,710,204 frames.
constexpr const char* kLongest =
    "--seed 1 --set SustainTime=30 --set DecayTime=30 --buffer-length 60 --rate 192000";
constexpr long kFrames = 10'710'204;

struct LongCase {
  const char *Options, *Name;
  int BytesPerFrame;  // raw files only: the frames are counted from the size
};

TEST(LongExport, TheLongestSoundAtTheHighestRateIsWrittenInEveryFormat) {
  const LongCase cases[] = {{"--format ogg", "a.ogg", 0},
                            {"--format flac --bits 8", "a.flac", 0},
                            {"--format flac --bits 16", "a.flac", 0},
                            {"--format flac --bits 24", "a.flac", 0},
                            {"--format wav --bits 8", "a.wav", 0},
                            {"--format wav --bits 24", "a.wav", 0},
                            {"--format wav --bits 32f", "a.wav", 0},
                            {"--format raw --bits 16", "a.raw", 2}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Options);
    ScratchDir dir;
    // 8 MiB is the usual default; the tool must not need more.
    const auto r = Shell("ulimit -s 8192; $Q render " + std::string(kLongest) + " " + c.Options +
                         " -o " + dir / c.Name);
    ASSERT_EQ(r.Status, 0) << r.Err;
    if (c.BytesPerFrame != 0) {
      EXPECT_EQ(std::filesystem::file_size(dir / c.Name),
                std::uintmax_t(kFrames * c.BytesPerFrame));
      continue;
    }
    const SF_INFO info = SoundHeader(dir / c.Name);
    EXPECT_TRUE(info.frames == kFrames && info.samplerate == 192000) << info.frames << sf_strerror(nullptr);
  }
  // A batch encodes on its worker threads, which have the default stack too.
  ScratchDir dir;
  const auto r = Shell("ulimit -s 8192; $Q batch --preset blip " + std::string(kLongest) +
                       " --count 2 --jobs 2 --format ogg --out-dir " + dir / "set");
  ASSERT_EQ(r.Status, 0) << r.Err;
  for (const char* name : {"set/blip-0.ogg", "set/blip-1.ogg"}) {
    EXPECT_EQ(SoundHeader(dir / name).frames, kFrames) << name << " " << ReadText(dir / "set/manifest.json").substr(0, 400);
  }
}

}  // namespace
}  // namespace quavix::test
