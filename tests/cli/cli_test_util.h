// Runs the built tool in scratch folders, reads its sound files back, makes the library's sounds.
#pragma once

#include <sndfile.h>
#include <sys/wait.h>

#include <nlohmann/json.hpp>
#include <regex>
#include <set>

#include "design/presets.h"
#include "design/randomize.h"
#include "exchange/settings_file.h"
#include "synth/synthesizer.h"
#include "test_util.h"

namespace quavix::test {

inline std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}
inline bool Has(const std::string& s, const std::string& part) {
  return s.find(part) != s.npos;
}
inline long LineCount(const std::string& s) {
  return std::ranges::count(s, '\n');
}

// A fresh folder under the system's temporary folder, removed with its content.
struct ScratchDir {
  std::string Path = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "quavix-cli-XXXXXX").string();
    return std::string(mkdtemp(pattern.data()));
  }();
  ~ScratchDir() { std::filesystem::remove_all(Path); }
  std::string operator/(const std::string& name) const { return Path + "/" + name; }
  std::set<std::string> Entries() const {  // hidden files included
    std::set<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(Path))
      names.insert(e.path().filename());
    return names;
  }
};

struct ToolResult {
  int Status;  // 128 + the signal for a process killed by one
  std::string Out, Err;
};

// Runs a shell command line in which $Q is the built tool; stdin empty, stdout and stderr kept.
inline ToolResult Shell(const std::string& line) {
  ScratchDir io;
  std::ofstream{io / "in"};
  const int status = std::system(("Q='" QUAVIX_TOOL "'; exec <" + io / "in" + " >" + io / "out" +
                                  " 2>" + io / "err" + "; " + line)
                                     .c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), ReadText(io / "out"),
          ReadText(io / "err")};
}
inline ToolResult RunTool(const std::string& args) {
  return Shell("$Q " + args);
}
// A manifest's command line, run in a folder with the built tool in place of "quavix".
inline ToolResult RunCommandIn(const std::string& folder, const std::string& command) {
  return Shell("cd '" + folder + "' && " + std::regex_replace(command, std::regex("quavix render"), "$$Q render"));
}

// The 16-bit samples of a sound file as libsndfile reads them.
struct SoundFile {
  int Channels = 0, SampleRate = 0, Format = 0;
  std::vector<std::int16_t> Samples;
};
inline SoundFile ReadSound(const std::string& path) {
  SF_INFO info{};
  SNDFILE* sf = sf_open(path.c_str(), SFM_READ, &info);
  if (sf == nullptr) return {};
  SoundFile file{info.channels, info.samplerate, info.format, {}};
  file.Samples.resize(std::size_t(info.frames * info.channels));
  sf_read_short(sf, file.Samples.data(), sf_count_t(file.Samples.size()));
  sf_close(sf);
  return file;
}

// The header of a sound file as libsndfile reads it; frames -1 where it cannot open it.
inline SF_INFO SoundHeader(const std::string& path) {
  SF_INFO info{};
  SNDFILE* sf = sf_open(path.c_str(), SFM_READ, &info);
  if (sf == nullptr) info.frames = -1;
  if (sf != nullptr) sf_close(sf);
  return info;
}

// A settings file's 105 bytes in lowercase hexadecimal, as project files hold them.
inline std::string Hex(const SynthParams& p) {
  std::string hex;
  for (const std::uint8_t b : EncodeSettings(p)) hex += {"0123456789abcdef"[b >> 4], "0123456789abcdef"[b & 15]};
  return hex;
}

// The module's sequence: synthesizer (noise from seed 12345), seed, setup, seconds x 41000 samples.
template <typename Setup>
std::vector<std::int16_t> LibrarySound(std::int32_t seed, Setup setup, std::int32_t seconds = 5) {
  RandomSource random;
  SeedRandom(random, 12345);
  Synthesizer synth;
  Init(synth, random);
  SeedFromScript(random, seed);
  setup(synth.Params, random);
  std::vector<std::int16_t> samples(static_cast<std::size_t>(seconds * 41000));
  Synthesize(synth, seconds * 41000, samples.data(), random);
  samples.resize(static_cast<std::size_t>(synth.SampleCount));
  return samples;
}

// The largest magnitude among a sound's samples (0 for no samples).
inline int Peak(const std::vector<std::int16_t>& s) {
  if (s.empty()) return 0;
  const auto [low, high] = std::ranges::minmax(s);
  return std::max(-int{low}, int{high});
}

// The module's image: a 44-byte RIFF/WAVE header (PCM, mono, 44100 Hz, 16 bits), the samples.
inline std::string ModuleImage(const std::vector<std::int16_t>& s) {
  std::string b;
  const auto put = [&](std::uint32_t v, int n) {
    for (int i = 0; i < n; ++i) b += static_cast<char>(v >> (8 * i));
  };
  const auto data = static_cast<std::uint32_t>(2 * s.size());
  b += "RIFF", put(36 + data, 4), b += "WAVEfmt ", put(16, 4), put(1, 2), put(1, 2);
  put(44100, 4), put(88200, 4), put(2, 2), put(16, 2), b += "data", put(data, 4);
  for (const std::int16_t v : s) put(static_cast<std::uint16_t>(v), 2);
  return b;
}

// A run ("@" stands for a scratch folder of settings files, in the line and the messages): status,
// the one line on stderr (an error; for status 0 a warning or a batch's summary; "": none), part
// of stdout, the file added. Leading NAME=VALUE words set the environment.
struct RunCase {
  std::string Args;
  int Status;
  const char *Err, *Out = "", *Writes = nullptr;
  friend void PrintTo(const RunCase& c, std::ostream* os) { *os << c.Args.substr(0, 200); }
};
class ToolRuns : public ::testing::TestWithParam<RunCase> {};

}  // namespace quavix::test
