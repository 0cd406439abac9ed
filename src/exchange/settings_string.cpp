#include "exchange/settings_string.h"

#include "exchange/param_cells.h"
#include "exchange/param_table.h"
#include "synth/exact_math.h"

namespace quavix {

std::string ExportSettingsString(const SynthParams& params) {
  std::string text;
  for (std::int32_t i = 0; i < kParamCount; ++i) {
    if (i > 0) {
      text.push_back(',');
    }
    const float value = StoredValue(params, i);
    if (value != 0.0f) {  // -0.0 is 0 here; NaN is not
      text += FormatFixed4(static_cast<double>(value));
    }
  }
  return text;
}

void ImportSettingsString(SynthParams& params, std::string_view text) {
  text = text.substr(0, text.find('\0'));
  std::size_t position = 0;
  for (std::int32_t i = 0; i < kParamCount; ++i) {
    const std::size_t comma = text.find(',', position);
    const std::string_view field =
        text.substr(position, comma == std::string_view::npos ? std::string_view::npos
                                                               : comma - position);
    const double number = ParseDecimal(field);
    if (i == detail::kWaveTypeIndex) {
      params.WaveType = TruncToInt32(number);
    } else {
      *detail::FloatCell(params, i) = Single(number);
    }
    if (comma == std::string_view::npos) {
      break;
    }
    position = comma + 1;
  }
}

}  // namespace quavix
