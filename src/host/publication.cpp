#include "host/publication.h"

#include <cstdint>

#include "exchange/wave_image.h"
#include "host/host_runtime.h"
#include "host/lifecycle.h"
#include "host/platform.h"
#include "synth/synthesizer.h"

namespace quavix::host {

HostWord Publish(RunObjectData& object, const char* name) {
  const HostWord application = ApplicationHandle(object);
  const void* image = object.WaveBuffer;
  const auto size = static_cast<HostWord>(object.LastLength + kWaveHeaderSize);
  const HostWord handle = BankFindSound(application, name);
  if (handle != 0) {
    BankPrepareReplace(application, handle);
    return BankReplaceSound(application, handle, name, image, size);
  }
  return BankAddSound(application, name, image, size);
}

void GenerateSound(RunObjectData& object, const char* name) {
  if (object.WaveBuffer == nullptr || object.Synth == nullptr) return;
  Synthesizer& synth = *object.Synth;
  // The samples are written in place behind the header (little-endian host).
  auto* samples = static_cast<std::int16_t*>(static_cast<void*>(object.WaveBuffer + kWaveHeaderSize));
  Synthesize(synth, static_cast<std::int32_t>(object.Capacity / 2), samples, ModuleRandom());
  object.LastLength = 2 * static_cast<std::uint32_t>(synth.SampleCount);
  WriteWaveImage(object.WaveBuffer, synth.Params, samples, static_cast<std::size_t>(synth.SampleCount));
  Publish(object, name);
  RaiseSoundGenerated(object);
}

}  // namespace quavix::host
