#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "exchange/wave_image.h"

namespace quavix {
namespace {

std::uint32_t U32At(const std::vector<std::uint8_t>& b, std::size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}
std::uint32_t U16At(const std::vector<std::uint8_t>& b, std::size_t at) {
  return b[at] | (b[at + 1] << 8);
}
std::string TagAt(const std::vector<std::uint8_t>& b, std::size_t at) {
  return std::string(reinterpret_cast<const char*>(b.data() + at), 4);
}

// --- Capacity ---------------------------------------------------------------

TEST(WaveCapacity, BufferLengthTimes82000CappedAt60) {
  EXPECT_EQ(WaveCapacityBytes(5), 410000u);
  EXPECT_EQ(WaveCapacityBytes(0), 0u);
  EXPECT_EQ(WaveCapacityBytes(60), 4920000u);
  EXPECT_EQ(WaveCapacityBytes(61), 4920000u);
  EXPECT_EQ(WaveCapacityBytes(0xFFFFFFFFu), 4920000u);
}

// --- Header -----------------------------------------------------------------

TEST(WaveHeader, FieldsForDefaultParameters) {
  const std::vector<std::int16_t> samples = {1, -1, 32767, -32768, 0};
  const auto image = BuildWaveImage(DefaultParams(), samples.data(), samples.size());
  ASSERT_EQ(image.size(), 44u + 10u);
  EXPECT_EQ(TagAt(image, 0), "RIFF");
  EXPECT_EQ(U32At(image, 4), 10u + 36u);
  EXPECT_EQ(TagAt(image, 8), "WAVE");
  EXPECT_EQ(TagAt(image, 12), "fmt ");
  EXPECT_EQ(U32At(image, 16), 16u);
  EXPECT_EQ(U16At(image, 20), 1u);
  EXPECT_EQ(U16At(image, 22), 1u);
  EXPECT_EQ(U32At(image, 24), 44100u);
  EXPECT_EQ(U32At(image, 28), 88200u);
  EXPECT_EQ(U16At(image, 32), 2u);
  EXPECT_EQ(U16At(image, 34), 16u);
  EXPECT_EQ(TagAt(image, 36), "data");
  EXPECT_EQ(U32At(image, 40), 10u);
  const std::vector<std::uint8_t> data(image.begin() + 44, image.end());
  EXPECT_EQ(data, (std::vector<std::uint8_t>{0x01, 0x00, 0xFF, 0xFF, 0xFF, 0x7F, 0x00, 0x80,
                                             0x00, 0x00}));
}

TEST(WaveHeader, FullDefaultBuffer) {
  std::vector<std::uint8_t> header(44);
  WriteWaveHeader(header.data(), DefaultParams(), 410000);
  EXPECT_EQ(U32At(header, 4), 410036u);
  EXPECT_EQ(U32At(header, 40), 410000u);
}

TEST(WaveHeader, DivisionsTruncateTowardZero) {
  SynthParams p = DefaultParams();
  p.SampleRate = -44101;
  p.BitsPerSample = 12;
  std::vector<std::uint8_t> header(44);
  WriteWaveHeader(header.data(), p, 0);
  // -529212 / 8 = -66151.5, truncated to -66151 (not -66152).
  EXPECT_EQ(static_cast<std::int32_t>(U32At(header, 28)), -66151);
  EXPECT_EQ(U16At(header, 32), 1u);  // 12 / 8
  EXPECT_EQ(U16At(header, 34), 12u);
  p.BitsPerSample = -12;
  WriteWaveHeader(header.data(), p, 0);
  EXPECT_EQ(U16At(header, 32), 0xFFFFu);  // -1, low 16 bits
  EXPECT_EQ(U16At(header, 34), 0xFFF4u);  // -12, low 16 bits
}

}  // namespace
}  // namespace quavix
