// Many sounds in lanes from arbitrary parameter bits: a count byte, then each sound's bytes (see
// fuzz_util.h). Every instruction set this processor runs must give each sound exactly the
// single-sound reference: its samples, its random state and its whole synthesis state.
#include "fuzz_util.h"
#include "synth/same_state.h"

namespace {

std::vector<quavix::fuzz::Sound> SoundsOf(const std::vector<std::uint8_t>& bytes) {
  std::vector<quavix::fuzz::Sound> sounds;
  for (std::size_t at = 0; at < bytes.size(); at += quavix::fuzz::kSoundBytes) {
    sounds.push_back(quavix::fuzz::SoundOf(bytes.data() + at, 6001));
  }
  return sounds;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quavix;
  if (size == 0) return 0;
  std::vector<std::uint8_t> bytes((1 + data[0] % 24) * fuzz::kSoundBytes, 0);
  std::memcpy(bytes.data(), data + 1, size - 1 < bytes.size() ? size - 1 : bytes.size());
  std::vector<fuzz::Sound> reference = SoundsOf(bytes);
  for (fuzz::Sound& r : reference) {
    SynthesizeReference(*r.Synth, r.Area, r.Samples.data(), r.Random);
  }
  for (const LaneSet set : {LaneSet::kOneByOne, LaneSet::kAvx2, LaneSet::kAvx512}) {
    if (!LaneSetRuns(set)) continue;
    std::vector<fuzz::Sound> lanes = SoundsOf(bytes);
    std::vector<SynthesisJob> jobs;
    for (fuzz::Sound& l : lanes) {
      jobs.push_back({l.Synth.get(), &l.Random, l.Samples.data(), l.Area});
    }
    SynthesizeInLanes(jobs.data(), jobs.size(), set);
    for (std::size_t i = 0; i < lanes.size(); ++i) {
      const fuzz::Sound &l = lanes[i], &r = reference[i];
      fuzz::Check(l.Samples == r.Samples && l.Random.State == r.Random.State &&
                      SameSynthesisState(*l.Synth, *r.Synth),
                  LaneSetName(set));
    }
  }
  return 0;
}
