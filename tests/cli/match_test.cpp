// quavix match through the tool: the targets it refuses, in one line each, and the printed
// render commands, which make the found sounds again byte for byte.
#include <regex>
#include <sstream>

#include "cli_test_util.h"
#include "match/sound_distance.h"

namespace quavix::test {
namespace {

// Writes frames of channels interleaved floats as a 16-bit WAV (or 32-bit float).
void WriteSound(const std::string& path, int channels, int rate, const std::vector<float>& samples,
                int format = SF_FORMAT_WAV | SF_FORMAT_PCM_16) {
  SF_INFO info{0, rate, channels, format, 0, 0};
  SNDFILE* sf = sf_open(path.c_str(), SFM_WRITE, &info);
  sf_writef_float(sf, samples.data(), sf_count_t(samples.size() / std::size_t(channels)));
  sf_close(sf);
}

// seconds of a 440 Hz tone at 0.5 after lead seconds of silence, at rate.
std::vector<float> Tone(int rate, double lead, double seconds, float level = 0.5f) {
  std::vector<float> s(static_cast<std::size_t>((lead + seconds) * rate));
  for (std::size_t i = static_cast<std::size_t>(lead * rate); i < s.size(); ++i) {
    s[i] = level * static_cast<float>(std::sin(2 * M_PI * 440 * double(i) / rate));
  }
  return s;
}

TEST(Match, RefusesWhatItCannotImitateInOneLine) {
  ScratchDir dir;
  const std::string longName(60, 'n');
  std::string cut = "'" + dir.Path + "/";  // the message's first 40 characters of the name, then "..."
  cut.resize(41, 'n');
  cut += "'... (";
  WriteSound(dir / "empty.wav", 1, 44100, {});
  WriteSound(dir / "quiet.wav", 1, 44100, std::vector<float>(4000, 0.0009f));  // below -60 dB
  WriteSound(dir / "audible.wav", 1, 44100, std::vector<float>(4000, 0.0011f));
  WriteSound(dir / "nan.wav", 1, 44100, {0.5f, kNaN, 0.5f}, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
  WriteSound(dir / "long.wav", 1, 8000, Tone(8000, 0, 10.05));
  WriteSound(dir / "padded.wav", 1, 8000, Tone(8000, 5, 9.95));  // 15 s with 9.95 of sound
  WriteSound(dir / "hour.wav", 1, 8000, std::vector<float>(8000 * 61));
  WriteSound(dir / "stereo.wav", 2, 22050, Tone(22050, 0.2, 0.2));
  WriteSound(dir / (longName + ".wav"), 1, 44100, {});
  std::ofstream(dir / "notes.txt") << "a note\n";
  struct Case {
    std::string Args;
    int Status;
    std::string Err;
  } const cases[] = {
      {"@/none.wav", 1, "cannot read '@/none.wav' as a sound file: No such file or directory"},
      {"@/notes.txt", 1, "cannot read '@/notes.txt' as a sound file: "},
      {"@/empty.wav", 1, "'@/empty.wav' holds no samples"},
      {"@/quiet.wav", 1, "'@/quiet.wav' is silent: no sample reaches -60 dB"},
      {"@/audible.wav --evaluations 8", 0, ""},
      {"@/nan.wav", 1, "'@/nan.wav' holds samples that are not numbers"},
      {"@/long.wav", 1, "'@/long.wav' holds 10.05 s of sound; a sound to imitate lasts at most 10 s"},
      {"@/padded.wav --evaluations 8", 0, ""},
      {"@/hour.wav", 1, "'@/hour.wav' lasts over 60 s; a sound to imitate lasts at most 10 s"},
      {"@/stereo.wav --evaluations 8", 0, ""},
      {"@/" + longName + ".wav", 1, cut},
      {"@/stereo.wav --evaluations 0", 2, "--evaluations: '0' is out of range"},
      {"@/stereo.wav --seconds 1 --evaluations 5", 2, "cannot be given with"},
      {"@/stereo.wav --seconds 0", 2, "--seconds: '0' is not a time above 0, up to 86400 seconds"},
      {"@/stereo.wav --seconds 0.000001", 0, ""},  // over before it begins: the first batch is made
      {"@/stereo.wav --family trumpet", 2, "--family: unknown family 'trumpet'"},
      {"@/stereo.wav --top 21", 2, "--top: '21' is out of range (1 to 20)"},
      {"@/stereo.wav -o @/stereo.wav", 2, "-o '@/stereo.wav' is the same file as TARGET"},
      {"@/stereo.wav -o @/best.ogg", 2, "match writes WAV files only, not ogg"},
      {"@/stereo.wav -o -", 2, "-o - would mix the sound with the recipes"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Args);
    const auto placed = [&](std::string text) {
      for (std::size_t at; (at = text.find('@')) != std::string::npos;) text.replace(at, 1, dir.Path);
      return text;
    };
    const ToolResult r = RunTool("match " + placed(c.Args));
    EXPECT_EQ(r.Status, c.Status) << r.Err;
    if (c.Status == 0) {
      EXPECT_EQ(r.Err, "");  // no progress bar when stderr is no terminal
      EXPECT_EQ(LineCount(r.Out), 3);
    } else {
      EXPECT_EQ(LineCount(r.Err), 1);
      EXPECT_TRUE(r.Err.starts_with("quavix: error: ") && Has(r.Err, placed(c.Err))) << r.Err;
    }
  }
}

// Each printed line is a distance and a render command; run in a scratch folder, the command
// writes a sound whose distance to the target is the one printed, and the first one writes the
// bytes of -o. The output is the same with one job and with two.
TEST(Match, PrintsRenderCommandsThatRemakeTheSoundsExactly) {
  struct Case {
    const char* Options;
    const char* Origins;  // what the commands start from, in alphabetical order
  } const cases[] = {
      {"--evaluations 120", ""},
      {"--family coin --evaluations 2 --top 2", "--csv|--preset coin"},
      {"--family randomize --evaluations 2 --top 2 --seed 3", "--csv|--randomize"},
  };
  ScratchDir dir;
  ASSERT_EQ(RunTool("render --preset explosion --seed 3 --mutate 0.2 -o " + dir / "target.wav").Status, 0);
  const SoundFile target = ReadSound(dir / "target.wav");
  std::vector<float> targetFloats;
  for (const std::int16_t s : target.Samples) targetFloats.push_back(float(s) / 32768.0f);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Options);
    ScratchDir out;
    const std::string line = "match " + dir / "target.wav" + " " + c.Options + " -o " + out / "best.wav";
    const ToolResult one = RunTool(line + " --jobs 1"), two = RunTool(line + " --jobs 2");
    ASSERT_EQ(one.Status, 0) << one.Err;
    EXPECT_EQ(one.Out, two.Out);
    std::istringstream lines(one.Out);
    std::vector<std::string> origins;
    int n = 0;
    for (std::string text; std::getline(lines, text);) {
      ++n;
      std::smatch m;
      ASSERT_TRUE(std::regex_match(text, m, std::regex(R"(([0-9.]+)  quavix render (--\w+).* -o (match-\d\.wav))")))
          << text;
      origins.push_back(m[2].str());
      if (m[2] == "--preset") origins.back() += " coin";
      ASSERT_EQ(Shell("cd " + out.Path + " && $Q " + text.substr(text.find("quavix ") + 7)).Status, 0);
      const SoundFile made = ReadSound(out / m[3].str());
      std::vector<float> floats;
      for (const std::int16_t s : made.Samples) floats.push_back(float(s) / 32768.0f);
      char shown[32];
      std::snprintf(shown, sizeof shown, "%.4f", match::SoundDistance(targetFloats, floats));
      EXPECT_EQ(m[1].str(), shown);
      if (n == 1) {
        EXPECT_TRUE(ReadText(out / "match-1.wav") == ReadText(out / "best.wav"));
      }
    }
    EXPECT_GE(n, 2);
    std::ranges::sort(origins);
    std::string joined;
    for (const std::string& o : origins) {
      if (!joined.empty()) joined += '|';
      joined += o;
    }
    if (*c.Origins != 0) {
      EXPECT_EQ(joined, c.Origins);
    }
  }
}

}  // namespace
}  // namespace quavix::test
