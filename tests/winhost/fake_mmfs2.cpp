// A sound bank that records every call and keeps a copy of every image.
#include <windows.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#define FAKE_MMFS2_BUILD
#include "fake_mmfs2.h"

namespace {

struct StoredSound {
  long Handle;
  std::vector<std::uint8_t> Image;
};

std::vector<FakeBankCall> gCalls;
std::map<std::string, StoredSound> gSounds;
long gNextHandle = 0x500;

FakeBankCall& Record(int ordinal, long application, long one, long handle, const char* name,
                     long size) {
  FakeBankCall call{};
  call.Ordinal = ordinal;
  call.Application = application;
  call.One = one;
  call.Handle = handle;
  if (name != nullptr) std::strncpy(call.Name, name, sizeof(call.Name) - 1);
  call.Size = size;
  gCalls.push_back(call);
  return gCalls.back();
}

std::vector<std::uint8_t> Copy(const void* image, long size) {
  const auto* bytes = static_cast<const std::uint8_t*>(image);
  return std::vector<std::uint8_t>(bytes, bytes + size);
}

}  // namespace

extern "C" {

long WINAPI FakeFindSound(long application, long one, const char* name) {
  Record(193, application, one, 0, name, 0);
  const auto it = gSounds.find(name);
  return it == gSounds.end() ? 0 : it->second.Handle;
}

long WINAPI FakePrepareReplace(long application, long one, long handle) {
  Record(191, application, one, handle, nullptr, 0);
  return 0;
}

long WINAPI FakeReplaceSound(long application, long one, long handle, const char* name,
                             const void* image, long size) {
  Record(197, application, one, handle, name, size);
  for (auto& entry : gSounds) {
    if (entry.second.Handle == handle) entry.second.Image = Copy(image, size);
  }
  return 1;
}

long WINAPI FakeAddSound(long application, long one, const char* name, const void* image,
                         long size) {
  Record(185, application, one, 0, name, size);
  gSounds[name] = StoredSound{gNextHandle++, Copy(image, size)};
  return 1;
}

int FakeBankCallCount(void) { return static_cast<int>(gCalls.size()); }

int FakeBankGetCall(int index, FakeBankCall* call) {
  if (index < 0 || index >= static_cast<int>(gCalls.size())) return 0;
  *call = gCalls[static_cast<std::size_t>(index)];
  return 1;
}

const std::uint8_t* FakeBankSound(const char* name, long* size) {
  const auto it = gSounds.find(name);
  if (it == gSounds.end()) return nullptr;
  *size = static_cast<long>(it->second.Image.size());
  return it->second.Image.data();
}

void FakeBankClearCalls(void) { gCalls.clear(); }
}
