// quavix presets: the preset families and the parameters with their units and
// the ranges that presets and randomize draw from.
#include <CLI/CLI.hpp>
#include <cmath>
#include <cstdio>

#include "cli_error.h"
#include "commands.h"
#include "design/presets.h"
#include "exchange/param_table.h"
#include "output_file.h"
#include "sound_recipe.h"
#include "synth/oscillator_period.h"

namespace quavix::cli {
namespace {

std::string RangeText(ParamRange range) {
  char text[48];
  std::snprintf(text, sizeof text, "%.4g to %.4g", static_cast<double>(range.Min),
                static_cast<double>(range.Max));
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
  const std::int32_t rate = DefaultParams().SampleRate;
  for (const ParamInfo& p : kParamTable) {
    const std::string name(p.Name);
    std::string unit;
    std::string user;
    if (p.Whole) {
      const ParamRange valid = ValidUserRange(p);
      char whole[48];
      std::snprintf(whole, sizeof whole, "%g-%g (whole)", static_cast<double>(valid.Min),
                    static_cast<double>(valid.Max));
      unit = whole;
      user = std::string(p.UnitName);
    } else if (p.Frequency) {
      unit = "as stored";
      char pitch[64];
      std::snprintf(pitch, sizeof pitch, "pitch %.3f to %.0f Hz", PitchOfFreq(rate, p.TypicalStored.Min),
                    PitchOfFreq(rate, p.TypicalStored.Max));
      user = pitch;
    } else if (p.Unit == ParamUnit::Stored) {
      unit = "as stored";
    } else {
      unit = std::string(p.UnitName);
      user = RangeText(p.TypicalUser);
      if (p.Unit == ParamUnit::RepeatsPerSecond || p.Unit == ParamUnit::ChangeSeconds) user += " (0: off)";
    }
    char line[200];
    std::snprintf(line, sizeof line, "  %2d  %-14s %-21s %-16s %s\n", p.Index, name.c_str(), unit.c_str(),
                  RangeText(p.TypicalStored).c_str(), user.c_str());
    streams.Out << line;
  }
  char pitches[200];
  std::snprintf(pitches, sizeof pitches,
                "\nStartFreqHz/MinFreqHz take Hertz through FreqHz (which sounds about %.4g Hz high);\n"
                "StartPitchHz/MinPitchHz take the pitch to hear (%.6g to %.6g Hz).\n",
                FreqHzExcess(rate), LowestPitch(rate), HighestPitch(rate));
  streams.Out << pitches;
  FlushOrThrow(streams.Out);
  return kExitOk;
}

}  // namespace quavix::cli
