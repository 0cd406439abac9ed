// Version, sizes, the audible randomize and the length-counted text calls of
// the C API: what games and bindings in other languages check and call.
#include <string_view>

#include "capi/c_records.h"
#include "design/presets.h"
#include "design/randomize.h"
#include "exchange/param_table.h"
#include "exchange/settings_string.h"

using namespace quavix;
using namespace quavix::capi;

static_assert(sizeof(quavix_params) == QUAVIX_PARAMS_SIZE);
static_assert(sizeof(quavix_random) == 4);

namespace {

#define QUAVIX_TEXT(x) #x
#define QUAVIX_VERSION_TEXT(a, b, c) QUAVIX_TEXT(a) "." QUAVIX_TEXT(b) "." QUAVIX_TEXT(c)

// The text up to length or its first NUL, whichever comes first.
std::string_view Counted(const char* text, std::size_t length) {
  const std::string_view whole(text, length);
  return whole.substr(0, whole.find('\0'));
}

}  // namespace

extern "C" {

uint32_t quavix_abi_version(void) { return QUAVIX_ABI_VERSION; }

const char* quavix_version_string(void) {
  return QUAVIX_VERSION_TEXT(QUAVIX_VERSION_MAJOR, QUAVIX_VERSION_MINOR, QUAVIX_VERSION_PATCH);
}

size_t quavix_params_size(void) { return sizeof(quavix_params); }

int quavix_randomize_ex(quavix_params* params, quavix_random* random, uint32_t flags) {
  if (params == nullptr || random == nullptr) return QUAVIX_ERROR_ARGUMENT;
  const bool audible = (flags & QUAVIX_RANDOMIZE_AUDIBLE) != 0;
  WithRandom(*random, [&](RandomSource& core) {
    Edit(*params, [&](SynthParams& p) { Randomize(p, core, audible); });
  });
  return QUAVIX_OK;
}

int quavix_param_index_n(const char* name, size_t length) {
  if (name == nullptr && length > 0) return QUAVIX_ERROR_ARGUMENT;
  const ParamInfo* info = name != nullptr ? FindParam(Counted(name, length)) : nullptr;
  return info != nullptr ? info->Index : QUAVIX_ERROR_NAME;
}

int quavix_preset_family_of_n(const char* name, size_t length) {
  if (name == nullptr && length > 0) return QUAVIX_ERROR_ARGUMENT;
  if (name == nullptr) return QUAVIX_ERROR_NAME;
  const auto family = FindPresetFamily(Counted(name, length));
  return family ? *family : QUAVIX_ERROR_NAME;
}

int quavix_settings_string_import_n(quavix_params* params, const char* text, size_t length) {
  if (params == nullptr || (text == nullptr && length > 0)) return QUAVIX_ERROR_ARGUMENT;
  const std::string_view view = text != nullptr ? Counted(text, length) : std::string_view{};
  Edit(*params, [&](SynthParams& p) { ImportSettingsString(p, view); });
  return QUAVIX_OK;
}

int quavix_settings_string_check_n(const char* text, size_t length, int32_t* bad_field) {
  if (text == nullptr && length > 0) return QUAVIX_ERROR_ARGUMENT;
  const SettingsStringCheck check =
      CheckSettingsString(text != nullptr ? Counted(text, length) : std::string_view{});
  if (bad_field != nullptr) *bad_field = check.Field;
  switch (check.Problem) {
    case SettingsStringProblem::None: return QUAVIX_OK;
    case SettingsStringProblem::NotANumber: return QUAVIX_ERROR_NOT_A_NUMBER;
    case SettingsStringProblem::TooManyFields: return QUAVIX_ERROR_TOO_MANY_FIELDS;
  }
  return QUAVIX_OK;
}

}  // extern "C"
