// Settings-string import from arbitrary text: no crash, and after one export
// and import the text and the values no longer change.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "exchange/settings_string.h"
#include "synth/synth_params.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quavix;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  SynthParams once = DefaultParams(), twice = DefaultParams(), thrice = DefaultParams();
  ImportSettingsString(once, text);
  (void)ParseDecimal(text);
  ImportSettingsString(twice, ExportSettingsString(once));
  const std::string again = ExportSettingsString(twice);
  ImportSettingsString(thrice, again);
  if (ExportSettingsString(thrice) != again || twice.WaveType != thrice.WaveType) std::abort();
  // Equal in value: "-0.0000" imports as -0.0, which exports empty and comes
  // back as +0.0. Import never yields NaN, so == is the right test.
  for (int i = 0; i < kParamCount; ++i) {
    float a = 0.0f, b = 0.0f;
    std::memcpy(&a, reinterpret_cast<const unsigned char*>(&twice.Volume) + 4 * i, 4);
    std::memcpy(&b, reinterpret_cast<const unsigned char*>(&thrice.Volume) + 4 * i, 4);
    if (i != 1 && !(a == b)) std::abort();
  }
  return 0;
}
