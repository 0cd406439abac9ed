#include "json_text.h"

#include <algorithm>

#include "cli_error.h"

namespace quavix::cli {

nlohmann::json ParseJson(std::string_view text, std::string& problem) {
  problem.clear();
  try {
    return nlohmann::json::parse(text.begin(), text.end());
  } catch (const nlohmann::json::parse_error& e) {
    // e.byte counts from 1 and points at the byte that broke the syntax (one
    // past the end when the text stops early).
    if (text.find_first_not_of(" \t\r\n") == std::string_view::npos) {
      problem = "it holds nothing";
      return nlohmann::json::value_t::discarded;
    }
    const std::size_t at = std::min<std::size_t>(e.byte == 0 ? 0 : e.byte - 1, text.size());
    std::size_t line = 1, column = 1;
    for (std::size_t i = 0; i < at; ++i) {
      const auto b = static_cast<unsigned char>(text[i]);
      if (b == '\n') {
        ++line;
        column = 1;
      } else if ((b & 0xc0) != 0x80) {
        ++column;  // a character, not a continuation byte
      }
    }
    const std::string where = "line " + std::to_string(line) + ", column " + std::to_string(column);
    if (at == text.size()) {
      problem = "it ends too early, at " + where;
    } else if (static_cast<unsigned char>(text[at]) >= 0x80) {
      problem = where + ": " + Echo(text.substr(at, 1)) + " is not UTF-8 text";
    } else {
      problem = where + ": unexpected " + Echo(text.substr(at, 1));
    }
  } catch (const nlohmann::json::exception&) {
    problem = "it is nested too deeply";
  }
  return nlohmann::json::value_t::discarded;
}

bool HasControlBytes(std::string_view text) {
  return std::any_of(text.begin(), text.end(), [](char c) {
    const auto b = static_cast<unsigned char>(c);
    return b < 0x20 || b == 0x7f;
  });
}

bool IsUtf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const auto b = static_cast<unsigned char>(text[i]);
    std::size_t n = 0;
    std::uint32_t code = 0, least = 0;
    if (b < 0x80) {
      ++i;
      continue;
    } else if ((b & 0xe0) == 0xc0) {
      n = 1, code = b & 0x1f, least = 0x80;
    } else if ((b & 0xf0) == 0xe0) {
      n = 2, code = b & 0x0f, least = 0x800;
    } else if ((b & 0xf8) == 0xf0) {
      n = 3, code = b & 0x07, least = 0x10000;
    } else {
      return false;
    }
    for (std::size_t k = 1; k <= n; ++k) {
      if (i + k >= text.size() || (static_cast<unsigned char>(text[i + k]) & 0xc0) != 0x80)
        return false;
      code = (code << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3f);
    }
    if (code < least || code > 0x10ffff || (code >= 0xd800 && code <= 0xdfff)) return false;
    i += n + 1;
  }
  return true;
}

}  // namespace quavix::cli
