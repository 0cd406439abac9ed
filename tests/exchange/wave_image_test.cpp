// The RIFF/WAVE image: capacity, the 44-byte header and the samples.
#include "exchange/wave_image.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace quavix {
namespace {

// The little-endian number of size bytes at offset at.
std::uint32_t LE(const std::vector<std::uint8_t>& b, std::size_t at, int size) {
  std::uint32_t value = 0;
  for (int k = size - 1; k >= 0; --k) value = value << 8 | b[at + std::size_t(k)];
  return value;
}

TEST(WaveImage, CapacityIsTheBufferLengthTimes82000UpTo60) {
  const std::pair<std::uint32_t, std::uint32_t> cases[] = {
      {0, 0}, {1, 82000}, {59, 4838000}, {60, 4920000}, {61, 4920000}, {0xFFFFFFFFu, 4920000}};
  for (const auto& [seconds, bytes] : cases) EXPECT_EQ(WaveCapacityBytes(seconds), bytes);
}

// The fields of three headers: the defaults' with 10 bytes of samples, and for a sample rate of
// -44101 with 12 and -12 bits, where the byte rate R * bits / 8 and the block size bits / 8
// truncate toward zero (-529212 / 8 = -66151.5, 12 / 8 = 1.5, -12 / 8 = -1.5).
TEST(WaveImage, HeaderFieldsThenLittleEndianSamples) {
  const std::vector<std::int16_t> samples = {1, -1, 32767, -32768, 0};
  const auto image = BuildWaveImage(DefaultParams(), samples.data(), samples.size());
  ASSERT_EQ(image.size(), 44u + 10u);
  EXPECT_EQ(std::string(image.begin(), image.begin() + 16),
            std::string("RIFF\x2e\0\0\0WAVEfmt ", 16));
  EXPECT_EQ(std::vector<std::uint8_t>(image.begin() + 44, image.end()),
            (std::vector<std::uint8_t>{1, 0, 0xFF, 0xFF, 0xFF, 0x7F, 0, 0x80, 0, 0}));
  SynthParams odd = DefaultParams();
  odd.SampleRate = -44101;
  odd.BitsPerSample = 12;
  std::vector<std::uint8_t> header12(44), headerMinus12(44);
  WriteWaveHeader(header12.data(), odd, 410000);  // the size of a full default buffer
  odd.BitsPerSample = -12;
  WriteWaveHeader(headerMinus12.data(), odd, 0);
  struct Field {
    std::size_t At;
    int Size;
    std::uint32_t Default, Bits12, BitsMinus12;
  };
  const Field fields[] = {{4, 4, 10 + 36, 410000 + 36, 36},             // RIFF size
                          {16, 4, 16, 16, 16},                          // fmt size
                          {20, 2, 1, 1, 1},                             // PCM
                          {22, 2, 1, 1, 1},                             // mono
                          {24, 4, 44100, 0xFFFF53BB, 0xFFFF53BB},       // -44101
                          {28, 4, 88200, 0xFFFEFD99, 66151},            // -66151
                          {32, 2, 2, 1, 0xFFFF},                        // -1, low 16 bits
                          {34, 2, 16, 12, 0xFFF4},                      // -12, low 16 bits
                          {36, 4, 0x61746164, 0x61746164, 0x61746164},  // "data"
                          {40, 4, 10, 410000, 0}};
  for (const Field& f : fields) {
    EXPECT_EQ(LE(image, f.At, f.Size), f.Default) << "offset " << f.At;
    EXPECT_EQ(LE(header12, f.At, f.Size), f.Bits12) << "offset " << f.At;
    EXPECT_EQ(LE(headerMinus12, f.At, f.Size), f.BitsMinus12) << "offset " << f.At;
  }
}

}  // namespace
}  // namespace quavix
