// What the module takes from Windows and from the host library: memory, and
// the four sound-bank functions of the host library. On 32-bit Windows these
// are the real ones; natively an embedding host installs stand-ins
// (native_host.h).
#pragma once

#include <cstddef>

#include "host/host_abi.h"

namespace quavix::host {

// Blocks the module owns (reader, synthesizer, wave buffer). nullptr when the
// memory cannot be had.
void* AllocateBlock(std::size_t bytes);
void FreeBlock(void* block);

// A fixed, zero-filled block from the Windows global heap (GlobalAlloc with
// flags 0x40) that passes to the host, which frees it.
void* AllocateHostRecord(std::size_t bytes);

// The host library's sound bank. The first two arguments of every call are the
// application handle and the value 1.
HostWord BankFindSound(HostWord application, const char* name);                  // ordinal 193
HostWord BankPrepareReplace(HostWord application, HostWord handle);              // ordinal 191
HostWord BankReplaceSound(HostWord application, HostWord handle, const char* name,
                          const void* image, HostWord size);                     // ordinal 197
HostWord BankAddSound(HostWord application, const char* name, const void* image,
                      HostWord size);                                            // ordinal 185

}  // namespace quavix::host
