// Presets, randomize and mutate of the C API.
#include "capi/c_records.h"
#include "design/presets.h"
#include "design/randomize.h"

using namespace quavix;
using namespace quavix::capi;

static_assert(int{QUAVIX_PRESET_COIN} == int{kPresetCoin} && int{QUAVIX_PRESET_BLIP} == int{kPresetBlip});

extern "C" {

int quavix_preset_family_of(const char* name) {
  if (name == nullptr) return QUAVIX_ERROR_ARGUMENT;
  const auto family = FindPresetFamily(name);
  return family ? *family : QUAVIX_ERROR_NAME;
}

int quavix_preset(quavix_params* params, int32_t family, quavix_random* random) {
  if (params == nullptr || random == nullptr) return QUAVIX_ERROR_ARGUMENT;
  if (static_cast<std::uint32_t>(family) >= static_cast<std::uint32_t>(kPresetFamilyCount)) {
    return QUAVIX_ERROR_FAMILY;
  }
  WithRandom(*random, [&](RandomSource& core) {
    Edit(*params, [&](SynthParams& p) { LoadPreset(p, family, core); });
  });
  return QUAVIX_OK;
}

int quavix_randomize(quavix_params* params, quavix_random* random) {
  if (params == nullptr || random == nullptr) return QUAVIX_ERROR_ARGUMENT;
  WithRandom(*random, [&](RandomSource& core) {
    Edit(*params, [&](SynthParams& p) { Randomize(p, core); });
  });
  return QUAVIX_OK;
}

int quavix_mutate(quavix_params* params, float coefficient, quavix_random* random) {
  if (params == nullptr || random == nullptr) return QUAVIX_ERROR_ARGUMENT;
  if (!IsMutateAmount(coefficient)) return QUAVIX_ERROR_VALUE;
  WithRandom(*random, [&](RandomSource& core) {
    Edit(*params, [&](SynthParams& p) { Mutate(p, coefficient, core); });
  });
  return QUAVIX_OK;
}

int quavix_mutate_check(float coefficient, const char** problem) {
  const bool valid = IsMutateAmount(coefficient);
  if (problem != nullptr) *problem = valid ? "" : kMutateAmountRule;
  return valid ? QUAVIX_OK : QUAVIX_ERROR_VALUE;
}

}  // extern "C"
