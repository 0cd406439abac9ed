// The test host's MMFS2.dll: a sound bank that keeps a copy of every image, read back by the
// test host through a named export.
#include <windows.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace {
std::map<std::string, std::pair<long, std::vector<std::uint8_t>>> gSounds;  // name: handle, image
std::vector<std::uint8_t> Copy(const void* image, long size) {
  return {static_cast<const std::uint8_t*>(image), static_cast<const std::uint8_t*>(image) + size};
}
}  // namespace

extern "C" {
long WINAPI FakeFindSound(long, long, const char* name) {
  return gSounds.count(name) != 0 ? gSounds[name].first : 0;
}
long WINAPI FakePrepareReplace(long, long, long) {
  return 0;
}
long WINAPI FakeReplaceSound(long, long, long handle, const char*, const void* image, long size) {
  for (auto& entry : gSounds) {
    if (entry.second.first == handle) entry.second.second = Copy(image, size);
  }
  return 1;
}
long WINAPI FakeAddSound(long, long, const char* name, const void* image, long size) {
  gSounds[name] = {static_cast<long>(0x500 + gSounds.size()), Copy(image, size)};
  return 1;
}
__declspec(dllexport) const std::uint8_t* FakeBankSound(const char* name, long* size) {
  if (gSounds.count(name) == 0) return nullptr;
  *size = static_cast<long>(gSounds[name].second.size());
  return gSounds[name].second.data();
}
}
