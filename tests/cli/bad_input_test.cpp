// Bad command lines and bad files: one line on stderr, exit status 2 for a
// usage error and 1 for a failure, and nothing written.
#include <gtest/gtest.h>

#include "cli_test_util.h"

namespace quavix {
namespace {

using test::RunTool;
using test::ScratchDir;

struct BadCase {
  const char* Title;
  std::vector<std::string> Args;  // "@" stands for the scratch folder
  int Status;
  const char* Message;            // part of the one line on stderr
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const BadCase& c, std::ostream* os) { *os << c.Title; }

void PrepareInputs(const ScratchDir& dir) {
  std::vector<std::uint8_t> sfs(105, 0);
  sfs[0] = 103;  // a version no reader accepts
  test::WriteBytes(dir / "v103.sfs", sfs);
  sfs[0] = 102;
  sfs.resize(60);  // version 102 cut short
  test::WriteBytes(dir / "short.sfs", sfs);
  test::WriteBytes(dir / "empty.sfs", {});
  std::filesystem::create_directory(dir / "folder");
  std::filesystem::create_symlink("v103.sfs", dir / "link.sfs");
}

const std::vector<std::string> kInputs{"empty.sfs", "folder", "link.sfs", "short.sfs", "v103.sfs"};

class BadInput : public ::testing::TestWithParam<BadCase> {};

TEST_P(BadInput, OneLineExitStatusAndNoFileLeft) {
  const BadCase& c = GetParam();
  ScratchDir dir;
  PrepareInputs(dir);
  std::vector<std::string> args;
  for (const std::string& a : c.Args) {
    std::string arg = a;
    const std::size_t at = arg.find('@');
    if (at != std::string::npos) arg.replace(at, 1, dir.Path);
    args.push_back(arg);
  }
  const auto r = RunTool(args);
  EXPECT_EQ(r.Status, c.Status) << r.Err;
  EXPECT_EQ(test::LineCount(r.Err), 1) << r.Err;
  EXPECT_EQ(r.Err.rfind("quavix: error: ", 0), 0u) << r.Err;
  EXPECT_NE(r.Err.find(c.Message), std::string::npos) << r.Err;
  EXPECT_EQ(r.Out, "");
  EXPECT_EQ(dir.Entries(), kInputs) << "something was written";
  EXPECT_TRUE(std::filesystem::is_empty(dir / "folder"));
}

const BadCase kCases[] = {
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

INSTANTIATE_TEST_SUITE_P(Cases, BadInput, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<BadCase>& param) { return param.param.Title; });

}  // namespace
}  // namespace quavix
