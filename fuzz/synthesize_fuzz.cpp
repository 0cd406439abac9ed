// Synthesis from arbitrary parameter bit patterns: the sound must stay inside
// its area and within ±32000, and the fast path must match the reference.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "synth/synthesizer.h"

namespace {

constexpr std::int32_t kMaxSamples = 20000;
constexpr std::int16_t kGuard = 0x7A7A;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quavix;
  // Layout: 24 parameter cells of 4 bytes, a 4-byte seed, a 2-byte area size.
  std::uint8_t cells[4 * kParamCount + 6] = {};
  std::memcpy(cells, data, size < sizeof cells ? size : sizeof cells);

  RandomSource random{0};
  auto cached = std::make_unique<CachedSynthesizer>(random);
  Synthesizer* fast = &cached->Synth;
  std::memcpy(&fast->Params.Volume, cells, 4 * kParamCount);
  std::uint32_t seed = 0;
  std::memcpy(&seed, cells + 4 * kParamCount, 4);
  std::uint16_t area = 0;
  std::memcpy(&area, cells + 4 * kParamCount + 4, 2);
  const std::int32_t maxSamples = area % (kMaxSamples + 1);

  auto plain = std::make_unique<Synthesizer>(random);
  plain->Params = fast->Params;

  std::vector<std::int16_t> a(static_cast<std::size_t>(maxSamples) + 8, kGuard);
  std::vector<std::int16_t> b(a);
  RandomSource ra{seed};
  RandomSource rb{seed};
  Synthesize(*fast, maxSamples, a.data(), ra);
  SynthesizeReference(*plain, maxSamples, b.data(), rb);

  if (fast->SampleCount < 0 || fast->SampleCount > maxSamples) std::abort();
  for (std::int32_t i = 0; i < fast->SampleCount; ++i) {
    if (a[static_cast<std::size_t>(i)] < -32000 || a[static_cast<std::size_t>(i)] > 32000) {
      std::abort();
    }
  }
  for (std::size_t i = static_cast<std::size_t>(maxSamples); i < a.size(); ++i) {
    if (a[i] != kGuard) std::abort();
  }
  if (fast->SampleCount != plain->SampleCount || a != b || ra.State != rb.State) std::abort();
  return 0;
}
