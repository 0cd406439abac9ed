#include "file_kind.h"

#include <algorithm>
#include <cstdio>
#include <string_view>

#include "exchange/settings_string.h"

namespace quavix::cli {
namespace {

constexpr std::int32_t kFirstVersion = 100;
constexpr std::int32_t kLastVersion = 102;

bool IsText(const std::vector<std::uint8_t>& bytes) {
  return std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t b) {
    return b == '\t' || b == '\n' || b == '\r' || (b >= 0x20 && b != 0x7f);  // UTF-8 included
  });
}

std::string SoundFileKind(const std::vector<std::uint8_t>& bytes) {
  if (bytes.size() < 4) return "";
  const std::string_view magic(reinterpret_cast<const char*>(bytes.data()), 4);
  if (magic == "RIFF" || magic == "RF64") return "a WAV";
  if (magic == "fLaC") return "a FLAC";
  if (magic == "OggS") return "an Ogg";
  if (magic.starts_with("ID3") || (bytes[0] == 0xff && (bytes[1] & 0xe0) == 0xe0)) return "an MP3";
  if (magic == "FORM") return "an AIFF";
  if (magic == ".snd") return "an AU";
  if (magic == "caff") return "a CAF";
  if (magic == "riff") return "a Wave64";
  return "";
}

}  // namespace

std::string WhatThisFileIs(const std::vector<std::uint8_t>& bytes) {
  if (bytes.empty()) return "is empty, not a settings file";
  if (bytes.size() < 4) {
    // The start of version 100..102 (little-endian), cut off.
    const bool versionStart = bytes[0] >= kFirstVersion && bytes[0] <= kLastVersion &&
                              std::all_of(bytes.begin() + 1, bytes.end(), [](std::uint8_t b) { return b == 0; });
    if (versionStart) {
      return "ends after " + std::to_string(bytes.size()) + " byte" + (bytes.size() == 1 ? "" : "s") +
             ", inside its version field: the settings file is cut short";
    }
    return "holds only " + std::to_string(bytes.size()) + " byte" + (bytes.size() == 1 ? "" : "s") +
           ", not a settings file";
  }
  if (const std::string kind = SoundFileKind(bytes); !kind.empty()) {
    return "is " + kind + " sound file, not a settings file ('quavix info FILE' measures it)";
  }
  if (IsText(bytes)) {
    std::string text(bytes.begin(), bytes.end());
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    if (text.find('\n') == std::string::npos && CheckSettingsString(text).Problem == SettingsStringProblem::None) {
      return "is text, not a settings file: it reads as a settings string, which --csv takes";
    }
    return "is text, not a settings file";
  }
  const auto version = static_cast<std::int32_t>(static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
                                                 static_cast<std::uint32_t>(bytes[2]) << 16 |
                                                 static_cast<std::uint32_t>(bytes[3]) << 24);
  if (version >= 0 && version < 1000) {
    return "has version " + std::to_string(version) + "; settings files have version 100, 101 or 102";
  }
  char start[64];
  std::snprintf(start, sizeof start, "%02x %02x %02x %02x", bytes[0], bytes[1], bytes[2], bytes[3]);
  return std::string("is not a settings file: it starts with the bytes ") + start +
         ", where a settings file gives its version, 100, 101 or 102";
}

}  // namespace quavix::cli
