// quavix presets: the preset families and the parameters with their units and
// the ranges that presets and randomize draw from.
#include <cmath>
#include <cstdio>

#include "cli_error.h"
#include "commands.h"
#include "design/presets.h"
#include "exchange/param_table.h"
#include "output_file.h"
#include "sound_recipe.h"

namespace quavix::cli {
namespace {

// Parameters whose typical stored values run from -1 to 1; the others from 0 to 1.
bool IsSigned(std::string_view name) {
  for (const std::string_view s : {"Slide", "DeltaSlide", "ChangeAmount", "DutySweep", "PhaserOffset",
                                   "PhaserSweep", "LPCutoffSweep", "HPCutoffSweep"}) {
    if (s == name) return true;
  }
  return false;
}

std::string UserValueText(const ParamInfo& p, float stored) {
  SynthParams params = DefaultParams();
  SetVariable(params, p.Index, stored);
  if ((p.Unit == ParamUnit::RepeatsPerSecond && (stored == 0 || stored == 1)) ||
      (p.Unit == ParamUnit::ChangeSeconds && stored == 1)) {
    return "off";
  }
  char text[32];
  std::snprintf(text, sizeof text, "%.4g", static_cast<double>(p.Get(params)));
  return text;
}

}  // namespace

CLI::App* AddPresetsCommand(CLI::App& app) {
  CLI::App* cmd = app.add_subcommand("presets", "List the preset families and the parameters with their units");
  cmd->footer("Examples:\n  quavix presets\n");
  return cmd;
}

int RunPresets(const Streams& streams) {
  streams.Out << "Preset families (--preset NAME or its number):\n";
  for (const PresetFamilyName& f : kPresetFamilyNames) {
    streams.Out << "  " << f.Family << "  " << f.Name << '\n';
  }
  streams.Out << "\nParameters (--set NAME=VALUE in the user unit; --csv fields and --sfs hold stored values):\n"
              << "   #  name           user unit             typical stored   in the user unit\n";
  for (const ParamInfo& p : kParamTable) {
    char line[200];
    const std::string name(p.Name);
    if (p.Unit == ParamUnit::WaveType) {
      std::snprintf(line, sizeof line, "  %2d  %-14s %-21s %-16s %s\n", p.Index, name.c_str(), "0-3 (whole)",
                    "0 to 3", "0 square, 1 sawtooth, 2 sine, 3 noise");
    } else {
      const float lo = IsSigned(p.Name) ? -1.0f : 0.0f;
      const std::string unit = p.Unit == ParamUnit::Stored ? "as stored" : std::string(p.UnitName);
      std::string user;
      if (p.Name == "StartFreq" || p.Name == "MinFreq") {
        char pitch[64];
        const SynthParams params = DefaultParams();
        std::snprintf(pitch, sizeof pitch, "pitch %.3f to %.0f Hz", PitchOfPeriod(params, OscillatorPeriod(0.0f)),
                      PitchOfPeriod(params, OscillatorPeriod(1.0f)));
        user = pitch;
      } else if (p.Unit == ParamUnit::RepeatsPerSecond) {
        user = UserValueText(p, 0.01f) + " to " + UserValueText(p, 0.99f) + " (stored 0 or 1: off)";
      } else if (p.Unit == ParamUnit::ChangeSeconds) {
        user = UserValueText(p, 0.0f) + " to " + UserValueText(p, 0.99f) + " (stored 1: off)";
      } else if (p.Unit != ParamUnit::Stored) {
        user = UserValueText(p, lo) + " to " + UserValueText(p, 1.0f);
      }
      std::snprintf(line, sizeof line, "  %2d  %-14s %-21s %-16s %s\n", p.Index, name.c_str(), unit.c_str(),
                    (IsSigned(p.Name) ? "-1 to 1" : "0 to 1"), user.c_str());
    }
    streams.Out << line;
  }
  streams.Out << "\nStartFreqHz/MinFreqHz take Hertz through FreqHz (which sounds about 3.528 Hz high);\n"
                 "StartPitchHz/MinPitchHz take the pitch to hear (3.528 to 44100 Hz).\n";
  FlushOrThrow(streams.Out);
  return kExitOk;
}

}  // namespace quavix::cli
