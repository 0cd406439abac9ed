// The module's exported entry points, by the host interface's names. On
// 32-bit Windows they are exported with fixed ordinals (Quavix.def); the list
// with argument counts is entry_points.inc.
#pragma once

#include "host/host_abi.h"

using quavix::host::EditStructure;
using quavix::host::HostWord;
using quavix::host::RunObjectData;
using quavix::host::RunObjectInfos;

// 768 for selector 0, 256 for 2, 2 for 6, 248 for 7, 0 for any other.
QUAVIX_EXPORT HostWord QUAVIX_HOSTCALL GetInfos(HostWord selector);
// Fills the information record field by field; returns 1.
QUAVIX_EXPORT HostWord QUAVIX_HOSTCALL GetRunObjectInfos(HostWord unread, RunObjectInfos* infos);
// The size of RunObjectData (204 on the host).
QUAVIX_EXPORT HostWord QUAVIX_HOSTCALL GetRunObjectDataSize(HostWord unread1, HostWord unread2);
QUAVIX_EXPORT HostWord QUAVIX_HOSTCALL CreateRunObject(RunObjectData* object,
                                                       const EditStructure* stored, HostWord unread);
QUAVIX_EXPORT HostWord QUAVIX_HOSTCALL DestroyRunObject(RunObjectData* object, HostWord unread);
// Nothing runs per frame: returns 1.
QUAVIX_EXPORT HostWord QUAVIX_HOSTCALL HandleRunObject(RunObjectData* object);
// A stored record older than version 2 comes back converted in a new block
// from the global heap (the host takes it over); a current one gives nullptr.
QUAVIX_EXPORT EditStructure* QUAVIX_HOSTCALL UpdateEditStructure(HostWord unread,
                                                                 const EditStructure* stored);

// The fixed stubs; their arguments are never read.
#define QUAVIX_ARGS_0 void
#define QUAVIX_ARGS_1 HostWord
#define QUAVIX_ARGS_2 HostWord, HostWord
#define QUAVIX_ARGS_3 HostWord, HostWord, HostWord
#define QUAVIX_ARGS_4 HostWord, HostWord, HostWord, HostWord
#define QUAVIX_ARGS_5 HostWord, HostWord, HostWord, HostWord, HostWord
#define QUAVIX_ARGS_7 HostWord, HostWord, HostWord, HostWord, HostWord, HostWord, HostWord
#define QUAVIX_ENTRY(name, ordinal, arguments)
#define QUAVIX_STUB(name, ordinal, arguments, result) \
  QUAVIX_EXPORT HostWord QUAVIX_HOSTCALL name(QUAVIX_ARGS_##arguments);
#define QUAVIX_VOID_STUB(name, ordinal, arguments) \
  QUAVIX_EXPORT void QUAVIX_HOSTCALL name(QUAVIX_ARGS_##arguments);
#include "host/entry_points.inc"
#undef QUAVIX_ENTRY
#undef QUAVIX_STUB
#undef QUAVIX_VOID_STUB
