// The module's one buffer for what JavaScript passes in and reads back. The
// C API allocates nothing, and every call from JavaScript is synchronous, so
// one area behind the static data suffices: JavaScript lays out a call's
// records, texts and output in it, calls, and copies the results out.
#include <cstddef>
#include <cstdint>

#include "quavix/quavix.h"

extern "C" unsigned char __heap_base;  // the end of the stack and static data

namespace {

constexpr std::size_t kPageBytes = 65536;

}  // namespace

extern "C" {

// The start of a scratch area of at least size bytes (16-byte aligned; the
// same address every time), growing the memory when needed; 0 when the memory
// cannot grow that far. Growing replaces the memory's ArrayBuffer: views made
// before a call must be made anew after it.
QUAVIX_API std::uintptr_t quavix_wasm_scratch(std::size_t size) {
  const std::uintptr_t start = (reinterpret_cast<std::uintptr_t>(&__heap_base) + 15) & ~std::uintptr_t{15};
  const std::size_t have = __builtin_wasm_memory_size(0) * kPageBytes - start;
  if (size > have) {
    if (size > SIZE_MAX - kPageBytes) return 0;
    const std::size_t pages = (size - have + kPageBytes - 1) / kPageBytes;
    if (__builtin_wasm_memory_grow(0, pages) == static_cast<std::size_t>(-1)) return 0;
  }
  return start;
}

}  // extern "C"
