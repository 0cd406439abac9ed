// The build without the export libraries: the export options are refused
// before any of these is reached (ResolveExport), info shows no loudness and
// reads no sound files.
#include "cli_error.h"
#include "export_output.h"

namespace quavix::cli {

bool ExportAvailable() { return false; }

ExportReport ExportRendered(std::span<const float>, const exporting::ExportSettings&) {
  ThrowUsage("this quavix was built without the export options (QUAVIX_EXPORT=OFF)");
}

ExportReport ExportRendered(std::span<const std::int16_t>, const exporting::ExportSettings& settings) {
  return ExportRendered(std::span<const float>(), settings);
}

std::uint64_t ExportBytesBound(std::size_t samples, const exporting::ExportSettings&) { return 4096 + 2 * samples; }

std::optional<LoudnessSummary> SummarizeSound(std::span<const std::int16_t>, double) { return std::nullopt; }

bool LooksLikeSoundFile(std::span<const std::uint8_t>) { return false; }

int RunSoundFileInfo(const std::string&, double, bool, const Streams&) {
  ThrowUsage("this quavix was built without the export options (QUAVIX_EXPORT=OFF) and reads no sound files");
}

std::vector<float> ReadMatchTarget(const std::string&, double) {
  ThrowUsage("this quavix was built without the export options (QUAVIX_EXPORT=OFF) and reads no sound files");
}

nlohmann::ordered_json JsonLevel(double) { return nullptr; }
std::string TextLevel(double) { return "-inf"; }

}  // namespace quavix::cli
