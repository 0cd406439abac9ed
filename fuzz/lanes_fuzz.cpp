// Many sounds in lanes from arbitrary parameter bits: a count byte, then per
// sound 24 cells, a 4-byte seed and a 2-byte area size. Every instruction set
// this processor runs must give each sound exactly the single-sound reference:
// its samples, its random state and its whole synthesis state.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "synth/same_state.h"
#include "synth/synthesizer.h"

namespace {

constexpr std::size_t kSoundBytes = 4 * quavix::kParamCount + 6;
constexpr std::int16_t kUntouched = 0x7A7A;

struct Sound {
  std::unique_ptr<quavix::Synthesizer> Synth;
  quavix::RandomSource Random;
  std::int32_t Area = 0;
  std::vector<std::int16_t> Samples;
};

// The sounds the bytes describe, not yet played: each with its parameters, its
// random state and an area of Area samples (and 8 more that must stay untouched).
std::vector<Sound> SoundsOf(const std::vector<std::uint8_t>& bytes, std::size_t count) {
  using namespace quavix;
  std::vector<Sound> sounds(count);
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t* cells = bytes.data() + i * kSoundBytes;
    Sound& s = sounds[i];
    s.Synth = std::make_unique<Synthesizer>();
    std::memcpy(&s.Synth->Params.Volume, cells, 4 * kParamCount);
    std::memcpy(&s.Random.State, cells + 4 * kParamCount, 4);
    std::uint16_t area = 0;
    std::memcpy(&area, cells + 4 * kParamCount + 4, 2);
    s.Area = area % 6001;
    s.Samples.assign(static_cast<std::size_t>(s.Area) + 8, kUntouched);
  }
  return sounds;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quavix;
  if (size == 0) return 0;
  const std::size_t count = 1 + data[0] % 24;
  std::vector<std::uint8_t> bytes(count * kSoundBytes, 0);
  std::memcpy(bytes.data(), data + 1, size - 1 < bytes.size() ? size - 1 : bytes.size());

  std::vector<Sound> reference = SoundsOf(bytes, count);
  for (Sound& r : reference) SynthesizeReference(*r.Synth, r.Area, r.Samples.data(), r.Random);

  for (const LaneSet set : {LaneSet::kOneByOne, LaneSet::kAvx2, LaneSet::kAvx512}) {
    if (!LaneSetRuns(set)) continue;
    std::vector<Sound> lanes = SoundsOf(bytes, count);
    std::vector<SynthesisJob> jobs;
    for (Sound& l : lanes) jobs.push_back({l.Synth.get(), &l.Random, l.Samples.data(), l.Area});
    SynthesizeInLanes(jobs.data(), jobs.size(), set);
    for (std::size_t i = 0; i < count; ++i) {
      const Sound& l = lanes[i];
      const Sound& r = reference[i];
      if (l.Samples != r.Samples || l.Random.State != r.Random.State ||
          !SameSynthesisState(*l.Synth, *r.Synth)) {
        std::abort();
      }
    }
  }
  return 0;
}
