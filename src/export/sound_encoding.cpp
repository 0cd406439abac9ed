#include "export/sound_encoding.h"

#include <FLAC/stream_encoder.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <stdexcept>

#include "export/ogg_pages.h"

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

// Decodes our own encoded Ogg file to measure what a player hears.
// The encoders get the sound in blocks of a bounded size. The Vorbis encoder
// reads its first block to extrapolate the start, with a work buffer of that
// block's size on the stack: a long sound at a high rate in one call overflows
// the stack. The first block also shapes the Vorbis bytes, so it is as large as
// is safe: every sound up to 524,288 frames (a default 5-second buffer at up to
// 96 kHz) is encoded in one call, as it always was.
constexpr sf_count_t kEncodeBlockFrames = sf_count_t{1} << 19;  // 2 MiB of floats

template <typename Sample, typename Write>
sf_count_t WriteInBlocks(SNDFILE* sf, const Sample* samples, sf_count_t frames, Write write) {
  sf_count_t written = 0;
  while (written < frames) {
    const sf_count_t block = std::min(kEncodeBlockFrames, frames - written);
    const sf_count_t n = write(sf, samples + written, block);
    written += n > 0 ? n : 0;
    if (n != block) break;
  }
  return written;
}

std::vector<float> DecodeAll(SNDFILE* sf, int channels) {
  std::vector<float> samples;
  std::vector<float> chunk(4096 * static_cast<std::size_t>(channels));
  for (;;) {
    const sf_count_t n = sf_readf_float(sf, chunk.data(), 4096);
    if (n <= 0) break;
    samples.insert(samples.end(), chunk.begin(), chunk.begin() + n * channels);
  }
  return samples;
}

FLAC__StreamEncoderWriteStatus AppendFlac(const FLAC__StreamEncoder*, const FLAC__byte buffer[], size_t bytes,
                                          uint32_t, uint32_t, void* user) {
  auto& out = *static_cast<std::vector<std::uint8_t>*>(user);
  out.insert(out.end(), buffer, buffer + bytes);
  return FLAC__STREAM_ENCODER_WRITE_STATUS_OK;
}

// libsndfile writes nothing at all for a FLAC file without samples; libFLAC
// writes the header of an empty stream, which every reader takes.
std::vector<std::uint8_t> EmptyFlac(int rate, int bits) {
  std::vector<std::uint8_t> bytes;
  FLAC__StreamEncoder* encoder = FLAC__stream_encoder_new();
  if (encoder == nullptr) throw std::bad_alloc();
  FLAC__stream_encoder_set_channels(encoder, 1);
  FLAC__stream_encoder_set_bits_per_sample(encoder, static_cast<uint32_t>(bits));
  FLAC__stream_encoder_set_sample_rate(encoder, static_cast<uint32_t>(rate));
  FLAC__stream_encoder_set_total_samples_estimate(encoder, 0);
  const bool made = FLAC__stream_encoder_init_stream(encoder, AppendFlac, nullptr, nullptr, nullptr, &bytes) ==
                        FLAC__STREAM_ENCODER_INIT_STATUS_OK &&
                    FLAC__stream_encoder_finish(encoder);
  FLAC__stream_encoder_delete(encoder);
  if (!made) throw std::runtime_error("cannot encode the empty FLAC stream");
  return bytes;
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
  // A float WAV's PEAK chunk carries the time of writing: left out.
  sf_command(sf, SFC_SET_ADD_PEAK_CHUNK, nullptr, SF_FALSE);
  const auto frames = static_cast<sf_count_t>(samples.size());
  sf_count_t written = 0;
  if (format == FileFormat::Ogg || bits == SampleBits::Float32) {
    written = WriteInBlocks(sf, samples.data(), frames, sf_writef_float);
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
    written = WriteInBlocks(sf, ints.data(), frames, sf_writef_int);
  }
  if (written != frames) Fail(sf, "cannot encode the sound");
  if (sf_close(sf) != 0) Fail(nullptr, "cannot encode the sound");
  out.Bytes = std::move(file.Bytes);
  if (format == FileFormat::Flac && frames == 0) out.Bytes = EmptyFlac(rate, BitCount(bits));
  if (format == FileFormat::Ogg) {
    SetOggSerial(out.Bytes, SerialOfSamples(samples));
    // Lossy: measure what a player will decode.
    MemoryFile back{out.Bytes, 0};
    SF_INFO readInfo{};
    SNDFILE* in = sf_open_virtual(&gMemoryIo, SFM_READ, &readInfo, &back);
    if (in == nullptr) Fail(nullptr, "cannot decode the encoded sound");
    out.Stored = DecodeAll(in, readInfo.channels);
    sf_close(in);
  }
  return out;
}

std::string DescribeFormat(int format) {
  const int sub = format & SF_FORMAT_SUBMASK;
  std::string name;
  switch (format & SF_FORMAT_TYPEMASK) {
    case SF_FORMAT_WAV:
      name = "WAV";
      break;
    case SF_FORMAT_WAVEX:
      name = "WAV (extensible)";
      break;
    case SF_FORMAT_RF64:
      name = "RF64 WAV";
      break;
    case SF_FORMAT_W64:
      name = "Wave64";
      break;
    case SF_FORMAT_FLAC:
      name = "FLAC";
      break;
    case SF_FORMAT_OGG:
      name = "Ogg";
      break;
    case SF_FORMAT_AIFF:
      name = "AIFF";
      break;
    case SF_FORMAT_AU:
      name = "AU";
      break;
    case SF_FORMAT_CAF:
      name = "CAF";
      break;
    case SF_FORMAT_MPEG:
      name = "MPEG";
      break;
    default:
      name = "other";
      break;
  }
  switch (sub) {
    case SF_FORMAT_PCM_U8:
    case SF_FORMAT_PCM_S8: return name + ", 8-bit";
    case SF_FORMAT_PCM_16: return name + ", 16-bit";
    case SF_FORMAT_PCM_24: return name + ", 24-bit";
    case SF_FORMAT_PCM_32: return name + ", 32-bit";
    case SF_FORMAT_FLOAT: return name + ", 32-bit float";
    case SF_FORMAT_DOUBLE: return name + ", 64-bit float";
    case SF_FORMAT_ULAW:
      return name + ", u-law";
    case SF_FORMAT_ALAW:
      return name + ", A-law";
    case SF_FORMAT_IMA_ADPCM:
      return name + ", IMA ADPCM";
    case SF_FORMAT_MS_ADPCM:
      return name + ", MS ADPCM";
    case SF_FORMAT_ALAC_16:
    case SF_FORMAT_ALAC_20:
    case SF_FORMAT_ALAC_24:
    case SF_FORMAT_ALAC_32:
      return name + ", Apple Lossless";
    case SF_FORMAT_VORBIS: return name + " Vorbis";
    case SF_FORMAT_OPUS: return name + " Opus";
    case SF_FORMAT_MPEG_LAYER_I:
      return name + " layer I";
    case SF_FORMAT_MPEG_LAYER_II:
      return name + " layer II";
    case SF_FORMAT_MPEG_LAYER_III:
      return "MP3";
    default: return name;
  }
}

}  // namespace quavix::exporting
