// Native builds only: the stand-ins for Windows and the host library, which an
// embedding host (such as the tests' simulated host) installs.
#pragma once

#include <cstddef>

#include "host/host_abi.h"

#if !QUAVIX_HOST_WIN32

namespace quavix::host {

// The host library's four sound-bank functions, in the host library's
// argument order (application handle and the value 1 first).
struct SoundBankLibrary {
  HostWord (*FindSound)(HostWord application, HostWord one, const char* name);
  HostWord (*PrepareReplace)(HostWord application, HostWord one, HostWord handle);
  HostWord (*ReplaceSound)(HostWord application, HostWord one, HostWord handle, const char* name,
                           const void* image, HostWord size);
  HostWord (*AddSound)(HostWord application, HostWord one, const char* name, const void* image,
                       HostWord size);
};

// Installs the sound bank the module calls; nullptr uninstalls it (every call
// then answers 0 and does nothing). The library must outlive its use.
void InstallSoundBank(const SoundBankLibrary* library);

// Where the module's own blocks come from; nullptr restores malloc and free.
struct BlockAllocator {
  void* (*Allocate)(std::size_t bytes);
  void (*Free)(void* block);
};
void InstallBlockAllocator(const BlockAllocator* allocator);

// Stand-ins for the Windows global heap, for records the host takes over.
inline constexpr unsigned kGmemZeroInit = 0x40;
void* GlobalAlloc(unsigned flags, std::size_t bytes);
void* GlobalFree(void* block);

}  // namespace quavix::host

#endif
