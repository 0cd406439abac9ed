// A 32-bit Windows host for Quavix.dll under Wine, for what only the built binary shows (the logic
// is checked natively): every entry point and each kind of handler result through a check of the
// stack pointer and the floating-point controls, each run-header routine, the sound bank (a fake
// MMFS2.dll) and every reference sound. Usage: winhost <Quavix.dll> <digests>
#include <windows.h>

#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

#include "reference_recipe.h"

// Pushes count arguments (args[0] on top) onto a stack aligned to 16 bytes minus misalign, as a
// host with looser alignment leaves it, calls the function, and stores how far ESP moved across
// the call (0 for a stdcall function of exactly count arguments). Returns EAX; EBX, ESI, EDI, EBP
// survive whatever ESP does.
extern "C" std::uint32_t CallWithStackCheck(const void* function, const std::uint32_t* args,
                                            std::uint32_t count, std::int32_t* espChange,
                                            std::uint32_t misalign);
// clang-format off
asm(R"(
        .text
        .globl  _CallWithStackCheck
_CallWithStackCheck:
        pushl   %ebp
        movl    %esp, %ebp
        pushl   %ebx
        pushl   %esi
        pushl   %edi
        subl    $4, %esp                # -16(%ebp): ESP before the pushes
        movl    24(%ebp), %eax          # misalign
        andl    $-16, %esp
        subl    %eax, %esp
        movl    %esp, -16(%ebp)
        movl    12(%ebp), %esi          # args
        movl    16(%ebp), %ecx          # count
1:      testl   %ecx, %ecx
        jz      2f
        decl    %ecx
        pushl   (%esi,%ecx,4)
        jmp     1b
2:      call    *8(%ebp)
        movl    %esp, %ecx
        subl    -16(%ebp), %ecx         # ESP after minus ESP before
        movl    20(%ebp), %edx
        movl    %ecx, (%edx)
        leal    -12(%ebp), %esp
        popl    %edi
        popl    %esi
        popl    %ebx
        popl    %ebp
        ret
)");
// clang-format on
// The fake MMFS2.dll: the copies it keeps.
extern "C" __declspec(dllimport) const std::uint8_t* FakeBankSound(const char* name, long* size);

namespace {
using namespace quavix::host::test;
using Words = std::vector<std::uint32_t>;

int gPassed = 0, gFailed = 0;
void Check(bool ok, const std::string& what) {
  ++(ok ? gPassed : gFailed);
  if (!ok) std::printf("FAILED: %s\n", what.c_str());
}

// The x87 control word and the MXCSR without the six sticky exception flags, which any
// arithmetic sets.
std::uint64_t FpControls() {
  std::uint16_t cw;
  std::uint32_t csr;
  asm volatile("fnstcw %0\n\tstmxcsr %1" : "=m"(cw), "=m"(csr));
  return std::uint64_t{cw} << 32 | (csr & ~0x3Fu);
}

// Calls a module function with 32-bit arguments on a stack aligned to 4 bytes only, as the host
// guarantees; checks that it popped exactly its arguments and left the x87 control word and the
// MXCSR controls alone.
std::uint32_t Call(const void* function, Words args, const std::string& what) {
  static std::uint32_t misalign = 0;
  misalign = (misalign + 4) % 16;
  const std::uint64_t controls = FpControls();
  std::int32_t change = 0x7FFFFFFF;
  const std::uint32_t result =
      CallWithStackCheck(function, args.data(), args.size(), &change, misalign);
  Check(change == 0, what + ": ESP moved by " + std::to_string(change));
  Check(FpControls() == controls, what + ": floating-point controls changed");
  return result;
}
std::string Named(const char* what, int index) {
  char text[32];
  std::snprintf(text, sizeof(text), "%s %d", what, index);
  return text;
}
std::uint32_t Word(const void* pointer) {
  return reinterpret_cast<std::uintptr_t>(pointer);
}

// The checker itself: a stdcall callee keeps ESP, a cdecl one is caught.
int WINAPI StdcallTwo(int a, int b) {
  return a - b;
}
int __cdecl CdeclOne(int a) {
  return a + 1;
}
void CheckTheChecker() {
  const std::uint32_t args[2] = {9, 4};
  std::int32_t two = 1, one = 1;
  Check(CallWithStackCheck(reinterpret_cast<const void*>(&StdcallTwo), args, 2, &two, 4) == 5 &&
            two == 0,
        "stack check: stdcall with two arguments");
  Check(CallWithStackCheck(reinterpret_cast<const void*>(&CdeclOne), args, 1, &one, 8) == 10 &&
            one == -4,
        "stack check: a cdecl callee is caught");
}

// The run-header routines.
std::uint32_t gRunHeader[256];
Words gActionParams, gExpressionParams;
std::vector<std::vector<char>> gStrings;
const void* gCondition = nullptr;
const void* const* gActions = nullptr;
const void* const* gExpressions = nullptr;
int gEvents = 0;
std::uint32_t gConditionResult = 0;

std::uint32_t Pop(Words& queue) {
  const std::uint32_t v = queue.empty() ? 0 : queue.front();
  if (!queue.empty()) queue.erase(queue.begin());
  return v;
}
long WINAPI RaiseEvent(void* object, long a, long b) {
  ++gEvents;
  Check(a == 0 && b == 0, "raise event arguments");
  gConditionResult = Call(gCondition, {Word(object), 0, 0}, "condition 0");
  return 0;
}
long WINAPI StringSpace(void*, long, long size) {
  return static_cast<long>(Word(gStrings.emplace_back(static_cast<std::size_t>(size), '#').data()));
}
long WINAPI FirstExpressionParam(void*, long kind, long) {
  Check(kind == 0, "expression parameter kind");
  return static_cast<long>(Pop(gExpressionParams));
}
long WINAPI NextExpressionParam(void*, long, long) {
  Check(false, "next-parameter entry used by a one-parameter expression");
  return 0;
}
long WINAPI ActionParam(void*, long, long) {
  return static_cast<long>(Pop(gActionParams));
}

HMODULE gModule = nullptr;
std::uint32_t CallEntry(const char* name, const Words& args) {
  return Call(reinterpret_cast<const void*>(GetProcAddress(gModule, name)), args, name);
}

void CheckEntryPoints() {
  // Name, argument count, whether it answers, and what.
  const std::tuple<const char*, int, bool, long> stubs[] = {
#define QUAVIX_ENTRY(name, ordinal, arguments)
#define QUAVIX_STUB(name, ordinal, arguments, result) {#name, arguments, true, result},
#define QUAVIX_VOID_STUB(name, ordinal, arguments) {#name, arguments, false, 0},
#include "host/entry_points.inc"
  };
  for (const auto& [name, arguments, answers, answer] : stubs) {
    const void* stub = reinterpret_cast<const void*>(GetProcAddress(gModule, name));
    const std::uint32_t result = stub ? Call(stub, Words(arguments, 0x7777u), name) : 0;
    Check(stub && (!answers || result == static_cast<std::uint32_t>(answer)),
          std::string("export and result of ") + name);
  }
  const std::tuple<const char*, Words, std::uint32_t> entries[] = {
      {"GetInfos", {0}, 768}, {"GetRunObjectDataSize", {1, 2}, 204}, {"HandleRunObject", {0}, 1}};
  for (const auto& [name, args, answer] : entries) Check(CallEntry(name, args) == answer, name);

  std::uint8_t record[64];
  Check(CallEntry("GetRunObjectInfos", {0, Word(record)}) == 1, "GetRunObjectInfos");
  const auto* tables = reinterpret_cast<const void* const* const*>(record);
  const int counts[3] = {1, 35, 29};  // conditions, actions, expressions
  for (int k = 0; k < 3; ++k) {
    Check(record[12 + 2 * k] == counts[k] && tables[k][counts[k]] == nullptr &&
              tables[k][counts[k] - 1] != nullptr,
          Named("handler table", k));
  }
  gCondition = tables[0][0];
  gActions = tables[1];
  gExpressions = tables[2];

  // The converted record comes from the global heap, which the host frees.
  const std::uint32_t old[5] = {24, 0x11111111, 1, 0x22222222, 0x33333333};
  auto* updated = reinterpret_cast<std::uint8_t*>(CallEntry("UpdateEditStructure", {0, Word(old)}));
  std::uint32_t fields[7] = {};
  if (updated != nullptr) std::memcpy(fields, updated, sizeof(fields));
  Check(fields[2] == 2 && fields[6] == 5 && GlobalFree(updated) == nullptr, "converted, freed");
}

std::uint32_t Action(std::uint8_t* object, int index, std::uint32_t first) {
  return Call(gActions[index], {Word(object), first, 0}, Named("action", index));
}
// The result and its flags (a 16-bit word at 124).
std::pair<std::uint32_t, int> Expression(std::uint8_t* object, int index) {
  std::memset(object + 124, 0, 2);
  const std::uint32_t result =
      Call(gExpressions[index], {Word(object), 3}, Named("expression", index));
  return {result, object[124] | object[125] << 8};
}

struct Instance {
  explicit Instance(std::uint32_t seconds) {
    const std::uint32_t runHeader = Word(gRunHeader), stored[7] = {28, 0, 2, 0, 0, 0x0100, seconds};
    std::memset(Object + 124, 0, 2);
    std::memcpy(Object + 8, &runHeader, 4);
    Check(CallEntry("CreateRunObject", {Word(Object), Word(stored), 0}) == 0, "created");
  }
  ~Instance() { Check(CallEntry("DestroyRunObject", {Word(Object), 0}) == 0, "destroyed"); }
  std::vector<std::uint8_t> Block = std::vector<std::uint8_t>(204, 0xA5);
  std::uint8_t* Object = Block.data();
};

// One line of the reference sounds (recipe, sample count, digest) on a new instance, and there
// each kind of result: a text in host string space (CSV$ of the defaults, before the steps), a
// whole number and a float in EAX (GenLength, and GenWave of the last sample as published), and
// the condition raised once from inside "Generate sound".
void RunReference(const std::string& line) {
  const std::string recipe = line.substr(0, line.find(' '));
  const Recipe parsed = ParseRecipe(recipe);
  Instance instance(parsed.BufferSeconds);
  std::uint8_t* object = instance.Object;
  const auto [csv, csvFlags] = Expression(object, 3);
  const auto* text = reinterpret_cast<const char*>(csv);
  Check(csvFlags == 0x8000 && text != nullptr && text == gStrings.back().data() &&
            std::strcmp(text, "1.0000,,,0.3000,,0.4000,0.3000,,,,,,,,,,,,,1.0000,,,,") == 0,
        recipe + ": CSV$ in host string space");
  for (const RecipeStep& step : parsed.Steps) {
    Check(step.Action != -1, "a known step in " + recipe);
    gActionParams = step.Fetched;
    if (step.Action != -1) Action(object, step.Action, step.First);
  }
  const int events = gEvents;
  Action(object, 6, Word("reference"));
  Check(gEvents == events + 1 && gConditionResult == 1, recipe + ": the condition raised once");
  long size = 0;
  const std::uint8_t* image = FakeBankSound("reference", &size);
  const std::string result = image ? ImageDigest(image, static_cast<std::size_t>(size)) : "";
  Check(line == recipe + " " + result, recipe + ": " + result + ", expected " + line);
  const std::uint32_t samples = Expression(object, 1).first;
  gExpressionParams = {samples - 1};
  const auto [wave, waveFlags] = Expression(object, 0);
  const auto last = static_cast<std::int16_t>(image ? image[size - 2] | image[size - 1] << 8 : 0);
  Check(size == static_cast<long>(2 * samples + 44) && waveFlags == 0x4000 &&
            std::bit_cast<float>(wave) == static_cast<float>(last / 32000.0),
        recipe + ": GenLength, and GenWave of the last sample");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::printf("usage: winhost <Quavix.dll> <reference digests>\n");
    return 2;
  }
  CheckTheChecker();
  std::vector<std::string> references;
  std::ifstream in(argv[2]);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line[0] != '#') references.push_back(line);
  }
  Check(references.size() > 80, std::string("reference sounds read from ") + argv[2]);
  gRunHeader[864 / 4] = Word(reinterpret_cast<const void*>(&RaiseEvent));
  gRunHeader[872 / 4] = Word(reinterpret_cast<const void*>(&StringSpace));
  gRunHeader[876 / 4] = Word(reinterpret_cast<const void*>(&FirstExpressionParam));
  gRunHeader[880 / 4] = Word(reinterpret_cast<const void*>(&NextExpressionParam));
  gRunHeader[928 / 4] = Word(reinterpret_cast<const void*>(&ActionParam));

  // Loading must leave the floating-point controls as the host set them, to values no runtime
  // sets by itself; the host's own are restored after the entry points.
  std::uint16_t hostCw = 0, cw = 0x0E7F;
  std::uint32_t hostCsr = 0, csr = 0x9FC0;
  asm volatile("fnstcw %0\n\tstmxcsr %1\n\tfldcw %2\n\tldmxcsr %3"
               : "=m"(hostCw), "=m"(hostCsr)
               : "m"(cw), "m"(csr));
  gModule = LoadLibraryA(argv[1]);
  Check(FpControls() == (std::uint64_t{cw} << 32 | csr), "floating-point controls after loading");
  Check(gModule != nullptr, std::string("LoadLibrary ") + argv[1]);
  if (gModule != nullptr) CheckEntryPoints();
  asm volatile("fldcw %0\n\tldmxcsr %1" : : "m"(hostCw), "m"(hostCsr));
  for (const std::string& line : references) {
    if (gActions != nullptr) RunReference(line);
  }
  if (gModule != nullptr) Check(FreeLibrary(gModule) != 0, "FreeLibrary");
  std::printf("winhost: %d passed, %d failed\n", gPassed, gFailed);
  return gFailed == 0 ? 0 : 1;
}
