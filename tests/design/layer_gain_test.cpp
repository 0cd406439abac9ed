// Every layer gain against 10^(tenths / 200) evaluated with 256 bits and
// rounded once to float. With --print it writes the table for
// src/design/layer_gain.cpp instead.
#include <gtest/gtest.h>
#include <mpfr.h>

#include <cstdio>
#include <cstring>

#include "design/layered_sound.h"

namespace quavix {
namespace {

float NearestGain(std::int32_t tenths) {
  mpfr_t x;
  mpfr_init2(x, 256);
  mpfr_set_si(x, tenths, MPFR_RNDN);
  mpfr_div_ui(x, x, 200, MPFR_RNDN);
  mpfr_exp10(x, x, MPFR_RNDN);
  const float nearest = mpfr_get_flt(x, MPFR_RNDN);
  mpfr_clear(x);
  return nearest;
}

TEST(LayerGain, EachTenthOfADecibelIsTheNearestFloat) {
  for (std::int32_t tenths = kMinGainTenths; tenths <= kMaxGainTenths; ++tenths) {
    EXPECT_EQ(LayerGain(tenths), NearestGain(tenths)) << tenths << " tenths of a dB";
  }
  // The round figures, and nothing outside the range.
  EXPECT_EQ(LayerGain(0), 1.0f);
  EXPECT_EQ(LayerGain(-200), 0.1f);
  EXPECT_EQ(LayerGain(-600), 0.001f);
  EXPECT_EQ(LayerGain(kMinGainTenths - 1), 0.0f);
  EXPECT_EQ(LayerGain(kMaxGainTenths + 1), 0.0f);
}

}  // namespace
}  // namespace quavix

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--print") == 0) {
    for (std::int32_t t = quavix::kMinGainTenths; t <= quavix::kMaxGainTenths; ++t) {
      std::printf("%s%af,%s", (t - quavix::kMinGainTenths) % 4 == 0 ? "    " : "",
                  static_cast<double>(quavix::NearestGain(t)),
                  (t - quavix::kMinGainTenths) % 4 == 3 || t == quavix::kMaxGainTenths ? "\n" : " ");
    }
    return 0;
  }
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
