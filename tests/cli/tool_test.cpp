// The tool through its binary (status 2: usage error, 1: failure); its number parsers in-process.
#include <fcntl.h>

#include <iostream>
#include <regex>
#include <thread>

#include "cli_error.h"
#include "cli_test_util.h"
#include "exchange/param_units.h"
#include "exchange/settings_string.h"
#include "numbers.h"

namespace quavix::test {
namespace {

using Json = nlohmann::json;
namespace fs = std::filesystem;

// Every refused text is a usage error whose message names the option.
void ExpectRefused(auto parse, std::initializer_list<const char*> texts) {
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
  std::ofstream(dir / "text.sfs") << "a note\n";
  std::ofstream(dir / "csv.sfs") << "0.5,2\n";
  std::ofstream(dir / "bytes.sfs") << std::string("\x9c\xf1\x07\xe2\x00\x81", 6);
  std::ofstream(dir / "riff.sfs") << "RIFF\x24\x00\x00\x00WAVEfmt ";
  std::ofstream(dir / "aiff.sfs") << std::string("FORM\0\0\0\x04" "AIFF", 12);
  std::ofstream(dir / "cut.sfs") << std::string("\x66\x00", 2);
  std::filesystem::create_directory(dir / "folder");
  std::filesystem::create_symlink("v103.sfs", dir / "link.sfs");
  std::filesystem::create_symlink("gone", dir / "dangling");
  auto expected = dir.Entries();
  if (c.Writes != nullptr) expected.insert(c.Writes);
  const auto placed = [&](std::string text) {
    for (std::size_t at; (at = text.find('@')) != std::string::npos;) text.replace(at, 1, dir.Path);
    return text;
  };
  const std::string line = placed(c.Args);
  const auto r = Shell(std::regex_replace(line, std::regex("^(\\w+=\\S* )*"), "$&$Q "));
  EXPECT_TRUE(r.Status == c.Status && LineCount(r.Err) == (*c.Err == 0 ? 0 : 1))
      << r.Status << r.Err;
  const std::string kind = c.Status != 0 ? "error: " : Has(c.Err, "wrote") ? "" : "warning: ";
  EXPECT_TRUE((*c.Err == 0 || r.Err.starts_with("quavix: " + kind)) && Has(r.Err, placed(c.Err)))
      << r.Err;
  EXPECT_TRUE(Has(r.Out, c.Out) && (c.Status == 0 || r.Out.empty())) << r.Out;
  EXPECT_EQ(dir.Entries(), expected);
  EXPECT_TRUE(std::filesystem::is_empty(dir / "folder"));
}

const unsigned kJobLimit = 4 * std::max(1u, std::thread::hardware_concurrency());  // per core
const std::string kFree = "QUAVIX_TEST_FREE_BYTES=",
                  kDefaults = " --csv 1,,,0.3,,0.4,0.3,,,,,,,,,,,,,1",
                  kJobs = " --jobs " + std::to_string(kJobLimit),
                  kJobsOver = " --jobs " + std::to_string(kJobLimit + 1);

// 0.3 s of sustain stores 0.3637366, 3528 Hz exactly 1.0, repeat speed 10 stores 0.5304257; 56 s
// of one stage is more than 60 x 41000 samples.
const RunCase kCases[] = {
    {"render --seed 5 --print-csv --set sustaintime=0.3 --set StartFreqHz=3528 "
     "--set RepeatSpeed=10 --set Volume=0.2 --set Volume=0.7 --set AttackTime=0 --set WaveType=3",
     0, "", "0.7000,3.0000,,0.3637,,0.4000,1.0000,,,,,,,,,,0.5304,,,1.0000,,,,\n"},
    {"info --csv 0.5,2 --seed 4", 0, "", "seed 4, buffer 5 s: 25003 samples (0.567 s)"},
    // The users' rule: counts that would wrap past 2^31 (-327.7020, -331.0390) keep the longest.
    {"render --print-csv --seed 1 --set ChangeSpeed=49000 --set RepeatSpeed=0.00002", 0, "",
     "1.0000,,,0.3000,,0.4000,0.3000,,,,,,,-326.6800,,,-326.6800,,,1.0000,,,,\n"},
    {"render --help", 0, "", "Examples:\n  quavix render"},
    {"render --help", 0, "", "4. mutate them with --mutate C;\n  5. synthesize"},
    {"--help", 0, "", "Usage: quavix [OPTIONS] COMMAND\n"},
    {"--help", 0, "", "\nCommands:\n  render "},
    {"batch --help", 0, "", "  --seed S Not with: --project\n"},
    {"batch --help", 0, "", "  --out-dir DIR (required) "},
    {"presets", 0, "",
     "  0  coin\n  1  laser\n  2  explosion\n  3  powerup\n  4  hurt\n  5  jump\n  6  blip\n"},
    {"presets", 0, "", "AttackTime     seconds               0 to 1           0 to 2.267"},
    {"--version", 0, "", "quavix " QUAVIX_VERSION "\n"},
    // A stored 1 is off for a repeat and for a change; a change at 0 comes after 20000 / 44100 s.
    {"info --csv 1,,,,,,,,,,,,,,,,1", 0, "", "RepeatSpeed            off  repeats per second"},
    {"info --csv 1,,,,,,,,,,,,,1", 0, "", "ChangeSpeed            off  seconds"},
    {"info --csv 1,,,,,,,,,,,,,0", 0, "", "ChangeSpeed       0.453515  seconds"},
    // A sustain of 2.1 x 2.1 x 2.2675 = 9.9997 s outlasts these buffers of seconds x 41000 samples.
    {"info --csv 1,,,2.1 --buffer-length 0", 0, "", "buffer 0 s: 0 samples"},
    {"info --csv 1,,,2.1 --buffer-length 1", 0, "", "buffer 1 s: 41000 samples"},
    {"info --csv 1 --buffer-length 1", 0, "", "buffer 1 s: 25003 samples"},
    {"render --seed 1 --csv 1,4 -o @/a.wav", 0, "silent: wave type 4 makes no wave", "", "a.wav"},
    {"render --seed 1 --csv 1,7 -o @/a.wav", 0, "silent: wave type 7 is not a wave", "", "a.wav"},
    {"render --seed 1 --set Volume=0 -o @/a.wav", 0, "silent: every sample is 0", "", "a.wav"},
    {"render --seed 1 --preset 2 --set Volume=3 -o @/a.wav", 0, "clipped at +-32000", "", "a.wav"},
    {"render --seed 1 --sfs @/nan.sfs --print-csv", 0, "field 3 (SustainTime) is nan", ",,,nan,"},
    {"render --seed 1 --sfs @/none.sfs -o @/a.wav", 1, "none.sfs': No such file or directory"},
    {"render --seed 1 --sfs @/folder -o @/a.wav", 1, "folder': Is a directory"},
    // What a file is when it is not a settings file.
    {"render --seed 1 --sfs @/empty.sfs -o @/a.wav", 1, "is empty, not a settings file"},
    {"render --seed 1 --sfs @/text.sfs -o @/a.wav", 1, "text.sfs' is text, not a settings file"},
    {"render --seed 1 --sfs @/csv.sfs -o @/a.wav", 1, "reads as a settings string, which --csv takes"},
    {"render --seed 1 --sfs @/bytes.sfs -o @/a.wav", 1, "starts with the bytes 9c f1 07 e2"},
    {"render --seed 1 --sfs @/riff.sfs -o @/a.wav", 1, "is a WAV sound file, not a settings file"},
    {"render --seed 1 --sfs @/aiff.sfs -o @/a.wav", 1,
     "is an AIFF sound file, not a settings file ('quavix info"},
    {"info @/aiff.sfs", 1, "cannot read '@/aiff.sfs' as a sound file: it has no COMM chunk"},
    {"render --seed 1 --sfs @/cut.sfs -o @/a.wav", 1, "ends after 2 bytes, inside its version field"},
    {"render --seed 1 --sfs @/v103.sfs -o @/a.wav", 1, "has version 103; settings files have version 100, 101 or 102"},
    // Mistyped options and commands.
    {"render --prest coin -o @/a.wav", 2, "'--prest' (did you mean --preset?)"},
    {"batch --preset coin --cont 2 --out-dir @/o", 2, "(did you mean --count?)"},
    {"info --jsn --csv 1", 2, "(did you mean --json?)"},
    {"rendr --preset coin -o @/a.wav", 2, "unknown command 'rendr' (did you mean render?)"},
    {"-v", 2, "unknown option '-v' (did you mean --version?)"},
    {"--verison", 2, "unknown option '--verison' (did you mean --version?)"},
    {"--loud render", 2, "unknown option '--loud' before the command"},
    // --mutate takes an amount from 0 to 1.
    {"render --seed 1 --mutate 0 -o @/a.wav", 0, "", "", "a.wav"},
    {"render --seed 1 --mutate 1 -o @/a.wav", 0, "", "", "a.wav"},
    {"render --mutate 1.0001 -o @/a.wav", 2, "--mutate: '1.0001' is not an amount from 0 to 1"},
    {"render --mutate -0.001 -o @/a.wav", 2, "is not an amount from 0 to 1"},
    {"batch --preset coin --count 2 --mutate 1e38 --out-dir @/o", 2, "'1e38' is not an amount"},
    // --trim's threshold is optional: a word that is not a number after it is the file.
    {"info --trim @/v103.sfs", 1, "has version 103"},
    {"info --trim -50 @/v103.sfs", 1, "has version 103"},
    {"info --trim x @/v103.sfs", 2, "--trim: 'x' is not a number"},
    // Names with control characters.
    {"batch --preset coin --count 2 --out-dir @/o --name \"$(printf 'a\\nb')\"", 2,
     "--name: 'a\\x0ab' holds control characters"},
    {"batch --preset coin --count 2 --out-dir @/o --name \"$(printf 'a\\033[2Jb')\"", 2,
     "'a\\x1b[2Jb' holds control"},
    {"batch --preset coin --count 2 --out-dir @/o --name \"$(printf 'a\\177')\"", 2, "'a\\x7f' holds"},
    {"batch --preset coin --count 2 --out-dir @/o --name \"$(printf 'a\\tb')\"", 2, "'a\\x09b' holds"},
    // Names that Windows could not hold: its characters, or a device name before the first dot
    // (the names' edges are the project file names', project_test.cpp).
    {"batch --preset coin --count 2 --out-dir @/o --name con.x", 2,
     "--name: 'con.x' starts with 'con', which Windows keeps for a device"},
    {"batch --preset coin --count 2 --out-dir @/o --name 'CON .x'", 2,
     "starts with 'CON', which Windows keeps"},
    {"batch --preset coin --count 2 --seed 1 --out-dir @/o --name con", 0,
     "wrote 2 sounds (con-0.wav", "", "o"},
    // A settings file's name that --name would refuse gives way to "sound".
    {"render --seed 1 --save-sfs @/con.x.sfs && $Q batch --sfs @/con.x.sfs --count 1 --seed 1 "
     "--out-dir @/o && rm @/con.x.sfs",
     0, "wrote 1 sound (sound-0.wav)", "", "o"},
    {"render --seed 1 --save-sfs @/cons.x.sfs && $Q batch --sfs @/cons.x.sfs --count 1 --seed 1 "
     "--out-dir @/o && rm @/cons.x.sfs",
     0, "wrote 1 sound (cons.x-0.wav)", "", "o"},
    {"batch --preset coin --count 2 --out-dir @/o --name 'a:b'", 2,
     "--name: 'a:b' holds ':', which Windows does not allow in a file name"},
    {"batch --preset coin --count 2 --out-dir @/o --name 'a\\b'", 2,
     "holds '\\x5c', which Windows"},
    {"batch --preset coin --count 2 --out-dir @/o --name 'a<b>'", 2, "holds '<'"},
    {"batch --preset coin --count 2 --out-dir @/o --name 'a\"'", 2, "holds '\"'"},
    {"batch --preset coin --count 2 --out-dir @/o --name 'a|b?*'", 2, "holds '|'"},
    {"batch --preset coin --count 2 --out-dir @/o --name 'a*'", 2, "holds '*'"},
    // Names that JSON cannot hold are refused before anything is rendered.
    {"batch --preset coin --count 2 --out-dir @/o --name \"$(printf 'a\\377')\"", 2,
     "--name: 'a\\xff' is not UTF-8 text, which manifest.json cannot hold"},
    {"batch --count 2 --out-dir @/o --sfs \"$(printf '@/\\300\\200.sfs')\"", 2,
     "--sfs: the name '@/\\xc0\\x80.sfs' is not UTF-8 text"},
    {"batch --out-dir @/o --project \"$(printf '@/\\355\\240\\200')\"", 2, "--project: the name"},
    // Seen from the folder the manifest lies in, a settings file's path goes through one that is
    // not.
    {"render --seed 1 --save-sfs @/a.sfs && d=\"$(printf '@/\\377')\" && mkdir \"$d\" && mv "
     "@/a.sfs \"$d\" && cd \"$d\" && "
     "$Q batch --sfs a.sfs --count 1 --seed 1 --out-dir ../o",
     2,
     "--sfs: manifest.json names 'a.sfs' from its folder as '../\\xff/a.sfs', which is not UTF-8 "
     "text",
     "", "\xff"},
    {"render --seed 1 -o \"$(printf '@/\\377.wav')\" && $Q info --json \"$(printf '@/\\377.wav')\"",
     2, "--json: the file name '@/\\xff.wav' is not UTF-8 text, which JSON cannot hold", "",
     "\xff.wav"},
    {"render --seed 1 -o \"$(printf '@/\\377.wav')\" && $Q info \"$(printf '@/\\377.wav')\"", 0, "",
     "25003 frames", "\xff.wav"},
    {"render --seed 1 -o @/\xc3\xa9.wav && $Q info --json @/\xc3\xa9.wav", 0, "",
     "\"frames\": 25003", "\xc3\xa9.wav"},
    // A dangling symlink as the folder, or on the way to it.
    {"batch --preset coin --count 2 --seed 1 --out-dir @/dangling", 1,
     "cannot write into '@/dangling': it is a symbolic link to '@/gone', which does not exist"},
    {"batch --preset coin --count 2 --seed 1 --out-dir @/dangling/o", 1,
     "': '@/dangling' is a symbolic link to"},
    // The option parser's leftovers, in the tool's words.
    {"info --json=yes --csv 1", 2, "--json takes no value, not 'yes'"},
    {"render --randomize=1 -o @/a.wav", 2, "--randomize takes no value, not '1'"},
    {"batch --preset coin --count 2 --out-dir @/o --skip-silent=maybe", 2,
     "--skip-silent takes no value, not 'maybe'"},
    {"render ---seed 1 -o @/a.wav", 2, "unknown option '---seed' (did you mean --seed?)"},
    {"render -abc -o @/a.wav", 2, "unknown option '-abc' (see --help)"},
    {"presets extra more", 2, "unexpected arguments 'extra' 'more' (see --help)"},
    {"render --seed 1 --sfs @/short.sfs -o @/a.wav", 1, "ends before"},
    {"info @/v103.sfs", 1, "version 100, 101 or 102"},
    {"info @/none.sfs", 1, "cannot read"},
    {"render --preset trumpet -o @/a.wav", 2, "unknown preset 'trumpet'"},
    {"render --preset 7 -o @/a.wav", 2, "unknown preset '7'"},
    {"render --seed 12abc -o @/a.wav", 2, "--seed: '12abc' is not a whole number"},
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
    // The core's rule for users' values, whose edges the C API's tests hold, with the longest
    // stage: 60 x 41000 samples are 24.6 stored^2, 24.6 x 2.2675 = 55.78 s.
    {"render --set SustainTime=-1 -o @/a.wav", 2, "--set 'SustainTime=-1': a time cannot be negative"},
    {"render --set DecayTime=56 -o @/a.wav", 2, "longer than the longest possible sound (55.78 s)"},
    {"render --set StartPitchHz=3 -o @/a.wav", 2, "3.528 and 44100"},
    {"render --set MinPitchHz=50000 -o @/a.wav", 2, "3.528 and 44100"},
    {"render -o @/x.wav --save-sfs @/./x.wav", 2, "is the same file as -o"},
    {"render --sfs @/v103.sfs -o @//v103.sfs", 2, "is the same file as --sfs"},
    {"render --sfs @/v103.sfs --save-sfs @/link.sfs", 2, "same file"},
    // The defaults' 25003 samples need more than their 50006 + 44 bytes.
    {kFree + "1000000 batch --count 1 --seed 1 --out-dir @/o" + kJobs + kDefaults, 0,
     "wrote 1 sound (sound-0.wav)", "", "o"},
    {"batch --preset coin --count 2 --out-dir @/o" + kJobsOver, 2, "per core"},
    {kFree + "50050 batch --count 1 --seed 1 --out-dir @/o" + kDefaults, 1, "not enough space"},
    {kFree + "10 batch --preset coin --count 3 --seed 1 --out-dir @/new", 1, "not enough space"},
    {"batch --preset coin --count 2 --out-dir ''", 2, "folder name is empty"},
    {"render --buffer-length 61 -o @/a.wav", 2, "--buffer-length: '61' is out of range"},
    {"render --buffer-length -1 -o @/a.wav", 2, "out of range"},
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
    {"batch --preset coin --count 2 --seed 1 --out-dir @/v103.sfs", 1,
     "cannot write into '@/v103.sfs': it exists and is not a folder"},
};
INSTANTIATE_TEST_SUITE_P(Cases, ToolRuns, ::testing::ValuesIn(kCases));

// The module's sequence (seed, source, each --set in order, mutate, synthesis) in its image; its
// settings file, from a path or stdin, makes it again; a clock seed is printed and does too.
TEST(Render, SoundsAreTheModulesSavedAndMadeAgain) {
  ScratchDir dir;
  const std::string q = "cd " + dir.Path + " && $Q render ";
  const std::string recipe = "--randomize --set WaveType=2 --set AttackTime=0.01 --mutate 0.2";
  const auto made = Shell(q + "--seed 4242 " + recipe + " --save-sfs l.sfs -o -").Out;
  EXPECT_EQ(made, ModuleImage(LibrarySound(4242, [](SynthParams& p, RandomSource& r) {
              Randomize(p, r);
              p.WaveType = 2;
              p.AttackTime = TimeToStored(p, 0.01f);
              Mutate(p, 0.2f, r);
            })));
  EXPECT_EQ(dir.Entries(), std::set<std::string>{"l.sfs"});  // no temporary remains
  ASSERT_EQ(Shell(q + "--seed 4242 --sfs l.sfs -o b.wav").Status, 0);
  EXPECT_EQ(ReadText(dir / "b.wav"), made);
  EXPECT_EQ(Shell(q + "--seed 4242 --sfs - -o - <l.sfs").Out, made);
  const auto r = Shell(q + "--preset coin -o a.wav");
  ASSERT_TRUE(r.Err.starts_with("quavix: seed ") && LineCount(r.Err) == 1) << r.Err;
  const std::string seed = r.Err.substr(13, r.Err.find(' ', 13) - 13);
  ASSERT_EQ(Shell(q + "--preset coin -o b.wav --seed " + seed).Status, 0);
  EXPECT_EQ(ReadText(dir / "a.wav"), ReadText(dir / "b.wav"));
}

// Where -o and --save-sfs land, by what the target is before the run, checked in the shell: $REF
// holds the bytes a plain run writes, $DEAD and $LIVE number a finished and a running process.
TEST(Render, OutputsLandWhereTheUserMeans) {
  struct Case {
    const char *Option, *Prepare, *Target, *Check;
  } const cases[] = {
      {"-o", "printf old > x && chmod 640 x", "x", "cmp x $REF && test $(stat -c %a x) = 640"},
      {"--save-sfs", "printf old > x && ln x y", "x", "cmp x $REF && test $(cat y) = old"},
      {"-o", "mkdir sub && printf old > sub/f && chmod 600 sub/f && ln -s sub/f link", "link",
       "test -L link && cmp sub/f $REF && test $(stat -c %a sub/f) = 600"},
      {"--save-sfs", "ln -s new link", "link", "test -L link && cmp new $REF"},
      {"-o", "mknod null c 1 3", "null", "test -c null && test $(stat -c %t,%T null) = 1,3"},
      {"-o", "mkfifo fifo && (cat fifo > got &)", "fifo",
       "for i in $(seq 50); do cmp -s got $REF && break; sleep 0.1; done; cmp got $REF"},
      {"-o", "touch .quavix-tmp-$DEAD-0 .quavix-tmp-$LIVE-0", "x",  // a dead process's goes
       "cmp x $REF && test \"$(ls -A)\" = \"$(printf '.quavix-tmp-%s-0\\nx' $LIVE)\""},
  };
  const pid_t dead = fork();
  if (dead == 0) _exit(0);
  waitpid(dead, nullptr, 0);
  ScratchDir reference;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Prepare);
    ScratchDir dir;
    const std::string render = "$Q render --seed 3 --preset coin " + std::string(c.Option) + " ";
    const std::string shell = "export REF=" + reference / "ref" + " DEAD=" + std::to_string(dead) +
                              " LIVE=" + std::to_string(getpid()) + " && " + render +
                              "$REF && cd " + dir.Path + " && ";
    if (Shell(shell + c.Prepare).Status != 0) {  // only mknod may be refused (privilege)
      ASSERT_EQ(std::string(c.Target), "null") << "could not prepare";
      std::cout << "render output targets: device case not run: mknod is not permitted here\n";
      continue;
    }
    const auto r = Shell(shell + render + c.Target + " && " + c.Check);
    EXPECT_EQ(r.Status, 0) << c.Check << r.Err;
  }
}

// A tool that wrongly wrote the sound to the terminal would block on its full buffer.
TEST(Render, DashRefusesATerminal) {
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_TRUE(master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0);
  const auto r = Shell("timeout 20 $Q render --seed 1 -o - >" + std::string(ptsname(master)));
  close(master);
  EXPECT_TRUE(r.Status == 2 && LineCount(r.Err) == 1 && Has(r.Err, "to the terminal")) << r.Err;
}

// The pitch is 8 x 44100 / period for a whole period of 100 / (StartFreq^2 + 0.001): StartPitchHz
// takes the closest, for 440 Hz 801.8 -> 802 (439.90 Hz; 801: 440.45), for 2000 Hz 176.4 -> 176
// (2004.5 Hz; 177: 1993.2), 50 Hz exactly 7056. StartFreqHz stores sqrt(12.5 x Hz / 44100):
// 440 Hz gives 100 / (0.124717 + 0.001) = 795.4, 50 Hz 100 / (0.0141723 + 0.001) = 6590.96.
TEST(Render, PitchesTakeTheClosestPeriodAndInfoShowsIt) {
  ScratchDir dir;
  const std::string q = "cd " + dir.Path + " && $Q render --set ";
  for (const auto& [set, period] : {std::pair{"StartPitchHz=440", 802},
                                    {"StartPitchHz=2000", 176},
                                    {"StartPitchHz=50", 7056},
                                    {"StartFreqHz=440", 795},
                                    {"StartFreqHz=50", 6590}}) {
    SCOPED_TRACE(set);
    const auto r = Shell(q + set + " --save-sfs p.sfs && $Q info --json p.sfs");
    const auto info = Json::parse(r.Out);
    const double stored = info["parameters"][6]["stored"];
    EXPECT_EQ(std::trunc(100 / (stored * stored + 0.001)), period);
    EXPECT_EQ(info["start_period"], period);
    EXPECT_DOUBLE_EQ(info["start_pitch_hz"].get<double>(), 352800.0 / period);
  }
}

// A 65-second sound is cut at 60 x 41000 samples, held once: its 4.9 MB fit in 8 MB of data.
TEST(Render, LongestBufferCutsTheSound) {
  ScratchDir dir;
#if defined(__SANITIZE_ADDRESS__)
  const std::string limit;  // the sanitizer's own memory does not fit
#else
  const std::string limit = "ulimit -d 8192 && ";
#endif
  const auto r = Shell(limit + "$Q render --buffer-length 60 --set SustainTime=55 --set " +
                       "DecayTime=10 -o " + dir / "b.wav");
  ASSERT_EQ(r.Status, 0) << r.Err;
  EXPECT_EQ(ReadText(dir / "b.wav").size(), 44u + 2 * 60 * 41000);
}

TEST(Info, DefaultsInBothUnitsWithTheirSound) {
  const auto info = Json::parse(RunTool("info --json" + kDefaults).Out);
  const auto& p = info["parameters"];  // SustainTime 0.3 is 0.3 x 0.3 x 2.2675 = 0.204075 seconds
  EXPECT_TRUE(p.size() == 24 && p[23]["index"] == 23 && p[3]["name"] == "SustainTime" &&
              p[3]["unit"] == "seconds" && p[3]["stored"] == 0.30000001192092896 &&
              p[3]["bits"] == "0x3e99999a" && p[1]["name"] == "WaveType" && p[1]["value"] == 0);
  EXPECT_FLOAT_EQ(p[3]["value"].get<float>(), 0.204075f);
  EXPECT_EQ(p[16]["value"], "off");  // a stored 0 repeats never
  EXPECT_EQ(info["settings"], "1.0000,,,0.3000,,0.4000,0.3000,,,,,,,,,,,,,1.0000,,,,");
  const auto& sound = info["render"];
  EXPECT_TRUE(sound["seed"] == 1 && sound["samples"] == 25003 && sound["clipped"] == 0);
  EXPECT_EQ(sound["peak"], Peak(LibrarySound(1, [](SynthParams&, RandomSource&) {})));
}

// Sound i is the module's sound of seed S + i (preset 2 is the explosion); the manifest describes
// each, levels counted here; its command, run in a shell, makes the file and .sfs bytes again.
TEST(Batch, NumberedFilesAndTheirManifest) {
  ScratchDir dir;
  fs::create_directory(dir / "again");
  const auto r = Shell("cd " + dir.Path + " && $Q batch --preset 2 --set Volume=3 --count 12 " +
                       "--seed 90 --out-dir o --name \"it's\" --jobs 2");
  ASSERT_EQ(r.Status, 0) << r.Err;
  const auto manifest = Json::parse(ReadText(dir / "o/manifest.json"));
  EXPECT_TRUE(manifest["seed"] == 90 && manifest["preset"] == "explosion" &&
              manifest["buffer_length"] == 5 && manifest["sounds"].size() == 12);
  const std::string sums =
      Shell("cd " + dir / "o && sha256sum -- *.wav").Out;  // "HASH  NAME" lines
  for (std::uint32_t i = 0; i < manifest["sounds"].size(); ++i) {
    const auto& s = manifest["sounds"][i];
    const std::string name = (i < 10 ? "it's-0" : "it's-") + std::to_string(i) + ".wav";
    EXPECT_TRUE(s["file"] == name && s["seed"] == 90 + i) << s;
    EXPECT_TRUE(s["bytes"] == fs::file_size(dir / ("o/" + name)) &&
                Has(sums, s["sha256"].get<std::string>() + "  " + name + "\n"))
        << s;
    const auto samples = ReadSound(dir / ("o/" + name)).Samples;
    SynthParams params;
    EXPECT_EQ(samples, LibrarySound(std::int32_t(90 + i), [&](SynthParams& p, RandomSource& rs) {
                LoadPreset(p, kPresetExplosion, rs);
                p.Volume = 3;
                params = p;
              }));
    const auto clipped = std::ranges::count_if(samples, [](int v) { return std::abs(v) >= 32000; });
    EXPECT_TRUE(s["samples"] == samples.size() && s["peak"] == Peak(samples) &&
                s["clipped"] == clipped && s["settings"] == ExportSettingsString(params))
        << s;
    std::string command = s["command"];
    ASSERT_TRUE(command.starts_with("quavix render --seed " + std::to_string(90 + i) + " "));
    ASSERT_EQ(RunCommandIn(dir / "again", command + " --save-sfs s").Status, 0);
    EXPECT_EQ(ReadText(dir / ("again/" + name)), ReadText(dir / ("o/" + name))) << command;
    const auto sfs = EncodeSettings(params);
    EXPECT_TRUE(s["sfs"] == Hex(params) && ReadText(dir / "again/s") == std::string(sfs.begin(), sfs.end()));
  }
  EXPECT_TRUE(LineCount(r.Err) == 2 && !Has(r.Err, "\r") && Has(r.Err, "wrote 12 sounds") &&
              Has(r.Err, " of 12 sounds have samples clipped at +-32000"))  // volume 3 clips
      << r.Err;  // no progress bar when stderr is not a terminal
  EXPECT_EQ(std::distance(fs::directory_iterator(dir / "o"), {}), 13);
}

// Sound i equals render with seed S + i (wrapping at 32 bits), for two jobs and for one; a
// run over an earlier one keeps the files' modes.
TEST(Batch, SoundsAreRendersOfConsecutiveSeeds) {
  ScratchDir dir;
  const std::string sound = "--preset hurt --set Volume=0.5 --mutate 0.05 --buffer-length 1 ";
  const std::string batch = "batch --seed 4294967290 --name h --count 11 --out-dir " + dir / "o ";
  ASSERT_EQ(RunTool(batch + sound + "--jobs 2").Status, 0);
  ASSERT_EQ(RunTool("render --seed 4 " + sound + "-o " + dir / "r.wav").Status, 0);
  EXPECT_EQ(ReadText(dir / "o/h-10.wav"), ReadText(dir / "r.wav"));  // 4294967290 + 10 is 4
  const std::string two = ReadText(dir / "o/h-06.wav");
  fs::permissions(dir / "o/h-06.wav", fs::perms(0640));
  ASSERT_EQ(RunTool(batch + sound + "--jobs 1").Status, 0);
  EXPECT_EQ(ReadText(dir / "o/h-06.wav"), two);
  EXPECT_EQ(fs::status(dir / "o/h-06.wav").permissions(), fs::perms(0640));
}

// A run that cannot finish leaves the folder exactly as an earlier run left it (names, modes,
// sizes and checksums) and says so in one line; a signal comes once the staging folder has a file.
TEST(Batch, UnfinishedRunLeavesTheFolderAsItWas) {
  struct Case {
    const char *Env, *Signal;
    int Status;
    const char *Message, *Obstacle;
  } const cases[] = {
      {"", "", 1, "explosion-150.wav': Is a directory", "explosion-150.wav"},
      {"", "", 1, "manifest.json': Is a directory", "manifest.json"},
      {"QUAVIX_TEST_FREE_BYTES=1000000 ", "", 1, "not enough space", nullptr},
      {"", "INT", 130, "interrupted by SIGINT", nullptr},
      {"", "TERM", 143, "interrupted by SIGTERM", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Message);
    ScratchDir dir;
    const std::string out = dir / "o";
    const std::string batch = "$Q batch --preset explosion --count 200 --jobs 1 --out-dir " + out;
    ASSERT_EQ(Shell(batch + " --seed 1 --buffer-length 1").Status, 0);
    fs::permissions(out + "/explosion-007.wav", fs::perms(0640));
    if (c.Obstacle != nullptr) {
      fs::remove(out + "/" + c.Obstacle);
      fs::create_directories(out + "/" + c.Obstacle + "/inside");
    }
    const std::string state =
        "cd " + out + " && ls -lAR --time-style=+ && find . -type f | sort | xargs cksum";
    const auto before = Shell(state).Out;
    ASSERT_TRUE(Has(before, "-rw-r----- 1") && Has(before, "explosion-007.wav")) << before;
    std::string line = c.Env + batch + " --seed 2 --set SustainTime=3";  // long sounds
    if (*c.Signal != 0) {
      line += " & i=0; until set -- " + out + "/.quavix-tmp-*/*; [ -e \"$1\" ] || " +
              "[ $((i+=1)) -gt 6000 ]; do sleep 0.01; done; kill -" + c.Signal + " $!; wait $!";
    }
    const auto r = Shell(line);
    EXPECT_TRUE(r.Status == c.Status && LineCount(r.Err) == 1) << r.Err;
    EXPECT_TRUE(Has(r.Err, c.Message) && Has(r.Err, "nothing in '" + out + "' was changed"))
        << r.Err;
    EXPECT_EQ(Shell(state).Out, before);
  }
  ScratchDir dir;  // another batch holds the folder
  const auto r =
      Shell("flock " + dir.Path + " $Q batch --preset coin --count 3 --out-dir " + dir.Path);
  EXPECT_TRUE(r.Status == 1 && Has(r.Err, "another quavix batch is writing into")) << r.Err;
  EXPECT_TRUE(dir.Entries().empty());
}

// Exploding Ogg sounds held back by the ceiling are exported again while the target to suggest
// is searched, after the set is staged and before it is put in place: a stop signal sent once
// the staged manifest exists ends the run there as during the render, and no file is left.
TEST(Batch, StopSignalDuringTheLoudnessSearchLeavesNothing) {
  for (const auto& [signal, status] : {std::pair{"INT", 130}, {"TERM", 143}}) {
    SCOPED_TRACE(signal);
    ScratchDir dir;
    const std::string out = dir / "o";
    const auto r = Shell(
        "$Q batch --preset explosion --seed 11 --count 16 --jobs 1 --format ogg --match-loudness "
        "-5 "
        "--out-dir " +
        out + " & until set -- " + out + "/.quavix-tmp-*/manifest.json; " +
        "[ -e \"$1\" ] || ! kill -0 $! 2>/dev/null; do sleep 0.01; done; kill -" + signal +
        " $!; wait $!");
    EXPECT_TRUE(r.Status == status && LineCount(r.Err) == 1) << r.Status << r.Err;
    EXPECT_TRUE(Has(r.Err, std::string("interrupted by SIG") + signal + "; nothing in '" + out +
                               "' was changed"))
        << r.Err;
    EXPECT_TRUE(!fs::exists(out) || fs::is_empty(out)) << Shell("ls -AR " + out).Out;
  }
}

// A batch refused before it writes leaves only what was there: no folder it made, however deep,
// nor anything outside its folder; one line says why.
TEST(Batch, RefusedRunLeavesNoFolderBehind) {
  const std::string l(250, 'l');  // l-0.wav would be 256 bytes
  struct Case {
    std::string Setup, Args;  // Setup: shell lines run in the scratch folder first
    int Status;
    std::string Err, Left;  // Left: what find lists in the scratch folder afterwards
  } const cases[] = {
      {"true", "--count 2 --set Nope=1 --out-dir a/b/c", 2, "Nope", ""},
      {"export QUAVIX_TEST_FREE_BYTES=1000", "--count 2 --out-dir a/b/c", 1,
       "not enough space in 'a/b/c': the batch needs up to", ""},
      {"true", "--count 2 --out-dir a/b/" + l + "llllll/c", 1, "cannot create the folder 'a/b/" + l,
       ""},
      {"true", "--count 2 --name " + l + " --out-dir a", 2,
       "the file names would be 256 bytes long", ""},
      {"true", "--count 2 --name .quavix-tmp-1 --out-dir a", 2,
       "'.quavix-tmp-1' starts as the tool's own temporary files do", ""},
      {"ln -s gone a", "--count 2 --out-dir a", 1,
       "cannot write into 'a': it is a symbolic link to 'gone', which does not exist", "./a"},
      {"echo k > a", "--count 2 --out-dir a/", 1,
       "cannot write into 'a/': it exists and is not a folder", "./a"},
      {"mkdir o && echo k > k && ln -s ../k o/coin-1.wav", "--count 2 --out-dir o/n/..", 1,
       "cannot write 'o/n/../coin-1.wav': it exists and is not a regular file",
       "./k ./o ./o/coin-1.wav"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Args.substr(0, 80));
    ScratchDir dir;
    const auto r = Shell("cd " + dir.Path + " && " + c.Setup +
                         " && $Q batch --preset coin --seed 1 " + c.Args);
    EXPECT_TRUE(r.Status == c.Status && LineCount(r.Err) == 1) << r.Err;
    EXPECT_TRUE(Has(r.Err, c.Err)) << r.Err;
    EXPECT_EQ(Shell("cd " + dir.Path + " && find . -mindepth 1 | sort | paste -sd' '").Out,
              c.Left + "\n");
    for (const char* kept : {"a", "k"}) {
      EXPECT_TRUE(!fs::is_regular_file(dir / kept) || ReadText(dir / kept) == "k\n") << kept;
    }
  }
}

// Randomize makes wave type 4 (no wave) about one time in five: --skip-silent leaves those out
// and counts them, else they are flagged. Ten sounds' numbers have the one digit of the last.
TEST(Batch, SilentSoundsAreSkippedOrFlagged) {
  ScratchDir dir;
  const auto r =
      RunTool("batch --randomize --count 10 --seed 7 --skip-silent --out-dir " + dir.Path);
  ASSERT_EQ(r.Status, 0) << r.Err;
  int silent = 0;
  for (int i = 0; i < 10; ++i) {
    const auto samples =
        LibrarySound(7 + i, [](SynthParams& p, RandomSource& rs) { Randomize(p, rs); });
    const bool heard = std::ranges::any_of(samples, [](std::int16_t v) { return v != 0; });
    const std::string name = dir / ("random-" + std::to_string(i) + ".wav");
    EXPECT_EQ(heard ? ReadSound(name).Samples : samples, samples) << name;
    EXPECT_EQ(fs::exists(name), heard) << name;
    silent += heard ? 0 : 1;
  }
  const auto manifest = Json::parse(ReadText(dir / "manifest.json"));
  EXPECT_TRUE(silent > 0 && manifest["skipped_silent"] == silent &&
              manifest["sounds"].size() == std::size_t(10 - silent));
  EXPECT_TRUE(Has(r.Err, "skipped " + std::to_string(silent) + " silent")) << r.Err;
  const auto all = RunTool("batch --randomize --count 10 --seed 7 --out-dir " + dir / "all");
  EXPECT_TRUE(Has(all.Err, std::to_string(silent) + " of 10 sounds are silent")) << all.Err;
  const auto flagged = Json::parse(ReadText(dir / "all/manifest.json"))["sounds"];
  EXPECT_EQ(std::ranges::count_if(flagged, [](const Json& s) { return s["silent"] == true; }),
            silent);
}

// Whatever a command writes on stdout, into a device that is full it fails with the reason.
TEST(Tool, OutputIntoAFullDeviceFailsWithTheReason) {
  ScratchDir dir;
  if (Shell("mknod " + dir / "full" + " c 1 7").Status != 0) {
    std::cout << "full device: not run: mknod is not permitted here\n";
    return;
  }
  for (const char* args : {"--help", "--version", "render --help", "presets", "info --csv 1",
                           "render --seed 1 -o -", "render --seed 1 --print-csv"}) {
    SCOPED_TRACE(args);
    const auto r = Shell("$Q " + std::string(args) + " >" + dir / "full");
    EXPECT_EQ(r.Status, 1);
    EXPECT_EQ(r.Err, "quavix: error: cannot write to standard output: No space left on device\n");
  }
}

// A batch takes away the files of its folder's earlier set that it can tell it wrote: listed by
// a manifest of this tool with their size and SHA-256 (@NAME@ below: NAME's, from stat and
// sha256sum) and still those regular files (Change runs in o/ after the manifest is written).
// A rerun with another count or format takes them away and says so; every other file stays.
TEST(Batch, RerunReplacesTheEarlierSet) {
  const std::string l(249, 'l');  // l-0.wav is 255 bytes, the longest name a file may have
  const std::set<std::string> coins = {"coin-0.wav", "coin-1.wav", "coin-2.wav", "manifest.json",
                                       "mine.txt"};
  const std::set<std::string> two = {"coin-0.wav", "coin-1.wav", "manifest.json", "mine.txt"};
  const std::string forged = R"({"generator": "quavix 1", "sounds": [)";
  std::string dots;  // recorded as files, though no file of the folder
  for (const std::string name : {".", "..", ""}) dots += R"({"file": ")" + name + R"(", "bytes": 1, "sha256": ")" + std::string(64, 'a') + "\"}, ";
  struct Case {
    std::string First, Second, Manifest, Change;
    std::set<std::string> Left;
    std::string Note;  // part of stderr; "" for no note
  } const cases[] = {
      {"--count 5",
       "--count 3 --format raw",
       "",
       "",
       {"coin-0.raw", "coin-1.raw", "coin-2.raw", "manifest.json", "mine.txt"},
       "removed 5 files"},
      {"--count 12", "--count 3", "", "", coins, "removed 12 files"},
      {"--count 3", "--count 2", "", "", two, "removed 1 file of the earlier set"},
      {"--count 3", "--count 3", "", "", coins, ""},
      {"--count 3 --name .h",
       "--count 2 --name .h",
       "",
       "",
       {".h-0.wav", ".h-1.wav", "manifest.json", "mine.txt"},
       "removed 1 file"},
      {"--count 2 --name " + l,
       "--count 1 --name " + l,
       "",
       "",
       {l + "-0.wav", "manifest.json", "mine.txt"},
       "removed 1 file"},
      {"--count 3", "--count 2", R"({"generator": "other", "sounds": [{@mine.txt@}]})", "", coins,
       ""},
      // Files the manifest lists but cannot prove the tool wrote.
      {"--count 3", "--count 2", "", "printf x >> coin-2.wav", coins,
       "kept 1 file of the earlier set ('coin-2.wav'): 1 changed since manifest.json recorded it"},
      {"--count 3", "--count 2", "", "printf X | dd of=coin-2.wav conv=notrunc status=none", coins,
       "1 changed since manifest.json recorded it"},
      {"--count 3", "--count 2", "", "mv coin-2.wav ../c && ln -s ../c coin-2.wav", coins,
       "1 no longer a regular file"},
      {"--count 3", "--count 2", "", "rm coin-2.wav && mkdir coin-2.wav", coins,
       "1 no longer a regular file"},
      {"--count 3", "--count 2",
       forged + R"({"file": "coin-2.wav"}, {"file": "mine.txt", "bytes": 4}]})", "", coins,
       "kept 2 files of the earlier set ('coin-2.wav' .. 'mine.txt'): 2 without a size and "
       "SHA-256"},
      {"--count 3",
       "--count 2",
       forged + "{@mine.txt@}]}",
       "",
       {"coin-0.wav", "coin-1.wav", "coin-2.wav", "manifest.json"},
       "removed 1 file"},
      // A name no batch makes (a control byte) is never taken away.
      {"--count 3",
       "--count 2",
       forged + "{@mine.txt@}, {@d\x7f@}]}",
       "",
       {"coin-0.wav", "coin-1.wav", "coin-2.wav", "d\x7f", "manifest.json"},
       "removed 1 file"},
      {"--count 3", "--count 2", forged + "{@mine.txt@}]}", "printf x >> mine.txt", coins,
       "1 changed since"},
      {"--count 3", "--count 2", forged + "{@mine.txt@}]}",
       "printf M | dd of=mine.txt conv=notrunc status=none", coins, "1 changed since"},
      {"--count 3",
       "--count 2",
       forged + dots + R"({@../mine.txt@}, {@manifest.json@}, {@.quavix-tmp-x@}, {"file": 3}]})",
       "",
       {".quavix-tmp-x", "coin-0.wav", "coin-1.wav", "coin-2.wav", "manifest.json", "mine.txt"},
       ""},
      {"--count 3", "--count 2", forged + "{@coin-2.wav@}, {@coin-1.wav@}, {@coin-2.wav@}]}", "",
       two, "removed 1 file of the earlier set"},
      // A manifest that is not JSON owns nothing.
      {"--count 3", "--count 2", forged + "{@mine.txt@}", "", coins,
       "kept every file of the earlier set: the earlier manifest.json cannot be read (it is not "
       "JSON from byte"},
      {"--count 3", "--count 2", "nothing", "", coins, "(it is not JSON from byte 2)"},
      // Nor does one too large to read: 2 GiB and a byte, sparse.
      {"--count 3", "--count 2", "", "truncate -s 2147483649 manifest.json", coins,
       "(it is larger than 2048 MiB, the most a batch's manifest may be)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.First.substr(0, 30) + " then " + c.Second.substr(0, 30) + " " + c.Manifest +
                 " " + c.Change);
    ScratchDir dir;
    const std::string batch = "cd " + dir.Path + " && $Q batch --preset coin --seed 1 --out-dir o ";
    ASSERT_EQ(Shell(batch + c.First).Status, 0);
    std::ofstream(dir / "o/mine.txt") << "mine";
    std::ofstream(dir / "mine.txt") << "mine";
    std::string manifest = c.Manifest;
    for (std::size_t at; (at = manifest.find('@')) != manifest.npos;) {
      const std::size_t end = manifest.find('@', at + 1);
      const std::string file = manifest.substr(at + 1, end - at - 1);
      const std::string record =
          Shell("cd " + dir / "o && touch " + file + " && printf '\"file\": \"%s\", " +
                "\"bytes\": %s, \"sha256\": \"%.64s\"' " + file + " $(stat -c %s " + file +
                ") \"$(sha256sum <" + file + ")\"")
              .Out;
      manifest.replace(at, end - at + 1, record);
    }
    if (!manifest.empty()) std::ofstream(dir / "o/manifest.json") << manifest;
    ASSERT_EQ(Shell("cd " + dir / "o && " + (c.Change.empty() ? "true" : c.Change)).Status, 0);
    const auto r = Shell(batch + c.Second);
    EXPECT_EQ(r.Status, 0) << r.Err;
    if (r.Status != 0) continue;
    std::set<std::string> left;
    for (const auto& e : fs::directory_iterator(dir / "o")) left.insert(e.path().filename());
    EXPECT_EQ(left, c.Left);
    EXPECT_EQ(Has(r.Err, "quavix: note:"), !c.Note.empty()) << r.Err;
    EXPECT_TRUE(Has(r.Err, c.Note)) << r.Err;
    EXPECT_EQ(ReadText(dir / "mine.txt"), "mine");
  }
}

// The manifest's command, run in the folder the manifest lies in, finds the settings file however
// its path and the folder's were given, and keeps the buffer that cuts the sound.
TEST(Batch, ManifestCommandFindsTheSettingsFileFromItsFolder) {
  struct Case {
    const char *Sfs, *OutDir;
  } const cases[] = {
      {"sub/odd.sfs", "out/deep"},
      {"./sub/../sub/odd.sfs", "out"},
      {"@/sub/odd.sfs", "out/a/b"},
      {"sub/odd.sfs", "@/elsewhere"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.Sfs) + " into " + c.OutDir);
    ScratchDir dir;
    fs::create_directory(dir / "sub");
    std::string sfs = c.Sfs, out = c.OutDir;
    for (std::string* text : {&sfs, &out}) {
      if (text->starts_with("@")) text->replace(0, 1, dir.Path);
    }
    ASSERT_EQ(Shell("cd " + dir.Path + " && $Q render --seed 3 --preset hurt --save-sfs sub/odd.sfs").Status, 0);
    const auto r = Shell("cd " + dir.Path + " && $Q batch --sfs " + sfs + " --mutate 0.1 --count 2 --seed 5 " +
                         "--set SustainTime=1 --buffer-length 1 --name n --out-dir " + out);  // cut at 41000 samples
    ASSERT_EQ(r.Status, 0) << r.Err;
    const std::string folder = out.starts_with("/") ? out : dir / out;
    const auto manifest = Json::parse(ReadText(folder + "/manifest.json"));
    const std::string command = manifest["sounds"][1]["command"];
    ASSERT_TRUE(command.starts_with("quavix render ")) << command;
    fs::rename(folder + "/n-1.wav", folder + "/first.wav");
    const auto again = RunCommandIn(folder, command);
    ASSERT_EQ(again.Status, 0) << command << again.Err;
    EXPECT_EQ(ReadText(folder + "/n-1.wav"), ReadText(folder + "/first.wav"));
  }
}

}  // namespace
}  // namespace quavix::test
