// The settings string: the 24 parameters as comma-separated "%.4f" values,
// empty fields for 0, in parameter index order.
#pragma once

#include <string>
#include <string_view>

#include "synth/synth_params.h"

namespace quavix {

// Exact fixed-point text of x with four decimals; an exact tie rounds half away
// from zero (0.03125 -> "0.0313"). Independent of the locale. Infinities give
// "inf" or "-inf", NaN gives "nan".
std::string FormatFixed4(double x);

// Reads a decimal number at the start of text: leading white space, optional
// sign, digits with optional '.' and fraction, optional exponent introduced by
// e, E, d or D. Returns the correctly rounded double, or 0 when no number
// starts there. No inf, nan or hexadecimal forms; locale-independent.
double ParseDecimal(std::string_view text);

// 24 fields joined by 23 commas; a field is empty for 0 and -0.0, otherwise
// FormatFixed4 of the value (WaveType converted to float). The text grows as
// needed, however large the values.
std::string ExportSettingsString(const SynthParams& params);

// Imports up to 24 fields into the parameters; stops where no comma follows.
// Each field is read with ParseDecimal; field 1 is truncated toward zero into
// WaveType (NaN or out of the int32 range gives -2147483648), the others are
// rounded to float. The text ends at its first NUL character, if any.
void ImportSettingsString(SynthParams& params, std::string_view text);

}  // namespace quavix
