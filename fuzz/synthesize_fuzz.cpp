// Synthesis from arbitrary parameter bits (one sound's bytes, see fuzz_util.h): the sound stays in
// its area and within ±32000, and the cached path matches the reference.
#include "fuzz_util.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quavix;
  std::uint8_t bytes[fuzz::kSoundBytes] = {};
  std::memcpy(bytes, data, size < sizeof bytes ? size : sizeof bytes);
  fuzz::Sound cached = fuzz::SoundOf(bytes, 20001), plain = fuzz::SoundOf(bytes, 20001);
  const auto sines = std::make_unique<SineCache>();
  cached.Synth->Sines = sines.get();
  Synthesize(*cached.Synth, cached.Area, cached.Samples.data(), cached.Random);
  SynthesizeReference(*plain.Synth, plain.Area, plain.Samples.data(), plain.Random);
  const std::int32_t count = cached.Synth->SampleCount, max = cached.Area;
  fuzz::Check(count >= 0 && count <= max && count == plain.Synth->SampleCount, "length");
  for (std::int32_t i = 0; i < max + 8; ++i) {
    const std::int16_t s = cached.Samples[static_cast<std::size_t>(i)];
    fuzz::Check(i < count ? std::abs(s) <= 32000 : i < max || s == fuzz::kUntouched, "area");
  }
  fuzz::Check(cached.Samples == plain.Samples && cached.Random.State == plain.Random.State,
              "the cached path");
  return 0;
}
