#include "match/sound_distance.h"

#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <mutex>
#include <numbers>

namespace quavix::match {
namespace {

constexpr double kMagnitudeFloor = 1e-4;
constexpr double kEnvelopeFloorDb = -80;

// One transform size: its plan, made once, and its Hann window.
struct Transform {
  std::size_t Size = 0;
  fftw_plan Plan = nullptr;
  std::vector<double> Window;
  double WindowSum = 0;
};

// The plans of every size, made together the first time (FFTW's planner is
// not safe to call from several threads; running a plan is).
const std::array<Transform, kFrameSizes.size()>& Transforms() {
  static const std::array<Transform, kFrameSizes.size()> transforms = [] {
    std::array<Transform, kFrameSizes.size()> made;
    for (std::size_t r = 0; r < kFrameSizes.size(); ++r) {
      Transform& t = made[r];
      t.Size = kFrameSizes[r];
      std::vector<double> in(t.Size);
      std::vector<std::complex<double>> out(t.Size / 2 + 1);
      t.Plan = fftw_plan_dft_r2c_1d(static_cast<int>(t.Size), in.data(),
                                    reinterpret_cast<fftw_complex*>(out.data()),
                                    FFTW_ESTIMATE | FFTW_UNALIGNED);
      t.Window.resize(t.Size);
      for (std::size_t i = 0; i < t.Size; ++i) {
        t.Window[i] = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * static_cast<double>(i) /
                                            static_cast<double>(t.Size));
        t.WindowSum += t.Window[i];
      }
    }
    return made;
  }();
  return transforms;
}

std::vector<float> Spectrogram(const Transform& t, std::span<const float> sound, std::size_t frames) {
  const std::size_t hop = t.Size / 4;
  const std::size_t bins = t.Size / 2 + 1;
  std::vector<float> out(frames * bins);
  std::vector<double> in(t.Size);
  std::vector<std::complex<double>> spectrum(bins);
  for (std::size_t k = 0; k < frames; ++k) {
    // Frame k covers samples k x hop - size / 2 .. k x hop + size / 2 - 1.
    const auto start = static_cast<std::ptrdiff_t>(k * hop) - static_cast<std::ptrdiff_t>(t.Size / 2);
    for (std::size_t i = 0; i < t.Size; ++i) {
      const std::ptrdiff_t at = start + static_cast<std::ptrdiff_t>(i);
      const bool inside = at >= 0 && at < static_cast<std::ptrdiff_t>(sound.size());
      in[i] = inside ? static_cast<double>(sound[static_cast<std::size_t>(at)]) * t.Window[i] : 0.0;
    }
    fftw_execute_dft_r2c(t.Plan, in.data(), reinterpret_cast<fftw_complex*>(spectrum.data()));
    for (std::size_t b = 0; b < bins; ++b) {
      const double re = spectrum[b].real(), im = spectrum[b].imag();
      const double magnitude = std::sqrt(re * re + im * im) / t.WindowSum;
      out[k * bins + b] = std::log(static_cast<float>(magnitude + kMagnitudeFloor));
    }
  }
  return out;
}

// The mean absolute difference of two sequences of rows, the shorter padded with floor.
double MeanDifference(const std::vector<float>& a, const std::vector<float>& b, double floor) {
  const std::size_t n = std::max(a.size(), b.size());
  if (n == 0) return 0;
  double sum = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const double x = i < a.size() ? static_cast<double>(a[i]) : floor;
    const double y = i < b.size() ? static_cast<double>(b[i]) : floor;
    sum += std::fabs(x - y);
  }
  return sum / static_cast<double>(n);
}

}  // namespace

std::span<const float> TrimSilence(std::span<const float> samples) {
  const auto audible = [](float s) { return std::fabs(s) >= kSilenceThreshold; };
  const auto first = std::find_if(samples.begin(), samples.end(), audible);
  if (first == samples.end()) return {};
  const auto last = std::find_if(samples.rbegin(), samples.rend(), audible).base();
  return {first, last};
}

SoundFeatures DescribeSound(std::span<const float> samples) {
  const std::span<const float> sound = TrimSilence(samples);
  SoundFeatures f;
  f.Length = sound.size();
  const auto& transforms = Transforms();
  for (std::size_t r = 0; r < transforms.size(); ++r) {
    const std::size_t hop = transforms[r].Size / 4;
    f.Frames[r] = (f.Length + hop - 1) / hop;
    f.Spectra[r] = Spectrogram(transforms[r], sound, f.Frames[r]);
  }
  const std::size_t blocks = (f.Length + kEnvelopeBlock - 1) / kEnvelopeBlock;
  f.Envelope.resize(blocks);
  for (std::size_t k = 0; k < blocks; ++k) {
    double energy = 0;
    for (std::size_t i = k * kEnvelopeBlock; i < std::min(f.Length, (k + 1) * kEnvelopeBlock); ++i) {
      energy += static_cast<double>(sound[i]) * static_cast<double>(sound[i]);
    }
    const double db = 10 * std::log10(energy / kEnvelopeBlock + 1e-30);
    f.Envelope[k] = static_cast<float>(std::max(kEnvelopeFloorDb, db));
  }
  return f;
}

DistanceTerms CompareSounds(const SoundFeatures& a, const SoundFeatures& b) {
  DistanceTerms d;
  const double floor = std::log(kMagnitudeFloor);
  for (std::size_t r = 0; r < kFrameSizes.size(); ++r) {
    d.Spectral += MeanDifference(a.Spectra[r], b.Spectra[r], floor);
  }
  d.Spectral /= static_cast<double>(kFrameSizes.size());
  d.Envelope = MeanDifference(a.Envelope, b.Envelope, kEnvelopeFloorDb) / 20;
  d.Length = std::fabs(std::log(static_cast<double>(a.Length) + 256) - std::log(static_cast<double>(b.Length) + 256));
  return d;
}

double SoundDistance(std::span<const float> a, std::span<const float> b) {
  return CompareSounds(DescribeSound(a), DescribeSound(b)).Total();
}

}  // namespace quavix::match
