// quavix info on arbitrary bytes as a file (most seeds start like a WAV, FLAC or
// Ogg file): status 0 with figures, or 1 with one "quavix: error: " line that
// names the file; never a crash, a hang or a claim of the header sizing memory.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "app.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  namespace fs = std::filesystem;
  // The one file every input is written to, removed when the fuzzer exits.
  static const struct Scratch {
    std::string Path =
        (fs::temp_directory_path() / ("quavix-sound-fuzz-" + std::to_string(::getpid()) + ".snd")).string();
    ~Scratch() { std::remove(Path.c_str()); }
  } scratch;
  const std::string& path = scratch.Path;
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  const char* argv[] = {"quavix", "info", "--json", path.c_str()};
  std::ostringstream out, err;
  const int status = quavix::cli::RunQuavix(4, argv, {out, err, false, false});
  const std::string text = err.str();
  if (status == 0) {
    if (out.str().empty()) std::abort();
  } else if (status == 1) {
    if (text.rfind("quavix: error: ", 0) != 0 || text.find('\n') != text.size() - 1) std::abort();
  } else {
    std::abort();
  }
  return 0;
}
