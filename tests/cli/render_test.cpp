// quavix render and info, end to end: the files are compared with the library's own
// synthesis, written as the module's WAV image; info shows both units and the sound.
#include <gtest/gtest.h>

#include <iostream>
#include <nlohmann/json.hpp>
#include <thread>

#include "cli_test_util.h"
#include "design/presets.h"
#include "exchange/param_table.h"
#include "exchange/param_units.h"
#include "exchange/settings_string.h"

namespace quavix::test {
namespace {

// Each recipe makes the samples of the module's sequence: seed, source, sets, mutate, synthesis.
TEST(Render, SoundsAreTheModulesSoundsInItsImage) {
  struct Case {
    std::string Options;
    std::int32_t Seed;
    std::function<void(SynthParams&, RandomSource&)> Make;
  };
  std::vector<Case> cases = {
      {"", 9, [](SynthParams&, RandomSource&) {}},
      {"--preset 2", 77, [](SynthParams& p, RandomSource& r) { LoadPreset(p, 2, r); }},
      {"--randomize --set WaveType=2 --set AttackTime=0.01 --mutate 0.2", 4242,
       [](SynthParams& p, RandomSource& r) {
         Randomize(p, r);
         p.WaveType = 2;
         p.AttackTime = TimeToStored(p, 0.01f);
         Mutate(p, 0.2f, r);
       }},
      {"--csv 0.5,1,,0.2,,0.3,0.45", 3,
       [](SynthParams& p, RandomSource&) { ImportSettingsString(p, "0.5,1,,0.2,,0.3,0.45"); }},
  };
  for (const auto& f : kPresetFamilyNames) {
    cases.push_back({"--preset " + std::string(f.Name), 20240,
                     [&f](SynthParams& p, RandomSource& r) { LoadPreset(p, f.Family, r); }});
  }
  ScratchDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Options);
    const auto r =
        RunTool("render -o " + dir / "a.wav --seed " + std::to_string(c.Seed) + " " + c.Options);
    EXPECT_TRUE(r.Status == 0 && r.Err.empty()) << r.Err;
    EXPECT_EQ(ReadText(dir / "a.wav"), ModuleImage(LibrarySound(c.Seed, c.Make)));
  }
}

// A saved settings file, read from a path or from stdin, makes the same bytes, on stdout too;
// seed -1 is 4294967295; a clock seed is printed and makes the sound again.
TEST(Render, SavedSettingsStdinStdoutAndSeeds) {
  ScratchDir dir;
  const std::string a = " -o " + dir / "a.wav", b = " -o " + dir / "b.wav";
  auto r =
      RunTool("render --seed 31337 --preset laser --mutate 0.3 --save-sfs " + dir / "l.sfs" + a);
  ASSERT_EQ(r.Status, 0) << r.Err;
  EXPECT_EQ(dir.Entries(), (std::set<std::string>{"a.wav", "l.sfs"}));  // no temporary remains
  EXPECT_EQ(ReadText(dir / "l.sfs").size(), 105u);
  ASSERT_EQ(RunTool("render --seed 31337 --sfs " + dir / "l.sfs" + b).Status, 0);
  EXPECT_EQ(ReadText(dir / "a.wav"), ReadText(dir / "b.wav"));
  r = RunTool("render --seed 31337 --sfs - -o -", {.Stdin = dir / "l.sfs"});
  EXPECT_EQ(r.Out, ReadText(dir / "a.wav"));
  ASSERT_EQ(RunTool("render --seed -1 --preset blip" + a).Status, 0);
  ASSERT_EQ(RunTool("render --seed 4294967295 --preset blip" + b).Status, 0);
  EXPECT_EQ(ReadText(dir / "a.wav"), ReadText(dir / "b.wav"));
  r = RunTool("render --preset coin" + a);
  ASSERT_EQ(r.Err.rfind("quavix: seed ", 0), 0u) << r.Err;
  EXPECT_EQ(LineCount(r.Err), 1);
  ASSERT_EQ(RunTool("render --preset coin --seed " + r.Err.substr(13, r.Err.find(' ', 13) - 13) + b)
                .Status,
            0);
  EXPECT_EQ(ReadText(dir / "a.wav"), ReadText(dir / "b.wav"));
}

// Where -o and --save-sfs land, by what the target is before the run: each case prepares the
// folder and checks it afterwards in the shell, with $REF the bytes a plain run writes and
// $DEAD and $LIVE the numbers of a finished and a running process.
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
      {"-o", "touch .quavix-tmp-$DEAD-0 .quavix-tmp-$LIVE-0",
       "x",  // a dead process's temporary goes
       "cmp x $REF && test \"$(ls -A)\" = \"$(printf '.quavix-tmp-%s-0\\nx' $LIVE)\""},
  };
  const pid_t dead = fork();
  if (dead == 0) _exit(0);
  waitpid(dead, nullptr, 0);
  ScratchDir reference;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Prepare);
    ScratchDir dir;
    const std::string render = "render --seed 3 --preset coin " + std::string(c.Option) + " ";
    ASSERT_EQ(RunTool(render + reference / "ref").Status, 0);
    const std::string shell = "cd " + dir.Path + " && export REF=" + reference / "ref" +
                              " DEAD=" + std::to_string(dead) + " LIVE=" + std::to_string(getpid());
    if (std::system((shell + " && " + c.Prepare + " 2>$REF.err").c_str()) != 0) {
      // Only making a device node may be refused, where the machine withholds the privilege.
      ASSERT_EQ(std::string(c.Target), "null") << "could not prepare";
      std::cout << "render output targets: device case not run: mknod is not permitted here\n";
      continue;
    }
    const auto r = RunTool(render + dir / c.Target);
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(std::system((shell + " && " + c.Check).c_str()), 0) << c.Check;
  }
}

TEST(Render, DashRefusesATerminal) {
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_TRUE(master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0);
  // Drain the terminal, so that a tool that wrongly writes the sound there ends instead of
  // blocking on a full terminal buffer; holding its side open keeps the reads waiting.
  const int terminal = open(ptsname(master), O_RDWR | O_NOCTTY);
  ASSERT_GE(terminal, 0);
  std::thread drain([master] {
    char buffer[4096];
    while (read(master, buffer, sizeof buffer) > 0) {
    }
  });
  const auto r = RunTool("render --seed 1 -o -", {.Stdout = ptsname(master)});
  close(terminal);
  drain.join();
  close(master);
  EXPECT_EQ(r.Status, 2);
  EXPECT_EQ(LineCount(r.Err), 1) << r.Err;
  EXPECT_NE(r.Err.find("to the terminal"), std::string::npos) << r.Err;
}

// The oscillator's pitch is 8 x 44100 / period, a whole period: near 440 Hz the periods 801
// and 802 lie 0.55 Hz apart, so the closest is within 0.28 Hz; 50 Hz is exactly period 7056;
// at 2000 Hz the periods lie 11.3 Hz apart. FreqHz sounds 3.528 Hz high, and the period's
// truncation raises it by up to a step. The sine's pitch is measured from its rising zero
// crossings (interpolated) over the first second.
TEST(Render, MeasuredPitchAndInfoAgree) {
  struct Case {
    const char* Set;
    double Low, High;
  };
  for (const Case& c : {Case{"StartPitchHz=440", 439.72, 440.28},
                        {"StartPitchHz=50", 49.99, 50.01},
                        {"StartPitchHz=2000", 1994.3, 2005.7},
                        {"StartFreqHz=440", 443.52, 444.1},
                        {"StartFreqHz=50", 53.52, 53.54}}) {
    ScratchDir dir;
    ASSERT_EQ(RunTool("render --seed 1 --set WaveType=2 --set SustainTime=1.2 --set " +
                      std::string(c.Set) + " -o " + dir / "p.wav --save-sfs " + dir / "p.sfs")
                  .Status,
              0);
    const auto s = ReadSound(dir / "p.wav").Samples;
    double first = -1, last = -1;
    int cycles = -1;
    for (std::size_t i = 1000; i < std::min<std::size_t>(45100, s.size()); ++i) {
      if (s[i - 1] < 0 && s[i] >= 0) {
        last = double(i - 1) + s[i - 1] / double(s[i - 1] - s[i]);
        first = first < 0 ? last : first;
        ++cycles;
      }
    }
    const double pitch = cycles * 44100.0 / (last - first);
    EXPECT_TRUE(pitch >= c.Low && pitch <= c.High) << c.Set << " " << pitch;
    const auto info = nlohmann::json::parse(RunTool("info --json " + dir / "p.sfs").Out);
    EXPECT_NEAR(info["start_pitch_hz"].get<double>(), pitch, 0.02) << c.Set;
  }
}

// A 10-second sustain outlasts every buffer below, which cuts it at length x 41000 samples.
TEST(Render, BufferLengthCutsTheSound) {
  ScratchDir dir;
  struct Case {
    const char *Seconds, *Sets;
    std::size_t Samples;
  };
  for (const Case& c : {Case{"0", "--set SustainTime=10", 0},
                        {"1", "--set SustainTime=10", 41000},
                        {"2", "--set SustainTime=10", 82000},
                        {"5", "--set SustainTime=10", 205000},
                        {"1", "", 25003},
                        {"60", "--set SustainTime=55 --set DecayTime=10", 60 * 41000}}) {
    const auto r =
        RunTool("render --seed 1 -o " + dir / "b.wav --buffer-length " + c.Seconds + " " + c.Sets);
    ASSERT_EQ(r.Status, 0) << r.Err;
    const auto samples = ReadSound(dir / "b.wav").Samples;
    EXPECT_EQ(samples.size(), c.Samples) << c.Seconds;
    EXPECT_EQ(ReadText(dir / "b.wav"), ModuleImage(samples)) << c.Seconds;
#if !defined(__SANITIZE_ADDRESS__)
    EXPECT_LT(r.PeakResidentKb, 16 * 1024);  // the 4.9 MB of a 60-second sound are held once
#endif
  }
}

TEST(Render, HelpDescribesTheStepsParametersAndPresets) {
  for (const std::string command : {"render", "batch", "info", "presets"}) {
    EXPECT_NE(RunTool(command + " --help").Out.find("Examples:\n  quavix " + command),
              std::string::npos);
  }
  const auto help = RunTool("render --help").Out, presets = RunTool("presets").Out;
  std::size_t at = 0;
  for (const char* step :
       {"1. seed", "2. take the parameters", "3. apply each --set", "4. mutate", "5. synthesize"}) {
    EXPECT_NE(at = help.find(step, at), std::string::npos) << step;
  }
  for (const ParamInfo& p : kParamTable) {
    std::string word = "  ";
    word.append(p.Name).append(" ");
    EXPECT_TRUE(help.find(word) != std::string::npos &&
                presets.find(word.substr(1)) != std::string::npos)
        << p.Name;
  }
  for (const auto& f : kPresetFamilyNames) {
    EXPECT_NE(presets.find(std::to_string(f.Family) + "  " + std::string(f.Name) + "\n"),
              std::string::npos);
  }
  EXPECT_NE(presets.find("0 to 2.267"), std::string::npos);  // stored 0 to 1 of an envelope time
  EXPECT_EQ(RunTool("--version").Out, "quavix " QUAVIX_VERSION "\n");
}

nlohmann::json ParamNamed(const nlohmann::json& info, const std::string& name) {
  for (const auto& p : info["parameters"]) {
    if (p["name"] == name) return p;
  }
  return nullptr;
}

TEST(Info, DefaultsFileInBothUnitsWithItsSound) {
  ScratchDir dir;
  ASSERT_EQ(RunTool("render --seed 2 --save-sfs " + dir / "d.sfs").Status, 0);
  const auto r = RunTool("info --json " + dir / "d.sfs");
  ASSERT_EQ(r.Status, 0) << r.Err;
  const auto info = nlohmann::json::parse(r.Out);
  ASSERT_EQ(info["parameters"].size(), 24u);
  for (std::size_t i = 0; i < 24; ++i) EXPECT_EQ(info["parameters"][i]["index"], i);
  const auto sustain = ParamNamed(info, "SustainTime");  // 0.3 x 0.3 x 2.2675 = 0.204075 seconds
  EXPECT_TRUE(sustain["unit"] == "seconds" && sustain["stored"] == 0.30000001192092896 &&
              sustain["bits"] == "0x3e99999a");
  EXPECT_FLOAT_EQ(sustain["value"].get<float>(), 0.204075f);
  EXPECT_EQ(ParamNamed(info, "RepeatSpeed")["value"], "off");  // a stored 0 repeats never
  EXPECT_EQ(ParamNamed(info, "WaveType")["value"], 0);
  // The bytes of the defaults' settings file: version 102, then the floats.
  const auto zeros = [](int n) { return std::string(2 * std::size_t(n), '0'); };
  EXPECT_EQ(info["sfs"], "66000000" + zeros(4) + "0000803f9a99993e" + zeros(36) +
                             "9a99993ecdcccc3e" + zeros(9) + "0000803f" + zeros(32));
  EXPECT_EQ(info["settings"], "1.0000,,,0.3000,,0.4000,0.3000,,,,,,,,,,,,,1.0000,,,,");
  const auto samples = LibrarySound(1, [](SynthParams&, RandomSource&) {});
  std::int32_t peak = 0;
  for (const std::int16_t v : samples) peak = std::max(peak, std::abs(std::int32_t{v}));
  const auto& sound = info["render"];
  EXPECT_TRUE(sound["seed"] == 1 && sound["samples"] == 25003 && sound["clipped"] == 0);
  EXPECT_EQ(sound["peak"], peak);
  EXPECT_NEAR(sound["seconds"].get<double>(), 25003.0 / 44100.0, 1e-12);
}

// The stored values of 0.3 s of sustain, 10 cycles per second of vibrato and 10
// repeats per second; a stored 1 is "off" (-1 below) for a repeat and for a change.
TEST(Info, UsersUnitsOfConvertedParameters) {
  struct Case {
    const char *Csv, *Name;
    double Value;
    const char* Unit;
  };
  for (const Case& c : {Case{"1,,,0.3637366", "SustainTime", 0.3, "seconds"},
                        {"1,,,,,,,,,,,0.3774596", "VibSpeed", 10, "cycles per second"},
                        {"1,,,,,,,,,,,,,,,,0.5304257", "RepeatSpeed", 10, "repeats per second"},
                        {"1,,,,,,,,,,,,,,,,1", "RepeatSpeed", -1, "repeats per second"},
                        {"1,,,,,,,,,,,,,1", "ChangeSpeed", -1, "seconds"},
                        {"1,,,,,,,,,,,,,0", "ChangeSpeed", 20000 / 44100.0, "seconds"}}) {
    const auto r = RunTool("info --json --csv " + std::string(c.Csv));
    ASSERT_EQ(r.Status, 0) << r.Err;
    const auto p = ParamNamed(nlohmann::json::parse(r.Out), c.Name);
    EXPECT_EQ(p["unit"], c.Unit);
    if (c.Value < 0) {
      EXPECT_EQ(p["value"], "off") << c.Csv;
    } else {
      EXPECT_NEAR(p["value"].get<double>(), c.Value, 1e-4) << c.Csv;
    }
  }
}

}  // namespace
}  // namespace quavix::test
