// Settings-file load of arbitrary bytes through a real file: no crash, the result of decoding
// them in memory, and what was loaded saves and loads back bit for bit (compared encoded).

#include "exchange/settings_file.h"
#include "exchange/settings_file_io.h"
#include "fuzz_util.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quavix;
  static const fuzz::InputFile scratch("quavix-fuzz", ".sfs");
  const std::string& input = scratch.Write(data, size);
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
