// Settings-string import from arbitrary text: no crash, and after one export and import the
// text and the values no longer change.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "exchange/param_table.h"
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
  // Equal in value ("-0.0000" imports as -0.0, then exports empty); import never yields NaN.
  for (int i = 0; i < kParamCount; ++i) {
    if (!(StoredValue(twice, i) == StoredValue(thrice, i))) std::abort();
  }
  return 0;
}
