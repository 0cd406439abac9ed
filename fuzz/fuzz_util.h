// What the fuzz targets share: a check that stops the run with its reason, a scratch path of this
// process, and the sound that parameter bytes describe.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "synth/synthesizer.h"

namespace quavix::fuzz {

namespace fs = std::filesystem;

// A broken promise: the fuzzer keeps the input that broke it.
inline void Check(bool kept, const char* promise) {
  if (kept) return;
  std::fprintf(stderr, "broken: %s\n", promise);
  std::abort();
}

// A path in the temporary folder that no other process uses.
inline fs::path Scratch(const std::string& name) {
  return fs::temp_directory_path() / (name + "-" + std::to_string(::getpid()));
}

// The file of this process that each input is written to (removed when the fuzzer exits).
struct InputFile {
  std::string Path;
  explicit InputFile(const std::string& name, const std::string& extension)
      : Path(Scratch(name).string() + extension) {}
  ~InputFile() { std::remove(Path.c_str()); }
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  // Replaces the file's bytes with the input's.
  const std::string& Write(const std::uint8_t* data, std::size_t size) const {
    std::ofstream file(Path, std::ios::binary | std::ios::trunc);
    Check(bool(file.write(reinterpret_cast<const char*>(data), std::streamsize(size)).flush()),
          "the input is written to its file");
    return Path;
  }
};

// One sound in bytes: 24 parameter cells, a 4-byte seed and a 2-byte area size.
inline constexpr std::size_t kSoundBytes = 4 * kParamCount + 6;
inline constexpr std::int16_t kUntouched = 0x7A7A;

struct Sound {
  std::unique_ptr<Synthesizer> Synth = std::make_unique<Synthesizer>();
  RandomSource Random;
  std::int32_t Area = 0;
  std::vector<std::int16_t> Samples;  // the area and 8 samples after it that stay untouched
};

// The sound the kSoundBytes at `bytes` describe, not yet played, its area size modulo `areas`.
inline Sound SoundOf(const std::uint8_t* bytes, int areas) {
  Sound s;
  std::memcpy(&s.Synth->Params.Volume, bytes, 4 * kParamCount);
  std::memcpy(&s.Random.State, bytes + 4 * kParamCount, 4);
  std::uint16_t area = 0;
  std::memcpy(&area, bytes + 4 * kParamCount + 4, 2);
  s.Area = area % areas;
  s.Samples.assign(static_cast<std::size_t>(s.Area) + 8, kUntouched);
  return s;
}

}  // namespace quavix::fuzz
