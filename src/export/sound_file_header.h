// What a WAV, FLAC or Ogg file's own header says, read before any library
// decodes it: a header no sound can have is refused here, and the frames the
// header declares are kept so that a file cut short can be told apart from a
// short sound.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>

namespace quavix::exporting {

// Other: AIFF, AU, CAF or Wave64, whose headers libsndfile reads (an AIFF's
// sizes are checked here too). Mp3: known, and refused (its decoder writes
// its complaints about a damaged stream straight to stderr).
enum class Container { Unknown, Wav, Flac, Ogg, Other, Mp3 };

// Bytes of the file from an offset: at most n, fewer at its end.
using ReadAt = std::function<std::size_t(std::uint64_t offset, std::uint8_t* into, std::size_t n)>;

struct SoundFileHeader {
  Container Kind = Container::Unknown;
  std::string Problem;                          // why no sound can be read from it; "" when it is plausible
  std::optional<std::uint64_t> DeclaredFrames;  // the frames the header declares, when it says
  std::string Shortfall;                        // the header promises data the file does not hold
  bool HasAudioData = false;                    // bytes follow the header
};

// The container that bytes start like, from their first twelve (four for most).
Container ContainerOf(std::span<const std::uint8_t> bytes);

// Reads the header of a file of size bytes through read.
SoundFileHeader InspectSoundFile(const ReadAt& read, std::uint64_t size);

}  // namespace quavix::exporting
