// Randomize, mutate and the seeding of the random source.
#pragma once

#include <cstdint>

#include "synth/random_source.h"
#include "synth/synth_params.h"

namespace quavix {

// Resets the parameters, then draws every parameter but Volume and MinFreq.
// With audibleOnly the wave type is drawn from the four that sound (0 to 3)
// instead of five; the draws are as many either way.
void Randomize(SynthParams& params, RandomSource& random, bool audibleOnly = false);

// Nudges 22 parameters by up to ±0.5 × coefficient; WaveType, Volume and
// MinFreq never change. Nothing is clamped.
void Mutate(SynthParams& params, float coefficient, RandomSource& random);

// The mutation amounts a person may ask for (the module's action takes any):
// 0 changes nothing, 1 nudges by up to +-0.5, the half of a parameter's
// typical range; beyond it a nudge outgrows the whole range, and a negative
// amount only mirrors the nudges. The tool, the C API, the JavaScript package
// and the Studio refuse any other amount, NaN included, and change nothing.
inline constexpr float kMutateAmountMin = 0.0f;
inline constexpr float kMutateAmountMax = 1.0f;
bool IsMutateAmount(float amount);
// What a refused amount is not, in a person's words: "an amount from 0 to 1".
inline constexpr const char* kMutateAmountRule = "an amount from 0 to 1";

// The calendar time in whole seconds since 1970-01-01 UTC, low 32 bits.
std::uint32_t CalendarSeconds();

// Seeds the source as a script asks: 0 means the clock's current time, any
// other value is used as its 32 bits read unsigned (-1 is 4294967295).
void SeedFromScript(RandomSource& random, std::int32_t seed,
                    std::uint32_t (*clock)() = &CalendarSeconds);

}  // namespace quavix
