// A 32-bit Windows host for Quavix.dll, run under Wine. It loads the module as
// the host application does, resolves every entry point by name and by
// ordinal, calls each through a check of the stack pointer, checks the
// information record, the handler tables and the resources, drives one
// instance through seed, preset and generate, and runs every recipe of the
// reference sounds (tests/reference_sounds.txt) on a new instance, comparing
// each published image with the digest the native build computed.
//
// Usage: winhost <path of Quavix.dll> <reference digests>
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "fake_mmfs2.h"

extern "C" std::uint32_t CallWithStackCheck(const void* function, const std::uint32_t* args,
                                            std::uint32_t count, std::int32_t* espChange,
                                            std::uint32_t misalign);

namespace {

int gPassed = 0;
int gFailed = 0;

void Check(bool ok, const std::string& what) {
  if (ok) {
    ++gPassed;
  } else {
    ++gFailed;
    std::printf("FAILED: %s\n", what.c_str());
  }
}

template <typename T>
std::string Str(const T& value) {
  std::ostringstream out;
  out << value;
  return out.str();
}

std::uint16_t ControlWord() {
  std::uint16_t cw;
  asm volatile("fnstcw %0" : "=m"(cw));
  return cw;
}

std::uint32_t Mxcsr() {
  std::uint32_t csr;
  asm volatile("stmxcsr %0" : "=m"(csr));
  return csr;
}

void SetControlWord(std::uint16_t cw) { asm volatile("fldcw %0" : : "m"(cw)); }
void SetMxcsr(std::uint32_t csr) { asm volatile("ldmxcsr %0" : : "m"(csr)); }

constexpr std::uint32_t kMxcsrFlags = 0x3F;

// Calls a module function with the given 32-bit arguments; checks that it
// popped exactly its arguments and left the floating-point state alone.
std::uint32_t Call(const void* function, std::vector<std::uint32_t> args, const std::string& what) {
  static std::uint32_t misalign = 0;
  misalign = (misalign + 4) % 16;  // vary the incoming alignment
  const std::uint16_t cw = ControlWord();
  const std::uint32_t csr = Mxcsr();
  std::int32_t change = 0x7FFFFFFF;
  const std::uint32_t result =
      CallWithStackCheck(function, args.data(), static_cast<std::uint32_t>(args.size()), &change,
                         misalign);
  Check(change == 0, what + ": ESP moved by " + Str(change));
  Check(ControlWord() == cw, what + ": x87 control word changed");
  // The low six bits of MXCSR are sticky exception flags that any arithmetic
  // sets; the control bits (masks, rounding, flush-to-zero) must stay.
  Check((Mxcsr() & ~kMxcsrFlags) == (csr & ~kMxcsrFlags),
        what + ": MXCSR control bits changed from " + Str(csr) + " to " + Str(Mxcsr()));
  return result;
}

std::uint32_t Word(const void* pointer) {
  return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(pointer));
}

float AsFloat(std::uint32_t bits) {
  float f;
  std::memcpy(&f, &bits, 4);
  return f;
}

std::uint32_t Read32(const std::uint8_t* p) {
  std::uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

std::uint16_t Read16(const std::uint8_t* p) {
  std::uint16_t v;
  std::memcpy(&v, p, 2);
  return v;
}

// 64-bit FNV-1a, the digest the native reference writer uses.
std::uint64_t Fnv1a64(const std::uint8_t* bytes, std::size_t size) {
  std::uint64_t h = 0xcbf29ce484222325ull;
  for (std::size_t i = 0; i < size; ++i) {
    h ^= bytes[i];
    h *= 0x100000001b3ull;
  }
  return h;
}

// The checker itself: a stdcall callee with the right count keeps ESP, a cdecl
// callee leaves its arguments on the stack.
int WINAPI StdcallTwo(int a, int b) { return a - b; }
int __cdecl CdeclOne(int a) { return a + 1; }

void CheckTheChecker() {
  std::int32_t change = 1;
  const std::uint32_t two[2] = {9, 4};
  Check(CallWithStackCheck(reinterpret_cast<const void*>(&StdcallTwo), two, 2, &change, 4) == 5 &&
            change == 0,
        "stack check: stdcall with two arguments");
  const std::uint32_t one[1] = {41};
  Check(CallWithStackCheck(reinterpret_cast<const void*>(&CdeclOne), one, 1, &change, 8) == 42 &&
            change == -4,
        "stack check: a cdecl callee is caught");
}

// ---- The host side of the run header ----------------------------------------

constexpr std::size_t kRecordSize = 204;
std::uint32_t gRunHeader[256];
constexpr long kApplication = 0x0AB0;
std::vector<std::uint32_t> gActionParams;
std::vector<long> gActionKinds;
std::vector<std::uint32_t> gExpressionParams;
int gEvents = 0;
int gBankCallsAtEvent = -1;
std::uint32_t gConditionResult = 0;
const void* gCondition = nullptr;
std::vector<std::vector<char>> gStrings;

std::uint32_t Pop(std::vector<std::uint32_t>& queue) {
  if (queue.empty()) return 0;
  const std::uint32_t v = queue.front();
  queue.erase(queue.begin());
  return v;
}

long WINAPI RaiseEvent(void* object, long a, long b) {
  ++gEvents;
  gBankCallsAtEvent = FakeBankCallCount();
  Check(a == 0 && b == 0, "raise event arguments");
  gConditionResult = Call(gCondition, {Word(object), 0, 0}, "condition 0");
  return 0;
}

long WINAPI StringSpace(void*, long, long size) {
  gStrings.emplace_back(static_cast<std::size_t>(size), '#');
  return static_cast<long>(Word(gStrings.back().data()));
}

long WINAPI FirstExpressionParam(void*, long kind, long) {
  Check(kind == 0, "expression parameter kind");
  return static_cast<long>(Pop(gExpressionParams));
}

long WINAPI NextExpressionParam(void*, long, long) {
  Check(false, "next-parameter entry used by a one-parameter expression");
  return static_cast<long>(Pop(gExpressionParams));
}

long WINAPI ActionParam(void*, long kind, long) {
  gActionKinds.push_back(kind);
  return static_cast<long>(Pop(gActionParams));
}

// ---- Entry points -----------------------------------------------------------

struct EntryPoint {
  const char* Name;
  int Ordinal;
  int Arguments;
  bool HasResult;
  long Result;
  bool IsStub;
};

const EntryPoint kEntryPoints[] = {
#define QUAVIX_ENTRY(name, ordinal, arguments) {#name, ordinal, arguments, false, 0, false},
#define QUAVIX_STUB(name, ordinal, arguments, result) {#name, ordinal, arguments, true, result, true},
#define QUAVIX_VOID_STUB(name, ordinal, arguments) {#name, ordinal, arguments, false, 0, true},
#include "host/entry_points.inc"
#undef QUAVIX_ENTRY
#undef QUAVIX_STUB
#undef QUAVIX_VOID_STUB
};

HMODULE gModule = nullptr;

const void* Resolve(const char* name) {
  for (const EntryPoint& e : kEntryPoints) {
    if (std::strcmp(e.Name, name) == 0) {
      return reinterpret_cast<const void*>(GetProcAddress(gModule, name));
    }
  }
  return nullptr;
}

void CheckEntryPoints() {
  Check(sizeof(kEntryPoints) / sizeof(kEntryPoints[0]) == 72, "72 entry points listed");
  for (const EntryPoint& e : kEntryPoints) {
    const auto byName = reinterpret_cast<const void*>(GetProcAddress(gModule, e.Name));
    const auto byOrdinal =
        reinterpret_cast<const void*>(GetProcAddress(gModule, MAKEINTRESOURCEA(e.Ordinal)));
    Check(byName != nullptr, std::string("export by name: ") + e.Name);
    Check(byName == byOrdinal, std::string("export ordinal ") + Str(e.Ordinal) + ": " + e.Name);
    if (!e.IsStub || byName == nullptr) continue;
    const std::vector<std::uint32_t> args(static_cast<std::size_t>(e.Arguments), 0x7777u);
    const std::uint32_t result = Call(byName, args, e.Name);
    if (e.HasResult) {
      Check(result == static_cast<std::uint32_t>(e.Result), std::string(e.Name) + " result");
    }
  }
  const void* getInfos = Resolve("GetInfos");
  const std::pair<std::uint32_t, std::uint32_t> infos[] = {
      {0, 768}, {2, 256}, {6, 2}, {7, 248}, {1, 0}, {3, 0}, {4, 0}, {5, 0}, {8, 0}, {0xFFFFFFFFu, 0}};
  for (const auto& [selector, expected] : infos) {
    Check(Call(getInfos, {selector}, "GetInfos") == expected, "GetInfos(" + Str(selector) + ")");
  }
  Check(Call(Resolve("GetRunObjectDataSize"), {1, 2}, "GetRunObjectDataSize") == 204,
        "GetRunObjectDataSize is 204");
  Check(Call(Resolve("HandleRunObject"), {0}, "HandleRunObject") == 1, "HandleRunObject");
}

// The module's image bounds, to see that handler pointers point into it.
bool InModule(const void* p) {
  const auto base = reinterpret_cast<const std::uint8_t*>(gModule);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(base + dos->e_lfanew);
  const auto* q = static_cast<const std::uint8_t*>(p);
  return q >= base && q < base + nt->OptionalHeader.SizeOfImage;
}

const void* const* gActions = nullptr;
const void* const* gExpressions = nullptr;

void CheckInformationRecord() {
  std::uint8_t record[64];
  std::memset(record, 0xEE, sizeof(record));
  Check(Call(Resolve("GetRunObjectInfos"), {0x1234, Word(record)}, "GetRunObjectInfos") == 1,
        "GetRunObjectInfos returns 1");
  const auto* tables = reinterpret_cast<const void* const* const*>(record);
  Check(Read16(record + 12) == 1, "condition count 1");
  Check(Read16(record + 14) == 35, "action count 35");
  Check(Read16(record + 16) == 29, "expression count 29");
  Check(Read16(record + 18) == 28, "stored record size 28");
  Check(Read32(record + 20) == 0, "bytes 20-23 zero");
  Check(record[24] == 100, "byte 24 is 100");
  Check(record[25] == 0xEE, "byte 25 left to the host");
  Check(Read16(record + 26) == 0, "bytes 26-27 zero");
  Check(std::memcmp(record + 28, "SVDA", 4) == 0, "identifier SVDA");
  Check(Read16(record + 32) == 2, "record version 2");
  bool untouched = true;
  for (std::size_t i = 34; i < sizeof(record); ++i) untouched = untouched && record[i] == 0xEE;
  Check(untouched, "bytes from 34 on left to the host");
  const int counts[3] = {1, 35, 29};
  for (int k = 0; k < 3; ++k) {
    bool handlers = true;
    for (int i = 0; i < counts[k]; ++i) handlers = handlers && InModule(tables[k][i]);
    Check(handlers, "handler table " + Str(k) + " points into the module");
    Check(tables[k][counts[k]] == nullptr, "handler table " + Str(k) + " ends with null");
  }
  gCondition = tables[0][0];
  gActions = tables[1];
  gExpressions = tables[2];
}

void CheckStoredRecordUpdate() {
  std::uint8_t old[28];
  std::memset(old, 0x3C, sizeof(old));
  const std::uint32_t header[5] = {24, 0x11111111, 1, 0x22222222, 0x33333333};
  std::memcpy(old, header, sizeof(header));
  const void* update = Resolve("UpdateEditStructure");
  auto* updated = reinterpret_cast<std::uint8_t*>(Call(update, {0, Word(old)}, "UpdateEditStructure"));
  Check(updated != nullptr, "version 1 record converted");
  if (updated != nullptr) {
    Check(Read32(updated) == 28 && Read32(updated + 4) == 0x11111111 && Read32(updated + 8) == 2 &&
              Read32(updated + 12) == 0x22222222 && Read32(updated + 16) == 0x33333333 &&
              updated[20] == 0 && updated[21] == 1 && Read16(updated + 22) == 0 &&
              Read32(updated + 24) == 5,
          "converted record fields");
    Check(GlobalFree(updated) == nullptr, "converted record is a global-heap block");
  }
  const std::uint32_t v2[7] = {28, 0, 2, 0, 0, 0x0100, 61};
  Check(Call(update, {0, Word(v2)}, "UpdateEditStructure") == 0, "version 2 record left alone");
}

void CheckResources() {
  const WORD lang = 1033;
  HRSRC strings = FindResourceExA(gModule, reinterpret_cast<LPCSTR>(RT_STRING), MAKEINTRESOURCEA(1), lang);
  Check(strings != nullptr, "string table in language 1033");
  char text[64];
  Check(LoadStringA(gModule, 1, text, sizeof(text)) == 3 && std::strcmp(text, "MF2") == 0,
        "string 1 is MF2");
  Check(LoadStringA(gModule, 2, text, sizeof(text)) == 6 && std::strcmp(text, "Quavix") == 0,
        "string 2 is Quavix");
  HRSRC data = FindResourceExA(gModule, reinterpret_cast<LPCSTR>(RT_RCDATA), MAKEINTRESOURCEA(200), lang);
  Check(data != nullptr && SizeofResource(gModule, data) == 4, "RCDATA 200 of 4 bytes");
  if (data != nullptr) {
    const auto* bytes = static_cast<const std::uint8_t*>(LockResource(LoadResource(gModule, data)));
    Check(bytes[0] == 0x16 && bytes[1] == 0x25 && bytes[2] == 0x08 && bytes[3] == 0x59,
          "RCDATA 200 holds 16 25 08 59");
  }
  HRSRC version = FindResourceExA(gModule, reinterpret_cast<LPCSTR>(RT_VERSION), MAKEINTRESOURCEA(1), lang);
  Check(version != nullptr, "version resource 1");
  if (version != nullptr) {
    const auto* bytes = static_cast<const std::uint8_t*>(LockResource(LoadResource(gModule, version)));
    const DWORD size = SizeofResource(gModule, version);
    const VS_FIXEDFILEINFO* info = nullptr;
    for (DWORD i = 0; i + sizeof(VS_FIXEDFILEINFO) <= size; i += 4) {
      if (Read32(bytes + i) == 0xFEEF04BD) {
        info = reinterpret_cast<const VS_FIXEDFILEINFO*>(bytes + i);
        break;
      }
    }
    Check(info != nullptr && info->dwFileVersionMS == 0x00010000 && info->dwFileVersionLS == 0,
          "file version 1.0.0.0");
  }
}

// ---- One instance -----------------------------------------------------------

std::uint32_t Action(std::uint8_t* object, int index, std::uint32_t first) {
  return Call(gActions[index], {Word(object), first, 0}, "action " + Str(index));
}

std::uint32_t Expression(std::uint8_t* object, int index, std::uint32_t token) {
  std::memset(object + 124, 0, 2);
  return Call(gExpressions[index], {Word(object), token}, "expression " + Str(index));
}

// One line of the reference sounds: a recipe of actions (see
// tests/host/reference_sounds_test.cpp), the sample count and the digest.
struct Reference {
  std::string Recipe;
  long Samples;
  std::uint64_t Digest;
};

std::vector<Reference> ReadReferences(const char* path) {
  std::vector<Reference> refs;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    Reference r{};
    std::string digest;
    fields >> r.Recipe >> r.Samples >> digest;
    r.Digest = std::stoull(digest, nullptr, 16);
    refs.push_back(r);
  }
  return refs;
}

std::uint32_t Hex(const std::string& text) {
  return static_cast<std::uint32_t>(std::stoul(text, nullptr, 16));
}

std::uint32_t Action(std::uint8_t* object, int index, std::uint32_t first);

// Runs one recipe on a new instance of the module and compares the published
// image with the native build's digest.
void RunReference(const Reference& ref) {
  std::vector<std::string> steps;
  std::stringstream tokens(ref.Recipe);
  for (std::string step; std::getline(tokens, step, ',');) steps.push_back(step);
  std::vector<std::uint8_t> block(kRecordSize, 0xA5);
  std::uint8_t* object = block.data();
  std::memset(object + 124, 0, 2);
  const std::uint32_t runHeader = Word(gRunHeader);
  std::memcpy(object + 8, &runHeader, 4);
  const std::uint32_t stored[7] = {28, 0, 2, 0, 0, 0x0100, static_cast<std::uint32_t>(std::stoul(steps.at(0).substr(1)))};
  Call(Resolve("CreateRunObject"), {Word(object), Word(stored), 0}, "CreateRunObject");
  for (std::size_t i = 1; i < steps.size(); ++i) {
    const std::string arg = steps[i].substr(1);
    switch (steps[i][0]) {
      case 's': Action(object, 7, static_cast<std::uint32_t>(std::stol(arg))); break;
      case 'p': Action(object, 2, static_cast<std::uint32_t>(std::stol(arg))); break;
      case 'r': Action(object, 32, 0); break;
      case 'm':
        gActionParams = {Hex(arg)};
        Action(object, 1, 0);
        break;
      case 'v': {
        const std::size_t eq = arg.find('=');
        gActionParams = {static_cast<std::uint32_t>(std::stol(arg.substr(0, eq))), Hex(arg.substr(eq + 1))};
        Action(object, 33, 0);
        break;
      }
      default: Check(false, ref.Recipe + ": unknown step " + steps[i]);
    }
  }
  const std::string name = "reference";
  Action(object, 6, Word(name.c_str()));
  long size = 0;
  const std::uint8_t* image = FakeBankSound(name.c_str(), &size);
  const std::uint64_t digest = image != nullptr ? Fnv1a64(image, static_cast<std::size_t>(size)) : 0;
  char hex[17];
  std::snprintf(hex, sizeof(hex), "%016llx", static_cast<unsigned long long>(digest));
  Check(image != nullptr && (size - 44) / 2 == ref.Samples && digest == ref.Digest,
        ref.Recipe + ": image equals the native build's (" + Str((size - 44) / 2) + " samples, digest " +
            hex + ", expected " + Str(ref.Samples) + ")");
  Call(Resolve("DestroyRunObject"), {Word(object), 0}, "DestroyRunObject");
}

void RunInstance() {
  std::vector<std::uint8_t> block(kRecordSize + 16, 0xA5);
  std::uint8_t* object = block.data();
  std::memset(object + 124, 0, 2);
  const std::uint32_t runHeader = Word(gRunHeader);
  std::memcpy(object + 8, &runHeader, 4);
  const std::uint32_t stored[7] = {28, 0, 2, 0, 0, 0x0100, 5};
  Check(Call(Resolve("CreateRunObject"), {Word(object), Word(stored), 0}, "CreateRunObject") == 0,
        "CreateRunObject returns 0");
  Check(Read32(object + 196) == 410000, "capacity of buffer length 5");
  Check(Read32(object + 200) == 0, "last length starts at 0");
  Check(Expression(object, 1, 0) == 0, "GenLength before generation");

  for (std::uint32_t preset = 0; preset < 7; ++preset) {
    const std::string name = "preset" + Str(preset);
    FakeBankClearCalls();
    gEvents = 0;
    Action(object, 7, 1);       // Set random seed to 1
    Action(object, 2, preset);  // Load preset
    Action(object, 6, Word(name.c_str()));
    Check(gEvents == 1 && gBankCallsAtEvent == 2 && gConditionResult == 1,
          name + ": condition raised once after publication");
    FakeBankCall find{}, add{};
    Check(FakeBankCallCount() == 2 && FakeBankGetCall(0, &find) && FakeBankGetCall(1, &add) &&
              find.Ordinal == 193 && add.Ordinal == 185 && find.Application == kApplication &&
              add.Application == kApplication && find.One == 1 && add.One == 1 &&
              std::strcmp(add.Name, name.c_str()) == 0,
          name + ": added through 193 then 185");
    long size = 0;
    const std::uint8_t* image = FakeBankSound(name.c_str(), &size);
    Check(image != nullptr, name + ": published");
    if (image == nullptr) continue;
    const std::uint32_t samples = Expression(object, 1, 0);
    Check(static_cast<long>(2 * samples + 44) == size, name + ": image of 2N+44 bytes");
    Check(std::memcmp(image, "RIFF", 4) == 0 && Read32(image + 4) == 2 * samples + 36 &&
              std::memcmp(image + 8, "WAVEfmt ", 8) == 0 && Read32(image + 40) == 2 * samples,
          name + ": header");
    if (samples > 0) {
      gExpressionParams = {samples - 1};
      const std::uint32_t bits = Expression(object, 0, 3);
      const auto last = static_cast<std::int16_t>(Read16(image + 44 + 2 * (samples - 1)));
      Check(AsFloat(bits) == static_cast<float>(last / 32000.0) && Read16(object + 124) == 0x4000,
            name + ": GenWave of the last sample");
    }
  }

  // Generating again under a known name replaces it: 193, 191, 197.
  FakeBankClearCalls();
  Action(object, 6, Word("preset0"));
  FakeBankCall calls[3]{};
  Check(FakeBankCallCount() == 3 && FakeBankGetCall(0, &calls[0]) && FakeBankGetCall(1, &calls[1]) &&
            FakeBankGetCall(2, &calls[2]) && calls[0].Ordinal == 193 && calls[1].Ordinal == 191 &&
            calls[2].Ordinal == 197 && calls[1].Handle == calls[2].Handle && calls[1].Handle != 0,
        "replaced through 193, 191, 197");

  // The remaining handlers work across the boundary too.
  Action(object, 3, 0);  // Reset
  const std::uint32_t text = Expression(object, 3, 0);
  Check(Read16(object + 124) == 0x8000, "CSV$ sets the text flag");
  Check(text != 0 && std::strcmp(reinterpret_cast<const char*>(text),
                                 "1.0000,,,0.3000,,0.4000,0.3000,,,,,,,,,,,,,1.0000,,,,") == 0,
        "CSV$ after Reset");
  gExpressionParams = {3528};
  Check(AsFloat(Expression(object, 28, 0)) == 1.0f && Read16(object + 124) == 0x4000, "FreqHz(3528)");
  gActionParams = {0x40111EB8u};  // 2.2675f
  gActionKinds.clear();
  Action(object, 5, 0);  // Set attack time
  Check(gActionKinds.size() == 1 && gActionKinds[0] == 2, "setter fetches a float");
  gExpressionParams = {2};
  Check(AsFloat(Expression(object, 2, 0)) == 1.0f, "Variable(2) after attack time 2.2675");
  Check(Expression(object, 4, 0) == 0 && Read16(object + 124) == 0, "WaveType is an unflagged integer");
  bool hostBytes = true;
  for (std::size_t i = 0; i < 184; ++i) {
    if ((i >= 8 && i < 12) || i == 124 || i == 125) continue;
    hostBytes = hostBytes && object[i] == 0xA5;
  }
  Check(hostBytes, "the host's header bytes are untouched");
  Check(Call(Resolve("DestroyRunObject"), {Word(object), 0}, "DestroyRunObject") == 0,
        "DestroyRunObject returns 0");
  bool tail = true;
  for (std::size_t i = kRecordSize; i < block.size(); ++i) tail = tail && block[i] == 0xA5;
  Check(tail, "nothing written past the 204-byte record");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::printf("usage: winhost <Quavix.dll> <reference digests>\n");
    return 2;
  }
  CheckTheChecker();
  const std::vector<Reference> refs = ReadReferences(argv[2]);
  Check(refs.size() > 150, std::string("reference sounds read from ") + argv[2]);

  gRunHeader[2] = kApplication;
  gRunHeader[864 / 4] = Word(reinterpret_cast<const void*>(&RaiseEvent));
  gRunHeader[872 / 4] = Word(reinterpret_cast<const void*>(&StringSpace));
  gRunHeader[876 / 4] = Word(reinterpret_cast<const void*>(&FirstExpressionParam));
  gRunHeader[880 / 4] = Word(reinterpret_cast<const void*>(&NextExpressionParam));
  gRunHeader[928 / 4] = Word(reinterpret_cast<const void*>(&ActionParam));

  // Loading the module must leave the floating-point state as the host set it;
  // use values no runtime would set by itself.
  const std::uint16_t hostCw = ControlWord();
  const std::uint32_t hostCsr = Mxcsr();
  SetControlWord(0x0E7F);
  SetMxcsr(0x9FC0);
  gModule = LoadLibraryA(argv[1]);
  const std::uint16_t cwAfterLoad = ControlWord();
  const std::uint32_t csrAfterLoad = Mxcsr();
  Check(gModule != nullptr, std::string("LoadLibrary ") + argv[1]);
  Check(cwAfterLoad == 0x0E7F, "x87 control word unchanged by loading");
  Check((csrAfterLoad & ~kMxcsrFlags) == 0x9FC0, "MXCSR control bits unchanged by loading");
  if (gModule != nullptr) CheckEntryPoints();
  SetControlWord(hostCw);
  SetMxcsr(hostCsr);
  if (gModule != nullptr) {
    CheckInformationRecord();
    CheckStoredRecordUpdate();
    CheckResources();
    if (gActions != nullptr) {
      RunInstance();
      for (const Reference& ref : refs) RunReference(ref);
    }
    Check(FreeLibrary(gModule) != 0, "FreeLibrary");
  }
  std::printf("winhost: %d passed, %d failed\n", gPassed, gFailed);
  return gFailed == 0 ? 0 : 1;
}
