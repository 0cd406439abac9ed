#include "design/presets.h"

#include "design/draws.h"
#include "synth/ascii_text.h"
#include "synth/exact_math.h"

// Each recipe starts from the defaults and consumes its draws strictly in the
// order written: one statement takes at most one draw, so the order of
// evaluation inside an expression never matters. Constants are floats widened
// to double; each stored value is rounded to float once.

namespace quavix {
namespace {

using design::Coin;
using design::DrawMod;
using design::RF;

void CoinRecipe(SynthParams& p, RandomSource& r) {
  p.StartFreq = Single(D(0.4f) + RF(r, 0.5f));
  p.SustainTime = Single(RF(r, 0.1f));
  p.DecayTime = Single(D(0.1f) + RF(r, 0.4f));
  p.SustainPunch = Single(D(0.3f) + RF(r, 0.3f));
  if (Coin(r)) {
    p.ChangeSpeed = Single(D(0.5f) + RF(r, 0.2f));
    p.ChangeAmount = Single(D(0.2f) + RF(r, 0.4f));
  }
}

void LaserRecipe(SynthParams& p, RandomSource& r) {
  p.WaveType = DrawMod(r, 3);
  if (p.WaveType == kSineWave && Coin(r)) {
    p.WaveType = DrawMod(r, 2);
  }
  p.StartFreq = Single(D(0.5f) + RF(r, 0.5f));
  const double lowered = D(p.StartFreq) - D(0.2f);
  p.MinFreq = Single(lowered - RF(r, 0.6f));
  if (p.MinFreq < 0.2f) {
    p.MinFreq = 0.2f;
  }
  p.Slide = Single(D(-0.15f) - RF(r, 0.2f));
  if (DrawMod(r, 3) == 0) {
    p.StartFreq = Single(D(0.3f) + RF(r, 0.6f));
    p.MinFreq = Single(RF(r, 0.1f));
    p.Slide = Single(D(-0.35f) - RF(r, 0.3f));
  }
  if (Coin(r)) {
    p.SquareDuty = Single(RF(r, 0.5f));
    p.DutySweep = Single(RF(r, 0.2f));
  } else {
    p.SquareDuty = Single(D(0.4f) + RF(r, 0.5f));
    p.DutySweep = Single(-RF(r, 0.7f));
  }
  p.SustainTime = Single(D(0.1f) + RF(r, 0.2f));
  p.DecayTime = Single(RF(r, 0.4f));
  if (Coin(r)) {
    p.SustainPunch = Single(RF(r, 0.3f));
  }
  if (DrawMod(r, 3) == 0) {
    p.PhaserOffset = Single(RF(r, 0.2f));
    p.PhaserSweep = Single(-RF(r, 0.2f));
  }
  if (Coin(r)) {
    p.HPCutoff = Single(RF(r, 0.3f));
  }
}

void ExplosionRecipe(SynthParams& p, RandomSource& r) {
  p.WaveType = kNoiseWave;
  if (Coin(r)) {
    p.StartFreq = Single(D(0.1f) + RF(r, 0.4f));
    p.Slide = Single(RF(r, 0.4f) - D(0.1f));
  } else {
    p.StartFreq = Single(D(0.2f) + RF(r, 0.7f));
    p.Slide = Single(D(-0.2f) - RF(r, 0.2f));
  }
  p.StartFreq = Single(Square(D(p.StartFreq)));
  if (DrawMod(r, 5) == 0) {
    p.Slide = 0.0f;
  }
  if (DrawMod(r, 3) == 0) {
    p.RepeatSpeed = Single(D(0.3f) + RF(r, 0.5f));
  }
  p.SustainTime = Single(D(0.1f) + RF(r, 0.3f));
  p.DecayTime = Single(RF(r, 0.5f));
  if (!Coin(r)) {  // the phaser comes on an even draw
    p.PhaserOffset = Single(RF(r, 0.9f) - D(0.3f));
    p.PhaserSweep = Single(-RF(r, 0.3f));
  }
  p.SustainPunch = Single(D(0.2f) + RF(r, 0.6f));
  if (Coin(r)) {
    p.VibDepth = Single(RF(r, 0.7f));
    p.VibSpeed = Single(RF(r, 0.6f));
  }
  if (DrawMod(r, 3) == 0) {
    p.ChangeSpeed = Single(D(0.6f) + RF(r, 0.3f));
    p.ChangeAmount = Single(D(0.8f) - RF(r, 1.6f));
  }
}

void PowerupRecipe(SynthParams& p, RandomSource& r) {
  if (Coin(r)) {
    p.WaveType = kSawtoothWave;
  } else {
    p.SquareDuty = Single(RF(r, 0.6f));
  }
  if (Coin(r)) {
    p.StartFreq = Single(D(0.2f) + RF(r, 0.3f));
    p.Slide = Single(D(0.1f) + RF(r, 0.4f));
    p.RepeatSpeed = Single(D(0.4f) + RF(r, 0.4f));
  } else {
    p.StartFreq = Single(D(0.2f) + RF(r, 0.3f));
    p.Slide = Single(D(0.05f) + RF(r, 0.2f));
    if (Coin(r)) {
      p.VibDepth = Single(RF(r, 0.7f));
      p.VibSpeed = Single(RF(r, 0.6f));
    }
  }
  p.SustainTime = Single(RF(r, 0.4f));
  p.DecayTime = Single(D(0.1f) + RF(r, 0.4f));
}

void HurtRecipe(SynthParams& p, RandomSource& r) {
  p.WaveType = DrawMod(r, 3);
  if (p.WaveType == kSineWave) {
    p.WaveType = kNoiseWave;
  }
  if (p.WaveType == kSquareWave) {
    p.SquareDuty = Single(RF(r, 0.6f));
  }
  p.StartFreq = Single(D(0.2f) + RF(r, 0.6f));
  p.Slide = Single(D(-0.3f) - RF(r, 0.4f));
  p.SustainTime = Single(RF(r, 0.1f));
  p.DecayTime = Single(D(0.1f) + RF(r, 0.2f));
  if (Coin(r)) {
    p.HPCutoff = Single(RF(r, 0.3f));
  }
}

void JumpRecipe(SynthParams& p, RandomSource& r) {
  p.WaveType = kSquareWave;
  p.SquareDuty = Single(RF(r, 0.6f));
  p.StartFreq = Single(D(0.3f) + RF(r, 0.3f));
  p.Slide = Single(D(0.1f) + RF(r, 0.2f));
  p.SustainTime = Single(D(0.1f) + RF(r, 0.3f));
  p.DecayTime = Single(D(0.1f) + RF(r, 0.2f));
  if (Coin(r)) {
    p.HPCutoff = Single(RF(r, 0.3f));
  }
  if (Coin(r)) {
    p.LPCutoff = Single(1.0 - RF(r, 0.6f));
  }
}

void BlipRecipe(SynthParams& p, RandomSource& r) {
  p.WaveType = DrawMod(r, 2);
  if (p.WaveType == kSquareWave) {
    p.SquareDuty = Single(RF(r, 0.6f));
  }
  p.StartFreq = Single(D(0.2f) + RF(r, 0.4f));
  p.SustainTime = Single(D(0.1f) + RF(r, 0.1f));
  p.DecayTime = Single(RF(r, 0.2f));
  p.HPCutoff = 0.1f;
}

}  // namespace

std::optional<std::int32_t> FindPresetFamily(std::string_view name) {
  for (const PresetFamilyName& entry : kPresetFamilyNames) {
    if (EqualsIgnoringAsciiCase(entry.Name, name)) {
      return entry.Family;
    }
  }
  return std::nullopt;
}

void LoadPreset(SynthParams& params, std::int32_t family, RandomSource& random) {
  using Recipe = void (*)(SynthParams&, RandomSource&);
  static constexpr Recipe kRecipes[kPresetFamilyCount] = {
      CoinRecipe, LaserRecipe, ExplosionRecipe, PowerupRecipe, HurtRecipe, JumpRecipe, BlipRecipe};
  const auto index = static_cast<std::uint32_t>(family);
  if (index >= static_cast<std::uint32_t>(kPresetFamilyCount)) {
    return;
  }
  params = DefaultParams();
  kRecipes[index](params, random);
}

}  // namespace quavix
