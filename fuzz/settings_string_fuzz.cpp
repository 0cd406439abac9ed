// Settings-string import from arbitrary text: no crash, and the imported
// parameters survive an export and a second import unchanged in value.
#include <cmath>
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
  SynthParams once = DefaultParams();
  ImportSettingsString(once, text);
  (void)ParseDecimal(text);

  const std::string exported = ExportSettingsString(once);
  SynthParams twice = DefaultParams();
  ImportSettingsString(twice, exported);
  const std::string again = ExportSettingsString(twice);
  SynthParams thrice = DefaultParams();
  ImportSettingsString(thrice, again);
  if (ExportSettingsString(thrice) != again) std::abort();
  if (std::memcmp(&twice.Volume, &thrice.Volume, 4 * kParamCount) != 0) std::abort();
  return 0;
}
