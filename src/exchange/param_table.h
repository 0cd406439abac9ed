// One description per sound parameter: index, field name, the action text and
// parameter title of its setter, its user unit and conversion. The module's
// registry, the command-line tool and the docs all read from this table.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <variant>

#include "synth/synth_params.h"

namespace quavix {

// How a parameter's user value maps to the stored value.
enum class ParamUnit {
  Stored,            // stored as given
  WaveType,          // the integer wave type, stored as given
  Seconds,           // time conversion: f = sqrt(v / 2.2675)
  CyclesPerSecond,   // vibrato conversion
  ChangeSeconds,     // change conversion: f = 1 - sqrt(v / 20000 * R)
  RepeatsPerSecond,  // repeat conversion
};

struct ParamInfo {
  std::int32_t Index;            // 0..23, also the settings-string field
  std::string_view Name;         // field and expression name, e.g. "AttackTime"
  std::string_view SetterText;   // e.g. "Set attack time to %0"
  std::string_view SetterTitle;  // title of the setter's parameter, e.g. "Attack time"
  std::string_view UnitName;     // user unit for docs: "seconds", "" when stored as is;
                                 // for WaveType the meaning of its values
  ParamUnit Unit;
  // Dedicated setter and getter in the user's unit. For WaveType the value is
  // truncated toward zero with the checked conversion.
  void (*Set)(SynthParams& params, float userValue);
  float (*Get)(const SynthParams& params);
};

extern const std::array<ParamInfo, kParamCount> kParamTable;

// The entry of a field name (ASCII case-insensitive), or nullptr.
const ParamInfo* FindParam(std::string_view name);

// The stored value of index i as the settings string and indexed access see
// it: the float, or WaveType converted to float.
float StoredValue(const SynthParams& params, std::int32_t index);

// "Set variable with index %0 to %1": index 1 truncates the value toward zero
// into WaveType, 0 and 2..23 store it unconverted; other indexes (compared as
// unsigned) change nothing.
void SetVariable(SynthParams& params, std::int32_t index, float value);

// Variable(index): WaveType as an integer for index 1, the stored float for
// 0 and 2..23, the integer 0 for any other index.
std::variant<std::int32_t, float> GetVariable(const SynthParams& params, std::int32_t index);

}  // namespace quavix
