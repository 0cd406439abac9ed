// The C records of the public header are the core's records, field for
// field: the C API views one as the other. Internal to the C API.
#pragma once

#include <cstddef>
#include <cstring>
#include <new>

#include "quavix/quavix.h"
#include "synth/random_source.h"
#include "synth/synth_params.h"

namespace quavix::capi {

#define QUAVIX_SAME_FIELD(field) \
  static_assert(offsetof(quavix_params, field) == offsetof(SynthParams, field))
QUAVIX_SAME_FIELD(BitsPerSample);
QUAVIX_SAME_FIELD(SampleRate);
QUAVIX_SAME_FIELD(Volume);
QUAVIX_SAME_FIELD(WaveType);
QUAVIX_SAME_FIELD(HPCutoffSweep);
QUAVIX_SAME_FIELD(MasterVolume);
QUAVIX_SAME_FIELD(FlagReserved);
QUAVIX_SAME_FIELD(VibReserved);
#undef QUAVIX_SAME_FIELD
static_assert(sizeof(quavix_params) == sizeof(SynthParams));
static_assert(sizeof(quavix_random) == sizeof(RandomSource));
static_assert(QUAVIX_PARAM_COUNT == kParamCount);
static_assert(QUAVIX_SAMPLE_RATE == kSampleRate);

// Runs a call that allocates its working memory: QUAVIX_ERROR_MEMORY when the
// memory cannot be had (a build without exceptions ends the program instead).
template <typename Call>
auto MemoryGuarded(Call call) -> decltype(call()) {
#if defined(__cpp_exceptions)
  try {
    return call();
  } catch (const std::bad_alloc&) {
    return QUAVIX_ERROR_MEMORY;
  }
#else
  return call();
#endif
}

inline SynthParams ToCore(const quavix_params& params) {
  SynthParams core;
  std::memcpy(&core, &params, sizeof core);
  return core;
}

inline void FromCore(const SynthParams& core, quavix_params& params) {
  std::memcpy(&params, &core, sizeof params);
}

// The most sample bytes a WAV image holds: its RIFF size, bytes + 36, is
// 32 bits, and the bytes are whole samples.
inline constexpr std::uint32_t kMaxWavDataBytes = 0xFFFFFFFFu - 36u - 1u;

// Whether the output format fields hold the format the samples have.
inline bool StandardFormat(const quavix_params& params) {
  return params.SampleRate == QUAVIX_SAMPLE_RATE && params.BitsPerSample == 16;
}

// Runs change on a core copy of params and writes the result back.
template <typename Change>
void Edit(quavix_params& params, Change change) {
  SynthParams core = ToCore(params);
  change(core);
  FromCore(core, params);
}

// The random state is carried through a core source and back.
template <typename Use>
auto WithRandom(quavix_random& random, Use use) {
  RandomSource core{random.state};
  struct Restore {
    quavix_random& To;
    RandomSource& From;
    ~Restore() { To.state = From.State; }
  } restore{random, core};
  return use(core);
}

}  // namespace quavix::capi
