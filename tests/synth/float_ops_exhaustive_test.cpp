// Each float operation of exact_math.h against its double form on 10^9 random
// pairs, on every core: half of them with any two bit patterns, half with
// exponents at most 30 apart, where sums and differences round.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <random>
#include <thread>
#include <vector>

#include "float_ops.h"

namespace quavix {
namespace {

constexpr std::uint64_t kPairs = 1'000'000'000;

TEST(FloatOps, EqualTheDoubleFormOnAThousandMillionRandomPairs) {
  const unsigned threads = std::max(1u, std::thread::hardware_concurrency());
  std::atomic<std::uint64_t> wrong{0};
  std::vector<std::thread> workers;
  for (unsigned t = 0; t < threads; ++t) {
    workers.emplace_back([&, t] {
      std::mt19937_64 random(t + 1);
      std::uint64_t found = 0;
      for (std::uint64_t i = t; i < kPairs; i += threads) {
        const std::uint64_t bits = random();
        const float a = std::bit_cast<float>(static_cast<std::uint32_t>(bits));
        std::uint32_t b32 = static_cast<std::uint32_t>(bits >> 32);
        if (i % 2 == 1) {  // b's exponent within 30 of a's
          const int ea = static_cast<int>((std::bit_cast<std::uint32_t>(a) >> 23) & 0xffu);
          const int eb = std::clamp(ea + static_cast<int>(b32 % 61) - 30, 0, 254);
          b32 = (b32 & 0x807fffffu) | static_cast<std::uint32_t>(eb) << 23;
        }
        const float b = std::bit_cast<float>(b32);
        for (const FloatOp op : kFloatOps) {
          found += SameFloat(InFloat(op, a, b), InDoubleRoundedOnce(op, a, b)) ? 0 : 1;
        }
      }
      wrong += found;
    });
  }
  for (std::thread& worker : workers) worker.join();
  EXPECT_EQ(wrong.load(), 0u);
}

}  // namespace
}  // namespace quavix
