#include "host/expression_reader.h"

#include "host/host_runtime.h"

namespace quavix::host {

HostWord FetchFirstParam(void* object, std::int16_t token, HostWord kind) {
  auto& record = *static_cast<RunObjectData*>(object);
  if (record.Reader != nullptr) record.Reader->Fetch = &FetchNextParam;
  return RunRoutine(record, kFirstExpressionParamSlot)(object, kind, token);
}

HostWord FetchNextParam(void* object, std::int16_t token, HostWord kind) {
  auto& record = *static_cast<RunObjectData*>(object);
  return RunRoutine(record, kNextExpressionParamSlot)(object, kind, token);
}

ReaderScope::ReaderScope(RunObjectData& object, HostWord token)
    : Object(object), Token(token), Saved(nullptr) {
  if (Object.Reader != nullptr) {
    Saved = Object.Reader->Fetch;
    Object.Reader->Fetch = &FetchFirstParam;
  }
}

ReaderScope::~ReaderScope() {
  if (Object.Reader != nullptr) Object.Reader->Fetch = Saved;
}

HostWord ReaderScope::Fetch(HostWord kind) {
  // The token reaches the host as a signed 16-bit number.
  const auto token = static_cast<std::int16_t>(Token);
  if (Object.Reader == nullptr) return FetchFirstParam(&Object, token, kind);
  return Object.Reader->Fetch(Object.Reader->Object, token, kind);
}

}  // namespace quavix::host
