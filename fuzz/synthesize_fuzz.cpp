// Synthesis from arbitrary parameter bits (24 cells, a 4-byte seed, a 2-byte area size): the
// sound stays in its area and within ±32000, and the fast path matches the reference.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "synth/synthesizer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quavix;
  std::uint8_t cells[4 * kParamCount + 6] = {};
  std::memcpy(cells, data, size < sizeof cells ? size : sizeof cells);
  RandomSource ra{0};
  auto cached = std::make_unique<CachedSynthesizer>();
  auto plain = std::make_unique<Synthesizer>();
  std::memcpy(&cached->Synth.Params.Volume, cells, 4 * kParamCount);
  plain->Params = cached->Synth.Params;
  std::memcpy(&ra.State, cells + 4 * kParamCount, 4);
  RandomSource rb = ra;
  std::uint16_t area = 0;
  std::memcpy(&area, cells + 4 * kParamCount + 4, 2);
  const std::int32_t max = area % 20001;
  std::vector<std::int16_t> a(static_cast<std::size_t>(max) + 8, 0x7A7A), b(a);
  Synthesize(cached->Synth, max, a.data(), ra);
  SynthesizeReference(*plain, max, b.data(), rb);
  const std::int32_t count = cached->Synth.SampleCount;
  if (count < 0 || count > max || count != plain->SampleCount) std::abort();
  for (std::int32_t i = 0; i < max + 8; ++i) {
    if (i < count ? std::abs(a[i]) > 32000 : i >= max && a[i] != 0x7A7A) std::abort();
  }
  if (a != b || ra.State != rb.State) std::abort();
  return 0;
}
