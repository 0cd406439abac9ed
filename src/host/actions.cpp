// Action handlers (and the condition). Every action returns 0. A handler
// fetches its parameters from the host first, then does nothing when the
// instance lacks the part it would use.
#include <string>

#include "design/presets.h"
#include "design/randomize.h"
#include "exchange/param_table.h"
#include "exchange/settings_file.h"
#include "exchange/settings_file_io.h"
#include "exchange/settings_string.h"
#include "host/handlers.h"
#include "host/host_runtime.h"
#include "host/lifecycle.h"
#include "host/publication.h"

namespace quavix::host {
namespace {

const char* TextArgument(HostWord value) { return reinterpret_cast<const char*>(value); }

}  // namespace

QUAVIX_ACTION(SoundGenerated) {
  static_cast<void>(object);
  static_cast<void>(first);
  static_cast<void>(second);
  return 1;
}

QUAVIX_ACTION(AddSoundAction) {
  static_cast<void>(second);
  if (object->WaveBuffer != nullptr) Publish(*object, TextArgument(first));
  return 0;
}

QUAVIX_ACTION(GenerateSoundAction) {
  static_cast<void>(second);
  GenerateSound(*object, TextArgument(first));
  return 0;
}

QUAVIX_ACTION(MutateAction) {
  static_cast<void>(first);
  static_cast<void>(second);
  const float coefficient = ActionFloatParameter(*object);
  if (object->Synth != nullptr) Mutate(object->Synth->Params, coefficient, ModuleRandom());
  return 0;
}

QUAVIX_ACTION(LoadPresetAction) {
  static_cast<void>(second);
  if (object->Synth != nullptr) {
    LoadPreset(object->Synth->Params, static_cast<std::int32_t>(first), ModuleRandom());
  }
  return 0;
}

QUAVIX_ACTION(ResetAction) {
  static_cast<void>(first);
  static_cast<void>(second);
  if (object->Synth != nullptr) Reset(*object->Synth);
  return 0;
}

QUAVIX_ACTION(SetRandomSeedAction) {
  static_cast<void>(object);
  static_cast<void>(second);
  SeedFromScript(ModuleRandom(), static_cast<std::int32_t>(first));
  return 0;
}

QUAVIX_ACTION(RandomizeAction) {
  static_cast<void>(first);
  static_cast<void>(second);
  if (object->Synth != nullptr) Randomize(object->Synth->Params, ModuleRandom());
  return 0;
}

QUAVIX_ACTION(LoadSettingsFileAction) {
  static_cast<void>(second);
  const char* path = TextArgument(first);
  if (object->Synth != nullptr && path != nullptr) {
    LoadSettingsFile(object->Synth->Params, std::string(path));
  }
  return 0;
}

QUAVIX_ACTION(SaveSettingsFileAction) {
  static_cast<void>(second);
  const char* path = TextArgument(first);
  if (object->Synth != nullptr && path != nullptr) {
    SaveSettingsFile(object->Synth->Params, std::string(path));
  }
  return 0;
}

QUAVIX_ACTION(SetVariableAction) {
  static_cast<void>(first);
  static_cast<void>(second);
  // Both values come from the host, the index before the value.
  const auto index = static_cast<std::int32_t>(ActionParameter(*object, kKindInteger));
  const float value = ActionFloatParameter(*object);
  if (object->Synth != nullptr) SetVariable(object->Synth->Params, index, value);
  return 0;
}

QUAVIX_ACTION(LoadSettingsStringAction) {
  static_cast<void>(first);
  static_cast<void>(second);
  const char* text = TextArgument(ActionParameter(*object, kKindText));
  if (object->Synth != nullptr && text != nullptr) {
    ImportSettingsString(object->Synth->Params, text);
  }
  return 0;
}

HostWord SetParameter(RunObjectData* object, std::int32_t index, HostWord first) {
  const ParamInfo& info = kParamTable[static_cast<std::size_t>(index)];
  if (info.Unit == ParamUnit::WaveType) {
    // The wave type is the whole number passed with the call, stored as is.
    if (object->Synth != nullptr) object->Synth->Params.WaveType = static_cast<std::int32_t>(first);
    return 0;
  }
  const float value = ActionFloatParameter(*object);
  if (object->Synth != nullptr) info.Set(object->Synth->Params, value);
  return 0;
}

}  // namespace quavix::host
