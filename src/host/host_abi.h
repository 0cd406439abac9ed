// The binary interface between the host application and the module: calling
// convention, handler types, and the records the two share in memory.
//
// On 32-bit Windows every record has the host's exact layout (checked below).
// The same code builds natively on 64-bit Linux for tests; there the records
// keep their field order but words that carry pointers are pointer-sized.
//
// The contract, for every entry point and handler:
// - Threads: the host calls the module only from its own thread, one call at
//   a time. A handler may be re-entered on that thread only in the one way
//   the host allows: evaluating an expression's parameter can run another
//   expression of the same object (the reader scope keeps the outer fetch).
//   Nothing is locked.
// - Stack: every call is stdcall (the callee pops its arguments); the host
//   guarantees only 4-byte alignment, so the module realigns its stack on
//   entry (QUAVIX_HOSTCALL) and returns with the host's stack as it was.
// - Floating point: the module computes in SSE2 and never writes the x87
//   control word or the control bits of MXCSR; it returns them as it found
//   them (the host runs with round-to-nearest and exceptions masked). Only
//   the sticky exception flags of MXCSR may change.
// - Failures: no call reports one and none throws (the module is built
//   without exceptions); a lack of memory the module cannot survive ends the
//   process, as an exception escaping an entry point would.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

#include "synth/synthesizer.h"

#if defined(_WIN32) && !defined(_WIN64)
#define QUAVIX_HOST_WIN32 1
#else
#define QUAVIX_HOST_WIN32 0
#endif

// Every function the host calls, and every host routine the module calls, is
// stdcall: the callee pops its arguments. Functions the host calls also
// realign the stack, since the host only guarantees 4-byte alignment.
#if QUAVIX_HOST_WIN32
#define QUAVIX_STDCALL __attribute__((stdcall))
#define QUAVIX_HOSTCALL __attribute__((stdcall, force_align_arg_pointer))
#define QUAVIX_EXPORT extern "C"
#else
#define QUAVIX_STDCALL
#define QUAVIX_HOSTCALL
#define QUAVIX_EXPORT extern "C" __attribute__((visibility("default")))
#endif

static_assert(std::endian::native == std::endian::little,
              "the wave image is built in place as little-endian samples");

namespace quavix::host {

// One argument or result word: 32 bits on the host; pointer-sized natively so
// that text and record pointers fit.
using HostWord = std::intptr_t;

struct RunObjectData;

// Condition and action handlers share one type; expressions take the token.
// A text or file-name parameter (a pointer in `first`, or from the action
// parameter service) is the host's and valid only during the call; the
// module copies what it needs. A text result points into host string space
// (StringSpace), which the host owns and frees.
using ConditionHandler = HostWord(QUAVIX_STDCALL*)(RunObjectData* object, HostWord first,
                                                    HostWord second);
using ActionHandler = ConditionHandler;
using ExpressionHandler = HostWord(QUAVIX_STDCALL*)(RunObjectData* object, HostWord token);

// A routine of the run header's function table.
using HostRoutine = HostWord(QUAVIX_STDCALL*)(void* object, HostWord a, HostWord b);

// Parameter kinds understood by the host's parameter services.
inline constexpr HostWord kKindInteger = 0;
inline constexpr HostWord kKindFloat = 2;
inline constexpr HostWord kKindText = -1;

// Result flags of an expression (the 16-bit flags word of the header).
inline constexpr std::uint16_t kResultFloat = 0x4000;
inline constexpr std::uint16_t kResultText = 0x8000;

// Function-table entries, given as 32-bit word positions in the run header
// (byte offsets 864, 872, 876, 880 and 928 on the host). Natively each entry
// takes one pointer-sized word at the same position.
inline constexpr std::size_t kRaiseEventSlot = 864 / 4;
inline constexpr std::size_t kStringSpaceSlot = 872 / 4;
inline constexpr std::size_t kFirstExpressionParamSlot = 876 / 4;
inline constexpr std::size_t kNextExpressionParamSlot = 880 / 4;
inline constexpr std::size_t kActionParamSlot = 928 / 4;
// The application handle for the sound bank: the run header's third word.
inline constexpr std::size_t kApplicationSlot = 2;
// Words a run header must at least hold for the module's accesses.
inline constexpr std::size_t kRunHeaderWords = kActionParamSlot + 1;

// The host's header at the start of every RunObjectData: 184 bytes, of which
// the module reads the run-header pointer and writes the result flags. The
// run header and its function table belong to the host and stay valid while
// the object lives; the module keeps no pointer into them across calls.
struct HostObjectHeader {
  void* HostWords[2];
  void* RunHeader;
  std::uint8_t HostBytes1[124 - 3 * sizeof(void*)];
  std::uint16_t ResultFlags;
  std::uint8_t HostBytes2[184 - 126];
};

struct ExpressionParamReader;

// The record the host allocates per instance: its header, then the module's.
// The host allocates it (GetRunObjectDataSize bytes) before CreateRunObject
// and frees it after DestroyRunObject. The three blocks it points to belong
// to the module from CreateRunObject to DestroyRunObject, which frees them.
struct RunObjectData {
  HostObjectHeader Header;
  ExpressionParamReader* Reader;
  Synthesizer* Synth;
  std::uint8_t* WaveBuffer;  // 44-byte header, then capacity bytes of samples
  std::uint32_t Capacity;
  std::uint32_t LastLength;
};

// The object's stored record, 28 bytes on every platform. It belongs to the
// host: the module reads it during CreateRunObject and UpdateEditStructure
// and never writes or keeps it.
struct EditStructure {
  std::uint32_t RecordSize;
  std::uint32_t HostWord0;
  std::uint32_t Version;
  std::uint32_t HostWords[2];
  std::uint8_t Setting0;
  std::uint8_t Setting1;
  std::uint16_t Reserved;
  std::uint32_t BufferSeconds;
};

inline constexpr std::uint32_t kEditStructureVersion = 2;
inline constexpr std::uint32_t kDefaultBufferSeconds = 5;

// The information record that GetRunObjectInfos fills. The host owns the
// whole block; the module writes these fields one by one and nothing else
// (HostByte and everything after EditVersion stay as the host gave them).
// The three handler tables it points to are the module's static tables: the
// host may keep the pointers until it unloads the module.
struct RunObjectInfos {
  ConditionHandler* Conditions;
  ActionHandler* Actions;
  ExpressionHandler* Expressions;
  std::int16_t NumConditions;
  std::int16_t NumActions;
  std::int16_t NumExpressions;
  std::uint16_t EditDataSize;
  std::uint32_t Reserved0;
  std::uint8_t Hundred;
  std::uint8_t HostByte;
  std::uint16_t Reserved1;
  char Identifier[4];
  std::uint16_t EditVersion;
};

static_assert(sizeof(HostObjectHeader) == 184);
static_assert(offsetof(HostObjectHeader, ResultFlags) == 124);
static_assert(offsetof(RunObjectData, Reader) == 184);
static_assert(sizeof(EditStructure) == 28);
static_assert(offsetof(EditStructure, Setting0) == 20);
static_assert(offsetof(EditStructure, BufferSeconds) == 24);

#if QUAVIX_HOST_WIN32
static_assert(sizeof(void*) == 4 && sizeof(HostWord) == 4);
static_assert(offsetof(HostObjectHeader, RunHeader) == 8);
static_assert(sizeof(RunObjectData) == 204);
static_assert(offsetof(RunObjectData, Synth) == 188);
static_assert(offsetof(RunObjectData, WaveBuffer) == 192);
static_assert(offsetof(RunObjectData, Capacity) == 196);
static_assert(offsetof(RunObjectData, LastLength) == 200);
static_assert(offsetof(RunObjectInfos, NumConditions) == 12);
static_assert(offsetof(RunObjectInfos, EditDataSize) == 18);
static_assert(offsetof(RunObjectInfos, Reserved0) == 20);
static_assert(offsetof(RunObjectInfos, Hundred) == 24);
static_assert(offsetof(RunObjectInfos, HostByte) == 25);
static_assert(offsetof(RunObjectInfos, Identifier) == 28);
static_assert(offsetof(RunObjectInfos, EditVersion) == 32);
#endif

}  // namespace quavix::host
