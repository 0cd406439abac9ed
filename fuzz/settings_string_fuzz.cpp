// Settings-string import from arbitrary text: no crash, and after one export and import the
// text and the values no longer change.
#include <string_view>

#include "exchange/param_table.h"
#include "exchange/settings_string.h"
#include "fuzz_util.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quavix;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  SynthParams once = DefaultParams(), twice = DefaultParams(), thrice = DefaultParams();
  ImportSettingsString(once, text);
  (void)ParseDecimal(text);
  ImportSettingsString(twice, ExportSettingsString(once));
  const std::string again = ExportSettingsString(twice);
  ImportSettingsString(thrice, again);
  fuzz::Check(ExportSettingsString(thrice) == again && twice.WaveType == thrice.WaveType, "text");
  // Equal in value ("-0.0000" imports as -0.0, then exports empty); import never yields NaN.
  for (int i = 0; i < kParamCount; ++i) {
    fuzz::Check(StoredValue(twice, i) == StoredValue(thrice, i), "values");
  }
  return 0;
}
