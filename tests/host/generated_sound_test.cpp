// GenLength and GenWave read the wave buffer of the last generation.
#include <gtest/gtest.h>

#include <limits>
#include <vector>

#include "exchange/wave_image.h"
#include "host/generated_sound.h"

namespace quavix::host {
namespace {

TEST(GeneratedSound, LengthIsHalfTheByteCount) {
  EXPECT_EQ(GeneratedLength(0), 0);
  EXPECT_EQ(GeneratedLength(410000), 205000);
  EXPECT_EQ(GeneratedLength(7), 3);
}

TEST(GeneratedSound, SampleBoundsAndScale) {
  const std::vector<std::int16_t> samples = {32767, -32768, 16000, 0, -8};
  const auto image = BuildWaveImage(DefaultParams(), samples.data(), samples.size());
  const std::uint32_t lastLength = 2 * 5;
  EXPECT_EQ(GeneratedSample(image.data(), lastLength, 0), 1.0239687f);
  EXPECT_EQ(GeneratedSample(image.data(), lastLength, 1), -1.024f);
  EXPECT_EQ(GeneratedSample(image.data(), lastLength, 2), 0.5f);
  EXPECT_EQ(GeneratedSample(image.data(), lastLength, 4), -0.00025f);  // last sample
  EXPECT_EQ(GeneratedSample(image.data(), lastLength, 5), 0.0f);
  EXPECT_EQ(GeneratedSample(image.data(), lastLength, -1), 0.0f);
  EXPECT_EQ(GeneratedSample(image.data(), lastLength, std::numeric_limits<std::int32_t>::min()),
            0.0f);
}

TEST(GeneratedSound, NothingBeforeTheFirstGeneration) {
  std::vector<std::uint8_t> buffer(44 + 100, 0x7F);
  EXPECT_EQ(GeneratedLength(0), 0);
  EXPECT_EQ(GeneratedSample(buffer.data(), 0, 0), 0.0f);
  EXPECT_EQ(GeneratedSample(buffer.data(), 0, 10), 0.0f);
}

}  // namespace
}  // namespace quavix::host
