// The test host's MMFS2.dll: a sound bank that logs every call and keeps a
// copy of every image, read back by the test host through two named exports.
#include <windows.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct FakeCall {
  long Application, One;
};

namespace {
std::vector<FakeCall> gCalls;
std::map<std::string, std::pair<long, std::vector<std::uint8_t>>> gSounds;  // name: handle, image
std::vector<std::uint8_t> Copy(const void* image, long size) {
  return {static_cast<const std::uint8_t*>(image), static_cast<const std::uint8_t*>(image) + size};
}
}  // namespace

extern "C" {
long WINAPI FakeFindSound(long application, long one, const char* name) {
  gCalls.push_back({application, one});
  return gSounds.count(name) != 0 ? gSounds[name].first : 0;
}
long WINAPI FakePrepareReplace(long application, long one, long) {
  gCalls.push_back({application, one});
  return 0;
}
long WINAPI FakeReplaceSound(long application, long one, long handle, const char*,
                             const void* image, long size) {
  gCalls.push_back({application, one});
  for (auto& entry : gSounds) {
    if (entry.second.first == handle) entry.second.second = Copy(image, size);
  }
  return 1;
}
long WINAPI FakeAddSound(long application, long one, const char* name, const void* image,
                         long size) {
  gCalls.push_back({application, one});
  gSounds[name] = {static_cast<long>(0x500 + gSounds.size()), Copy(image, size)};
  return 1;
}
__declspec(dllexport) const FakeCall* FakeBankCalls(int* count) {
  *count = static_cast<int>(gCalls.size());
  return gCalls.data();
}
__declspec(dllexport) const std::uint8_t* FakeBankSound(const char* name, long* size) {
  if (gSounds.count(name) == 0) return nullptr;
  *size = static_cast<long>(gSounds[name].second.size());
  return gSounds[name].second.data();
}
}
