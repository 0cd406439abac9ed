// Helpers of the end-to-end tests: run the built tool in a scratch folder, read
// its files back with libsndfile, and make the library's own samples and image.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sndfile.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "design/randomize.h"
#include "synth/synthesizer.h"

extern char** environ;

namespace quavix::test {

inline std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
inline std::int64_t LineCount(const std::string& text) {
  return std::count(text.begin(), text.end(), '\n');
}

// A fresh folder under the system's temporary folder, removed with its content.
struct ScratchDir {
  std::string Path;
  ScratchDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "quavix-cli-XXXXXX").string();
    Path = mkdtemp(pattern.data());
  }
  ~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(Path, ec);
  }
  std::string operator/(const std::string& name) const { return Path + "/" + name; }
  std::set<std::string> Entries() const {  // hidden files included
    std::set<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(Path))
      names.insert(e.path().filename());
    return names;
  }
};

struct ToolResult {
  int Status = -1;  // 128 + the signal for a process killed by one
  std::string Out, Err;
  long PeakResidentKb = 0;
};

// How a run differs from the plain one (stdin an empty file, stdout captured).
struct RunOptions {
  std::vector<std::string> Env{};
  std::string Stdin{}, Stdout{};
  int Signal = 0;
  std::function<bool()> SignalWhen{};  // polled every 10 ms, for at most a minute
};

// Runs the built tool with the words of a command line ('' is an empty word).
inline ToolResult RunTool(const std::string& line, const RunOptions& options = {}) {
  ScratchDir capture;
  const std::string outPath = capture / "stdout", errPath = capture / "stderr";
  const std::string inPath = options.Stdin.empty() ? capture / "stdin" : options.Stdin;
  if (options.Stdin.empty()) std::ofstream{inPath};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, inPath.c_str(), O_RDONLY, 0);
  const std::string& out = options.Stdout.empty() ? outPath : options.Stdout;
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0644);
  std::vector<std::string> argv{QUAVIX_TOOL}, env = options.Env;
  std::istringstream words(line);
  for (std::string w; words >> w;) argv.push_back(w == "''" ? "" : w);
  for (char** e = environ; *e != nullptr; ++e) env.emplace_back(*e);
  std::vector<char*> cargs, cenv;
  for (std::string& a : argv) cargs.push_back(a.data());
  for (std::string& e : env) cenv.push_back(e.data());
  cargs.push_back(nullptr);
  cenv.push_back(nullptr);
  ToolResult result;
  pid_t pid = 0;
  if (posix_spawn(&pid, QUAVIX_TOOL, &actions, nullptr, cargs.data(), cenv.data()) == 0) {
    if (options.Signal != 0) {
      for (int i = 0; i < 6000 && !options.SignalWhen(); ++i) usleep(10000);
      kill(pid, options.Signal);
    }
    int status = 0;
    struct rusage usage {};
    wait4(pid, &status, 0, &usage);
    result.Status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.PeakResidentKb = usage.ru_maxrss;
  }
  posix_spawn_file_actions_destroy(&actions);
  result.Out = ReadText(outPath);
  result.Err = ReadText(errPath);
  return result;
}

// The samples of a sound file as libsndfile reads them, 16 bits.
struct SoundFile {
  int Channels = 0, SampleRate = 0, Format = 0;
  std::int64_t Frames = 0;
  std::vector<std::int16_t> Samples;
};
inline SoundFile ReadSound(const std::string& path) {
  SF_INFO info{};
  SNDFILE* sf = sf_open(path.c_str(), SFM_READ, &info);
  if (sf == nullptr) return {};
  SoundFile file{info.channels, info.samplerate, info.format, info.frames, {}};
  file.Samples.resize(std::size_t(info.frames) * std::size_t(info.channels));
  sf_read_short(sf, file.Samples.data(), sf_count_t(file.Samples.size()));
  sf_close(sf);
  return file;
}

// The module's sequence for one sound: the synthesizer exists first (its
// construction draws its noise table from an earlier state), then "Set random
// seed to %0", then whatever setup does to the parameters, then a generation
// into a buffer of bufferSeconds x 41000 samples.
template <typename Setup>
std::vector<std::int16_t> LibrarySound(std::int32_t seed, Setup setup, std::int32_t seconds = 5) {
  RandomSource random;
  SeedRandom(random, 12345);
  Synthesizer synth(random);
  SeedFromScript(random, seed);
  setup(synth.Params, random);
  std::vector<std::int16_t> samples(static_cast<std::size_t>(seconds * 41000));
  Synthesize(synth, seconds * 41000, samples.data(), random);
  samples.resize(static_cast<std::size_t>(synth.SampleCount));
  return samples;
}

// The module's image: a 44-byte RIFF/WAVE header (PCM, mono, 44100 Hz, 16 bits), then the samples.
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

// A run of the tool as a command line ("@" stands for a scratch folder of settings
// files, '' for an empty argument): its status, the one line on stderr (an error, or
// a warning for status 0; empty: none), part of stdout and the one file it adds.
struct RunCase {
  std::string Args;
  int Status;
  const char* Err;
  const char* Out = "";
  const char* Writes = nullptr;
};
inline void PrintTo(const RunCase& c, std::ostream* os) {
  *os << c.Args.substr(0, 200);
}
class ToolRuns : public ::testing::TestWithParam<RunCase> {};

}  // namespace quavix::test
