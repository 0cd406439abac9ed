#include "export/sound_file_header.h"

#include <array>
#include <cstring>
#include <vector>

#include "export/loudness.h"
#include "export/ogg_pages.h"

namespace quavix::exporting {
namespace {

constexpr const char* kNotASoundFile =
    "it is not a sound file this tool reads (WAV, RF64, FLAC, Ogg, AIFF, AU, CAF or Wave64)";

std::uint32_t Le32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
std::uint16_t Le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }
std::uint64_t Le64(const std::uint8_t* p) { return Le32(p) | static_cast<std::uint64_t>(Le32(p + 4)) << 32; }
std::uint32_t Be24(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) << 16 | static_cast<std::uint32_t>(p[1]) << 8 | p[2];
}

// "" when channels and rate are ones a sound can have.
std::string CheckShape(std::uint64_t channels, std::uint64_t rate) {
  if (channels == 0) return "its header gives 0 channels";
  if (channels > static_cast<std::uint64_t>(kMostChannels)) {
    return "its header gives " + std::to_string(channels) + " channels (at most " + std::to_string(kMostChannels) +
           " are read)";
  }
  if (rate == 0) return "its header gives a sample rate of 0 Hz";
  if (rate < static_cast<std::uint64_t>(kLowestRate) || rate > static_cast<std::uint64_t>(kHighestRate)) {
    return "its header gives a sample rate of " + std::to_string(rate) + " Hz, which no sound has (" +
           std::to_string(kLowestRate) + " to " + std::to_string(kHighestRate) + " Hz are read)";
  }
  return "";
}

std::string CutShort(std::uint64_t declared, std::uint64_t held, const char* what) {
  return std::string("its ") + what + " declares " + std::to_string(declared) + " bytes but the file holds " +
         std::to_string(held) + ": it is cut short";
}

void InspectWav(const ReadAt& read, std::uint64_t size, bool rf64, SoundFileHeader& h) {
  std::uint8_t head[12];
  if (read(0, head, 12) < 12 || std::memcmp(head + 8, "WAVE", 4) != 0) {
    h.Problem = "it starts like a RIFF file but is not a WAVE file";
    return;
  }
  bool haveFormat = false;
  std::uint16_t formatTag = 0, channels = 0, blockAlign = 0, bits = 0;
  std::uint32_t rate = 0;
  std::uint64_t ds64Data = 0;
  std::uint64_t at = 12;
  for (int chunks = 0; chunks < 4096 && at + 8 <= size; ++chunks) {
    std::uint8_t chunk[8];
    if (read(at, chunk, 8) < 8) break;
    std::uint64_t length = Le32(chunk + 4);
    const std::uint64_t body = at + 8;
    if (std::memcmp(chunk, "ds64", 4) == 0 && length >= 16) {
      std::uint8_t sizes[16];
      if (read(body, sizes, 16) == 16) ds64Data = Le64(sizes + 8);
    } else if (std::memcmp(chunk, "fmt ", 4) == 0) {
      std::uint8_t fmt[16];
      if (length < 16 || read(body, fmt, 16) < 16) {
        h.Problem = "its format chunk is cut short";
        return;
      }
      haveFormat = true;
      formatTag = Le16(fmt);
      channels = Le16(fmt + 2);
      rate = Le32(fmt + 4);
      blockAlign = Le16(fmt + 12);
      bits = Le16(fmt + 14);
    } else if (std::memcmp(chunk, "data", 4) == 0) {
      if (!haveFormat) {
        h.Problem = "its data come before its format chunk";
        return;
      }
      if (rf64 && length == 0xffffffffu) length = ds64Data;
      const std::uint64_t held = size - body;
      h.HasAudioData = held > 0;
      if (blockAlign > 0) h.DeclaredFrames = length / blockAlign;
      if (length > held) h.Shortfall = CutShort(length, held, "data chunk");
      break;
    }
    at = body + length + (length & 1);
  }
  if (!haveFormat) {
    h.Problem = "it has no format chunk";
    return;
  }
  h.Problem = CheckShape(channels, rate);
  if (!h.Problem.empty()) return;
  constexpr std::uint16_t kPcm = 1, kFloat = 3, kExtensible = 0xfffe;
  if ((formatTag == kPcm || formatTag == kFloat || formatTag == kExtensible) && (bits == 0 || bits > 64)) {
    h.Problem = "its header gives " + std::to_string(bits) + " bits per sample";
  } else if (blockAlign == 0) {
    h.Problem = "its header gives a block size of 0 bytes";
  } else if (!h.DeclaredFrames && h.Problem.empty()) {
    h.Problem = "it has no data chunk";
  }
}

std::uint32_t Be32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) << 24 | Be24(p + 1);
}

// The frames an AIFF or AIFC file's COMM chunk declares, and whether its SSND
// chunk holds the bytes it declares; libsndfile reads the rest.
void InspectAiff(const ReadAt& read, std::uint64_t size, SoundFileHeader& h) {
  std::uint64_t at = 12;
  for (int chunks = 0; chunks < 4096 && at + 8 <= size; ++chunks) {
    std::uint8_t chunk[8];
    if (read(at, chunk, 8) < 8) break;
    const std::uint64_t length = Be32(chunk + 4);
    const std::uint64_t body = at + 8;
    if (std::memcmp(chunk, "COMM", 4) == 0 && length >= 18) {
      std::uint8_t comm[18];
      if (read(body, comm, 18) < 18) break;
      const unsigned channels = static_cast<unsigned>(comm[0] << 8 | comm[1]);
      // The rate is an 80-bit extended float: a 15-bit exponent, a 64-bit mantissa.
      const int shift = 16383 + 63 - ((comm[8] & 0x7f) << 8 | comm[9]);
      const std::uint64_t mantissa =
          static_cast<std::uint64_t>(Be32(comm + 10)) << 32 | Be32(comm + 14);
      const std::uint64_t rate = shift >= 0 && shift < 64 ? mantissa >> shift : 0;
      h.Problem = CheckShape(channels, rate);
      if (!h.Problem.empty()) return;
      h.DeclaredFrames = Be32(comm + 2);
    } else if (std::memcmp(chunk, "SSND", 4) == 0 && length >= 8) {
      const std::uint64_t held = size - body;
      h.HasAudioData = held > 8;
      if (length > held) h.Shortfall = CutShort(length, held, "SSND chunk");
    }
    at = body + length + (length & 1);
  }
  if (!h.DeclaredFrames)
    h.Problem = "it has no COMM chunk, which gives its channels, rate and frames";
}

void InspectFlac(const ReadAt& read, std::uint64_t size, SoundFileHeader& h) {
  std::uint8_t info[4 + 4 + 34];
  if (read(0, info, sizeof info) < sizeof info) {
    h.Problem = "it ends inside its stream information block";
    return;
  }
  if ((info[4] & 0x7f) != 0 || Be24(info + 5) != 34) {
    h.Problem = "it has no stream information block";
    return;
  }
  const std::uint8_t* s = info + 8;
  const unsigned minBlock = static_cast<unsigned>(s[0] << 8 | s[1]);
  const unsigned maxBlock = static_cast<unsigned>(s[2] << 8 | s[3]);
  const std::uint32_t rate = static_cast<std::uint32_t>(s[10]) << 12 | static_cast<std::uint32_t>(s[11]) << 4 | s[12] >> 4;
  const unsigned channels = ((s[12] >> 1) & 7u) + 1;
  const unsigned bits = ((s[12] & 1u) << 4 | s[13] >> 4) + 1;
  const std::uint64_t total = static_cast<std::uint64_t>(s[13] & 15u) << 32 | static_cast<std::uint64_t>(s[14]) << 24 |
                              static_cast<std::uint64_t>(s[15]) << 16 | static_cast<std::uint64_t>(s[16]) << 8 | s[17];
  h.Problem = CheckShape(channels, rate);
  if (!h.Problem.empty()) return;
  if (bits < 4) {
    h.Problem = "its header gives " + std::to_string(bits) + " bits per sample";
    return;
  }
  if (maxBlock < 16 || minBlock > maxBlock) {
    h.Problem = "its header gives blocks of " + std::to_string(minBlock) + " to " + std::to_string(maxBlock) +
                " samples";
    return;
  }
  if (total > 0) h.DeclaredFrames = total;
  // The metadata blocks, up to the one marked last.
  std::uint64_t at = 4;
  for (int blocks = 0; blocks < 4096; ++blocks) {
    std::uint8_t block[4];
    if (read(at, block, 4) < 4) {
      h.Problem = "it ends inside its metadata";
      return;
    }
    at += 4 + Be24(block + 1);
    if (at > size) {
      h.Problem = "it ends inside its metadata";
      return;
    }
    if ((block[0] & 0x80) != 0) break;
  }
  h.HasAudioData = at < size;
  if (h.DeclaredFrames && *h.DeclaredFrames > 0 && !h.HasAudioData) {
    h.Shortfall = "its header declares " + std::to_string(total) + " frames but the file ends after its metadata";
  }
}

void InspectOgg(const ReadAt& read, std::uint64_t size, SoundFileHeader& h) {
  std::uint64_t at = 0;
  bool first = true;
  bool ended = false;
  std::uint64_t lastGranule = 0;
  std::vector<std::uint8_t> body;
  while (at < size) {
    std::uint8_t page[27 + 255];
    if (read(at, page, 27) < 27 || std::memcmp(page, "OggS", 4) != 0 || page[4] != 0) break;
    const unsigned segments = page[26];
    if (read(at + 27, page + 27, segments) < segments) break;
    std::uint64_t length = 0;
    for (unsigned i = 0; i < segments; ++i) length += page[27 + i];
    const std::uint64_t start = at + 27 + segments;
    if (start + length > size) break;
    // libsndfile's Ogg reader leaks on some damaged streams: none reaches it.
    std::vector<std::uint8_t> whole(static_cast<std::size_t>(27 + segments + length));
    read(at, whole.data(), whole.size());
    const std::uint32_t stored = Le32(whole.data() + 22);
    std::memset(whole.data() + 22, 0, 4);
    if (OggChecksum(whole) != stored) {
      h.Problem = "its page at byte " + std::to_string(at) + " is damaged (its checksum does not match)";
      return;
    }
    if (first) {
      first = false;
      body.resize(static_cast<std::size_t>(std::min<std::uint64_t>(length, 30)));
      read(start, body.data(), body.size());
      if (body.size() >= 16 && std::memcmp(body.data(), "\x01vorbis", 7) == 0) {
        h.Problem = CheckShape(body[11], Le32(body.data() + 12));
        if (!h.Problem.empty()) return;
      }
    }
    if ((page[5] & 4) != 0) ended = true;
    const std::uint64_t granule = Le64(page + 6);
    if (granule != ~std::uint64_t{0}) lastGranule = granule;
    h.HasAudioData = h.HasAudioData || length > 0;
    at = start + length;
    if (ended) break;
  }
  if (first) {
    h.Problem = "its first page is damaged";
  } else if (!ended) {
    // libsndfile decodes no frame of such a stream (and leaks on some): refused here.
    h.Problem = "its stream breaks off after " + std::to_string(at) + " of " + std::to_string(size) +
                " bytes without its last page: it is cut short or damaged";
  } else {
    h.DeclaredFrames = lastGranule;
  }
}

}  // namespace

Container ContainerOf(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < 4) return Container::Unknown;
  const std::string magic(bytes.begin(), bytes.begin() + 4);
  if (magic == "RIFF" || magic == "RF64") return Container::Wav;
  if (magic == "fLaC") return Container::Flac;
  if (magic == "OggS") return Container::Ogg;
  const bool aiff =
      magic == "FORM" && bytes.size() >= 12 &&
      (std::memcmp(&bytes[8], "AIFF", 4) == 0 || std::memcmp(&bytes[8], "AIFC", 4) == 0);
  const bool mp3 = magic.starts_with("ID3") || (bytes[0] == 0xff && (bytes[1] & 0xe0) == 0xe0);
  if (mp3) return Container::Mp3;
  if (aiff || magic == ".snd" || magic == "caff" || magic == "riff") return Container::Other;
  return Container::Unknown;
}

SoundFileHeader InspectSoundFile(const ReadAt& read, std::uint64_t size) {
  SoundFileHeader h;
  std::array<std::uint8_t, 12> magic{};
  const std::size_t got = read(0, magic.data(), magic.size());
  if (got < 4) {
    h.Problem = kNotASoundFile;
    return h;
  }
  h.Kind = ContainerOf(std::span<const std::uint8_t>(magic.data(), got));
  switch (h.Kind) {
    case Container::Wav:
      InspectWav(read, size, magic[1] == 'F', h);
      break;
    case Container::Flac:
      InspectFlac(read, size, h);
      break;
    case Container::Ogg:
      InspectOgg(read, size, h);
      break;
    case Container::Other:
      if (std::memcmp(magic.data(), "FORM", 4) == 0) {
        InspectAiff(read, size, h);
      } else {
        h.HasAudioData = size > got;  // libsndfile alone reads the header
      }
      break;
    case Container::Mp3:
      h.Problem =
          "it is an MP3 file, which this tool does not read (WAV, RF64, FLAC, Ogg, AIFF, AU, CAF "
          "and "
          "Wave64 are read)";
      break;
    case Container::Unknown:
      h.Problem = kNotASoundFile;
      break;
  }
  return h;
}

}  // namespace quavix::exporting
