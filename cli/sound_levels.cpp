// Why a sound is silent.
#include "sound_recipe.h"

#include <string>

namespace quavix::cli {

Silence WhySilent(const SynthParams& params, const SoundLevels& levels) {
  if (params.WaveType == 4) return Silence::NoWave;
  if (params.WaveType < 0 || params.WaveType > 4) return Silence::NotAWave;
  if (levels.Peak == 0) return Silence::AllZero;
  return Silence::None;
}

std::string SilenceText(Silence reason, const SynthParams& params) {
  switch (reason) {
    case Silence::NoWave: return "wave type 4 makes no wave";
    case Silence::NotAWave: return "wave type " + std::to_string(params.WaveType) + " is not a wave (0-3)";
    case Silence::AllZero: return "every sample is 0";
    case Silence::FileAllZero:
      return "the exported file holds no sample other than 0";
    case Silence::None: break;
  }
  return "";
}

}  // namespace quavix::cli
