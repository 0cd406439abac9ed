#include "export/loudness.h"

#include <ebur128.h>
#include <soxr.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

namespace quavix::exporting {
namespace {

constexpr int kResampledRate = 48000;

struct MeterDeleter {
  void operator()(ebur128_state* st) const { ebur128_destroy(&st); }
};
struct ResamplerDeleter {
  void operator()(soxr* r) const { soxr_delete(r); }
};

double Decibels(double linear) {
  return linear > 0 ? 20 * std::log10(linear) : -std::numeric_limits<double>::infinity();
}

}  // namespace

struct LoudnessMeter::State {
  int Channels = 1;
  int Rate = 0;       // the sound's rate
  int MeterRate = 0;  // the rate the meter runs at
  std::size_t Frames = 0;         // at the sound's rate
  std::size_t MeteredFrames = 0;  // at the meter's rate
  double SamplePeak = 0;
  std::unique_ptr<ebur128_state, MeterDeleter> Ebu;
  std::unique_ptr<soxr, ResamplerDeleter> Resampler;  // only below kLowestMeteredRate
  std::vector<float> Resampled;
  bool Finished = false;

  void Meter(const float* data, std::size_t frames) {
    if (frames > 0 && ebur128_add_frames_float(Ebu.get(), data, frames) != EBUR128_SUCCESS) throw std::bad_alloc();
    MeteredFrames += frames;
  }

  // Runs frames through the resampler (nullptr: the end) into the meter.
  void Resample(const float* data, std::size_t frames) {
    const auto width = static_cast<std::size_t>(Channels);
    const std::size_t room = (frames + 64) * (kResampledRate / kLowestRate + 1);
    Resampled.resize(room * width);
    for (;;) {
      std::size_t used = 0;
      std::size_t made = 0;
      const soxr_error_t error = soxr_process(Resampler.get(), data, frames, &used, Resampled.data(), room, &made);
      if (error != nullptr) throw std::runtime_error(std::string("resampling failed: ") + error);
      Meter(Resampled.data(), made);
      if (data != nullptr) {
        data += used * width;
        frames -= used;
        if (frames == 0 && made < room) return;
      } else if (made == 0) {
        return;
      }
    }
  }
};

LoudnessMeter::LoudnessMeter(int channels, int rate) : Meter(std::make_unique<State>()) {
  if (channels < 1 || channels > kMostChannels) {
    throw std::invalid_argument(std::to_string(channels) + " channels (a meter takes 1 to " +
                                std::to_string(kMostChannels) + ")");
  }
  if (rate < kLowestRate || rate > kHighestRate) {
    throw std::invalid_argument("a sample rate of " + std::to_string(rate) + " Hz (a meter takes " +
                                std::to_string(kLowestRate) + " to " + std::to_string(kHighestRate) + " Hz)");
  }
  State& s = *Meter;
  s.Channels = channels;
  s.Rate = rate;
  s.MeterRate = rate < kLowestMeteredRate ? kResampledRate : rate;
  s.Ebu.reset(ebur128_init(static_cast<unsigned>(channels), static_cast<unsigned long>(s.MeterRate),
                           EBUR128_MODE_I | EBUR128_MODE_TRUE_PEAK));
  if (!s.Ebu) throw std::bad_alloc();
  if (s.MeterRate != rate) {
    const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_VHQ, 0);
    soxr_error_t error = nullptr;
    s.Resampler.reset(soxr_create(rate, kResampledRate, static_cast<unsigned>(channels), &error, &io, &quality, nullptr));
    if (error != nullptr || !s.Resampler) throw std::bad_alloc();
  }
}

LoudnessMeter::~LoudnessMeter() = default;

void LoudnessMeter::Add(std::span<const float> samples) {
  State& s = *Meter;
  const std::size_t frames = samples.size() / static_cast<std::size_t>(s.Channels);
  if (frames == 0 || s.Finished) return;
  s.Frames += frames;
  for (const float v : samples.first(frames * static_cast<std::size_t>(s.Channels))) {
    s.SamplePeak = std::max(s.SamplePeak, std::fabs(static_cast<double>(v)));  // NaN left out
  }
  if (s.Resampler) {
    s.Resample(samples.data(), frames);
  } else {
    s.Meter(samples.data(), frames);
  }
}

Loudness LoudnessMeter::Finish() {
  State& s = *Meter;
  Loudness result;
  if (!s.Finished) {
    s.Finished = true;
    if (s.Resampler) s.Resample(nullptr, 0);
    if (s.Frames < LoudnessBlockFrames(s.Rate)) {
      // Silence up to one block at the meter's rate.
      result.Padded = true;
      const std::size_t block = LoudnessBlockFrames(s.MeterRate);
      const std::size_t held = std::min(block, s.MeteredFrames);
      const std::vector<float> silence((block - held) * static_cast<std::size_t>(s.Channels), 0.0f);
      s.Meter(silence.data(), block - held);
    }
  }
  double lufs = 0;
  if (ebur128_loudness_global(s.Ebu.get(), &lufs) != EBUR128_SUCCESS || !std::isfinite(lufs)) {
    lufs = -std::numeric_limits<double>::infinity();
  }
  double truePeak = 0;
  for (unsigned c = 0; c < static_cast<unsigned>(s.Channels); ++c) {
    double tp = 0;
    ebur128_true_peak(s.Ebu.get(), c, &tp);
    truePeak = std::max(truePeak, tp);
  }
  result.IntegratedLufs = lufs;
  result.TruePeakDbtp = Decibels(truePeak);
  result.SamplePeakDbfs = Decibels(s.SamplePeak);
  return result;
}

Loudness MeasureLoudness(std::span<const float> samples, int channels, int rate) {
  LoudnessMeter meter(channels, rate);
  meter.Add(samples);
  return meter.Finish();
}

}  // namespace quavix::exporting
