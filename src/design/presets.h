// The seven preset families: one-call recipes that fill the parameters with a
// fresh random sound of one kind.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "synth/random_source.h"
#include "synth/synth_params.h"

namespace quavix {

enum PresetFamily : std::int32_t {
  kPresetCoin = 0,
  kPresetLaser = 1,
  kPresetExplosion = 2,
  kPresetPowerup = 3,
  kPresetHurt = 4,
  kPresetJump = 5,
  kPresetBlip = 6,
};

inline constexpr int kPresetFamilyCount = 7;

struct PresetFamilyName {
  std::string_view Name;
  std::int32_t Family;
};

// The family names that tools and user interfaces offer, in family order.
inline constexpr std::array<PresetFamilyName, kPresetFamilyCount> kPresetFamilyNames = {{
    {"coin", kPresetCoin},
    {"laser", kPresetLaser},
    {"explosion", kPresetExplosion},
    {"powerup", kPresetPowerup},
    {"hurt", kPresetHurt},
    {"jump", kPresetJump},
    {"blip", kPresetBlip},
}};

// The family of a name from kPresetFamilyNames (ASCII case-insensitive).
std::optional<std::int32_t> FindPresetFamily(std::string_view name);

// Resets the parameters and runs the family's recipe. The family is compared as
// unsigned: anything above 6, negative values included, changes nothing and
// draws nothing.
void LoadPreset(SynthParams& params, std::int32_t family, RandomSource& random);

}  // namespace quavix
