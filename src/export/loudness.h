// Loudness as EBU R128 defines it (ITU-R BS.1770 integrated loudness with its
// gates, and true peak by oversampling), measured with libebur128.
//
// A sound shorter than one 400 ms gating block has no integrated loudness of
// its own. Such a sound is measured followed by silence up to one block, i.e.
// its energy spread over 400 ms: the loudness of the one block that holds it
// whole, which is also its maximum momentary loudness. A sound of 400 ms or
// more is measured unchanged. The same rule serves normalisation, matched sets
// and info. A mono sound counts as one channel of weight 1 (not dual mono).
#pragma once

#include <cstddef>
#include <span>

namespace quavix::exporting {

struct Loudness {
  double IntegratedLufs = 0;  // -infinity for silence (below the -70 LUFS gate)
  double TruePeakDbtp = 0;    // -infinity for silence
  double SamplePeakDbfs = 0;  // -infinity for silence
  bool Padded = false;        // shorter than a block: measured padded with silence
};

// Frames of one gating block at a rate, as libebur128 counts them (4 x 100 ms).
constexpr std::size_t LoudnessBlockFrames(int rate) { return 4 * static_cast<std::size_t>((rate + 5) / 10); }

// samples hold frames of channels interleaved values, full scale 1.
Loudness MeasureLoudness(std::span<const float> samples, int channels, int rate);

}  // namespace quavix::exporting
