// The export options of render and batch: file format, sample format, rate,
// normalisation with its true-peak ceiling, trimming and the fade; batch adds
// --match-loudness. Without any of them the output is the module's WAV image.
#pragma once

#include "cli_forward.h"

#include <optional>
#include <string>

#include "export/export_settings.h"

namespace quavix::cli {

// The loudness targets --normalize lufs: and --match-loudness take, LUFS.
inline constexpr double kLowestLoudnessTarget = -70;
inline constexpr double kHighestLoudnessTarget = 0;

struct ExportArgs {
  std::string Format, Bits, Rate, Normalize, TruePeak, Trim, FadeOut, MatchLoudness;
  CLI::Option* FormatOption = nullptr;
  CLI::Option* BitsOption = nullptr;
  CLI::Option* RateOption = nullptr;
  CLI::Option* NormalizeOption = nullptr;
  CLI::Option* TruePeakOption = nullptr;
  CLI::Option* TrimOption = nullptr;
  CLI::Option* FadeOutOption = nullptr;
  CLI::Option* MatchLoudnessOption = nullptr;  // batch only
};

struct ExportRequest {
  exporting::ExportSettings Settings;
  bool MatchLoudness = false;
  std::string RenderOptions;  // the render options that make one sound of it again, " --format ..."
};

void AddExportOptions(CLI::App& command, ExportArgs& args, bool forBatch);

// The format a file name's extension names (.wav, .flac, .ogg, .raw and their
// kin, in any case), or nothing for a name without one of them; a usage error
// for the extension of a sound format the tool does not write (.mp3, ...).
// what is the option, for the message.
std::optional<exporting::FileFormat> FormatOfName(const std::string& path, const std::string& what);

// The parsed options (usage errors, status 2, for values and combinations a
// format cannot hold), or nothing when no export option was given. named is
// the format the output's name implies: it is the format when --format is not
// given (a WAV name alone still gives the module's image), and --format must
// agree with it.
std::optional<ExportRequest> ResolveExport(const ExportArgs& args,
                                           std::optional<exporting::FileFormat> named = std::nullopt,
                                           const std::string& outputName = "");

// The threshold of --trim [DB]: DB, or -60 when none is given.
double ParseTrimThreshold(const CLI::Option& option, const std::string& text);

// "wav", "flac", "ogg" or "raw".
std::string FileExtension(exporting::FileFormat format);

// The help text of the export options, for the commands' footers.
std::string ExportHelp(bool forBatch);

}  // namespace quavix::cli
