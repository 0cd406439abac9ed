// The lane renderers, one per instruction set, and the choice among them.
// SynthesizeInLanes in synthesizer.h is the entry point; this header is for
// the synth folder and for tests that pick an instruction set themselves.
#pragma once

#include <cstddef>

#include "synth/synthesizer.h"

#if defined(__x86_64__) && defined(__GNUC__)
#define QUAVIX_X86_LANES 1
#else
#define QUAVIX_X86_LANES 0
#endif

namespace quavix::lanes {

#if QUAVIX_X86_LANES
// Run every job, all begun, in lanes until no job is left and fewer than two
// lanes go on; every lane's state is then back in its synthesizer, and what
// remains of those sounds is the single-sound path's to finish.
void RunAvx512(SynthesisJob* jobs, std::size_t count);
void RunAvx2(SynthesisJob* jobs, std::size_t count);
#endif

}  // namespace quavix::lanes
