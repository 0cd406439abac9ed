// What a file given as a settings file is, when it is not one: the words that
// follow its name in the refusal.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quavix::cli {

// "is empty", "is a WAV file, not a settings file (...)", "is text, not a
// settings file", "has version 7; settings files have version 100, 101 or
// 102", ... for the bytes of a file that DecodeSettings refused by its version.
std::string WhatThisFileIs(const std::vector<std::uint8_t>& bytes);

}  // namespace quavix::cli
