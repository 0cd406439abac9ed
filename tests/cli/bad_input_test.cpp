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
}

const std::vector<std::string> kInputs{"empty.sfs", "folder", "short.sfs", "v103.sfs"};

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
    {"MissingSettingsFile", {"render", "--seed", "1", "--sfs", "@/none.sfs", "-o", "@/a.wav"}, 1, "cannot read"},
    {"SettingsFileIsFolder", {"render", "--seed", "1", "--sfs", "@/folder", "-o", "@/a.wav"}, 1, "cannot read"},
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
    {"NoCommand", {}, 2, "subcommand"},
    {"BufferTooLong", {"render", "--buffer-length", "61", "-o", "@/a.wav"}, 2, "--buffer-length: '61' is out of range"},
    {"BufferNegative", {"render", "--buffer-length", "-1", "-o", "@/a.wav"}, 2, "out of range"},
    {"BufferFractional", {"render", "--buffer-length", "2.5", "-o", "@/a.wav"}, 2, "not a whole number"},
    {"InfoBufferTooLong", {"info", "--csv", "1", "--buffer-length", "100"}, 2, "--buffer-length"},
    {"TwoSources", {"render", "--preset", "coin", "--randomize", "-o", "@/a.wav"}, 2, "only one of"},
    {"InfoTwoInputs", {"info", "@/v103.sfs", "--csv", "1"}, 2, "not both"},
    {"NothingToWrite", {"render", "--preset", "coin"}, 2, "nothing to write"},
    {"StdoutTwice", {"render", "--preset", "coin", "-o", "-", "--print-csv"}, 2, "stdout"},
    {"BatchWithoutSource", {"batch", "--count", "2", "--out-dir", "@/o"}, 2, "--preset NAME or --randomize"},
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

// A sound that cannot be written stops the batch: the sounds already written
// are taken back and no manifest is written.
TEST(BadOutput, BatchWithAnUnwritableSoundLeavesNothing) {
  ScratchDir dir;
  std::filesystem::create_directories(dir / "o/coin-1.wav/inside");  // a folder where sound 1 goes
  const auto r = RunTool({"batch", "--preset", "coin", "--count", "4", "--seed", "1", "--out-dir", dir / "o",
                          "--jobs", "1"});
  EXPECT_EQ(r.Status, 1);
  EXPECT_EQ(test::LineCount(r.Err), 1) << r.Err;
  EXPECT_NE(r.Err.find("cannot write"), std::string::npos) << r.Err;
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir / "o")) names.push_back(e.path().filename());
  EXPECT_EQ(names, std::vector<std::string>{"coin-1.wav"});
}

// A manifest that cannot be written takes the sounds of the batch back.
TEST(BadOutput, BatchWhoseManifestCannotBeWrittenLeavesNoSound) {
  ScratchDir dir;
  std::filesystem::create_directories(dir / "o/manifest.json/inside");  // a folder where the manifest goes
  const auto r = RunTool({"batch", "--preset", "coin", "--count", "3", "--seed", "1", "--out-dir", dir / "o"});
  EXPECT_EQ(r.Status, 1);
  EXPECT_NE(r.Err.find("cannot write"), std::string::npos) << r.Err;
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir / "o")) names.push_back(e.path().filename());
  EXPECT_EQ(names, std::vector<std::string>{"manifest.json"});
}

}  // namespace
}  // namespace quavix
