#include "exchange/wave_image.h"

#include <bit>
#include <cstring>
#include <utility>

namespace quavix {
namespace {

void PutU16(std::uint8_t* at, std::uint32_t value) {
  at[0] = static_cast<std::uint8_t>(value);
  at[1] = static_cast<std::uint8_t>(value >> 8);
}

void PutU32(std::uint8_t* at, std::uint32_t value) {
  at[0] = static_cast<std::uint8_t>(value);
  at[1] = static_cast<std::uint8_t>(value >> 8);
  at[2] = static_cast<std::uint8_t>(value >> 16);
  at[3] = static_cast<std::uint8_t>(value >> 24);
}

void PutTag(std::uint8_t* at, const char (&tag)[5]) {
  for (int i = 0; i < 4; ++i) {
    at[i] = static_cast<std::uint8_t>(tag[i]);
  }
}

}  // namespace

std::uint32_t WaveCapacityBytes(std::uint32_t bufferSeconds) {
  return 2 * BufferSamples(bufferSeconds);
}

std::array<std::uint8_t, kWaveHeaderSize> WaveHeader(const SynthParams& params, std::uint32_t dataBytes) {
  // Byte rate and block align are truncating signed 32-bit divisions; the
  // product wraps as 32-bit arithmetic would.
  const auto product = static_cast<std::int32_t>(static_cast<std::uint32_t>(params.SampleRate) *
                                                 static_cast<std::uint32_t>(params.BitsPerSample));
  const std::int32_t byteRate = product / 8;
  const std::int32_t blockAlign = params.BitsPerSample / 8;

  std::array<std::uint8_t, kWaveHeaderSize> bytes{};
  std::uint8_t* header = bytes.data();
  PutTag(header + 0, "RIFF");
  PutU32(header + 4, dataBytes + 36u);
  PutTag(header + 8, "WAVE");
  PutTag(header + 12, "fmt ");
  PutU32(header + 16, 16);
  PutU16(header + 20, 1);  // PCM
  PutU16(header + 22, 1);  // mono
  PutU32(header + 24, static_cast<std::uint32_t>(params.SampleRate));
  PutU32(header + 28, static_cast<std::uint32_t>(byteRate));
  PutU16(header + 32, static_cast<std::uint32_t>(blockAlign));
  PutU16(header + 34, static_cast<std::uint32_t>(params.BitsPerSample));
  PutTag(header + 36, "data");
  PutU32(header + 40, dataBytes);
  return bytes;
}

void WriteWaveImage(std::uint8_t* image, const SynthParams& params, const std::int16_t* samples,
                    std::size_t count) {
  std::uint8_t* data = image + kWaveHeaderSize;
  const std::size_t bytes = 2 * count;
  // Copied as bytes (memmove: the samples may overlap the image), then put in
  // little-endian order; the header goes last, over any sample bytes that
  // started inside it.
  if (bytes != 0 && static_cast<const void*>(samples) != data) std::memmove(data, samples, bytes);
  if constexpr (std::endian::native == std::endian::big) {
    for (std::size_t i = 0; i < bytes; i += 2) std::swap(data[i], data[i + 1]);
  }
  const auto header = WaveHeader(params, static_cast<std::uint32_t>(bytes));
  std::memcpy(image, header.data(), header.size());
}

std::vector<std::uint8_t> BuildWaveImage(const SynthParams& params, const std::int16_t* samples,
                                         std::size_t count) {
  std::vector<std::uint8_t> image(kWaveHeaderSize + 2 * count);
  WriteWaveImage(image.data(), params, samples, count);
  return image;
}

}  // namespace quavix
