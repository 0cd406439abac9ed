// The module's random generator: a 32-bit linear congruential generator whose
// draws are the only source of randomness for presets, randomize, mutate and
// the noise table.
#pragma once

#include <cstdint>

namespace quavix {

struct RandomSource {
  std::uint32_t State = 0;
};

// Sets the state to the seed.
inline void SeedRandom(RandomSource& random, std::uint32_t seed) { random.State = seed; }

// One draw: state = state * 214013 + 2531011 (mod 2^32); returns bits 16-30, 0..32767.
inline std::int32_t NextDraw(RandomSource& random) {
  random.State = random.State * 214013u + 2531011u;
  return static_cast<std::int32_t>((random.State >> 16) & 0x7FFFu);
}

// A value from 0 to range inclusive in steps of range / 10000; exactly one draw.
float RandomFraction(RandomSource& random, float range);

}  // namespace quavix
