// Properties of the synthesis over thousands of random parameter sets.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "param_generator.h"
#include "synth/synthesizer.h"

namespace quavix {
namespace {

constexpr int kSets = 3000;
constexpr std::int16_t kGuard = 0x6B6B;

TEST(SynthesisProperties, BoundedRepeatableAndEqualToTheReference) {
  std::mt19937 gen(20261206);
  RandomSource unused;
  auto cached = std::make_unique<CachedSynthesizer>(unused);
  Synthesizer* synth = &cached->Synth;
  auto plain = std::make_unique<Synthesizer>(unused);
  for (int n = 0; n < kSets; ++n) {
    const SynthParams params = test::RandomParams(gen);
    const std::int32_t maxSamples = static_cast<std::int32_t>(gen() % 1500);
    const std::uint32_t seed = gen();
    SCOPED_TRACE(testing::Message() << "set " << n);

    std::vector<std::int16_t> first(static_cast<std::size_t>(maxSamples) + 4, kGuard);
    std::vector<std::int16_t> second(first);
    std::vector<std::int16_t> reference(first);
    synth->Params = params;
    RandomSource r1{seed};
    Synthesize(*synth, maxSamples, first.data(), r1);
    const std::int32_t count = synth->SampleCount;
    ASSERT_GE(count, 0);
    ASSERT_LE(count, maxSamples);
    for (std::int32_t i = 0; i < count; ++i) {
      ASSERT_GE(first[static_cast<std::size_t>(i)], -32000);
      ASSERT_LE(first[static_cast<std::size_t>(i)], 32000);
    }
    for (std::size_t i = static_cast<std::size_t>(maxSamples); i < first.size(); ++i) {
      ASSERT_EQ(first[i], kGuard);
    }

    RandomSource r2{seed};
    Synthesize(*synth, maxSamples, second.data(), r2);
    ASSERT_EQ(first, second);
    ASSERT_EQ(r1.State, r2.State);

    plain->Params = params;
    RandomSource r3{seed};
    SynthesizeReference(*plain, maxSamples, reference.data(), r3);
    ASSERT_EQ(first, reference);
    ASSERT_EQ(plain->SampleCount, count);
  }
}

}  // namespace
}  // namespace quavix
