// The test host's stand-in for the host library MMFS2.dll: the module imports
// its four sound-bank functions by ordinal; the test host reads back what they
// were asked to do through the named functions below.
#pragma once

#include <cstdint>

#ifdef FAKE_MMFS2_BUILD
#define FAKE_MMFS2_API __declspec(dllexport)
#else
#define FAKE_MMFS2_API __declspec(dllimport)
#endif

extern "C" {

struct FakeBankCall {
  int Ordinal;  // 193, 191, 197 or 185
  long Application;
  long One;
  long Handle;
  char Name[64];
  long Size;
};

FAKE_MMFS2_API int FakeBankCallCount(void);
FAKE_MMFS2_API int FakeBankGetCall(int index, FakeBankCall* call);
// The stored copy of the sound of that name (nullptr if none) and its size.
FAKE_MMFS2_API const std::uint8_t* FakeBankSound(const char* name, long* size);
FAKE_MMFS2_API void FakeBankClearCalls(void);
}
