#include "synth/synth_params.h"

namespace quavix {

SynthParams DefaultParams() {
  SynthParams p{};
  p.BitsPerSample = 16;
  p.SampleRate = kSampleRate;
  p.Volume = 1.0f;
  p.WaveType = 0;
  p.AttackTime = 0.0f;
  p.SustainTime = 0.3f;
  p.SustainPunch = 0.0f;
  p.DecayTime = 0.4f;
  p.StartFreq = 0.3f;
  p.MinFreq = 0.0f;
  p.Slide = 0.0f;
  p.DeltaSlide = 0.0f;
  p.VibDepth = 0.0f;
  p.VibSpeed = 0.0f;
  p.ChangeAmount = 0.0f;
  p.ChangeSpeed = 0.0f;
  p.SquareDuty = 0.0f;
  p.DutySweep = 0.0f;
  p.RepeatSpeed = 0.0f;
  p.PhaserOffset = 0.0f;
  p.PhaserSweep = 0.0f;
  p.LPCutoff = 1.0f;
  p.LPCutoffSweep = 0.0f;
  p.LPResonance = 0.0f;
  p.HPCutoff = 0.0f;
  p.HPCutoffSweep = 0.0f;
  p.MasterVolume = 0.05f;
  p.FlagReserved = 0;
  p.VibReserved = 0.0f;
  return p;
}

}  // namespace quavix
