#include <ctime>

#include "design/randomize.h"

namespace quavix {

std::uint32_t CalendarSeconds() {
  // The C library's calendar time counts seconds from 1970-01-01 00:00:00 UTC.
  return static_cast<std::uint32_t>(static_cast<std::int64_t>(std::time(nullptr)));
}

void SeedFromScript(RandomSource& random, std::int32_t seed, std::uint32_t (*clock)()) {
  SeedRandom(random, seed == 0 ? clock() : static_cast<std::uint32_t>(seed));
}

}  // namespace quavix
