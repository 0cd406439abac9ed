// quavix info on sound files that are damaged, cut short or implausible: a measurement, or one
// line that names the file and what is wrong; a warning whenever the data end before the header
// says. The files are written here with libsndfile and then altered byte by byte.
#include <ebur128.h>

#include "cli_test_util.h"

namespace quavix::test {
namespace {

using Bytes = std::string;

// A sine of frequency hz and amplitude 0.5 for seconds, 16-bit mono, in a container.
Bytes SineFile(int format, int rate, double hz, double seconds) {
  ScratchDir dir;
  SF_INFO info{0, rate, 1, format, 0, 0};
  SNDFILE* sf = sf_open((dir / "f").c_str(), SFM_WRITE, &info);
  std::vector<float> s(static_cast<std::size_t>(seconds * rate));
  for (std::size_t i = 0; i < s.size(); ++i) s[i] = float(0.5 * std::sin(2 * M_PI * hz * double(i) / rate));
  sf_writef_float(sf, s.data(), sf_count_t(s.size()));
  sf_close(sf);
  return ReadText(dir / "f");
}
const Bytes& Wav() {
  static const Bytes b = SineFile(SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 1000, 0.5);
  return b;
}
const Bytes& Flac() {
  static const Bytes b = SineFile(SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 44100, 1000, 0.5);
  return b;
}
const Bytes& Ogg() {
  static const Bytes b = SineFile(SF_FORMAT_OGG | SF_FORMAT_VORBIS, 44100, 1000, 0.5);
  return b;
}
Bytes Put32(Bytes b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + std::size_t(i)] = char(v >> (8 * i));
  return b;
}
Bytes Put16(Bytes b, std::size_t at, std::uint16_t v) {
  b[at] = char(v), b[at + 1] = char(v >> 8);
  return b;
}
// The WAV's header as libsndfile writes it: "fmt " at 12, rate at 24; "data" follows at 36.
Bytes WavRate(std::uint32_t rate) { return Put32(Wav(), 24, rate); }
// FLAC STREAMINFO: rate in the 20 bits from byte 18 (its top 8 bits, next 8, then 4).
Bytes FlacRate(std::uint32_t rate) {
  Bytes b = Flac();
  b[18] = char(rate >> 12), b[19] = char(rate >> 4), b[20] = char((rate & 15) << 4 | (b[20] & 15));
  return b;
}
Bytes Cut(const Bytes& b, double part) { return b.substr(0, std::size_t(double(b.size()) * part)); }
Bytes Flipped(Bytes b, std::size_t from) {
  for (std::size_t i = from; i < b.size(); i += 61) b[i] = char(~b[i]);
  return b;
}

TEST(SoundFileInfo, DamagedOrImplausibleFilesAreMeasuredOrRefusedInOneLine) {
  struct Case {
    const char* Name;
    Bytes File;
    int Status;
    const char* Err;  // in the one line on stderr ("" for none)
  } const cases[] = {
      {"plain WAV", Wav(), 0, ""},
      {"WAV at 3 Hz", WavRate(3), 1, "sample rate of 3 Hz"},
      {"WAV at 0 Hz", WavRate(0), 1, "sample rate of 0 Hz"},
      {"WAV at 999 Hz", WavRate(999), 1, "sample rate of 999 Hz"},
      {"WAV at 1000 Hz", WavRate(1000), 0, ""},
      {"WAV at 768000 Hz", WavRate(768000), 0, ""},
      {"WAV at 768001 Hz", WavRate(768001), 1, "sample rate of 768001 Hz"},
      {"WAV of 0 channels", Put16(Wav(), 22, 0), 1, "0 channels"},
      {"WAV of 65 channels", Put16(Wav(), 22, 65), 1, "65 channels"},
      {"RIFF not WAVE", Put32(Wav(), 8, 0x45564157 + 1), 1, "not a WAVE file"},
      {"WAV without data", Put32(Wav(), 36, 0x61746164 + 1), 1, "no data chunk"},
      {"WAV cut at 60 %", Cut(Wav(), 0.6), 0, "warning: '@': its data chunk declares 44100 bytes"},
      {"WAV cut after its header", Wav().substr(0, 44), 1, "none of the 22050 frames"},
      {"FLAC", Flac(), 0, ""},
      {"FLAC at 0 Hz", FlacRate(0), 1, "sample rate of 0 Hz"},
      {"FLAC at 2 Hz", FlacRate(2), 1, "sample rate of 2 Hz"},
      {"FLAC cut at 60 %", Cut(Flac(), 0.6), 0, "of the 22050 frames its header declares can be"},
      {"FLAC cut inside its metadata", Flac().substr(0, 60), 1, "ends inside its metadata"},
      {"FLAC with flipped bytes", Flipped(Flac(), 200), 1, "none of the 22050 frames"},
      {"Ogg", Ogg(), 0, ""},
      {"Ogg cut at 60 %", Cut(Ogg(), 0.6), 1, "without its last page"},
      {"Ogg cut at 95 %", Cut(Ogg(), 0.95), 1, "without its last page"},
      {"Ogg with flipped bytes", Flipped(Ogg(), Ogg().size() / 2), 1, "'@'"},
      {"random bytes after RIFF", "RIFF" + std::string(40, '\x9c'), 1, "not a WAVE file"},
      {"four bytes", "fLaC", 1, "ends inside its stream information"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    ScratchDir dir;
    const std::string path = dir / "sound";
    std::ofstream(path, std::ios::binary) << c.File;
    const auto r = RunTool("info --json " + path);
    std::string err = c.Err;
    if (const auto at = err.find('@'); at != std::string::npos) err.replace(at, 1, path);
    EXPECT_EQ(r.Status, c.Status) << r.Err;
    EXPECT_EQ(LineCount(r.Err), *c.Err == 0 ? 0 : 1) << r.Err;
    EXPECT_TRUE(Has(r.Err, err)) << r.Err;
    if (c.Status != 0) {
      EXPECT_TRUE(r.Err.starts_with("quavix: error: cannot read '" + path + "' as a sound file: ")) << r.Err;
      continue;
    }
    const auto j = nlohmann::json::parse(r.Out);
    EXPECT_FALSE(j["loudness_lufs"].is_null()) << j;  // every case above holds a loud tone
    EXPECT_EQ(j["warnings"].size(), *c.Err == 0 ? 0u : 1u);
    EXPECT_TRUE(*c.Err != 0 || j["frames"] == j["declared_frames"]) << j;
  }
}

// The loudness of a tone does not depend on the rate it is sampled at, down to 1000 Hz: a
// 300 Hz sine at any rate reads as the same sine at 48000 Hz does in libebur128 itself.
TEST(SoundFileInfo, LowRatesAreMeasuredAsTheToneAtAFullRate) {
  const Bytes full = SineFile(SF_FORMAT_FLOAT | SF_FORMAT_WAV, 48000, 300, 1);
  std::vector<float> samples((full.size() - 80) / 4);
  ScratchDir dir;
  std::ofstream(dir / "full.wav", std::ios::binary) << full;
  SF_INFO info{};
  SNDFILE* sf = sf_open((dir / "full.wav").c_str(), SFM_READ, &info);
  samples.resize(std::size_t(info.frames));
  sf_readf_float(sf, samples.data(), info.frames);
  sf_close(sf);
  ebur128_state* st = ebur128_init(1, 48000, EBUR128_MODE_I);
  ebur128_add_frames_float(st, samples.data(), samples.size());
  double expected = 0;
  ebur128_loudness_global(st, &expected);
  ebur128_destroy(&st);
  for (const int rate : {1000, 4000, 8000, 11025, 22050, 31999, 32000, 44100}) {
    SCOPED_TRACE(rate);
    std::ofstream(dir / "low.wav", std::ios::binary) << SineFile(SF_FORMAT_WAV | SF_FORMAT_PCM_16, rate, 300, 1);
    const auto r = RunTool("info --json " + dir / "low.wav");
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_NEAR(nlohmann::json::parse(r.Out)["loudness_lufs"].get<double>(), expected, 0.05);
  }
}

}  // namespace
}  // namespace quavix::test
