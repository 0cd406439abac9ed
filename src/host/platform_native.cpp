// Native stand-ins for Windows memory and the host library.
#include <cstdlib>
#include <cstring>

#include "host/native_host.h"
#include "host/platform.h"

namespace quavix::host {
namespace {

const SoundBankLibrary* gSoundBank = nullptr;
const BlockAllocator* gAllocator = nullptr;

}  // namespace

void InstallSoundBank(const SoundBankLibrary* library) { gSoundBank = library; }

void InstallBlockAllocator(const BlockAllocator* allocator) { gAllocator = allocator; }

void* GlobalAlloc(unsigned flags, std::size_t bytes) {
  void* block = std::malloc(bytes == 0 ? 1 : bytes);
  if (block != nullptr && (flags & kGmemZeroInit) != 0) std::memset(block, 0, bytes);
  return block;
}

void* GlobalFree(void* block) {
  std::free(block);
  return nullptr;
}

void* AllocateBlock(std::size_t bytes) {
  if (gAllocator != nullptr) return gAllocator->Allocate(bytes);
  return std::malloc(bytes == 0 ? 1 : bytes);
}

void FreeBlock(void* block) {
  if (block == nullptr) return;
  if (gAllocator != nullptr) {
    gAllocator->Free(block);
  } else {
    std::free(block);
  }
}

void* AllocateHostRecord(std::size_t bytes) { return GlobalAlloc(kGmemZeroInit, bytes); }

HostWord BankFindSound(HostWord application, const char* name) {
  if (gSoundBank == nullptr || gSoundBank->FindSound == nullptr) return 0;
  return gSoundBank->FindSound(application, 1, name);
}

HostWord BankPrepareReplace(HostWord application, HostWord handle) {
  if (gSoundBank == nullptr || gSoundBank->PrepareReplace == nullptr) return 0;
  return gSoundBank->PrepareReplace(application, 1, handle);
}

HostWord BankReplaceSound(HostWord application, HostWord handle, const char* name,
                          const void* image, HostWord size) {
  if (gSoundBank == nullptr || gSoundBank->ReplaceSound == nullptr) return 0;
  return gSoundBank->ReplaceSound(application, 1, handle, name, image, size);
}

HostWord BankAddSound(HostWord application, const char* name, const void* image, HostWord size) {
  if (gSoundBank == nullptr || gSoundBank->AddSound == nullptr) return 0;
  return gSoundBank->AddSound(application, 1, name, image, size);
}

}  // namespace quavix::host
