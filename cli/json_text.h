// JSON read from a file and written for the user, in the tool's words: where a
// file stops being JSON, and whether a text can be written as JSON at all.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

namespace quavix::cli {

// Parses text as JSON; on a syntax error returns a discarded value and sets
// problem to where and why, as "line 3, column 7: unexpected '}'".
nlohmann::json ParseJson(std::string_view text, std::string& problem);

// Whether text is valid UTF-8 (JSON strings can hold nothing else).
bool IsUtf8(std::string_view text);

// Whether text holds a control byte (0x00 to 0x1f, or DEL 0x7f), which no file
// name that the tool makes or takes away may hold.
bool HasControlBytes(std::string_view text);

}  // namespace quavix::cli
