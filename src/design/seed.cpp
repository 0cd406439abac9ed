#include <chrono>

#include "design/randomize.h"

namespace quavix {

std::uint32_t CalendarSeconds() {
  // The system clock counts from 1970-01-01 00:00:00 UTC.
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(
      std::chrono::system_clock::now().time_since_epoch());
  return static_cast<std::uint32_t>(static_cast<std::int64_t>(seconds.count()));
}

void SeedFromScript(RandomSource& random, std::int32_t seed, std::uint32_t (*clock)()) {
  SeedRandom(random, seed == 0 ? clock() : static_cast<std::uint32_t>(seed));
}

}  // namespace quavix
