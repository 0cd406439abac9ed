// Expression handlers. Each runs its body inside a reader scope, fetches its
// one parameter if it has one, and marks float and text results.
#include <cstring>
#include <string>
#include <variant>

#include "exchange/param_table.h"
#include "exchange/param_units.h"
#include "exchange/settings_string.h"
#include "exchange/wave_image.h"
#include "host/expression_reader.h"
#include "host/generated_sound.h"
#include "host/handlers.h"
#include "host/host_runtime.h"

namespace quavix::host {

QUAVIX_EXPRESSION(GenWaveExpression) {
  ReaderScope scope(*object, token);
  const auto offset = static_cast<std::int32_t>(scope.Fetch());
  if (object->WaveBuffer == nullptr) return FloatResult(*object, 0.0f);
  return FloatResult(*object, GeneratedSample(object->WaveBuffer, object->LastLength, offset));
}

QUAVIX_EXPRESSION(GenLengthExpression) {
  ReaderScope scope(*object, token);
  return GeneratedLength(object->LastLength);
}

QUAVIX_EXPRESSION(VariableExpression) {
  ReaderScope scope(*object, token);
  const auto index = static_cast<std::int32_t>(scope.Fetch());
  if (object->Synth == nullptr) return 0;
  const auto value = GetVariable(object->Synth->Params, index);
  if (const float* f = std::get_if<float>(&value)) return FloatResult(*object, *f);
  return std::get<std::int32_t>(value);
}

QUAVIX_EXPRESSION(CsvExpression) {
  ReaderScope scope(*object, token);
  const std::string text =
      object->Synth != nullptr ? ExportSettingsString(object->Synth->Params) : std::string();
  char* space = StringSpace(*object, static_cast<HostWord>(text.size() + 1));
  if (space != nullptr) std::memcpy(space, text.c_str(), text.size() + 1);
  object->Header.ResultFlags = static_cast<std::uint16_t>(object->Header.ResultFlags | kResultText);
  return reinterpret_cast<HostWord>(space);
}

QUAVIX_EXPRESSION(FreqHzExpression) {
  ReaderScope scope(*object, token);
  const auto hz = static_cast<std::int32_t>(scope.Fetch());
  const SynthParams params = object->Synth != nullptr ? object->Synth->Params : DefaultParams();
  return FloatResult(*object, FreqHz(params, hz));
}

HostWord GetParameter(RunObjectData* object, std::int32_t index, HostWord token) {
  ReaderScope scope(*object, token);
  const ParamInfo& info = kParamTable[static_cast<std::size_t>(index)];
  if (info.Unit == ParamUnit::WaveType) {
    return object->Synth != nullptr ? object->Synth->Params.WaveType : 0;
  }
  if (object->Synth == nullptr) return FloatResult(*object, 0.0f);
  return FloatResult(*object, info.Get(object->Synth->Params));
}

}  // namespace quavix::host
