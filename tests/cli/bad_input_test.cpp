// The command line: its strict number parsers in-process, and the tool's runs as a table of
// command lines: the exit status (2 for a usage error, 1 for a failure), the one line on
// stderr, stdout, and what is written.
#include <gtest/gtest.h>

#include "cli_error.h"
#include "cli_test_util.h"
#include "numbers.h"

namespace quavix::test {

// Every refused text is a usage error whose message names the option.
template <typename Parse>
void ExpectRefused(Parse parse, std::initializer_list<const char*> texts) {
  for (const char* text : texts) {
    try {
      parse(text);
      ADD_FAILURE() << text;
    } catch (const cli::CliError& e) {
      EXPECT_TRUE(e.Status == cli::kExitUsage && e.Message.starts_with("--x: '")) << e.Message;
    }
  }
}

TEST(Numbers, WholeNumbersSeedsAndFloats) {
  using namespace cli;
  const auto whole = [](const char* t) { return ParseWhole(t, 0, 60, "--x"); };
  EXPECT_EQ(whole("0") + whole("60") + whole("+7"), 67);
  ExpectRefused(
      whole, {"", "+", "-", "1.0", "1e2", " 1", "1 ", "0x10", "61", "-1", "99999999999999999999"});
  const auto seed = [](const char* t) { return ParseSeed(t, "--x"); };
  EXPECT_TRUE(seed("4294967295") == 4294967295u && seed("-1") == 4294967295u);
  EXPECT_EQ(seed("-2147483648"), 2147483648u);
  ExpectRefused(seed, {"4294967296", "-2147483649"});
  const auto real = [](const char* t) { return ParseUserFloat(t, "--x"); };
  EXPECT_TRUE(real("0.3") == 0.3f && real("+.5") == 0.5f && real("25d-1") == 2.5f);
  EXPECT_EQ(real("3.4e38"), 3.4e38f);
  ExpectRefused(
      real, {"", ".", "e3", "1e", "1,5", "inf", "nan", "0x1p3", "1e39", "-1e400", "1.2.3", "5 "});
}

TEST_P(ToolRuns, StatusMessagesAndFiles) {
  const RunCase& c = GetParam();
  ScratchDir dir;
  // The defaults with a NaN SustainTime (offset 52), cut short, and of a version none reads.
  std::string sfs(105, '\0');
  sfs[0] = 102, sfs[54] = '\xC0', sfs[55] = 0x7F;
  std::ofstream(dir / "nan.sfs") << sfs;
  std::ofstream(dir / "short.sfs") << sfs.substr(0, 60);
  std::ofstream(dir / "v103.sfs") << sfs.replace(0, 1, 1, 103);
  std::ofstream{dir / "empty.sfs"};
  std::filesystem::create_directory(dir / "folder");
  std::filesystem::create_symlink("v103.sfs", dir / "link.sfs");
  auto expected = dir.Entries();
  if (c.Writes != nullptr) expected.insert(c.Writes);
  std::string line = c.Args;
  for (std::size_t at; (at = line.find('@')) != std::string::npos;) line.replace(at, 1, dir.Path);
  const auto r = RunTool(line);
  EXPECT_EQ(r.Status, c.Status) << r.Err;
  EXPECT_EQ(LineCount(r.Err), *c.Err == 0 ? 0 : 1) << r.Err;
  const char* kind = c.Status != 0 ? "quavix: error: " : *c.Err == 0 ? "" : "quavix: warning: ";
  EXPECT_EQ(r.Err.find(kind), 0u) << r.Err;
  EXPECT_NE(r.Err.find(c.Err), std::string::npos) << r.Err;
  EXPECT_NE(r.Out.find(c.Out), std::string::npos) << r.Out;
  EXPECT_TRUE(c.Status == 0 || r.Out.empty()) << r.Out;
  EXPECT_EQ(dir.Entries(), expected);
  EXPECT_TRUE(std::filesystem::is_empty(dir / "folder"));
}

// 0.3 s of sustain stores 0.3637366, 3528 Hz exactly 1.0, repeat speed 10 stores 0.5304257;
// 56 s of one stage is more than 60 x 41000 samples.
const RunCase kCases[] = {
    {"render --seed 5 --print-csv --set sustaintime=0.3 --set StartFreqHz=3528 --set "
     "RepeatSpeed=10",
     0, "", "1.0000,,,0.3637,,0.4000,1.0000,,,,,,,,,,0.5304,,,1.0000,,,,\n"},
    {"render --seed 5 --print-csv --set Volume=0.2 --set Volume=0.7 --set AttackTime=0 --set "
     "WaveType=3",
     0, "", "0.7000,3.0000,,0.3000,,0.4000,0.3000,,,,,,,,,,,,,1.0000,,,,\n"},
    {"render --seed 5 --print-csv --csv 0.5,1,,0.2,,0.3,0.45", 0, "",
     "0.5000,1.0000,,0.2000,,0.3000,0.4500,,,,,,,,,,,,,1.0000,,,,\n"},
    {"info --csv 0.5,2 --seed 4", 0, "", "settings string: 0.5000,2.0000,,0.3000,,0.4000,"},
    {"info --csv 0.5,2 --seed 4", 0, "", "seed 4, buffer 5 s: 25003 samples (0.567 s)"},
    {"render --seed 1 --csv 1,4 -o @/a.wav", 0, "silent: wave type 4 makes no wave", "", "a.wav"},
    {"render --seed 1 --csv 1,7 -o @/a.wav", 0, "silent: wave type 7 is not a wave", "", "a.wav"},
    {"render --seed 1 --set Volume=0 -o @/a.wav", 0, "silent: every sample is 0", "", "a.wav"},
    {"render --seed 1 --preset explosion --set Volume=3 -o @/a.wav", 0, "are clipped at +-32000",
     "", "a.wav"},
    {"render --seed 1 --sfs @/nan.sfs --print-csv", 0,
     "will not read this settings string back: field 3 (SustainTime) is nan", ",,,nan,"},
    {"render --seed 1 --sfs @/none.sfs -o @/a.wav", 1, "none.sfs': No such file or directory"},
    {"render --seed 1 --sfs @/folder -o @/a.wav", 1, "folder': Is a directory"},
    {"render --seed 1 --sfs @/v103.sfs -o @/a.wav", 1, "version 100, 101 or 102"},
    {"render --seed 1 --sfs @/empty.sfs -o @/a.wav", 1, "version"},
    {"render --seed 1 --sfs @/short.sfs -o @/a.wav", 1, "ends before"},
    {"info @/v103.sfs", 1, "version 100, 101 or 102"},
    {"info @/none.sfs", 1, "cannot read"},
    {"render --preset trumpet -o @/a.wav", 2, "unknown preset 'trumpet'"},
    {"render --preset 7 -o @/a.wav", 2, "unknown preset '7'"},
    {"batch --preset x --count 2 --out-dir @/o", 2, "unknown preset"},
    {"render --seed 12abc -o @/a.wav", 2, "--seed: '12abc' is not a whole number"},
    {"render --seed 4294967296 -o @/a.wav", 2, "out of range"},
    {"render --mutate 0..1 -o @/a.wav", 2, "--mutate: '0..1' is not a number"},
    {"render --set Volume=loud -o @/a.wav", 2, "'loud' is not a number"},
    {"render --set Volume -o @/a.wav", 2, "NAME=VALUE"},
    {"render --set Pitch=3 -o @/a.wav", 2, "unknown parameter 'Pitch'"},
    {"render --set StartFreqHz=440.5 -o @/a.wav", 2, "not a whole number"},
    {"render --csv 1,x -o @/a.wav", 2, "field 1 'x'"},
    {"render --csv ,,,,,,,,,,,,,,,,,,,,,,,, -o @/a.wav", 2, "more than 24"},
    {"batch --preset coin --count ten --out-dir @/o", 2, "--count"},
    {"batch --preset coin --count 0 --out-dir @/o", 2, "out of range"},
    {"batch --preset coin --count 2 --jobs 0 --out-dir @/o", 2, "--jobs"},
    {"render --loud -o @/a.wav", 2, "--loud"},
    {"play x.wav", 2, "unknown command 'play'"},
    {"", 2, "no command given"},
    {"render --seed 1 --seed 2 -o @/a.wav", 2, "--seed is given more than once"},
    {"render -o @/a.wav --seed", 2, "--seed needs a value"},
    {"render stray -o @/a.wav", 2, "unexpected argument 'stray'"},
    {"render --set Pi\x01\x1b[2J=1 -o @/a.wav", 2, "'Pi\\x01\\x1b[2J'"},
    {"render --preset " + std::string(100000, 'x') + " -o @/a.wav", 2, "xxx'... (100000 bytes)"},
    {"render --set SustainTime=-1 -o @/a.wav", 2, "a time cannot be negative"},
    {"render --set VibSpeed=-1 -o @/a.wav", 2, "a speed cannot be negative"},
    {"render --set ChangeSpeed=-1 -o @/a.wav", 2, "a speed cannot be negative"},
    {"render --set RepeatSpeed=-1 -o @/a.wav", 2, "a speed cannot be negative"},
    {"render --set DecayTime=56 -o @/a.wav", 2, "longest possible sound"},
    {"render --set SustainTime=48696 -o @/a.wav", 2, "longest possible"},  // wraps past 2^31
    {"render --set WaveType=4 -o @/a.wav", 2, "0 square, 1 sawtooth"},
    {"render --set WaveType=-1 -o @/a.wav", 2, "0 square, 1 sawtooth"},
    {"render --set WaveType=1.5 -o @/a.wav", 2, "0 square, 1 sawtooth"},
    {"render --set StartPitchHz=3 -o @/a.wav", 2, "3.528 and 44100"},
    {"render --set MinPitchHz=50000 -o @/a.wav", 2, "3.528 and 44100"},
    {"render -o @/x.wav --save-sfs @/./x.wav", 2, "is the same file as -o"},
    {"render --sfs @/v103.sfs -o @//v103.sfs", 2, "is the same file as --sfs"},
    {"render --sfs @/v103.sfs --save-sfs @/link.sfs", 2, "same file"},
    {"batch --preset coin --count 2 --jobs 100000 --out-dir @/o", 2, "per core"},
    {"batch --preset coin --count 2 --out-dir ''", 2, "folder name is empty"},
    {"render --buffer-length 61 -o @/a.wav", 2, "--buffer-length: '61' is out of range"},
    {"render --buffer-length -1 -o @/a.wav", 2, "out of range"},
    {"render --buffer-length 2.5 -o @/a.wav", 2, "not a whole number"},
    {"info --csv 1 --buffer-length 100", 2, "--buffer-length"},
    {"render --preset coin --randomize -o @/a.wav", 2, "only one of"},
    {"info @/v103.sfs --csv 1", 2, "not both"},
    {"render --preset coin", 2, "nothing to write"},
    {"render --preset coin -o - --print-csv", 2, "stdout"},
    {"batch --count 2 --out-dir @/o", 2, "--preset NAME, --randomize, --sfs"},
    {"batch --preset coin --count 2", 2, "--out-dir"},
    {"batch --preset coin --count 2 --out-dir @/o --name a/b", 2, "--name"},
    {"info", 2, "settings file or --csv"},
    {"render --seed 1 -o @/no/such/a.wav", 1, "cannot write"},
    {"render --seed 1 -o @/folder", 1, "cannot write"},
    {"render --seed 1 -o @/a.wav --save-sfs @/no/such/a.sfs", 1, "cannot write"},
    {"batch --preset coin --count 2 --seed 1 --out-dir @/v103.sfs", 1, "cannot create the folder"},
};
INSTANTIATE_TEST_SUITE_P(Cases, ToolRuns, ::testing::ValuesIn(kCases));

}  // namespace quavix::test
