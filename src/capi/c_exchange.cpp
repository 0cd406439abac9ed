// Settings string and settings file of the C API, in memory.
#include <cmath>

#include "capi/c_records.h"
#include "exchange/param_table.h"
#include "exchange/settings_file.h"
#include "exchange/settings_string.h"

using namespace quavix;
using namespace quavix::capi;

static_assert(QUAVIX_SETTINGS_FILE_SIZE == kSettingsFileSize);

namespace {

// Whether the 24 values have a text in the settings string's grammar.
bool AllFinite(const SynthParams& params) {
  for (std::int32_t i = 0; i < kParamCount; ++i) {
    if (!std::isfinite(StoredValue(params, i))) return false;
  }
  return true;
}

}  // namespace

extern "C" {

size_t quavix_settings_string(const quavix_params* params, char* out, size_t capacity) {
  return quavix_settings_string_ex(params, out, capacity, 0);
}

size_t quavix_settings_string_ex(const quavix_params* params, char* out, size_t capacity,
                                 uint32_t flags) {
  if (out == nullptr) capacity = 0;
  const bool moduleText = (flags & QUAVIX_SETTINGS_MODULE_TEXT) != 0;
  if (params == nullptr || (!moduleText && !AllFinite(ToCore(*params)))) {
    if (capacity > 0) out[0] = '\0';
    return 0;
  }
  return WriteSettingsString(ToCore(*params), out, capacity);
}

int quavix_settings_string_import(quavix_params* params, const char* text) {
  if (params == nullptr || text == nullptr) return QUAVIX_ERROR_ARGUMENT;
  Edit(*params, [&](SynthParams& p) { ImportSettingsString(p, text); });
  return QUAVIX_OK;
}

int quavix_settings_string_check(const char* text, int32_t* bad_field) {
  if (text == nullptr) return QUAVIX_ERROR_ARGUMENT;
  const SettingsStringCheck check = CheckSettingsString(text);
  if (bad_field != nullptr) *bad_field = check.Field;
  switch (check.Problem) {
    case SettingsStringProblem::None: return QUAVIX_OK;
    case SettingsStringProblem::NotANumber: return QUAVIX_ERROR_NOT_A_NUMBER;
    case SettingsStringProblem::TooManyFields: return QUAVIX_ERROR_TOO_MANY_FIELDS;
  }
  return QUAVIX_OK;
}

int quavix_settings_file_encode(const quavix_params* params, uint8_t out[QUAVIX_SETTINGS_FILE_SIZE]) {
  if (params == nullptr || out == nullptr) return QUAVIX_ERROR_ARGUMENT;
  const auto bytes = EncodeSettings(ToCore(*params));
  std::memcpy(out, bytes.data(), bytes.size());
  return QUAVIX_OK;
}

int quavix_settings_file_decode(quavix_params* params, const uint8_t* data, size_t size) {
  if (params == nullptr || (data == nullptr && size > 0)) return QUAVIX_ERROR_ARGUMENT;
  SettingsLoadResult result = SettingsLoadResult::BadVersion;
  Edit(*params, [&](SynthParams& p) { result = DecodeSettings(p, data, size); });
  switch (result) {
    case SettingsLoadResult::Loaded: return QUAVIX_OK;
    case SettingsLoadResult::Truncated: return QUAVIX_ERROR_SHORT_DATA;
    case SettingsLoadResult::BadVersion:
    case SettingsLoadResult::CannotOpen: break;
  }
  return QUAVIX_ERROR_VERSION;
}

}  // extern "C"
