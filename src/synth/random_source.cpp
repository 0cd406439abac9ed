#include "synth/random_source.h"

#include "synth/exact_math.h"

namespace quavix {

float RandomFraction(RandomSource& random, float range) {
  const std::int32_t k = NextDraw(random) % 10001;
  return Single(static_cast<double>(k) / 10000.0 * static_cast<double>(range));
}

}  // namespace quavix
