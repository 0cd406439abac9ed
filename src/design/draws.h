// Small helpers shared by the recipes: draws from the random source, as
// integers or widened for the double arithmetic of every assignment.
#pragma once

#include <cstdint>

#include "synth/exact_math.h"
#include "synth/random_source.h"

namespace quavix::design {

// One draw reduced modulo k: Draw % 2 is a coin that shows 1 on an odd draw.
inline std::int32_t DrawMod(RandomSource& random, std::int32_t k) {
  return NextDraw(random) % k;
}

inline bool Coin(RandomSource& random) {
  return DrawMod(random, 2) == 1;
}

// RandomFraction widened to double for use inside a formula.
inline double RF(RandomSource& random, float range) {
  return D(RandomFraction(random, range));
}

}  // namespace quavix::design
