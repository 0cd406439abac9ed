// Settings-file load from arbitrary bytes through the real file path: no crash, the same
// result as decoding the bytes in memory, and whatever was loaded saves and loads back bit for
// bit (the 26 fields of the file, compared through their encoding).
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

#include "exchange/settings_file.h"
#include "synth/synth_params.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quavix;
  static const std::string input = "/tmp/quavix-fuzz-" + std::to_string(::getpid()) + ".sfs";
  static const std::string output = input + ".out";
  std::ofstream file(input, std::ios::binary | std::ios::trunc);
  if (!file.write(reinterpret_cast<const char*>(data), std::streamsize(size)).flush()) std::abort();
  SynthParams loaded = DefaultParams(), fromMemory = DefaultParams(), back = DefaultParams();
  back.Volume = 123.0f;
  if (DecodeSettings(fromMemory, data, size) != LoadSettingsFile(loaded, input) ||
      EncodeSettings(loaded) != EncodeSettings(fromMemory) ||
      SaveSettingsFile(loaded, output) != SettingsSaveResult::Saved ||
      LoadSettingsFile(back, output) != SettingsLoadResult::Loaded ||
      EncodeSettings(back) != EncodeSettings(loaded)) {
    std::abort();
  }
  return 0;
}
