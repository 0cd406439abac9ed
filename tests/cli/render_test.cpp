// quavix render, end to end: the files it writes are read back with libsndfile
// and compared with the library's own synthesis.
#include <gtest/gtest.h>

#include "cli_test_util.h"
#include "design/presets.h"
#include "exchange/param_table.h"
#include "exchange/param_units.h"
#include "exchange/settings_string.h"

namespace quavix {
namespace {

using test::LibrarySound;
using test::ReadBytes;
using test::ReadLE16;
using test::ReadLE32;
using test::ReadSound;
using test::RunTool;
using test::ScratchDir;

void ExpectMonoPcm16(const test::SoundFile& file, std::size_t frames) {
  ASSERT_TRUE(file.Opened);
  EXPECT_EQ(file.Channels, 1);
  EXPECT_EQ(file.SampleRate, 44100);
  EXPECT_EQ(file.Format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
  EXPECT_EQ(file.Frames, static_cast<std::int64_t>(frames));
}

TEST(RenderDefaults, DefaultParametersGiveTheKnownSound) {
  ScratchDir dir;
  const auto r = RunTool({"render", "--seed", "9", "-o", dir / "d.wav"});
  ASSERT_EQ(r.Status, 0) << r.Err;
  EXPECT_EQ(r.Err, "");
  const auto file = ReadSound(dir / "d.wav");
  ExpectMonoPcm16(file, 25003);
  const std::vector<std::int16_t> start{3199, 3199, 3199, 3199, 3198, 3198, 3198, 3198, 3197, 3197};
  EXPECT_EQ(std::vector<std::int16_t>(file.Samples.begin(), file.Samples.begin() + 10), start);
  EXPECT_EQ(file.Samples[68], -17);
  EXPECT_EQ(file.Samples[69], -3217);
  EXPECT_EQ(file.Samples.back(), 0);
}

TEST(RenderDefaults, HeaderIsTheFortyFourByteImage) {
  ScratchDir dir;
  ASSERT_EQ(RunTool({"render", "--seed", "9", "-o", dir / "d.wav"}).Status, 0);
  const auto bytes = ReadBytes(dir / "d.wav");
  const std::uint32_t data = 2 * 25003;
  ASSERT_EQ(bytes.size(), 44u + data);
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "RIFF");
  EXPECT_EQ(ReadLE32(bytes, 4), data + 36);
  EXPECT_EQ(std::string(bytes.begin() + 8, bytes.begin() + 16), "WAVEfmt ");
  EXPECT_EQ(ReadLE32(bytes, 16), 16u);
  EXPECT_EQ(ReadLE16(bytes, 20), 1u);
  EXPECT_EQ(ReadLE16(bytes, 22), 1u);
  EXPECT_EQ(ReadLE32(bytes, 24), 44100u);
  EXPECT_EQ(ReadLE32(bytes, 28), 88200u);
  EXPECT_EQ(ReadLE16(bytes, 32), 2u);
  EXPECT_EQ(ReadLE16(bytes, 34), 16u);
  EXPECT_EQ(std::string(bytes.begin() + 36, bytes.begin() + 40), "data");
  EXPECT_EQ(ReadLE32(bytes, 40), data);
  // The first sample, 3199 = 0x0C7F, little-endian.
  EXPECT_EQ(bytes[44], 0x7F);
  EXPECT_EQ(bytes[45], 0x0C);
}

TEST(RenderSources, PresetWithSeedMatchesTheModuleSequence) {
  ScratchDir dir;
  for (const auto& family : kPresetFamilyNames) {
    const std::string path = dir / (std::string(family.Name) + ".wav");
    const auto r = RunTool({"render", "--seed", "20240", "--preset", std::string(family.Name), "-o", path});
    ASSERT_EQ(r.Status, 0) << r.Err;
    const auto expected = LibrarySound(20240, [&](SynthParams& p, RandomSource& rs) {
      LoadPreset(p, family.Family, rs);
    });
    const auto file = ReadSound(path);
    ExpectMonoPcm16(file, expected.size());
    EXPECT_EQ(file.Samples, expected) << family.Name;
  }
}

TEST(RenderSources, PresetByNumberEqualsPresetByName) {
  ScratchDir dir;
  ASSERT_EQ(RunTool({"render", "--seed", "77", "--preset", "2", "-o", dir / "a.wav"}).Status, 0);
  ASSERT_EQ(RunTool({"render", "--seed", "77", "--preset", "Explosion", "-o", dir / "b.wav"}).Status, 0);
  EXPECT_EQ(ReadBytes(dir / "a.wav"), ReadBytes(dir / "b.wav"));
}

TEST(RenderSources, RandomizeThenSetThenMutateInThatOrder) {
  ScratchDir dir;
  const auto r = RunTool({"render", "--seed", "4242", "--randomize", "--set", "WaveType=2", "--set",
                          "AttackTime=0.01", "--mutate", "0.2", "-o", dir / "m.wav"});
  ASSERT_EQ(r.Status, 0) << r.Err;
  const auto expected = LibrarySound(4242, [](SynthParams& p, RandomSource& rs) {
    Randomize(p, rs);
    p.WaveType = 2;
    p.AttackTime = TimeToStored(p, 0.01f);
    Mutate(p, 0.2f, rs);
  });
  EXPECT_EQ(ReadSound(dir / "m.wav").Samples, expected);
}

TEST(RenderSources, SettingsStringIsImportedOverTheDefaults) {
  ScratchDir dir;
  const std::string csv = "0.5,1,,0.2,,0.3,0.45";
  const auto r = RunTool({"render", "--seed", "3", "--csv", csv, "--print-csv", "-o", dir / "s.wav"});
  ASSERT_EQ(r.Status, 0) << r.Err;
  // Fields past the seventh keep their defaults: LPCutoff 1.
  EXPECT_EQ(r.Out, "0.5000,1.0000,,0.2000,,0.3000,0.4500,,,,,,,,,,,,,1.0000,,,,\n");
  const auto expected = LibrarySound(3, [&](SynthParams& p, RandomSource&) { ImportSettingsString(p, csv); });
  EXPECT_EQ(ReadSound(dir / "s.wav").Samples, expected);
}

TEST(RenderSets, UserUnitsAndHertz) {
  ScratchDir dir;
  // 0.3 s of sustain stores 0.3637366; 3528 Hz is exactly 1.0; repeat speed 10 stores 0.5304257.
  const auto r = RunTool({"render", "--seed", "5", "--set", "sustaintime=0.3", "--set", "StartFreqHz=3528",
                          "--set", "RepeatSpeed=10", "--print-csv"});
  ASSERT_EQ(r.Status, 0) << r.Err;
  EXPECT_EQ(r.Out, "1.0000,,,0.3637,,0.4000,1.0000,,,,,,,,,,0.5304,,,1.0000,,,,\n");
  EXPECT_EQ(r.Err, "");
}

TEST(RenderSets, LaterSetsOverrideEarlierOnes) {
  const auto r = RunTool({"render", "--seed", "5", "--set", "Volume=0.2", "--set", "Volume=0.7", "--print-csv"});
  ASSERT_EQ(r.Status, 0) << r.Err;
  EXPECT_EQ(r.Out.substr(0, 7), "0.7000,");
}

TEST(RenderOutputs, SavedSettingsFileRendersTheSameBytes) {
  ScratchDir dir;
  auto r = RunTool({"render", "--seed", "31337", "--preset", "laser", "--mutate", "0.3", "--save-sfs",
                    dir / "l.sfs", "-o", dir / "a.wav"});
  ASSERT_EQ(r.Status, 0) << r.Err;
  EXPECT_EQ(ReadBytes(dir / "l.sfs").size(), 105u);
  r = RunTool({"render", "--seed", "31337", "--sfs", dir / "l.sfs", "-o", dir / "b.wav"});
  ASSERT_EQ(r.Status, 0) << r.Err;
  EXPECT_EQ(ReadBytes(dir / "a.wav"), ReadBytes(dir / "b.wav"));
}

TEST(RenderOutputs, DashWritesTheSameImageToStdout) {
  ScratchDir dir;
  ASSERT_EQ(RunTool({"render", "--seed", "8", "--preset", "jump", "-o", dir / "j.wav"}).Status, 0);
  const auto r = RunTool({"render", "--seed", "8", "--preset", "jump", "-o", "-"});
  ASSERT_EQ(r.Status, 0) << r.Err;
  const auto file = ReadBytes(dir / "j.wav");
  EXPECT_EQ(std::vector<std::uint8_t>(r.Out.begin(), r.Out.end()), file);
}

TEST(RenderOutputs, NoTemporaryFilesRemain) {
  ScratchDir dir;
  ASSERT_EQ(RunTool({"render", "--seed", "8", "--preset", "hurt", "--save-sfs", dir / "h.sfs", "-o",
                     dir / "h.wav"})
                .Status,
            0);
  EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"h.sfs", "h.wav"}));
}

TEST(RenderOutputs, ExistingFileIsReplaced) {
  ScratchDir dir;
  test::WriteBytes(dir / "x.wav", std::vector<std::uint8_t>(100000, 0xAB));
  ASSERT_EQ(RunTool({"render", "--seed", "9", "-o", dir / "x.wav"}).Status, 0);
  EXPECT_EQ(ReadBytes(dir / "x.wav").size(), 44u + 2 * 25003);
}

TEST(RenderSeed, ClockSeedIsPrintedAndMakesTheSoundAgain) {
  ScratchDir dir;
  const auto r = RunTool({"render", "--preset", "coin", "-o", dir / "a.wav"});
  ASSERT_EQ(r.Status, 0) << r.Err;
  const std::string prefix = "quavix: seed ";
  ASSERT_EQ(r.Err.rfind(prefix, 0), 0u) << r.Err;
  EXPECT_EQ(test::LineCount(r.Err), 1);
  const std::string seed = r.Err.substr(prefix.size(), r.Err.find(' ', prefix.size()) - prefix.size());
  ASSERT_EQ(RunTool({"render", "--seed", seed, "--preset", "coin", "-o", dir / "b.wav"}).Status, 0);
  EXPECT_EQ(ReadBytes(dir / "a.wav"), ReadBytes(dir / "b.wav"));
}

TEST(RenderSeed, NegativeSeedNamesTheSameBits) {
  ScratchDir dir;
  ASSERT_EQ(RunTool({"render", "--seed", "-1", "--preset", "blip", "-o", dir / "a.wav"}).Status, 0);
  ASSERT_EQ(RunTool({"render", "--seed", "4294967295", "--preset", "blip", "-o", dir / "b.wav"}).Status, 0);
  EXPECT_EQ(ReadBytes(dir / "a.wav"), ReadBytes(dir / "b.wav"));
}

// A 10-second sustain (stored sqrt(10 / 2.2675), about 2.1, so 441000 samples of
// sustain alone) outlasts every buffer below, which therefore cuts it.
TEST(RenderBufferLength, CutsTheSoundAtLengthTimes41000Samples) {
  ScratchDir dir;
  for (const int seconds : {1, 2, 5}) {
    const std::string path = dir / ("b" + std::to_string(seconds) + ".wav");
    std::vector<std::string> args{"render", "--seed", "1", "--set", "SustainTime=10", "-o", path};
    if (seconds != 5) {
      args.push_back("--buffer-length");
      args.push_back(std::to_string(seconds));
    }
    const auto r = RunTool(args);
    ASSERT_EQ(r.Status, 0) << r.Err;
    const auto file = ReadSound(path);
    ExpectMonoPcm16(file, static_cast<std::size_t>(seconds) * 41000);
    const auto bytes = ReadBytes(path);
    EXPECT_EQ(ReadLE32(bytes, 40), static_cast<std::uint32_t>(seconds) * 82000);
  }
  // The default of 5 gives data size 410000 and RIFF size 410036.
  const auto bytes = ReadBytes(dir / "b5.wav");
  EXPECT_EQ(ReadLE32(bytes, 4), 410036u);
  EXPECT_EQ(ReadLE32(bytes, 40), 410000u);
}

TEST(RenderBufferLength, ShortSoundIsNotCut) {
  ScratchDir dir;
  ASSERT_EQ(RunTool({"render", "--seed", "1", "--buffer-length", "1", "-o", dir / "a.wav"}).Status, 0);
  EXPECT_EQ(ReadSound(dir / "a.wav").Frames, 25003);
}

TEST(RenderBufferLength, ZeroGivesAnEmptyImage) {
  ScratchDir dir;
  ASSERT_EQ(RunTool({"render", "--seed", "1", "--buffer-length", "0", "-o", dir / "z.wav"}).Status, 0);
  const auto bytes = ReadBytes(dir / "z.wav");
  ASSERT_EQ(bytes.size(), 44u);
  EXPECT_EQ(ReadLE32(bytes, 4), 36u);
  EXPECT_EQ(ReadLE32(bytes, 40), 0u);
}

TEST(RenderBufferLength, SixtyIsTheLimit) {
  ScratchDir dir;
  const auto r = RunTool({"render", "--seed", "1", "--set", "SustainTime=200", "--buffer-length", "60", "-o",
                          dir / "long.wav"});
  ASSERT_EQ(r.Status, 0) << r.Err;
  EXPECT_EQ(ReadSound(dir / "long.wav").Frames, 60 * 41000);
#if !defined(__SANITIZE_ADDRESS__)
  // The whole 60-second sound (4.9 MB of samples) is held once.
  EXPECT_LT(r.PeakResidentKb, 16 * 1024);
#endif
}

TEST(Help, EveryCommandHasHelpWithExamples) {
  for (const std::string command : {"render", "batch", "info"}) {
    const auto r = RunTool({command, "--help"});
    EXPECT_EQ(r.Status, 0) << command;
    EXPECT_NE(r.Out.find("Examples:"), std::string::npos) << command;
    EXPECT_NE(r.Out.find("quavix " + command), std::string::npos) << command;
  }
  const auto top = RunTool({"--help"});
  EXPECT_EQ(top.Status, 0);
  EXPECT_NE(top.Out.find("render"), std::string::npos);
}

TEST(Help, RenderHelpStatesTheOrderAndEveryParameter) {
  const auto r = RunTool({"render", "--help"});
  ASSERT_EQ(r.Status, 0);
  const auto seed = r.Out.find("1. seed");
  const auto source = r.Out.find("2. take the parameters");
  const auto set = r.Out.find("3. apply each --set");
  const auto mutate = r.Out.find("4. mutate");
  const auto synth = r.Out.find("5. synthesize");
  ASSERT_NE(synth, std::string::npos);
  EXPECT_TRUE(seed < source && source < set && set < mutate && mutate < synth);
  for (const ParamInfo& p : kParamTable) {
    EXPECT_NE(r.Out.find("  " + std::string(p.Name) + " "), std::string::npos) << p.Name;
  }
  EXPECT_NE(r.Out.find("StartFreqHz"), std::string::npos);
  EXPECT_NE(r.Out.find("MinFreqHz"), std::string::npos);
}

TEST(Help, VersionIsPrinted) {
  const auto r = RunTool({"--version"});
  EXPECT_EQ(r.Status, 0);
  EXPECT_EQ(r.Out, "quavix " QUAVIX_VERSION "\n");
}

}  // namespace
}  // namespace quavix
