// Settings-file load from arbitrary bytes through the real file path: no
// crash, the same result as decoding the bytes in memory, and whatever was
// loaded saves and loads back bit for bit.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "exchange/settings_file.h"
#include "synth/synth_params.h"

namespace {

// The 26 stored fields compared bit for bit (padding excluded).
bool SameFields(const quavix::SynthParams& a, const quavix::SynthParams& b) {
  return std::memcmp(&a.Volume, &b.Volume, 4 * quavix::kParamCount) == 0 &&
         std::memcmp(&a.VibReserved, &b.VibReserved, 4) == 0 && a.FlagReserved == b.FlagReserved;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quavix;
  static const std::string input = "/tmp/quavix-fuzz-" + std::to_string(::getpid()) + "-in.sfs";
  static const std::string output = "/tmp/quavix-fuzz-" + std::to_string(::getpid()) + "-out.sfs";
  std::FILE* f = std::fopen(input.c_str(), "wb");
  if (f == nullptr || (size > 0 && std::fwrite(data, 1, size, f) != size)) std::abort();
  std::fclose(f);
  SynthParams loaded = DefaultParams();
  SynthParams fromMemory = DefaultParams();
  SynthParams back = DefaultParams();
  back.Volume = 123.0f;
  if (DecodeSettings(fromMemory, data, size) != LoadSettingsFile(loaded, input) ||
      !SameFields(loaded, fromMemory) ||
      SaveSettingsFile(loaded, output) != SettingsSaveResult::Saved ||
      LoadSettingsFile(back, output) != SettingsLoadResult::Loaded || !SameFields(back, loaded)) {
    std::abort();
  }
  return 0;
}
