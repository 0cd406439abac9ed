// quavix info on sound files that are damaged, cut short or implausible: a measurement, or one
// line that names the file and what is wrong; a warning whenever the data end before the header
// says. The files are written here with libsndfile and then altered byte by byte.
#include <ebur128.h>

#include <bit>
#include <map>

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
// The half-second 1 kHz tone of each container, made once.
const Bytes& Tone(int format) {
  static std::map<int, Bytes> made;
  if (!made.contains(format)) made[format] = SineFile(format, 44100, 1000, 0.5);
  return made[format];
}
const Bytes& Wav() { return Tone(SF_FORMAT_WAV | SF_FORMAT_PCM_16); }
const Bytes& Flac() { return Tone(SF_FORMAT_FLAC | SF_FORMAT_PCM_16); }
const Bytes& Ogg() { return Tone(SF_FORMAT_OGG | SF_FORMAT_VORBIS); }
const Bytes& Aiff() { return Tone(SF_FORMAT_AIFF | SF_FORMAT_PCM_16); }
// libsndfile's AIFF: COMM at 12, its rate an 80-bit float at 28 (exponent 16383 + 15 for a rate
// of 16 bits: mantissa rate << 48).
Bytes AiffRate(std::uint16_t rate) {
  Bytes b = Aiff();
  const int top = std::bit_width(rate) - 1;
  b[28] = char((16383 + top) >> 8), b[29] = char((16383 + top) & 0xff);
  const std::uint16_t mantissa = std::uint16_t(rate << (15 - top));
  b[30] = char(mantissa >> 8), b[31] = char(mantissa & 0xff), b[32] = b[33] = 0;
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
      {"random bytes after caff", "caff" + std::string(40, '\x9c'), 1,
       "libsndfile cannot decode it"},
      {"MP3", SineFile(SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, 44100, 1000, 0.5), 1,
       "it is an MP3 file, which this tool does not read"},
      {"AIFF cut at 60 %", Cut(Aiff(), 0.6), 0,
       "warning: '@': its SSND chunk declares 44108 bytes"},
      {"AIFF cut after its header", Aiff().substr(0, 54), 1, "none of the 22050 frames"},
      {"AIFF at 999 Hz", AiffRate(999), 1, "sample rate of 999 Hz"},
      {"AIFF at 1000 Hz", AiffRate(1000), 0, ""},
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

// A WAV of a 1 kHz sine at 0.5 in every channel, built byte by byte: RIFF, or RF64 with its sizes
// in a ds64 chunk (RIFF and data sizes 0xffffffff); a fmt chunk of 16 bytes, or the 40 of
// WAVE_FORMAT_EXTENSIBLE whose GUID names the sub-format (1 PCM, 3 float).
Bytes WavBytes(bool rf64, bool extensible, bool real, int channels, int rate, int bits,
               int frames) {
  const auto le = [](std::uint64_t v, int n) {
    Bytes b;
    for (int i = 0; i < n; ++i) b += char(v >> (8 * i));
    return b;
  };
  Bytes data;
  for (int f = 0; f < frames; ++f) {
    const double x = 0.5 * std::sin(2 * M_PI * 1000 * f / rate);
    for (int c = 0; c < channels; ++c) {
      data += real ? le(std::bit_cast<std::uint32_t>(float(x)), 4)
                   : le(std::uint64_t(std::lround(std::ldexp(x, bits - 1))), bits / 8);
    }
  }
  const int block = channels * bits / 8;
  Bytes fmt = le(extensible ? 0xfffe
                 : real     ? 3
                            : 1,
                 2) +
              le(channels, 2) + le(rate, 4) + le(rate * block, 4) + le(block, 2) + le(bits, 2);
  if (extensible) {
    fmt += le(22, 2) + le(bits, 2) + le(channels == 1 ? 4 : 3, 4) + le(real ? 3 : 1, 2) +
           Bytes("\0\0\0\0\x10\0\x80\0\0\xaa\0\x38\x9b\x71", 14);
  }
  const Bytes body = "fmt " + le(fmt.size(), 4) + fmt + "data" + le(rf64 ? ~0u : data.size(), 4);
  const std::uint64_t riff = 4 + (rf64 ? 36 : 0) + body.size() + data.size();
  const Bytes ds64 =
      "ds64" + le(28, 4) + le(riff, 8) + le(data.size(), 8) + le(frames, 8) + le(0, 4);
  return (rf64 ? "RF64" + le(~0u, 4) + "WAVE" + ds64 : "RIFF" + le(riff, 4) + "WAVE") + body + data;
}

// WAVs of every shape and the other containers libsndfile writes are described: format, rate,
// channels, the frames written and their duration.
TEST(SoundFileInfo, ContainersAndSampleFormatsAreDescribed) {
  struct Case {
    const char* Format;  // as info names it
    Bytes File;
    int Rate, Channels, Frames;
  } const cases[] = {
      {"WAV, 16-bit", WavBytes(false, false, false, 2, 48000, 16, 4800), 48000, 2, 4800},
      {"WAV (extensible), 16-bit", WavBytes(false, true, false, 2, 48000, 16, 4800), 48000, 2,
       4800},
      {"WAV (extensible), 24-bit", WavBytes(false, true, false, 1, 44100, 24, 4410), 44100, 1,
       4410},
      {"WAV (extensible), 32-bit float", WavBytes(false, true, true, 1, 32000, 32, 3200), 32000, 1,
       3200},
      {"RF64 WAV, 16-bit", WavBytes(true, false, false, 1, 44100, 16, 22050), 44100, 1, 22050},
      {"RF64 WAV, 32-bit float", WavBytes(true, true, true, 2, 96000, 32, 9600), 96000, 2, 9600},
      {"AIFF, 24-bit", SineFile(SF_FORMAT_AIFF | SF_FORMAT_PCM_24, 44100, 1000, 0.5), 44100, 1,
       22050},
      {"AU, u-law", SineFile(SF_FORMAT_AU | SF_FORMAT_ULAW, 8000, 1000, 0.5), 8000, 1, 4000},
      {"CAF, 16-bit", SineFile(SF_FORMAT_CAF | SF_FORMAT_PCM_16, 22050, 1000, 0.5), 22050, 1,
       11025},
      {"Wave64, 16-bit", SineFile(SF_FORMAT_W64 | SF_FORMAT_PCM_16, 44100, 1000, 0.5), 44100, 1,
       22050},
  };
  ScratchDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Format);
    std::ofstream(dir / "f", std::ios::binary) << c.File;
    const auto r = RunTool("info --json " + dir / "f");
    ASSERT_EQ(r.Status, 0) << r.Err;
    const auto j = nlohmann::json::parse(r.Out);
    EXPECT_TRUE(j["format"] == c.Format && j["rate"] == c.Rate && j["channels"] == c.Channels) << j;
    EXPECT_EQ(j["frames"], c.Frames) << j;
    EXPECT_EQ(j["seconds"].get<double>(), j["frames"].get<double>() / c.Rate);
    EXPECT_FALSE(j["loudness_lufs"].is_null()) << j;
  }
  std::ofstream(dir / "f", std::ios::binary) << cases[1].File;
  EXPECT_TRUE(Has(RunTool("info " + dir / "f").Out,
                  "format: WAV (extensible), 16-bit, 48000 Hz, 2 channels, 4800 frames (0.100 s)"));
}

// A named pipe may wait for ever for its writer or its end: it is refused at once, whether a
// writer waits or none (the writer is let go afterwards; timeout only ends a hang).
TEST(SoundFileInfo, NamedPipesAreRefusedWithoutWaiting) {
  ScratchDir dir;
  std::ofstream(dir / "w.wav", std::ios::binary) << Wav();
  for (const std::string writer : {"", "(cat w.wav > p &); "}) {
    SCOPED_TRACE(writer);
    const auto r = Shell("cd " + dir.Path + " && rm -f p && mkfifo p && " + writer +
                         "timeout 20 $Q info --json p; s=$?; " +
                         (writer.empty() ? "" : "timeout 20 cat p > /dev/null; ") + "exit $s");
    EXPECT_TRUE(r.Status == 1 && LineCount(r.Err) == 1) << r.Status << r.Err;
    EXPECT_EQ(r.Err,
              "quavix: error: cannot read 'p': it is a named pipe (FIFO), not a regular file "
              "(a settings file can come on standard input as '-')\n");
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
