#include "export/sound_encoding.h"

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>

namespace quavix::exporting {
namespace {

// A file in memory for libsndfile's virtual I/O.
struct MemoryFile {
  std::vector<std::uint8_t> Bytes;
  sf_count_t Position = 0;
};

MemoryFile& Of(void* user) { return *static_cast<MemoryFile*>(user); }

sf_count_t Length(void* user) { return static_cast<sf_count_t>(Of(user).Bytes.size()); }

sf_count_t Seek(sf_count_t offset, int whence, void* user) {
  MemoryFile& f = Of(user);
  const sf_count_t base = whence == SEEK_CUR ? f.Position : whence == SEEK_END ? Length(user) : 0;
  const sf_count_t to = base + offset;
  if (to < 0) return -1;
  f.Position = to;
  return to;
}

sf_count_t Read(void* ptr, sf_count_t count, void* user) {
  MemoryFile& f = Of(user);
  const sf_count_t size = Length(user);
  const sf_count_t n = std::max<sf_count_t>(0, std::min(count, size - f.Position));
  if (n > 0) std::memcpy(ptr, f.Bytes.data() + f.Position, static_cast<std::size_t>(n));
  f.Position += n;
  return n;
}

sf_count_t Write(const void* ptr, sf_count_t count, void* user) {
  MemoryFile& f = Of(user);
  const auto end = static_cast<std::size_t>(f.Position + count);
  if (end > f.Bytes.size()) f.Bytes.resize(end);
  std::memcpy(f.Bytes.data() + f.Position, ptr, static_cast<std::size_t>(count));
  f.Position += count;
  return count;
}

sf_count_t Tell(void* user) { return Of(user).Position; }

SF_VIRTUAL_IO gMemoryIo{Length, Seek, Read, Write, Tell};

int BitCount(SampleBits bits) {
  switch (bits) {
    case SampleBits::Int8: return 8;
    case SampleBits::Int24: return 24;
    case SampleBits::Float32: return 32;
    case SampleBits::Int16: break;
  }
  return 16;
}

int FormatWord(FileFormat format, SampleBits bits) {
  if (format == FileFormat::Ogg) return SF_FORMAT_OGG | SF_FORMAT_VORBIS;
  const int container = format == FileFormat::Wav ? SF_FORMAT_WAV
                        : format == FileFormat::Flac ? SF_FORMAT_FLAC
                                                     : (SF_FORMAT_RAW | SF_ENDIAN_LITTLE);
  switch (bits) {
    case SampleBits::Int8: return container | (format == FileFormat::Wav ? SF_FORMAT_PCM_U8 : SF_FORMAT_PCM_S8);
    case SampleBits::Int24: return container | SF_FORMAT_PCM_24;
    case SampleBits::Float32: return container | SF_FORMAT_FLOAT;
    case SampleBits::Int16: break;
  }
  return container | SF_FORMAT_PCM_16;
}

[[noreturn]] void Fail(SNDFILE* sf, const char* what) {
  throw std::runtime_error(std::string(what) + ": " + sf_strerror(sf));
}

bool Decode(SNDFILE* sf, const SF_INFO& info, DecodedSound& sound) {
  sound.Channels = info.channels;
  sound.Rate = info.samplerate;
  sound.Format = info.format;
  sound.Samples.resize(static_cast<std::size_t>(info.frames) * static_cast<std::size_t>(info.channels));
  const sf_count_t read = sf_readf_float(sf, sound.Samples.data(), info.frames);
  sound.Samples.resize(static_cast<std::size_t>(std::max<sf_count_t>(0, read)) *
                       static_cast<std::size_t>(info.channels));
  return true;
}

}  // namespace

std::int32_t QuantizeSample(float x, int bits, bool& clipped) {
  const double scale = std::ldexp(1.0, bits - 1);
  double v = std::round(static_cast<double>(x) * scale);  // half away from zero
  clipped = !(v >= -scale && v <= scale - 1);
  if (!(v >= -scale)) v = -scale;  // NaN included
  if (v > scale - 1) v = scale - 1;
  return static_cast<std::int32_t>(v);
}

EncodedSound EncodeSound(std::span<const float> samples, int rate, FileFormat format, SampleBits bits) {
  EncodedSound out;
  MemoryFile file;
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = 1;
  info.format = FormatWord(format, bits);
  SNDFILE* sf = sf_open_virtual(&gMemoryIo, SFM_WRITE, &info, &file);
  if (sf == nullptr) Fail(nullptr, "cannot encode the sound");
  if (format == FileFormat::Ogg) {
    double quality = kVorbisQuality;
    sf_command(sf, SFC_SET_VBR_ENCODING_QUALITY, &quality, sizeof quality);
  }
  const auto frames = static_cast<sf_count_t>(samples.size());
  sf_count_t written = 0;
  if (format == FileFormat::Ogg || bits == SampleBits::Float32) {
    written = sf_writef_float(sf, samples.data(), frames);
    out.Stored.assign(samples.begin(), samples.end());
  } else {
    const int n = BitCount(bits);
    std::vector<int> ints(samples.size());
    out.Stored.resize(samples.size());
    for (std::size_t i = 0; i < samples.size(); ++i) {
      bool clipped = false;
      const std::int32_t v = QuantizeSample(samples[i], n, clipped);
      out.Clipped += clipped ? 1 : 0;
      out.Stored[i] = static_cast<float>(std::ldexp(static_cast<double>(v), 1 - n));
      // libsndfile takes ints at 32-bit full scale and keeps their top n bits.
      ints[i] = static_cast<int>(static_cast<std::uint32_t>(v) << (32 - n));
    }
    written = sf_writef_int(sf, ints.data(), frames);
  }
  if (written != frames) Fail(sf, "cannot encode the sound");
  if (sf_close(sf) != 0) Fail(nullptr, "cannot encode the sound");
  out.Bytes = std::move(file.Bytes);
  if (format == FileFormat::Ogg) {
    // Lossy: measure what a player will decode.
    MemoryFile back{out.Bytes, 0};
    SF_INFO readInfo{};
    SNDFILE* in = sf_open_virtual(&gMemoryIo, SFM_READ, &readInfo, &back);
    if (in == nullptr) Fail(nullptr, "cannot decode the encoded sound");
    DecodedSound decoded;
    Decode(in, readInfo, decoded);
    sf_close(in);
    out.Stored = std::move(decoded.Samples);
  }
  return out;
}

bool LooksLikeSoundFile(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < 4) return false;
  const std::string magic(bytes.begin(), bytes.begin() + 4);
  return magic == "RIFF" || magic == "RF64" || magic == "fLaC" || magic == "OggS";
}

bool ReadSoundFile(const std::string& path, DecodedSound& sound, std::string& error) {
  SF_INFO info{};
  SNDFILE* sf = sf_open(path.c_str(), SFM_READ, &info);
  if (sf == nullptr) {
    error = sf_strerror(nullptr);
    return false;
  }
  if (info.channels <= 0 || info.samplerate <= 0) {
    sf_close(sf);
    error = "no channels or no sample rate";
    return false;
  }
  Decode(sf, info, sound);
  sf_close(sf);
  return true;
}

std::string DescribeFormat(int format) {
  const int major = format & SF_FORMAT_TYPEMASK;
  const int sub = format & SF_FORMAT_SUBMASK;
  std::string name = major == SF_FORMAT_WAV ? "WAV" : major == SF_FORMAT_FLAC ? "FLAC" : major == SF_FORMAT_OGG ? "Ogg" : "other";
  switch (sub) {
    case SF_FORMAT_PCM_U8:
    case SF_FORMAT_PCM_S8: return name + ", 8-bit";
    case SF_FORMAT_PCM_16: return name + ", 16-bit";
    case SF_FORMAT_PCM_24: return name + ", 24-bit";
    case SF_FORMAT_PCM_32: return name + ", 32-bit";
    case SF_FORMAT_FLOAT: return name + ", 32-bit float";
    case SF_FORMAT_DOUBLE: return name + ", 64-bit float";
    case SF_FORMAT_VORBIS: return name + " Vorbis";
    case SF_FORMAT_OPUS: return name + " Opus";
    default: return name;
  }
}

}  // namespace quavix::exporting
