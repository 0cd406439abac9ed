// Settings-file load of arbitrary bytes through a real file: no crash, the result of decoding
// them in memory, and what was loaded saves and loads back bit for bit (compared encoded).
#include <fstream>

#include "exchange/settings_file.h"
#include "exchange/settings_file_io.h"
#include "fuzz_util.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quavix;
  static const std::string input = fuzz::Scratch("quavix-fuzz").string() + ".sfs";
  std::ofstream file(input, std::ios::binary | std::ios::trunc);
  fuzz::Check(bool(file.write(reinterpret_cast<const char*>(data), std::streamsize(size)).flush()),
              "write");
  SynthParams loaded = DefaultParams(), fromMemory = DefaultParams(), back = DefaultParams();
  back.Volume = 123.0f;
  fuzz::Check(DecodeSettings(fromMemory, data, size) == LoadSettingsFile(loaded, input) &&
                  EncodeSettings(loaded) == EncodeSettings(fromMemory),
              "the file loads as its bytes decode");
  fuzz::Check(SaveSettingsFile(loaded, input) == SettingsSaveResult::Saved &&
                  LoadSettingsFile(back, input) == SettingsLoadResult::Loaded &&
                  EncodeSettings(back) == EncodeSettings(loaded),
              "save and load back");
  return 0;
}
