// The recipe's words on the command line: --set NAME=VALUE and --preset.
#include "sound_recipe.h"

#include <cstdio>
#include <string>

#include "cli_error.h"
#include "design/presets.h"
#include "exchange/param_table.h"
#include "numbers.h"
#include "synth/ascii_text.h"
#include "synth/exact_math.h"
#include "synth/oscillator_period.h"
#include "synth/synthesizer.h"

namespace quavix::cli {
namespace {

// Refuses a user value by the parameter table's rule.
void CheckUserValue(const ParamInfo& info, float value, const std::string& text) {
  const UserValueProblem problem = CheckUserValue(info, value);
  if (problem == UserValueProblem::None) return;
  std::string message = "--set " + Echo(text) + ": " + std::string(UserValueRule(problem));
  if (problem == UserValueProblem::StageTooLong) {
    char limit[32];
    std::snprintf(limit, sizeof limit, " (%.2f s)", D(LongestStageSeconds()));
    message += limit;
  }
  ThrowUsage(message);
}

}  // namespace

ParamChange ParseParamChange(const std::string& text) {
  const std::size_t eq = text.find('=');
  if (eq == std::string::npos) {
    ThrowUsage("--set: " + Echo(text) + " is not of the form NAME=VALUE");
  }
  const std::string name = text.substr(0, eq);
  const std::string value = text.substr(eq + 1);
  const std::string what = "--set " + name;

  ParamChange change{text, 0, false, 0.0f, 0};
  if (EqualsIgnoringAsciiCase(name, "StartPitchHz") || EqualsIgnoringAsciiCase(name, "MinPitchHz")) {
    const bool start = EqualsIgnoringAsciiCase(name, "StartPitchHz");
    change.Index = FindParam(start ? "StartFreq" : "MinFreq")->Index;
    change.InPitch = true;
    change.PitchHz = ParseUserFloat(value, what);
    const std::int32_t rate = DefaultParams().SampleRate;
    if (!(change.PitchHz >= LowestPitch(rate) && change.PitchHz <= HighestPitch(rate))) {
      char range[96];
      std::snprintf(range, sizeof range, ": the oscillator's pitch lies between %.6g and %.6g Hz",
                    LowestPitch(rate), HighestPitch(rate));
      ThrowUsage("--set " + Echo(text) + range);
    }
    return change;
  }
  if (EqualsIgnoringAsciiCase(name, "StartFreqHz") || EqualsIgnoringAsciiCase(name, "MinFreqHz")) {
    const ParamInfo* info = FindParam(EqualsIgnoringAsciiCase(name, "StartFreqHz") ? "StartFreq" : "MinFreq");
    change.Index = info->Index;
    change.InHertz = true;
    change.Hertz = static_cast<std::int32_t>(ParseWhole(value, 0, 2147483647, what));
    return change;
  }
  const ParamInfo* info = FindParam(name);
  if (info == nullptr) {
    ThrowUsage("--set: unknown parameter " + Echo(name) + " (see quavix presets)");
  }
  change.Index = info->Index;
  change.UserValue = ParseUserFloat(value, what);
  CheckUserValue(*info, change.UserValue, text);
  return change;
}

std::int32_t ParsePresetFamily(const std::string& text) {
  if (const auto family = FindPresetFamily(text)) return *family;
  if (text.size() == 1 && text[0] >= '0' && text[0] < '0' + kPresetFamilyCount) {
    return text[0] - '0';
  }
  std::string names;
  for (const PresetFamilyName& f : kPresetFamilyNames) {
    names += (names.empty() ? "" : ", ") + std::string(f.Name);
  }
  ThrowUsage("--preset: unknown preset " + Echo(text) + " (choose " + names + " or 0-6)");
}

}  // namespace quavix::cli
