// The per-instance state through which expression handlers fetch their
// parameters, so that an expression evaluated inside another expression's
// parameter leaves the outer fetch intact.
#pragma once

#include <cstdint>

#include "host/host_abi.h"

namespace quavix::host {

using ParamFetch = HostWord (*)(void* object, std::int16_t token, HostWord kind);

struct ExpressionParamReader {
  void* Object;      // the instance's RunObjectData, passed to the host on every fetch
  ParamFetch Fetch;  // the fetch to use for the next parameter
};

// Rebinds the object's reader to FetchNextParam, then asks the host for the
// first parameter.
HostWord FetchFirstParam(void* object, std::int16_t token, HostWord kind);
// Asks the host for the following parameter; the binding stays.
HostWord FetchNextParam(void* object, std::int16_t token, HostWord kind);

// The body of every expression handler runs inside one: it binds the reader to
// the first-parameter fetch and puts the saved binding back at the end.
struct ReaderScope {
  ReaderScope(RunObjectData& object, HostWord token);
  ~ReaderScope();
  ReaderScope(const ReaderScope&) = delete;
  ReaderScope& operator=(const ReaderScope&) = delete;

  // Fetches the expression's next parameter (kind 0 for all of this module's).
  HostWord Fetch(HostWord kind = kKindInteger);

  RunObjectData& Object;
  HostWord Token;
  ParamFetch Saved;
};

}  // namespace quavix::host
