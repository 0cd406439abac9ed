// The settings string: the 24 parameters as comma-separated "%.4f" values,
// empty fields for 0, in parameter index order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "exchange/decimal_text.h"
#include "synth/synth_params.h"

namespace quavix {

// 24 fields joined by 23 commas; a field is empty for 0 and -0.0, otherwise
// FormatFixed4 of the value (WaveType converted to float). The text grows as
// needed, however large the values.
std::string ExportSettingsString(const SynthParams& params);

// The same text written into out as snprintf writes: at most capacity - 1
// characters and a terminator (nothing when capacity is 0). Returns the length
// of the whole text, so a result of capacity or more means it was cut short.
std::size_t WriteSettingsString(const SynthParams& params, char* out, std::size_t capacity);

// Imports up to 24 fields into the parameters; stops where no comma follows.
// Each field is read with ParseDecimal; field 1 is truncated toward zero into
// WaveType (NaN or out of the int32 range gives -2147483648), the others are
// rounded to float. The text ends at its first NUL character, if any.
void ImportSettingsString(SynthParams& params, std::string_view text);

// What a strict reading of a settings string finds wrong first.
enum class SettingsStringProblem {
  None,
  NotANumber,     // a non-empty field that is not one IsDecimalNumber number
  TooManyFields,  // more than 24 fields (23 commas at most)
};

struct SettingsStringCheck {
  SettingsStringProblem Problem = SettingsStringProblem::None;
  std::int32_t Field = -1;  // index of the offending field, -1 when none
  std::size_t Offset = 0;   // where that field starts in the text
  std::size_t Length = 0;   // and its length up to the next comma or the end
};

// Checks that text holds at most 24 fields, each empty or exactly a number of
// the grammar (no spaces, no trailing letters), and reports the first field
// that is not. The lenient import accepts more; this is for tools that want
// to refuse a mistyped text.
SettingsStringCheck CheckSettingsString(std::string_view text);

}  // namespace quavix
