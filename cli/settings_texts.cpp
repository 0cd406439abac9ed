// The settings file and string of a recipe's parameters, as the tool shows and checks them.
#include "sound_recipe.h"

#include <cmath>
#include <string>

#include "cli_error.h"
#include "exchange/param_table.h"
#include "exchange/param_units.h"
#include "exchange/settings_file.h"
#include "exchange/settings_string.h"

namespace quavix::cli {

std::string SettingsFileHex(const SynthParams& params) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string hex;
  for (const std::uint8_t b : EncodeSettings(params)) {
    hex.push_back(kHex[b >> 4]);
    hex.push_back(kHex[b & 15]);
  }
  return hex;
}

std::string WhyNotASettingsString(const SynthParams& params) {
  for (const ParamInfo& p : kParamTable) {
    const float v = StoredValue(params, p.Index);
    if (!std::isfinite(v)) {
      return "field " + std::to_string(p.Index) + " (" + std::string(p.Name) + ") is " +
             (std::isnan(v) ? "nan" : "infinite") + ", which is not a number to the module; keep it with --save-sfs";
    }
  }
  return "";
}

void RequireValidSettingsString(const std::string& text) {
  const SettingsStringCheck check = CheckSettingsString(text);
  switch (check.Problem) {
    case SettingsStringProblem::None:
      return;
    case SettingsStringProblem::TooManyFields:
      ThrowUsage("--csv: more than 24 fields");
    case SettingsStringProblem::NotANumber:
      ThrowUsage("--csv: field " + std::to_string(check.Field) + " " +
                 Echo(text.substr(check.Offset, check.Length)) + " is not a number");
  }
}

}  // namespace quavix::cli
