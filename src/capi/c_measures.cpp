// Pitch and length of a sound as the C API gives them.
#include <cmath>
#include <limits>

#include "capi/c_records.h"
#include "synth/oscillator_period.h"
#include "synth/sound_length.h"

using namespace quavix;
using namespace quavix::capi;

namespace {

std::int32_t RateOf(const quavix_params* params) {
  return params != nullptr ? params->SampleRate : DefaultParams().SampleRate;
}

}  // namespace

extern "C" {

int32_t quavix_start_period(float stored_freq) { return StartPeriod(stored_freq); }

double quavix_pitch_of_period(const quavix_params* params, int32_t period) {
  return period < 1 ? 0.0 : PitchOfPeriod(RateOf(params), period);
}

double quavix_pitch_of_freq(const quavix_params* params, float stored_freq) {
  return PitchOfFreq(RateOf(params), stored_freq);
}

float quavix_freq_for_pitch(const quavix_params* params, double hz) {
  const std::int32_t rate = RateOf(params);
  if (!(hz >= LowestPitch(rate) && hz <= HighestPitch(rate))) {
    return std::numeric_limits<float>::quiet_NaN();
  }
  return StoredFreqForPitch(rate, hz);
}

int quavix_envelope_lengths(const quavix_params* params, int32_t lengths[3]) {
  if (params == nullptr || lengths == nullptr) return QUAVIX_ERROR_ARGUMENT;
  const auto stages = EnvelopeStageLengths(ToCore(*params));
  for (std::size_t i = 0; i < stages.size(); ++i) lengths[i] = stages[i];
  return QUAVIX_OK;
}

size_t quavix_sound_length_bound(const quavix_params* params, uint32_t buffer_seconds) {
  if (params == nullptr) return 0;
  return SoundLengthBound(ToCore(*params), buffer_seconds);
}

}  // extern "C"
