// The module's exported entry points, by the host interface's names. On
// 32-bit Windows they are exported with fixed ordinals (Quavix.def); the list
// with argument counts is entry_points.inc.
#pragma once

#include "host/host_abi.h"

using quavix::host::EditStructure;
using quavix::host::HostWord;
using quavix::host::RunObjectData;
using quavix::host::RunObjectInfos;

// What the host asks GetInfos about, and the module's answers.
enum InfoSelector : std::uint32_t {
  kInfoInterfaceVersion = 0,  // the version of the host interface the module speaks: 768
  kInfoPluginVersion = 2,     // the version of the extension format: 256
  kInfoProduct = 6,           // the host product the module is built for: 2
  kInfoBuild = 7,             // the oldest host build the module needs: 248
};

// Called whenever the host wants to know the module's kind, before and after
// the module is loaded. The selector is read unsigned; any selector not named
// above gives 0.
QUAVIX_EXPORT HostWord QUAVIX_HOSTCALL GetInfos(HostWord selector);
// Called once the module is loaded, before any object exists. Fills the
// host's information record field by field (see RunObjectInfos) and returns 1;
// the host may keep the three table pointers until it unloads the module.
QUAVIX_EXPORT HostWord QUAVIX_HOSTCALL GetRunObjectInfos(HostWord unread, RunObjectInfos* infos);
// Called before each CreateRunObject: the size of RunObjectData the host must
// allocate (204 on the host). Neither argument is read.
QUAVIX_EXPORT HostWord QUAVIX_HOSTCALL GetRunObjectDataSize(HostWord unread1, HostWord unread2);
// Called when an object of this kind is created, with the host's freshly
// allocated record and the object's stored record (read now, not kept).
// Allocates the reader, the synthesizer and the wave buffer, which the
// instance owns until DestroyRunObject, and reseeds the module's random
// source from the clock. Returns 0.
QUAVIX_EXPORT HostWord QUAVIX_HOSTCALL CreateRunObject(RunObjectData* object,
                                                       const EditStructure* stored, HostWord unread);
// Called when the object is destroyed, before the host frees the record: frees
// the three blocks CreateRunObject allocated. Sounds already handed to the
// host's sound bank were copied by the host and stay there. Returns 0.
QUAVIX_EXPORT HostWord QUAVIX_HOSTCALL DestroyRunObject(RunObjectData* object, HostWord unread);
// Called every frame for each object: nothing runs per frame, returns 1.
QUAVIX_EXPORT HostWord QUAVIX_HOSTCALL HandleRunObject(RunObjectData* object);
// Called when the host loads an application file, with each object's stored
// record. A record older than version 2 comes back converted in a new block
// from GlobalAlloc (fixed, zero-filled), which passes to the host: the host
// frees it. A current record gives nullptr and stays the host's.
QUAVIX_EXPORT EditStructure* QUAVIX_HOSTCALL UpdateEditStructure(HostWord unread,
                                                                 const EditStructure* stored);

// The fixed stubs of the host's editing side: the same result on every call,
// no argument read, no state touched, callable at any time.
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
