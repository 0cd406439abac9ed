// Settings-file load from arbitrary bytes through the real file path: no
// crash, and whatever was loaded saves and loads back bit for bit.
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

std::string ScratchPath(const char* name) {
  return "/tmp/quavix-fuzz-" + std::to_string(::getpid()) + "-" + name;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quavix;
  static const std::string input = ScratchPath("input.sfs");
  static const std::string output = ScratchPath("output.sfs");
  std::FILE* f = std::fopen(input.c_str(), "wb");
  if (f == nullptr) std::abort();
  if (size > 0 && std::fwrite(data, 1, size, f) != size) std::abort();
  std::fclose(f);

  SynthParams loaded = DefaultParams();
  const SettingsLoadResult result = LoadSettingsFile(loaded, input);
  SynthParams fromMemory = DefaultParams();
  if (DecodeSettings(fromMemory, data, size) != result) std::abort();
  if (!SameFields(loaded, fromMemory)) std::abort();

  if (SaveSettingsFile(loaded, output) != SettingsSaveResult::Saved) std::abort();
  SynthParams back = DefaultParams();
  back.Volume = 123.0f;
  if (LoadSettingsFile(back, output) != SettingsLoadResult::Loaded) std::abort();
  if (!SameFields(back, loaded)) std::abort();
  return 0;
}
