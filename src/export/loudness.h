// Loudness as EBU R128 defines it (ITU-R BS.1770 integrated loudness with its
// gates, and true peak by oversampling), measured with libebur128.
//
// A sound shorter than one 400 ms gating block has no integrated loudness of
// its own. Such a sound is measured followed by silence up to one block, i.e.
// its energy spread over 400 ms: the loudness of the one block that holds it
// whole, which is also its maximum momentary loudness. A sound of 400 ms or
// more is measured unchanged. The same rule serves normalisation, matched sets
// and info. A mono sound counts as one channel of weight 1 (not dual mono).
//
// libebur128 derives its K-weighting filters for each rate; far below 48 kHz
// they drift (by 0.2 LU at 8 kHz) and below 3.4 kHz, where their shelf at
// 1.68 kHz passes the Nyquist frequency, they fail. A sound at a rate below
// kLowestMeteredRate is therefore resampled to 48 kHz before it is measured,
// which leaves its content and its loudness as they are.
#pragma once

#include <cstddef>
#include <memory>
#include <span>

namespace quavix::exporting {

struct Loudness {
  double IntegratedLufs = 0;  // -infinity for silence (below the -70 LUFS gate)
  double TruePeakDbtp = 0;    // -infinity for silence
  double SamplePeakDbfs = 0;  // -infinity for silence
  bool Padded = false;        // shorter than a block: measured padded with silence
};

// The rates a meter takes: 1 kHz to 768 kHz; below kLowestMeteredRate the sound
// is resampled first. Channels: 1 to kMostChannels.
inline constexpr int kLowestRate = 1000;
inline constexpr int kHighestRate = 768000;
inline constexpr int kLowestMeteredRate = 32000;
inline constexpr int kMostChannels = 64;

// Frames of one gating block at a rate, as libebur128 counts them (4 x 100 ms).
constexpr std::size_t LoudnessBlockFrames(int rate) { return 4 * static_cast<std::size_t>((rate + 5) / 10); }

// A meter fed a sound piece by piece. Throws std::invalid_argument for a rate
// or channel count outside the ranges above, std::bad_alloc when the library
// cannot allocate.
class LoudnessMeter {
 public:
  LoudnessMeter(int channels, int rate);
  ~LoudnessMeter();
  LoudnessMeter(const LoudnessMeter&) = delete;
  LoudnessMeter& operator=(const LoudnessMeter&) = delete;

  // Frames of channels interleaved values, full scale 1.
  void Add(std::span<const float> samples);
  // The figures of everything added; the meter takes nothing after this.
  Loudness Finish();

 private:
  struct State;
  std::unique_ptr<State> Meter;
};

// samples hold frames of channels interleaved values, full scale 1.
Loudness MeasureLoudness(std::span<const float> samples, int channels, int rate);

}  // namespace quavix::exporting
