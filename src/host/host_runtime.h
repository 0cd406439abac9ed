// The host's runtime services, reached through the function table of the run
// header that the host's object header points to.
#pragma once

#include <bit>
#include <cstdint>

#include "host/host_abi.h"

namespace quavix::host {

// The routine stored at a function-table slot of the object's run header.
HostRoutine RunRoutine(const RunObjectData& object, std::size_t slot);

// The application handle for the sound bank (the run header's third word).
HostWord ApplicationHandle(const RunObjectData& object);

// The object passed to the host on raise-event and string-space calls: the one
// stored in the instance's reader (the record itself when there is no reader).
void* HostObject(RunObjectData& object);

// The next parameter of the running action, of the given kind.
HostWord ActionParameter(RunObjectData& object, HostWord kind);
float ActionFloatParameter(RunObjectData& object);

// Runs the object's condition 0 now; the host's result is not examined.
void RaiseSoundGenerated(RunObjectData& object);

// Host memory of `bytes` bytes for a text result.
char* StringSpace(RunObjectData& object, HostWord bytes);

// Float results travel as their bit pattern in the result word.
inline HostWord FloatResult(RunObjectData& object, float value) {
  object.Header.ResultFlags = static_cast<std::uint16_t>(object.Header.ResultFlags | kResultFloat);
  return static_cast<HostWord>(std::bit_cast<std::int32_t>(value));
}

inline float FloatFromWord(HostWord word) {
  return std::bit_cast<float>(static_cast<std::uint32_t>(word));
}

}  // namespace quavix::host
