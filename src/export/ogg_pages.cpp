#include "export/ogg_pages.h"

#include <array>
#include <cstring>

namespace quavix::exporting {
namespace {

constexpr std::size_t kHeaderBytes = 27;
constexpr std::size_t kSerialAt = 14;
constexpr std::size_t kChecksumAt = 22;

constexpr std::array<std::uint32_t, 256> kTable = [] {
  std::array<std::uint32_t, 256> table{};
  for (std::uint32_t i = 0; i < 256; ++i) {
    std::uint32_t r = i << 24;
    for (int bit = 0; bit < 8; ++bit) r = (r & 0x80000000u) != 0 ? (r << 1) ^ 0x04c11db7u : r << 1;
    table[i] = r;
  }
  return table;
}();

void PutLe32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

}  // namespace

std::uint32_t OggChecksum(std::span<const std::uint8_t> bytes) {
  std::uint32_t crc = 0;
  for (const std::uint8_t b : bytes) crc = (crc << 8) ^ kTable[((crc >> 24) ^ b) & 0xffu];
  return crc;
}

void SetOggSerial(std::vector<std::uint8_t>& bytes, std::uint32_t serial) {
  std::size_t at = 0;
  while (at + kHeaderBytes <= bytes.size() && std::memcmp(bytes.data() + at, "OggS", 4) == 0) {
    const std::size_t segments = bytes[at + 26];
    if (at + kHeaderBytes + segments > bytes.size()) return;
    std::size_t length = kHeaderBytes + segments;
    for (std::size_t i = 0; i < segments; ++i) length += bytes[at + kHeaderBytes + i];
    if (at + length > bytes.size()) return;
    std::uint8_t* page = bytes.data() + at;
    PutLe32(page + kSerialAt, serial);
    PutLe32(page + kChecksumAt, 0);
    PutLe32(page + kChecksumAt, OggChecksum({page, length}));
    at += length;
  }
}

std::uint32_t SerialOfSamples(std::span<const float> samples) {
  std::uint32_t hash = 2166136261u;
  for (const float s : samples) {
    std::uint8_t b[sizeof s];
    std::memcpy(b, &s, sizeof s);
    for (const std::uint8_t byte : b) hash = (hash ^ byte) * 16777619u;
  }
  return hash;
}

}  // namespace quavix::exporting
