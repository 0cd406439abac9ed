#include "design/randomize.h"

#include <array>

#include "design/draws.h"
#include "synth/exact_math.h"

// One statement takes at most one draw, so the draws follow the statement
// order. Every power is a product of the one drawn value in double, rounded to
// float at once; a sum with a power adds that rounded float.

namespace quavix {
namespace {

using design::Coin;
using design::DrawMod;
using design::RF;

// A fresh value in [-1, 1] in steps of 0.0002: single(RF(2) - 1).
float U(RandomSource& r) {
  return Single(RF(r, 2.0f) - 1.0);
}

float Pow2(float x) {
  return Single(Square(D(x)));
}
float Pow3(float x) {
  return Single(Cube(D(x)));
}
float Pow5(float x) {
  const double x2 = Square(D(x));
  return Single((x2 * x2) * D(x));
}

// The fields that Mutate nudges, in the order it visits them.
constexpr std::array<float SynthParams::*, 22> kMutatedFields = {
    &SynthParams::StartFreq,    &SynthParams::Slide,         &SynthParams::DeltaSlide,
    &SynthParams::SquareDuty,   &SynthParams::DutySweep,     &SynthParams::VibDepth,
    &SynthParams::VibSpeed,     &SynthParams::VibReserved,   &SynthParams::AttackTime,
    &SynthParams::SustainTime,  &SynthParams::DecayTime,     &SynthParams::SustainPunch,
    &SynthParams::LPResonance,  &SynthParams::LPCutoff,      &SynthParams::LPCutoffSweep,
    &SynthParams::HPCutoff,     &SynthParams::HPCutoffSweep, &SynthParams::PhaserOffset,
    &SynthParams::PhaserSweep,  &SynthParams::RepeatSpeed,   &SynthParams::ChangeSpeed,
    &SynthParams::ChangeAmount,
};

}  // namespace

void Randomize(SynthParams& p, RandomSource& r, bool audibleOnly) {
  p = DefaultParams();
  // Five values, not four: 4 names no wave and synthesizes silence.
  p.WaveType = DrawMod(r, audibleOnly ? 4 : 5);
  p.StartFreq = Pow2(U(r));
  if (Coin(r)) {
    p.StartFreq = Single(D(Pow3(U(r))) + D(0.5f));
  }
  p.Slide = Pow5(U(r));
  if (p.StartFreq > 0.7f && p.Slide > 0.2f) {
    p.Slide = -p.Slide;
  }
  if (p.StartFreq < 0.2f && p.Slide < -0.05f) {
    p.Slide = -p.Slide;
  }
  p.DeltaSlide = Pow3(U(r));
  p.SquareDuty = U(r);
  p.DutySweep = Pow3(U(r));
  p.VibDepth = Pow3(U(r));
  p.VibSpeed = U(r);
  p.VibReserved = U(r);
  p.AttackTime = Pow3(U(r));
  p.SustainTime = Pow2(U(r));
  p.DecayTime = U(r);
  p.SustainPunch = Pow2(RandomFraction(r, 0.8f));
  // The sum of the three stored times, in double and not rounded.
  if (D(p.AttackTime) + D(p.SustainTime) + D(p.DecayTime) < D(0.2f)) {
    p.SustainTime = Single(D(p.SustainTime) + (D(0.2f) + RF(r, 0.3f)));
    p.DecayTime = Single(D(p.DecayTime) + (D(0.2f) + RF(r, 0.3f)));
  }
  p.LPResonance = U(r);
  p.LPCutoff = Single(1.0 - D(Pow3(RandomFraction(r, 1.0f))));
  p.LPCutoffSweep = Pow3(U(r));
  if (p.LPCutoff < 0.1f && p.LPCutoffSweep < -0.05f) {
    p.LPCutoffSweep = -p.LPCutoffSweep;
  }
  p.HPCutoff = Pow5(RandomFraction(r, 1.0f));
  p.HPCutoffSweep = Pow5(U(r));
  p.PhaserOffset = Pow3(U(r));
  p.PhaserSweep = Pow3(U(r));
  p.RepeatSpeed = U(r);
  p.ChangeSpeed = U(r);
  p.ChangeAmount = U(r);
}

bool IsMutateAmount(float amount) {
  return amount >= kMutateAmountMin && amount <= kMutateAmountMax;
}

void Mutate(SynthParams& p, float coefficient, RandomSource& r) {
  const float k = Single(D(coefficient) * 10.0);
  for (float SynthParams::*field : kMutatedFields) {
    if (Coin(r)) {
      float& value = p.*field;
      value = Single(D(value) + (RF(r, 0.1f) - D(0.05f)) * D(k));
    }
  }
}

}  // namespace quavix
