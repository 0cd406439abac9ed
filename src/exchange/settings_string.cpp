#include "exchange/settings_string.h"

#include "exchange/param_cells.h"
#include "exchange/param_table.h"
#include "synth/exact_math.h"

namespace quavix {

namespace {

// Calls put(text, length) for each piece of the settings string in order.
template <typename Put>
void ForEachPiece(const SynthParams& params, Put put) {
  for (std::int32_t i = 0; i < kParamCount; ++i) {
    if (i > 0) {
      put(",", 1);
    }
    const float value = StoredValue(params, i);
    if (value != 0.0f) {  // -0.0 is 0 here; NaN is not
      char field[kFixed4MaxLength];
      put(field, FormatFixed4(static_cast<double>(value), field));
    }
  }
}

}  // namespace

std::string ExportSettingsString(const SynthParams& params) {
  std::string text;
  ForEachPiece(params, [&](const char* piece, std::size_t length) { text.append(piece, length); });
  return text;
}

std::size_t WriteSettingsString(const SynthParams& params, char* out, std::size_t capacity) {
  std::size_t length = 0;
  ForEachPiece(params, [&](const char* piece, std::size_t count) {
    for (std::size_t k = 0; k < count; ++k, ++length) {
      if (length + 1 < capacity) {
        out[length] = piece[k];
      }
    }
  });
  if (capacity > 0) {
    out[length < capacity ? length : capacity - 1] = '\0';
  }
  return length;
}

SettingsStringCheck CheckSettingsString(std::string_view text) {
  std::size_t start = 0;
  for (std::int32_t field = 0;; ++field) {
    const std::size_t comma = text.find(',', start);
    const std::string_view item =
        text.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start);
    if (field >= kParamCount) {
      return {SettingsStringProblem::TooManyFields, field, start, item.size()};
    }
    if (!item.empty() && !IsDecimalNumber(item)) {
      return {SettingsStringProblem::NotANumber, field, start, item.size()};
    }
    if (comma == std::string_view::npos) {
      return {};
    }
    start = comma + 1;
  }
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
