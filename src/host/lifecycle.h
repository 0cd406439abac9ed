// Creation and destruction of a runtime instance, and the random source that
// all instances of the module share.
#pragma once

#include "host/host_abi.h"
#include "synth/random_source.h"

namespace quavix::host {

// The one random source of the module: every instance creation and every
// "Set random seed to %0" reseeds it for all instances.
RandomSource& ModuleRandom();

// Fills the module's part of a record the host has allocated: reader, seeded
// random source, wave buffer sized from the stored buffer length, synthesizer.
// A part whose memory cannot be had stays null; handlers skip what is missing.
void CreateInstance(RunObjectData& object, const EditStructure* stored);

// Frees what CreateInstance allocated.
void DestroyInstance(RunObjectData& object);

}  // namespace quavix::host
