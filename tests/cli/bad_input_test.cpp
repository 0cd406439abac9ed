// The tool's runs as a table of argument lists: the exit status (2 for a usage
// error, 1 for a failure), the one line on stderr, stdout, and what is written.
#include <gtest/gtest.h>

#include "cli_test_util.h"

namespace quavix {
namespace {

struct RunCase {
  const char* Title;
  std::vector<std::string> Args;  // "@" stands for the scratch folder
  int Status;
  const char* Err;                // part of the one line on stderr: an error, or a warning for status 0
  const char* Out = "";           // part of stdout
  const char* Writes = nullptr;   // the one file the run adds to the folder
};
void PrintTo(const RunCase& c, std::ostream* os) { *os << c.Title; }

class ToolRuns : public ::testing::TestWithParam<RunCase> {};

TEST_P(ToolRuns, StatusMessagesAndFiles) {
  const RunCase& c = GetParam();
  test::ScratchDir dir;
  std::vector<std::uint8_t> sfs(105, 0);
  sfs[0] = 102;
  sfs[54] = 0xC0, sfs[55] = 0x7F;  // the defaults with a NaN SustainTime (offset 52)
  test::WriteBytes(dir / "nan.sfs", sfs);
  sfs[0] = 103;  // a version no reader accepts
  test::WriteBytes(dir / "v103.sfs", sfs);
  sfs[0] = 102;
  sfs.resize(60);  // version 102 cut short
  test::WriteBytes(dir / "short.sfs", sfs);
  test::WriteBytes(dir / "empty.sfs", {});
  std::filesystem::create_directory(dir / "folder");
  std::filesystem::create_symlink("v103.sfs", dir / "link.sfs");
  auto expected = dir.Entries();
  if (c.Writes != nullptr) expected.push_back(c.Writes), std::sort(expected.begin(), expected.end());
  std::vector<std::string> args = c.Args;
  for (std::string& arg : args) {
    if (const std::size_t at = arg.find('@'); at != std::string::npos) arg.replace(at, 1, dir.Path);
  }
  const auto r = test::RunTool(args);
  EXPECT_EQ(r.Status, c.Status) << r.Err;
  EXPECT_EQ(test::LineCount(r.Err), *c.Err == 0 ? 0 : 1) << r.Err;
  EXPECT_EQ(r.Err.find(c.Status != 0 ? "quavix: error: " : *c.Err == 0 ? "" : "quavix: warning: "), 0u) << r.Err;
  EXPECT_NE(r.Err.find(c.Err), std::string::npos) << r.Err;
  EXPECT_NE(r.Out.find(c.Out), std::string::npos) << r.Out;
  if (c.Status != 0) { EXPECT_EQ(r.Out, ""); }
  EXPECT_EQ(dir.Entries(), expected);
  EXPECT_TRUE(std::filesystem::is_empty(dir / "folder"));
}

const RunCase kCases[] = {
    // 0.3 s of sustain stores 0.3637366, 3528 Hz exactly 1.0, repeat speed 10 stores 0.5304257.
    {"UserUnitsAndHertz", {"render", "--seed", "5", "--print-csv", "--set", "sustaintime=0.3", "--set",
     "StartFreqHz=3528", "--set", "RepeatSpeed=10"}, 0, "", "1.0000,,,0.3637,,0.4000,1.0000,,,,,,,,,,0.5304,,,1.0000,,,,\n"},
    {"LaterSetsWinAndZeroIsATime", {"render", "--seed", "5", "--print-csv", "--set", "Volume=0.2", "--set",
     "Volume=0.7", "--set", "AttackTime=0", "--set", "WaveType=3"}, 0, "",
     "0.7000,3.0000,,0.3000,,0.4000,0.3000,,,,,,,,,,,,,1.0000,,,,\n"},
    {"SettingsStringOverTheDefaults", {"render", "--seed", "5", "--print-csv", "--csv", "0.5,1,,0.2,,0.3,0.45"}, 0,
     "", "0.5000,1.0000,,0.2000,,0.3000,0.4500,,,,,,,,,,,,,1.0000,,,,\n"},
    {"InfoText", {"info", "--csv", "0.5,2", "--seed", "4"}, 0, "", "settings string: 0.5000,2.0000,,0.3000,,0.4000,"},
    {"InfoTextSound", {"info", "--csv", "0.5,2", "--seed", "4"}, 0, "", "seed 4, buffer 5 s: 25003 samples (0.567 s)"},
    {"WarnNoWave", {"render", "--seed", "1", "--csv", "1,4", "-o", "@/a.wav"}, 0, "silent: wave type 4 makes no wave",
     "", "a.wav"},
    {"WarnWaveTypeOutside", {"render", "--seed", "1", "--csv", "1,7", "-o", "@/a.wav"}, 0,
     "silent: wave type 7 is not a wave", "", "a.wav"},
    {"WarnZeroVolume", {"render", "--seed", "1", "--set", "Volume=0", "-o", "@/a.wav"}, 0, "silent: every sample is 0",
     "", "a.wav"},
    {"WarnClipping", {"render", "--seed", "1", "--preset", "explosion", "--set", "Volume=3", "-o", "@/a.wav"}, 0,
     "are clipped at +-32000", "", "a.wav"},
    {"WarnNotANumberInTheSettingsString", {"render", "--seed", "1", "--sfs", "@/nan.sfs", "--print-csv"}, 0,
     "will not read this settings string back: field 3 (SustainTime) is nan", ",,,nan,"},
    {"MissingSettingsFile", {"render", "--seed", "1", "--sfs", "@/none.sfs", "-o", "@/a.wav"}, 1,
     "none.sfs': No such file or directory"},
    {"SettingsFileIsFolder", {"render", "--seed", "1", "--sfs", "@/folder", "-o", "@/a.wav"}, 1,
     "folder': Is a directory"},
    {"OtherVersion", {"render", "--seed", "1", "--sfs", "@/v103.sfs", "-o", "@/a.wav"}, 1, "version 100, 101 or 102"},
    {"EmptySettingsFile", {"render", "--seed", "1", "--sfs", "@/empty.sfs", "-o", "@/a.wav"}, 1, "version"},
    {"ShortSettingsFile", {"render", "--seed", "1", "--sfs", "@/short.sfs", "-o", "@/a.wav"}, 1, "ends before"},
    {"InfoOtherVersion", {"info", "@/v103.sfs"}, 1, "version 100, 101 or 102"},
    {"InfoMissingFile", {"info", "@/none.sfs"}, 1, "cannot read"},
    {"UnknownPreset", {"render", "--preset", "trumpet", "-o", "@/a.wav"}, 2, "unknown preset 'trumpet'"},
    {"PresetNumberTooLarge", {"render", "--preset", "7", "-o", "@/a.wav"}, 2, "unknown preset '7'"},
    {"BatchUnknownPreset", {"batch", "--preset", "x", "--count", "2", "--out-dir", "@/o"}, 2, "unknown preset"},
    {"MalformedSeed", {"render", "--seed", "12abc", "-o", "@/a.wav"}, 2, "--seed: '12abc' is not a whole number"},
    {"SeedTooLarge", {"render", "--seed", "4294967296", "-o", "@/a.wav"}, 2, "out of range"},
    {"SeedTooNegative", {"render", "--seed", "-2147483649", "-o", "@/a.wav"}, 2, "out of range"},
    {"MalformedMutate", {"render", "--mutate", "0..1", "-o", "@/a.wav"}, 2, "--mutate: '0..1' is not a number"},
    {"MutateNotFinite", {"render", "--mutate", "1e39", "-o", "@/a.wav"}, 2, "out of range"},
    {"MalformedSetValue", {"render", "--set", "Volume=loud", "-o", "@/a.wav"}, 2, "'loud' is not a number"},
    {"SetWithoutValue", {"render", "--set", "Volume", "-o", "@/a.wav"}, 2, "NAME=VALUE"},
    {"UnknownParameter", {"render", "--set", "Pitch=3", "-o", "@/a.wav"}, 2, "unknown parameter 'Pitch'"},
    {"FractionalHertz", {"render", "--set", "StartFreqHz=440.5", "-o", "@/a.wav"}, 2, "not a whole number"},
    {"MalformedSettingsString", {"render", "--csv", "1,x", "-o", "@/a.wav"}, 2, "field 1 'x'"},
    {"TooManyFields", {"render", "--csv", std::string(24, ','), "-o", "@/a.wav"}, 2, "more than 24"},
    {"MalformedCount", {"batch", "--preset", "coin", "--count", "ten", "--out-dir", "@/o"}, 2, "--count"},
    {"ZeroCount", {"batch", "--preset", "coin", "--count", "0", "--out-dir", "@/o"}, 2, "out of range"},
    {"ZeroJobs", {"batch", "--preset", "coin", "--count", "2", "--jobs", "0", "--out-dir", "@/o"}, 2, "--jobs"},
    {"UnknownOption", {"render", "--loud", "-o", "@/a.wav"}, 2, "--loud"},
    {"UnknownCommand", {"play", "x.wav"}, 2, "unknown command 'play'"},
    {"NoCommand", {}, 2, "no command given"},
    {"OptionTwice", {"render", "--seed", "1", "--seed", "2", "-o", "@/a.wav"}, 2, "--seed is given more than once"},
    {"OptionWithoutValue", {"render", "-o", "@/a.wav", "--seed"}, 2, "--seed needs a value"},
    {"StrayArgument", {"render", "stray", "-o", "@/a.wav"}, 2, "unexpected argument 'stray'"},
    {"ControlBytesEscaped", {"render", "--set", "Pi\x01\x1b[2J=1", "-o", "@/a.wav"}, 2, "'Pi\\x01\\x1b[2J'"},
    {"LongInputCut", {"render", "--preset", std::string(100000, 'x'), "-o", "@/a.wav"}, 2, "xxx'... (100000 bytes)"},
    {"NegativeTime", {"render", "--set", "SustainTime=-1", "-o", "@/a.wav"}, 2, "a time cannot be negative"},
    {"NegativeAttack", {"render", "--set", "AttackTime=-0.1", "-o", "@/a.wav"}, 2, "a time cannot be negative"},
    {"NegativeVibratoSpeed", {"render", "--set", "VibSpeed=-1", "-o", "@/a.wav"}, 2, "a speed cannot be negative"},
    {"NegativeChangeSpeed", {"render", "--set", "ChangeSpeed=-1", "-o", "@/a.wav"}, 2, "a speed cannot be negative"},
    {"NegativeRepeatSpeed", {"render", "--set", "RepeatSpeed=-1", "-o", "@/a.wav"}, 2, "a speed cannot be negative"},
    // 56 s of one stage is more than 60 x 41000 samples.
    {"StageLongerThanAnySound", {"render", "--set", "DecayTime=56", "-o", "@/a.wav"}, 2, "longest possible sound"},
    {"StageWrappingPast2To31", {"render", "--set", "SustainTime=48696", "-o", "@/a.wav"}, 2, "longest possible"},
    {"WaveTypeTooLarge", {"render", "--set", "WaveType=99", "-o", "@/a.wav"}, 2, "0 square, 1 sawtooth"},
    {"WaveTypeFour", {"render", "--set", "WaveType=4", "-o", "@/a.wav"}, 2, "0 square, 1 sawtooth"},
    {"WaveTypeNegative", {"render", "--set", "WaveType=-1", "-o", "@/a.wav"}, 2, "0 square, 1 sawtooth"},
    {"WaveTypeFraction", {"render", "--set", "WaveType=1.5", "-o", "@/a.wav"}, 2, "0 square, 1 sawtooth"},
    {"PitchBelowTheLongestPeriod", {"render", "--set", "StartPitchHz=3", "-o", "@/a.wav"}, 2, "3.528 and 44100"},
    {"PitchAboveTheShortestPeriod", {"render", "--set", "MinPitchHz=50000", "-o", "@/a.wav"}, 2, "3.528 and 44100"},
    {"OutputsOneFileTwoSpellings", {"render", "-o", "@/x.wav", "--save-sfs", "@/./x.wav"}, 2, "is the same file as -o"},
    {"OutputOverInput", {"render", "--sfs", "@/v103.sfs", "-o", "@//v103.sfs"}, 2, "is the same file as --sfs"},
    {"OutputOverInputThroughSymlink", {"render", "--sfs", "@/v103.sfs", "--save-sfs", "@/link.sfs"}, 2, "same file"},
    {"TooManyJobs", {"batch", "--preset", "coin", "--count", "2", "--jobs", "100000", "--out-dir", "@/o"}, 2,
     "per core"},
    {"EmptyOutDir", {"batch", "--preset", "coin", "--count", "2", "--out-dir", ""}, 2, "folder name is empty"},
    {"BufferTooLong", {"render", "--buffer-length", "61", "-o", "@/a.wav"}, 2, "--buffer-length: '61' is out of range"},
    {"BufferNegative", {"render", "--buffer-length", "-1", "-o", "@/a.wav"}, 2, "out of range"},
    {"BufferFractional", {"render", "--buffer-length", "2.5", "-o", "@/a.wav"}, 2, "not a whole number"},
    {"InfoBufferTooLong", {"info", "--csv", "1", "--buffer-length", "100"}, 2, "--buffer-length"},
    {"TwoSources", {"render", "--preset", "coin", "--randomize", "-o", "@/a.wav"}, 2, "only one of"},
    {"InfoTwoInputs", {"info", "@/v103.sfs", "--csv", "1"}, 2, "not both"},
    {"NothingToWrite", {"render", "--preset", "coin"}, 2, "nothing to write"},
    {"StdoutTwice", {"render", "--preset", "coin", "-o", "-", "--print-csv"}, 2, "stdout"},
    {"BatchWithoutSource", {"batch", "--count", "2", "--out-dir", "@/o"}, 2, "--preset NAME, --randomize, --sfs"},
    {"BatchWithoutOutDir", {"batch", "--preset", "coin", "--count", "2"}, 2, "--out-dir"},
    {"BatchBadName", {"batch", "--preset", "coin", "--count", "2", "--out-dir", "@/o", "--name", "a/b"}, 2, "--name"},
    {"InfoWithoutInput", {"info"}, 2, "settings file or --csv"},
    {"OutputIntoMissingFolder", {"render", "--seed", "1", "-o", "@/no/such/a.wav"}, 1, "cannot write"},
    {"OutputIsFolder", {"render", "--seed", "1", "-o", "@/folder"}, 1, "cannot write"},
    {"SaveSettingsIntoMissingFolder",
     {"render", "--seed", "1", "-o", "@/a.wav", "--save-sfs", "@/no/such/a.sfs"}, 1, "cannot write"},
    {"BatchOutDirIsFile", {"batch", "--preset", "coin", "--count", "2", "--seed", "1", "--out-dir", "@/v103.sfs"}, 1,
     "cannot create the folder"},
};
INSTANTIATE_TEST_SUITE_P(Cases, ToolRuns, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<RunCase>& param) { return param.param.Title; });

}  // namespace
}  // namespace quavix
