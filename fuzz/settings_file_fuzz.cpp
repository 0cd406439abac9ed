// Settings-file load of arbitrary bytes through a real file: no crash, the result of decoding
// them in memory, and what was loaded saves and loads back bit for bit (compared encoded).
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

#include "exchange/settings_file.h"
#include "exchange/settings_file_io.h"
#include "synth/synth_params.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quavix;
  static const std::string input = "/tmp/quavix-fuzz-" + std::to_string(::getpid()) + ".sfs";
  std::ofstream file(input, std::ios::binary | std::ios::trunc);
  if (!file.write(reinterpret_cast<const char*>(data), std::streamsize(size)).flush()) std::abort();
  SynthParams loaded = DefaultParams(), fromMemory = DefaultParams(), back = DefaultParams();
  back.Volume = 123.0f;
  if (DecodeSettings(fromMemory, data, size) != LoadSettingsFile(loaded, input) ||
      EncodeSettings(loaded) != EncodeSettings(fromMemory) ||
      SaveSettingsFile(loaded, input) != SettingsSaveResult::Saved ||
      LoadSettingsFile(back, input) != SettingsLoadResult::Loaded ||
      EncodeSettings(back) != EncodeSettings(loaded)) {
    std::abort();
  }
  return 0;
}
