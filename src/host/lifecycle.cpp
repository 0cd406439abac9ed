#include "host/lifecycle.h"

#include <cstddef>
#include <new>

#include "design/randomize.h"
#include "exchange/wave_image.h"
#include "host/expression_reader.h"
#include "host/platform.h"
#include "synth/synthesizer.h"

namespace quavix::host {

RandomSource& ModuleRandom() {
  static RandomSource random;
  return random;
}

void CreateInstance(RunObjectData& object, const EditStructure* stored) {
  object.Reader = nullptr;
  object.Synth = nullptr;
  object.WaveBuffer = nullptr;
  object.Capacity = 0;
  object.LastLength = 0;

  if (void* block = AllocateBlock(sizeof(ExpressionParamReader))) {
    object.Reader = new (block) ExpressionParamReader{&object, &FetchFirstParam};
  }

  // Seeded before the synthesizer draws its noise table.
  SeedRandom(ModuleRandom(), CalendarSeconds());

  const std::uint32_t seconds = stored != nullptr ? stored->BufferSeconds : kDefaultBufferSeconds;
  const std::uint32_t capacity = WaveCapacityBytes(seconds);
  if (void* block = AllocateBlock(kWaveHeaderSize + capacity)) {
    object.WaveBuffer = static_cast<std::uint8_t*>(block);
    object.Capacity = capacity;
  }

  // The synthesizer comes with its sine cache; it is the block's first member,
  // so the block is freed through it. The module's order of draws: the clock
  // seeds the random source above, then the new synthesizer's full restart
  // draws its 32 noise values from it, before any "Set random seed" of a
  // script; a sound made without one follows from these draws.
  static_assert(offsetof(CachedSynthesizer, Synth) == 0);
  if (void* block = AllocateBlock(sizeof(CachedSynthesizer))) {
    object.Synth = &(new (block) CachedSynthesizer())->Synth;
    Init(*object.Synth, ModuleRandom());
  }

  // Until the first generation the image is an empty but valid sound, so that
  // publishing it hands the host no unwritten bytes.
  if (object.WaveBuffer != nullptr) {
    WriteWaveImage(object.WaveBuffer, object.Synth != nullptr ? object.Synth->Params : DefaultParams(),
                   nullptr, 0);
  }
}

void DestroyInstance(RunObjectData& object) {
  FreeBlock(object.WaveBuffer);
  object.WaveBuffer = nullptr;
  object.Capacity = 0;
  if (object.Synth != nullptr) {
    CachedSynthesizer* block = reinterpret_cast<CachedSynthesizer*>(object.Synth);
    block->~CachedSynthesizer();
    FreeBlock(block);
    object.Synth = nullptr;
  }
  FreeBlock(object.Reader);
  object.Reader = nullptr;
}

}  // namespace quavix::host
