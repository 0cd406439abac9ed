// quavix render, end to end: the files it writes are read back with libsndfile
// and compared with the library's own synthesis.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <nlohmann/json.hpp>

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

// Where -o and --save-sfs land, by what the target is before the run.
struct TargetCase {
  const char* Title;
  const char* Option;                                    // "-o" or "--save-sfs"
  std::function<std::string(const ScratchDir&)> Prepare;  // the name to give; "" to skip the case
  std::function<void(const ScratchDir&, const std::vector<std::uint8_t>& expected)> Check;
};
void PrintTo(const TargetCase& c, std::ostream* os) { *os << c.Title; }

const std::vector<std::uint8_t> kOld(1000, 0xAB);

struct stat StatOf(const std::string& path) {
  struct stat st {};
  lstat(path.c_str(), &st);
  return st;
}

pid_t DeadProcess() {
  const pid_t pid = fork();
  if (pid == 0) _exit(0);
  waitpid(pid, nullptr, 0);
  return pid;
}

const TargetCase kTargets[] = {
    {"ExistingFileKeepsItsMode", "-o",
     [](const ScratchDir& d) {
       test::WriteBytes(d / "x", kOld);
       chmod((d / "x").c_str(), 0640);
       return d / "x";
     },
     [](const ScratchDir& d, const auto& expected) {
       EXPECT_EQ(ReadBytes(d / "x"), expected);
       EXPECT_EQ(StatOf(d / "x").st_mode & 07777, 0640u);
     }},
    {"HardLinkIsBrokenAndKeepsTheOldContent", "--save-sfs",
     [](const ScratchDir& d) {
       test::WriteBytes(d / "x", kOld);
       link((d / "x").c_str(), (d / "y").c_str());
       return d / "x";
     },
     [](const ScratchDir& d, const auto& expected) {
       EXPECT_EQ(ReadBytes(d / "x"), expected);
       EXPECT_EQ(ReadBytes(d / "y"), kOld);
     }},
    {"SymlinkIsFollowed", "-o",
     [](const ScratchDir& d) {
       std::filesystem::create_directory(d / "sub");
       test::WriteBytes(d / "sub/real", kOld);
       chmod((d / "sub/real").c_str(), 0600);
       std::filesystem::create_symlink("sub/real", d / "link");
       return d / "link";
     },
     [](const ScratchDir& d, const auto& expected) {
       EXPECT_TRUE(S_ISLNK(StatOf(d / "link").st_mode));
       EXPECT_EQ(ReadBytes(d / "sub/real"), expected);
       EXPECT_EQ(StatOf(d / "sub/real").st_mode & 07777, 0600u);
     }},
    {"DanglingSymlinkCreatesItsTarget", "--save-sfs",
     [](const ScratchDir& d) {
       std::filesystem::create_directory(d / "sub");
       std::filesystem::create_symlink("sub/new", d / "link");
       return d / "link";
     },
     [](const ScratchDir& d, const auto& expected) {
       EXPECT_TRUE(S_ISLNK(StatOf(d / "link").st_mode));
       EXPECT_EQ(ReadBytes(d / "sub/new"), expected);
     }},
    {"CharacterDeviceIsWrittenInPlace", "-o",
     [](const ScratchDir& d) {
       // A null device of our own, never the system's.
       return mknod((d / "null").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0 ? d / "null" : "";
     },
     [](const ScratchDir& d, const auto&) {
       const struct stat st = StatOf(d / "null");
       EXPECT_TRUE(S_ISCHR(st.st_mode));
       EXPECT_EQ(st.st_rdev, makedev(1, 3));
     }},
    {"FifoIsWrittenInPlace", "-o",
     [](const ScratchDir& d) {
       mkfifo((d / "fifo").c_str(), 0644);
       const std::string reader = "cat '" + d / "fifo" + "' > '" + d / "got" + "' &";
       return std::system(reader.c_str()) == 0 ? d / "fifo" : "";
     },
     [](const ScratchDir& d, const auto& expected) {
       EXPECT_TRUE(S_ISFIFO(StatOf(d / "fifo").st_mode));
       for (int i = 0; i < 100 && ReadBytes(d / "got").size() < expected.size(); ++i) usleep(20000);
       EXPECT_EQ(ReadBytes(d / "got"), expected);
     }},
    {"StaleTemporaryOfADeadProcessIsRemoved", "-o",
     [](const ScratchDir& d) {
       test::WriteBytes(d / (".quavix-tmp-" + std::to_string(DeadProcess()) + "-0"), kOld);
       test::WriteBytes(d / (".quavix-tmp-" + std::to_string(getpid()) + "-0"), kOld);
       return d / "x";
     },
     [](const ScratchDir& d, const auto& expected) {
       EXPECT_EQ(ReadBytes(d / "x"), expected);
       EXPECT_EQ(d.Entries(), (std::vector<std::string>{".quavix-tmp-" + std::to_string(getpid()) + "-0", "x"}));
     }},
};

class RenderTargets : public ::testing::TestWithParam<TargetCase> {};

TEST_P(RenderTargets, LandWhereTheUserMeans) {
  const TargetCase& c = GetParam();
  ScratchDir dir;
  ScratchDir reference;
  const std::string ref = reference / "ref";
  ASSERT_EQ(RunTool({"render", "--seed", "3", "--preset", "coin", c.Option, ref}).Status, 0);
  const std::string target = c.Prepare(dir);
  if (target.empty()) GTEST_SKIP() << "this system does not let the test make the file";
  const auto r = RunTool({"render", "--seed", "3", "--preset", "coin", c.Option, target});
  ASSERT_EQ(r.Status, 0) << r.Err;
  c.Check(dir, ReadBytes(ref));
}

INSTANTIATE_TEST_SUITE_P(Cases, RenderTargets, ::testing::ValuesIn(kTargets),
                         [](const ::testing::TestParamInfo<TargetCase>& param) { return param.param.Title; });

TEST(RenderOutputs, DashRefusesATerminal) {
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(grantpt(master), 0);
  ASSERT_EQ(unlockpt(master), 0);
  test::RunOptions options;
  options.Stdout = ptsname(master);
  const auto r = RunTool({"render", "--seed", "1", "-o", "-"}, options);
  close(master);
  EXPECT_EQ(r.Status, 2);
  EXPECT_EQ(test::LineCount(r.Err), 1) << r.Err;
  EXPECT_NE(r.Err.find("to the terminal"), std::string::npos) << r.Err;
}

TEST(RenderSources, SettingsFileFromStdin) {
  ScratchDir dir;
  ASSERT_EQ(RunTool({"render", "--seed", "6", "--preset", "blip", "--save-sfs", dir / "b.sfs", "-o", dir / "a.wav"})
                .Status,
            0);
  test::RunOptions options;
  options.Stdin = dir / "b.sfs";
  ASSERT_EQ(RunTool({"render", "--seed", "6", "--sfs", "-", "-o", dir / "b.wav"}, options).Status, 0);
  EXPECT_EQ(ReadBytes(dir / "a.wav"), ReadBytes(dir / "b.wav"));
}

// Sounds the module makes but nobody hears as meant: written, with one warning line.
struct WarningCase {
  const char* Title;
  std::vector<std::string> Args;  // "@" stands for the scratch folder
  const char* Warning;
};
void PrintTo(const WarningCase& c, std::ostream* os) { *os << c.Title; }

class RenderWarnings : public ::testing::TestWithParam<WarningCase> {};

TEST_P(RenderWarnings, OneLineAndTheFileIsWritten) {
  const WarningCase& c = GetParam();
  ScratchDir dir;
  // Defaults with a NaN SustainTime (offset 52): no settings string carries it.
  std::vector<std::uint8_t> nan(105, 0);
  nan[0] = 102;
  nan[54] = 0xC0;
  nan[55] = 0x7F;
  test::WriteBytes(dir / "nan.sfs", nan);
  std::vector<std::string> args{"render", "--seed", "1"};
  for (std::string a : c.Args) {
    if (a[0] == '@') a = dir.Path + a.substr(1);
    args.push_back(a);
  }
  const auto r = RunTool(args);
  EXPECT_EQ(r.Status, 0) << r.Err;
  EXPECT_EQ(test::LineCount(r.Err), 1) << r.Err;
  EXPECT_EQ(r.Err.rfind("quavix: warning: ", 0), 0u) << r.Err;
  EXPECT_NE(r.Err.find(c.Warning), std::string::npos) << r.Err;
}

const WarningCase kWarnings[] = {
    {"NoWave", {"--csv", "1,4", "-o", "@/a.wav"}, "silent: wave type 4 makes no wave"},
    {"WaveTypeOutsideTheRange", {"--csv", "1,7", "-o", "@/a.wav"}, "silent: wave type 7 is not a wave"},
    {"ZeroVolume", {"--set", "Volume=0", "-o", "@/a.wav"}, "silent: every sample is 0"},
    {"Clipping", {"--preset", "explosion", "--set", "Volume=3", "-o", "@/a.wav"}, "are clipped at +-32000"},
    {"NotANumberInTheSettingsString", {"--sfs", "@/nan.sfs", "--print-csv"},
     "--csv will not read this settings string back: field 3 (SustainTime) is nan"},
};
INSTANTIATE_TEST_SUITE_P(Cases, RenderWarnings, ::testing::ValuesIn(kWarnings),
                         [](const ::testing::TestParamInfo<WarningCase>& param) { return param.param.Title; });

// The pitch a sine sounds at, measured from its rising zero crossings
// (linearly interpolated) over the first second.
double MeasuredPitch(const std::vector<std::int16_t>& s) {
  double first = -1;
  double last = -1;
  int cycles = -1;
  for (std::size_t i = 1000; i < 45100 && i < s.size(); ++i) {
    if (s[i - 1] < 0 && s[i] >= 0) {
      const double at = static_cast<double>(i - 1) + s[i - 1] / static_cast<double>(s[i - 1] - s[i]);
      if (first < 0) first = at;
      last = at;
      ++cycles;
    }
  }
  return cycles > 0 ? cycles * 44100.0 / (last - first) : 0;
}

struct PitchCase {
  const char* Set;
  double Low;
  double High;
};
void PrintTo(const PitchCase& c, std::ostream* os) { *os << c.Set; }

class RenderPitch : public ::testing::TestWithParam<PitchCase> {};

TEST_P(RenderPitch, MeasuredPitchAndInfoAgree) {
  const PitchCase& c = GetParam();
  ScratchDir dir;
  const auto r = RunTool({"render", "--seed", "1", "--set", "WaveType=2", "--set", "SustainTime=1.2", "--set", c.Set,
                          "-o", dir / "p.wav", "--save-sfs", dir / "p.sfs"});
  ASSERT_EQ(r.Status, 0) << r.Err;
  const double pitch = MeasuredPitch(ReadSound(dir / "p.wav").Samples);
  EXPECT_GE(pitch, c.Low);
  EXPECT_LE(pitch, c.High);
  const auto info = nlohmann::json::parse(RunTool({"info", dir / "p.sfs", "--json"}).Out);
  EXPECT_NEAR(info["start_pitch_hz"].get<double>(), pitch, 0.02);
}

// The oscillator's pitch is 8 x 44100 / period with a whole period: near
// 440 Hz the periods 801 and 802 sound 0.55 Hz apart, so the closest lies
// within 0.28 Hz; 50 Hz is exactly period 7056. FreqHz sounds 3.528 Hz high,
// and the period's truncation raises it by up to one period's step.
const PitchCase kPitches[] = {
    {"StartPitchHz=440", 439.72, 440.28},
    {"StartPitchHz=50", 49.99, 50.01},
    {"StartPitchHz=2000", 1994.3, 2005.7},  // periods 176 and 177 lie 11.3 Hz apart
    {"StartFreqHz=440", 443.52, 444.1},
    {"StartFreqHz=50", 53.52, 53.54},
};
INSTANTIATE_TEST_SUITE_P(Cases, RenderPitch, ::testing::ValuesIn(kPitches),
                         [](const ::testing::TestParamInfo<PitchCase>& param) {
                           std::string name = param.param.Set;
                           name.erase(name.find('='), 1);
                           return name;
                         });

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
  const auto r = RunTool({"render", "--seed", "1", "--set", "SustainTime=55", "--set", "DecayTime=10",
                          "--buffer-length", "60", "-o", dir / "long.wav"});
  ASSERT_EQ(r.Status, 0) << r.Err;
  EXPECT_EQ(ReadSound(dir / "long.wav").Frames, 60 * 41000);
#if !defined(__SANITIZE_ADDRESS__)
  // The whole 60-second sound (4.9 MB of samples) is held once.
  EXPECT_LT(r.PeakResidentKb, 16 * 1024);
#endif
}

TEST(Help, EveryCommandHasHelpWithExamples) {
  for (const std::string command : {"render", "batch", "info", "presets"}) {
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

TEST(Help, PresetsListsEveryFamilyAndParameter) {
  const auto r = RunTool({"presets"});
  ASSERT_EQ(r.Status, 0);
  for (const auto& family : kPresetFamilyNames) {
    std::string line = std::to_string(family.Family);
    line.append("  ").append(family.Name).append("\n");
    EXPECT_NE(r.Out.find(line), std::string::npos) << line;
  }
  for (const ParamInfo& p : kParamTable) {
    std::string word = " ";
    word.append(p.Name).append(" ");
    EXPECT_NE(r.Out.find(word), std::string::npos) << word;
  }
  // Stored 0 to 1 of an envelope time is 0 to 2.2675 seconds.
  EXPECT_NE(r.Out.find("0 to 2.267"), std::string::npos) << r.Out;
}

TEST(Help, VersionIsPrinted) {
  const auto r = RunTool({"--version"});
  EXPECT_EQ(r.Status, 0);
  EXPECT_EQ(r.Out, "quavix " QUAVIX_VERSION "\n");
}

}  // namespace
}  // namespace quavix
