// What the module gives the C++ runtime in place of its exception machinery.
//
// The module is built without exceptions: the host calls its entry points
// through a plain C interface and has no way to receive a C++ exception, so a
// failure that the standard library would throw (an allocation that cannot be
// met, a string longer than its maximum) ends the process here, as an
// exception escaping an entry point would. Defining these hooks keeps the
// runtime's exception classes, its string instantiations and its demangling
// terminate handler out of the module.
#include <cstddef>
#include <cstdlib>
#include <new>

void* operator new(std::size_t bytes) {
  if (void* block = std::malloc(bytes == 0 ? 1 : bytes)) return block;
  std::abort();
}

void* operator new[](std::size_t bytes) { return ::operator new(bytes); }

void operator delete(void* block) noexcept { std::free(block); }

void operator delete[](void* block) noexcept { std::free(block); }

void operator delete(void* block, std::size_t) noexcept { std::free(block); }

void operator delete[](void* block, std::size_t) noexcept { std::free(block); }

namespace std {

[[noreturn]] void __throw_bad_alloc() { std::abort(); }

[[noreturn]] void __throw_length_error(const char*) { std::abort(); }

[[noreturn]] void __throw_out_of_range_fmt(const char*, ...) { std::abort(); }

}  // namespace std
