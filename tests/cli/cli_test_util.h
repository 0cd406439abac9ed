// Helpers of the end-to-end tests: run the built tool, keep a scratch folder,
// read WAV files back with libsndfile and render the library's own samples.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sndfile.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "design/randomize.h"
#include "synth/synthesizer.h"

extern char** environ;

namespace quavix::test {

struct ToolResult {
  int Status = -1;
  std::string Out;
  std::string Err;
  long PeakResidentKb = 0;  // the process's largest resident set
};

inline std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
inline std::vector<std::uint8_t> ReadBytes(const std::string& path) {
  const std::string text = ReadText(path);
  return {text.begin(), text.end()};
}
inline void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
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
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  std::string operator/(const std::string& name) const { return Path + "/" + name; }
  // The names of the entries in the folder, sorted (hidden files included).
  std::vector<std::string> Entries() const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(Path)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
};

// How a run differs from the plain one: extra environment entries, a file
// for stdin (default: an empty file), and a signal sent once a condition holds.
struct RunOptions {
  std::vector<std::string> Env;
  std::string Stdin = "";
  int Signal = 0;
  std::function<bool()> SignalWhen = nullptr;  // polled every 10 ms, for at most a minute
  std::string Stdout = "";  // a file or terminal for stdout instead of the capture
};

// Runs the built tool with the arguments and collects its exit status (128 +
// the signal for a process killed by one), stdout and stderr.
inline ToolResult RunTool(const std::vector<std::string>& args, const RunOptions& options = {}) {
  ScratchDir capture;
  const std::string outPath = capture / "stdout", errPath = capture / "stderr";
  std::string inPath = options.Stdin.empty() ? capture / "stdin" : options.Stdin;
  if (options.Stdin.empty()) std::ofstream{inPath};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, inPath.c_str(), O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, options.Stdout.empty() ? outPath.c_str() : options.Stdout.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  std::vector<std::string> argv{QUAVIX_TOOL}, env = options.Env;
  argv.insert(argv.end(), args.begin(), args.end());
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

// Every entry of a folder with its mode and content, to tell whether a run
// left the folder exactly as it was.
inline std::vector<std::string> FolderState(const std::string& path) {
  std::vector<std::string> state;
  for (const auto& e : std::filesystem::recursive_directory_iterator(path)) {
    const auto perms = static_cast<unsigned>(std::filesystem::symlink_status(e.path()).permissions());
    const std::string content = e.is_regular_file() ? ReadText(e.path().string()) : "";
    state.push_back(e.path().string() + " " + std::to_string(perms) + " " + content);
  }
  std::sort(state.begin(), state.end());
  return state;
}

// A WAV file as libsndfile reads it.
struct SoundFile {
  bool Opened = false;
  int Channels = 0, SampleRate = 0, Format = 0;
  std::int64_t Frames = 0;
  std::vector<std::int16_t> Samples;
};

inline SoundFile ReadSound(const std::string& path) {
  SoundFile file;
  SF_INFO info{};
  SNDFILE* sf = sf_open(path.c_str(), SFM_READ, &info);
  if (sf == nullptr) return file;
  file = {true, info.channels, info.samplerate, info.format, info.frames, {}};
  file.Samples.resize(std::size_t(info.frames) * std::size_t(info.channels));
  file.Samples.resize(std::size_t(sf_read_short(sf, file.Samples.data(), sf_count_t(file.Samples.size()))));
  sf_close(sf);
  return file;
}

// The module's sequence for one sound: the synthesizer exists first (its
// construction draws its noise table from an earlier state), then "Set random
// seed to %0", then whatever setup does to the parameters, then a generation
// into a buffer of bufferSeconds × 41000 samples.
template <typename Setup>
std::vector<std::int16_t> LibrarySound(std::int32_t seed, Setup setup, std::int32_t bufferSeconds = 5) {
  RandomSource random;
  SeedRandom(random, 12345);
  Synthesizer synth(random);
  SeedFromScript(random, seed);
  setup(synth.Params, random);
  std::vector<std::int16_t> samples(static_cast<std::size_t>(bufferSeconds * 41000));
  Synthesize(synth, bufferSeconds * 41000, samples.data(), random);
  samples.resize(static_cast<std::size_t>(synth.SampleCount));
  return samples;
}

inline std::uint32_t ReadLE32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return std::uint32_t(b[at]) | std::uint32_t(b[at + 1]) << 8 | std::uint32_t(b[at + 2]) << 16 |
         std::uint32_t(b[at + 3]) << 24;
}
inline std::uint32_t ReadLE16(const std::vector<std::uint8_t>& b, std::size_t at) {
  return std::uint32_t(b[at]) | std::uint32_t(b[at + 1]) << 8;
}
inline std::int64_t LineCount(const std::string& text) { return std::count(text.begin(), text.end(), '\n'); }

}  // namespace quavix::test
