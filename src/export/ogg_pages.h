// libsndfile gives every Ogg stream it writes a random serial number, so the
// same sound would make a different file on every run. The tool puts its own
// serial number, derived from the sound, into every page and computes each
// page's checksum again: the same sound always gives the same bytes.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace quavix::exporting {

// The Ogg page checksum (CRC-32, polynomial 0x04c11db7, no reflection, initial
// value 0) of bytes.
std::uint32_t OggChecksum(std::span<const std::uint8_t> bytes);

// Sets the serial number of every page of a single-stream Ogg file and
// recomputes each page's checksum. Pages are taken as they come; bytes that
// are not a page end the rewrite.
void SetOggSerial(std::vector<std::uint8_t>& bytes, std::uint32_t serial);

// FNV-1a over the samples' bytes: the serial number of the sound's stream.
std::uint32_t SerialOfSamples(std::span<const float> samples);

}  // namespace quavix::exporting
