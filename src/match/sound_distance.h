// How far one sound is from another, for the search that imitates a sound.
// Both are mono, 44100 Hz, full scale 1.
//
// Each sound is first trimmed: the samples before the first and after the
// last whose magnitude reaches kSilenceThreshold (-60 dB) are dropped, so
// leading and trailing silence change nothing. What remains is described by
//  - its log-magnitude spectrogram at three resolutions: Hann frames of 256,
//    1024 and 4096 samples with a hop of a quarter frame, frame k centred on
//    sample k x hop (zeros outside the sound); magnitudes are normalised by
//    the window's sum and taken as ln(|X| + 1e-4), so a full-scale sine peaks
//    near ln(0.5) and anything below -80 dB counts as the floor;
//  - its loudness envelope: the RMS of blocks of 512 samples, in dB with a
//    floor at -80 dB;
//  - its length in samples.
// The distance adds three terms, each an average, so that sounds of any
// length compare on one scale:
//   spectral: the mean over the three resolutions of the mean absolute
//             difference of the log magnitudes over all frames and bins (the
//             shorter spectrogram padded with the floor);
//   envelope: the mean absolute difference of the envelopes (padded with the
//             floor) in dB, divided by 20;
//   length:   |ln(La + 256) - ln(Lb + 256)|.
// The distance is 0 for equal sounds and symmetric. The transforms are
// FFTW's, planned once per size with FFTW_ESTIMATE: the same on one machine
// and build, but their last bits may differ between builds and machines, and
// so may a distance and the search's choices.
#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <vector>

namespace quavix::match {

inline constexpr float kSilenceThreshold = 0.001f;  // -60 dB of full scale
inline constexpr std::array<std::size_t, 3> kFrameSizes = {256, 1024, 4096};
inline constexpr std::size_t kEnvelopeBlock = 512;

// The part of samples from the first to the last sample whose magnitude
// reaches kSilenceThreshold; empty when none does.
std::span<const float> TrimSilence(std::span<const float> samples);

// A sound described for the distance (its trimmed part).
struct SoundFeatures {
  std::size_t Length = 0;                      // trimmed samples
  std::array<std::size_t, 3> Frames{};         // frames per resolution
  std::array<std::vector<float>, 3> Spectra;   // frames x (size / 2 + 1) log magnitudes
  std::vector<float> Envelope;                 // dB per block
};

SoundFeatures DescribeSound(std::span<const float> samples);

struct DistanceTerms {
  double Spectral = 0;
  double Envelope = 0;
  double Length = 0;
  double Total() const { return Spectral + Envelope + Length; }
};

DistanceTerms CompareSounds(const SoundFeatures& a, const SoundFeatures& b);

// CompareSounds(DescribeSound(a), DescribeSound(b)).Total().
double SoundDistance(std::span<const float> a, std::span<const float> b);

}  // namespace quavix::match
