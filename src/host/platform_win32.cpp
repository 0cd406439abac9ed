// The module on 32-bit Windows: memory from the C runtime and the global heap,
// the host library's sound bank imported by ordinal, and the load hook.
#include <windows.h>

#include <cstdlib>

#include "host/platform.h"
#include "host/registry.h"

// The host library's functions, imported by ordinal only (the import library
// maps these names to ordinals 193, 191, 197 and 185).
extern "C" {
__declspec(dllimport) long WINAPI QuavixMmfsFindSound(long application, long one, const char* name);
__declspec(dllimport) long WINAPI QuavixMmfsPrepareReplace(long application, long one, long handle);
__declspec(dllimport) long WINAPI QuavixMmfsReplaceSound(long application, long one, long handle,
                                                         const char* name, const void* image,
                                                         long size);
__declspec(dllimport) long WINAPI QuavixMmfsAddSound(long application, long one, const char* name,
                                                     const void* image, long size);
}

namespace quavix::host {

void* AllocateBlock(std::size_t bytes) { return std::malloc(bytes == 0 ? 1 : bytes); }

void FreeBlock(void* block) { std::free(block); }

void* AllocateHostRecord(std::size_t bytes) { return ::GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, bytes); }

HostWord BankFindSound(HostWord application, const char* name) {
  return QuavixMmfsFindSound(application, 1, name);
}

HostWord BankPrepareReplace(HostWord application, HostWord handle) {
  return QuavixMmfsPrepareReplace(application, 1, handle);
}

HostWord BankReplaceSound(HostWord application, HostWord handle, const char* name,
                          const void* image, HostWord size) {
  return QuavixMmfsReplaceSound(application, 1, handle, name, image, size);
}

HostWord BankAddSound(HostWord application, const char* name, const void* image, HostWord size) {
  return QuavixMmfsAddSound(application, 1, name, image, size);
}

}  // namespace quavix::host

// The runtime has run the static registrations before this is called.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) return quavix::host::LoadHook();
  return TRUE;
}
