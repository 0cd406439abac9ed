// The export options of render and batch: file format, sample format, rate,
// normalisation with its true-peak ceiling, trimming and the fade; batch adds
// --match-loudness. Without any of them the output is the module's WAV image.
#pragma once

#include <CLI/CLI.hpp>

#include <optional>
#include <string>

#include "export/export_settings.h"

namespace quavix::cli {

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

// The parsed options (usage errors, status 2, for values and combinations a
// format cannot hold), or nothing when no export option was given.
std::optional<ExportRequest> ResolveExport(const ExportArgs& args);

// The threshold of --trim [DB]: DB, or -60 when none is given.
double ParseTrimThreshold(const CLI::Option& option, const std::string& text);

// "wav", "flac", "ogg" or "raw".
std::string FileExtension(exporting::FileFormat format);

// The help text of the export options, for the commands' footers.
std::string ExportHelp(bool forBatch);

}  // namespace quavix::cli
