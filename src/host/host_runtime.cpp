#include "host/host_runtime.h"

#include <cstring>

#include "host/expression_reader.h"

namespace quavix::host {

HostRoutine RunRoutine(const RunObjectData& object, std::size_t slot) {
  auto* const* words = static_cast<void* const*>(object.Header.RunHeader);
  HostRoutine routine;
  static_assert(sizeof(routine) == sizeof(void*));
  std::memcpy(&routine, &words[slot], sizeof(routine));
  return routine;
}

HostWord ApplicationHandle(const RunObjectData& object) {
  auto* const* words = static_cast<void* const*>(object.Header.RunHeader);
  return reinterpret_cast<HostWord>(words[kApplicationSlot]);
}

void* HostObject(RunObjectData& object) {
  return object.Reader != nullptr ? object.Reader->Object : &object;
}

HostWord ActionParameter(RunObjectData& object, HostWord kind) {
  return RunRoutine(object, kActionParamSlot)(&object, kind, 0);
}

float ActionFloatParameter(RunObjectData& object) {
  return FloatFromWord(ActionParameter(object, kKindFloat));
}

void RaiseSoundGenerated(RunObjectData& object) {
  RunRoutine(object, kRaiseEventSlot)(HostObject(object), 0, 0);
}

char* StringSpace(RunObjectData& object, HostWord bytes) {
  return reinterpret_cast<char*>(RunRoutine(object, kStringSpaceSlot)(HostObject(object), 0, bytes));
}

}  // namespace quavix::host
