// The handlers of the condition, the actions and the expressions. Each is a
// thin adapter from the host's calling convention to the core; registrations.cpp
// registers them in the host's order.
//
// The host calls them while its application's events run, on its own thread,
// with the RunObjectData of a living instance (between CreateRunObject and
// DestroyRunObject):
// - the condition when the module raises it (during "Generate sound as %0")
//   and when an event tests it; it returns 1;
// - an action with its first parameter in `first` (a whole number, a float's
//   bits, or a pointer to host text valid only during the call); further
//   parameters come from the host's action-parameter service. Every action
//   returns 0 and reports no failure. "Generate sound as %0" hands the wave
//   image to the host's sound bank, which copies it during the call; the
//   wave buffer stays the instance's;
// - an expression with the host's token, inside a reader scope; it returns
//   one word and marks float and text results in the result flags. A text
//   result lives in host string space, which the host frees.
#pragma once

#include <array>
#include <cstdint>
#include <utility>

#include "host/host_abi.h"
#include "synth/synth_params.h"

namespace quavix::host {

#define QUAVIX_ACTION(name) HostWord QUAVIX_HOSTCALL name(RunObjectData* object, HostWord first, HostWord second)
#define QUAVIX_EXPRESSION(name) HostWord QUAVIX_HOSTCALL name(RunObjectData* object, HostWord token)

// "%o : Sound generated"
QUAVIX_ACTION(SoundGenerated);

QUAVIX_ACTION(AddSoundAction);
QUAVIX_ACTION(MutateAction);
QUAVIX_ACTION(LoadPresetAction);
QUAVIX_ACTION(ResetAction);
QUAVIX_ACTION(GenerateSoundAction);
QUAVIX_ACTION(SetRandomSeedAction);
QUAVIX_ACTION(LoadSettingsFileAction);
QUAVIX_ACTION(SaveSettingsFileAction);
QUAVIX_ACTION(RandomizeAction);
QUAVIX_ACTION(SetVariableAction);
QUAVIX_ACTION(LoadSettingsStringAction);

QUAVIX_EXPRESSION(GenWaveExpression);
QUAVIX_EXPRESSION(GenLengthExpression);
QUAVIX_EXPRESSION(VariableExpression);
QUAVIX_EXPRESSION(CsvExpression);
QUAVIX_EXPRESSION(FreqHzExpression);

// The dedicated setter and getter of parameter `index`, in the user's unit.
HostWord SetParameter(RunObjectData* object, std::int32_t index, HostWord first);
HostWord GetParameter(RunObjectData* object, std::int32_t index, HostWord token);

template <std::int32_t Index>
QUAVIX_ACTION(ParameterSetter) {
  static_cast<void>(second);
  return SetParameter(object, Index, first);
}

template <std::int32_t Index>
QUAVIX_EXPRESSION(ParameterGetter) {
  return GetParameter(object, Index, token);
}

// One handler per parameter index, 0 to 23.
template <std::size_t... I>
constexpr std::array<ActionHandler, sizeof...(I)> MakeParameterSetters(std::index_sequence<I...>) {
  return {&ParameterSetter<static_cast<std::int32_t>(I)>...};
}
template <std::size_t... I>
constexpr std::array<ExpressionHandler, sizeof...(I)> MakeParameterGetters(
    std::index_sequence<I...>) {
  return {&ParameterGetter<static_cast<std::int32_t>(I)>...};
}
inline constexpr auto kParameterSetters = MakeParameterSetters(std::make_index_sequence<kParamCount>{});
inline constexpr auto kParameterGetters = MakeParameterGetters(std::make_index_sequence<kParamCount>{});

}  // namespace quavix::host
