// ASCII text helpers shared by the core's name look-ups (parameters, preset
// families) and the tools built on them.
#pragma once

#include <cstddef>
#include <string_view>

namespace quavix {

constexpr char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Equality that ignores the case of ASCII letters only (no locale).
constexpr bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) {
    return false;
  }
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) {
      return false;
    }
  }
  return true;
}

}  // namespace quavix
