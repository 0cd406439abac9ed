// The RIFF/WAVE image: capacity, the 44-byte header and the samples.
#include "exchange/wave_image.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quavix {
namespace {

std::uint32_t LE(const std::vector<std::uint8_t>& b, std::size_t at, int size) {
  std::uint32_t value = 0;
  for (int k = size - 1; k >= 0; --k) value = value << 8 | b[at + std::size_t(k)];
  return value;
}

TEST(WaveImage, CapacityIsTheBufferLengthTimes82000UpTo60) {
  struct Case {
    std::uint32_t Seconds;
    std::uint32_t Bytes;
  };
  for (const Case& c : {Case{0, 0}, Case{1, 82000}, Case{5, 410000}, Case{59, 4838000},
                        Case{60, 4920000}, Case{61, 4920000}, Case{0xFFFFFFFFu, 4920000}}) {
    EXPECT_EQ(WaveCapacityBytes(c.Seconds), c.Bytes) << c.Seconds;
  }
}

TEST(WaveImage, HeaderFieldsThenLittleEndianSamples) {
  const std::vector<std::int16_t> samples = {1, -1, 32767, -32768, 0};
  const auto image = BuildWaveImage(DefaultParams(), samples.data(), samples.size());
  ASSERT_EQ(image.size(), 44u + 10u);
  EXPECT_EQ(std::string(image.begin(), image.begin() + 16),
            std::string("RIFF\x2e\0\0\0WAVEfmt ", 16));
  struct Field {
    std::size_t At;
    int Size;
    std::uint32_t Value;
  };
  for (const Field& f : {Field{16, 4, 16}, Field{20, 2, 1}, Field{22, 2, 1}, Field{24, 4, 44100},
                         Field{28, 4, 88200}, Field{32, 2, 2}, Field{34, 2, 16},
                         Field{36, 4, 0x61746164 /* "data" */}, Field{40, 4, 10}}) {
    EXPECT_EQ(LE(image, f.At, f.Size), f.Value) << "offset " << f.At;
  }
  EXPECT_EQ(
      std::vector<std::uint8_t>(image.begin() + 44, image.end()),
      (std::vector<std::uint8_t>{0x01, 0x00, 0xFF, 0xFF, 0xFF, 0x7F, 0x00, 0x80, 0x00, 0x00}));
  std::vector<std::uint8_t> header(44);
  WriteWaveHeader(header.data(), DefaultParams(), 410000);  // a full default buffer
  EXPECT_EQ(LE(header, 4, 4), 410036u);
  EXPECT_EQ(LE(header, 40, 4), 410000u);
}

TEST(WaveImage, DivisionsByEightTruncateTowardZero) {
  SynthParams p = DefaultParams();
  p.SampleRate = -44101;
  p.BitsPerSample = 12;
  std::vector<std::uint8_t> header(44);
  WriteWaveHeader(header.data(), p, 0);
  EXPECT_EQ(static_cast<std::int32_t>(LE(header, 28, 4)), -66151);  // -529212 / 8 = -66151.5
  EXPECT_EQ(LE(header, 32, 2), 1u);                                 // 12 / 8
  EXPECT_EQ(LE(header, 34, 2), 12u);
  p.BitsPerSample = -12;
  WriteWaveHeader(header.data(), p, 0);
  EXPECT_EQ(LE(header, 32, 2), 0xFFFFu);  // -1, low 16 bits
  EXPECT_EQ(LE(header, 34, 2), 0xFFF4u);  // -12, low 16 bits
}

}  // namespace
}  // namespace quavix
