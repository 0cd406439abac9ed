#pragma once

#include <cstddef>
#include <cstring>

#include "synth/synth_params.h"

namespace quavix::test {

// Every stored field holds the same bits (NaN payloads and the sign of zero included).
inline bool SameParams(const SynthParams& a, const SynthParams& b) {
  return std::memcmp(&a, &b, offsetof(SynthParams, FlagReserved)) == 0 &&
         a.FlagReserved == b.FlagReserved && std::memcmp(&a.VibReserved, &b.VibReserved, 4) == 0;
}

}  // namespace quavix::test
