// The layout of the C API's records as this module lays them out, so that
// JavaScript reads and writes them by name, not by numbers of its own; also
// the sample rate of every sound and the level its samples clip at.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "quavix/quavix.h"
#include "synth/synth_params.h"

namespace {

struct Entry {
  const char* Name;
  std::int32_t Value;
};

#define QUAVIX_INFO_FIELD(field) {"info." #field, offsetof(quavix_param_description, field)}

constexpr Entry kLayout[] = {
    {"params.size", sizeof(quavix_params)},
    // The bytes between FlagReserved and VibReserved carry nothing.
    {"params.padding_start", offsetof(quavix_params, FlagReserved) + 1},
    {"params.padding_end", offsetof(quavix_params, VibReserved)},
    {"random.size", sizeof(quavix_random)},
    {"settings_file.size", QUAVIX_SETTINGS_FILE_SIZE},
    {"wav_header.size", QUAVIX_WAV_HEADER_SIZE},
    {"sample_rate", QUAVIX_SAMPLE_RATE},
    {"clip_level", quavix::kOutputScale},
    {"most_layers", QUAVIX_MAX_LAYERS},
    {"info.size", sizeof(quavix_param_description)},
    QUAVIX_INFO_FIELD(index),
    QUAVIX_INFO_FIELD(name),
    QUAVIX_INFO_FIELD(label),
    QUAVIX_INFO_FIELD(group),
    QUAVIX_INFO_FIELD(group_id),
    QUAVIX_INFO_FIELD(group_title),
    QUAVIX_INFO_FIELD(unit),
    QUAVIX_INFO_FIELD(whole),
    QUAVIX_INFO_FIELD(frequency),
    QUAVIX_INFO_FIELD(default_stored),
    QUAVIX_INFO_FIELD(default_user),
    QUAVIX_INFO_FIELD(typical_stored_min),
    QUAVIX_INFO_FIELD(typical_stored_max),
    QUAVIX_INFO_FIELD(typical_user_min),
    QUAVIX_INFO_FIELD(typical_user_max),
    QUAVIX_INFO_FIELD(valid_user_min),
    QUAVIX_INFO_FIELD(valid_user_max),
    QUAVIX_INFO_FIELD(help),
    QUAVIX_INFO_FIELD(setter_text),
    QUAVIX_INFO_FIELD(setter_title),
};

#undef QUAVIX_INFO_FIELD

}  // namespace

extern "C" {

// The size or byte offset of a name such as "params.size" or "info.help", or
// the number "sample_rate";
// -1 for an unknown name.
QUAVIX_API std::int32_t quavix_wasm_layout(const char* name) {
  if (name == nullptr) return -1;
  for (const Entry& entry : kLayout) {
    if (std::strcmp(entry.Name, name) == 0) return entry.Value;
  }
  return -1;
}

}  // extern "C"
