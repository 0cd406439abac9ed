#include <CLI/CLI.hpp>
#include "export_options.h"

#include "cli_error.h"
#include "export_output.h"
#include "numbers.h"

namespace quavix::cli {

using exporting::FileFormat;
using exporting::GainTarget;
using exporting::SampleBits;

void AddExportOptions(CLI::App& command, ExportArgs& args, bool forBatch) {
  const char* group = "Export";
  args.FormatOption = command.add_option("--format", args.Format, "File format: wav, flac, ogg or raw")
                          ->type_name("FORMAT")->group(group);
  args.BitsOption = command.add_option("--bits", args.Bits, "Sample format: 8, 16, 24 or 32f (default 16)")
                        ->type_name("BITS")->group(group);
  args.RateOption = command.add_option("--rate", args.Rate, "Sample rate in Hz, 8000 to 192000 (default " + std::to_string(kSampleRate) + ")")
                        ->type_name("HZ")->group(group);
  args.NormalizeOption =
      command.add_option("--normalize", args.Normalize, "peak:DBFS (sample peak) or lufs:LUFS (integrated loudness)")
          ->type_name("TARGET")->group(group);
  args.TruePeakOption =
      command.add_option("--true-peak", args.TruePeak, "True-peak ceiling of a loudness target in dBTP (default -1)")
          ->type_name("DBTP")->group(group);
  args.TrimOption = command.add_option("--trim", args.Trim, "Cut leading and trailing silence below DB dBFS (default -60)")
                        ->type_name("[DB]")->expected(0, 1)->group(group);
  args.FadeOutOption = command.add_option("--fade-out", args.FadeOut, "Linear fade over the last MS milliseconds")
                           ->type_name("MS")->group(group);
  if (forBatch) {
    args.MatchLoudnessOption =
        command.add_option("--match-loudness", args.MatchLoudness,
                           "Bring every sound to LUFS integrated loudness under the --true-peak ceiling")
            ->type_name("LUFS")->group(group);
  }
}

double ParseTrimThreshold(const CLI::Option& option, const std::string& text) {
  if (option.results().empty() || option.results().front().empty()) return exporting::kDefaultTrimDb;
  const double db = ParseUserFloat(text, "--trim");
  if (db < -120 || db >= 0) ThrowUsage("--trim: " + Echo(text) + " is not a threshold from -120 to below 0 dBFS");
  return db;
}

std::string FileExtension(FileFormat format) { return std::string(exporting::FormatName(format)); }

namespace {

double ParseLevel(const std::string& text, double min, double max, const std::string& what, const char* unit) {
  const double value = ParseUserFloat(text, what);
  if (value < min || value > max) {
    char range[96];
    std::snprintf(range, sizeof range, " is outside %g to %g %s", min, max, unit);
    ThrowUsage(what + ": " + Echo(text) + range);
  }
  return value;
}

}  // namespace

std::optional<FileFormat> FormatOfName(const std::string& path, const std::string& what) {
  const std::size_t slash = path.rfind('/');
  const std::size_t dot = path.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash) || dot + 1 == path.size()) {
    return std::nullopt;
  }
  std::string ext = path.substr(dot + 1);
  for (char& c : ext) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  const std::pair<const char*, FileFormat> known[] = {{"wav", FileFormat::Wav},  {"wave", FileFormat::Wav},
                                                      {"flac", FileFormat::Flac}, {"ogg", FileFormat::Ogg},
                                                      {"oga", FileFormat::Ogg},  {"raw", FileFormat::Raw},
                                                      {"pcm", FileFormat::Raw}};
  for (const auto& [name, format] : known) {
    if (ext == name) return format;
  }
  for (const char* other : {"mp3", "mp2", "aif", "aiff", "aifc", "opus", "m4a", "aac", "wma", "au", "snd", "caf",
                            "w64", "mp4", "webm", "sfs"}) {
    if (ext != other || (ext == "sfs" && what != "-o")) continue;
    ThrowUsage(what + " " + EchoPath(path) +
               (ext == "sfs" ? ": a .sfs name is a settings file's (--save-sfs writes one); the sound goes to a "
                               ".wav, .flac, .ogg or .raw file"
                             : ": quavix writes WAV, FLAC, Ogg Vorbis and raw files, not ." + ext));
  }
  return std::nullopt;
}

std::optional<ExportRequest> ResolveExport(const ExportArgs& args, std::optional<FileFormat> named,
                                           const std::string& outputName) {
  const CLI::Option* all[] = {args.FormatOption, args.BitsOption,  args.RateOption,    args.NormalizeOption,
                              args.TruePeakOption, args.TrimOption, args.FadeOutOption, args.MatchLoudnessOption};
  std::string given;
  for (const CLI::Option* o : all) {
    if (Given(o)) given = o->get_name();
  }
  if (given.empty() && (!named || *named == FileFormat::Wav)) return std::nullopt;
  if (given.empty()) given = "-o " + EchoPath(outputName);
  if (!ExportAvailable()) {
    ThrowUsage(given + ": this quavix was built without the export options (QUAVIX_EXPORT=OFF)");
  }
  ExportRequest request;
  exporting::ExportSettings& s = request.Settings;
  std::string& text = request.RenderOptions;
  if (Given(args.FormatOption)) {
    const std::pair<const char*, FileFormat> formats[] = {
        {"wav", FileFormat::Wav}, {"flac", FileFormat::Flac}, {"ogg", FileFormat::Ogg}, {"raw", FileFormat::Raw}};
    bool known = false;
    for (const auto& [name, format] : formats) {
      if (args.Format == name) {
        s.Format = format;
        known = true;
      }
    }
    if (!known) ThrowUsage("--format: " + Echo(args.Format) + " is not one of wav, flac, ogg, raw");
    if (named && *named != s.Format) {
      ThrowUsage("-o " + EchoPath(outputName) + " names a ." + std::string(exporting::FormatName(*named)) +
                 " file but --format is " + args.Format + "; give the file the extension ." +
                 std::string(exporting::FormatName(s.Format)) + " or leave --format out");
    }
    text += " --format " + args.Format;
  } else if (named) {
    s.Format = *named;
    text += " --format " + std::string(exporting::FormatName(s.Format));
  }
  if (Given(args.BitsOption)) {
    const std::pair<const char*, SampleBits> kinds[] = {
        {"8", SampleBits::Int8}, {"16", SampleBits::Int16}, {"24", SampleBits::Int24}, {"32f", SampleBits::Float32}};
    bool known = false;
    for (const auto& [name, bits] : kinds) {
      if (args.Bits == name) {
        s.Bits = bits;
        known = true;
      }
    }
    if (!known) ThrowUsage("--bits: " + Echo(args.Bits) + " is not one of 8, 16, 24, 32f");
    if (s.Format == FileFormat::Ogg) {
      ThrowUsage("--bits " + args.Bits + ": Ogg Vorbis has no sample format to choose; leave --bits out with --format ogg");
    }
    if (s.Format == FileFormat::Flac && s.Bits == SampleBits::Float32) {
      ThrowUsage("--bits 32f: FLAC holds integer samples of 8, 16 or 24 bits only");
    }
    text += " --bits " + args.Bits;
  }
  if (Given(args.RateOption)) {
    s.Rate = static_cast<int>(ParseWhole(args.Rate, 8000, 192000, "--rate"));
    text += " --rate " + std::to_string(s.Rate);
  }
  if (Given(args.NormalizeOption) && Given(args.MatchLoudnessOption)) {
    ThrowUsage("give --normalize or --match-loudness, not both");
  }
  if (Given(args.NormalizeOption)) {
    const std::size_t colon = args.Normalize.find(':');
    const std::string kind = args.Normalize.substr(0, colon);
    const std::string value = colon == std::string::npos ? "" : args.Normalize.substr(colon + 1);
    if (kind == "peak" && colon != std::string::npos) {
      s.Normalize = exporting::Normalization{GainTarget::SamplePeak, ParseLevel(value, -100, 0, "--normalize peak", "dBFS")};
    } else if (kind == "lufs" && colon != std::string::npos) {
      s.Normalize = exporting::Normalization{
          GainTarget::Loudness, ParseLevel(value, kLowestLoudnessTarget, kHighestLoudnessTarget,
                                           "--normalize lufs", "LUFS")};
    } else {
      ThrowUsage("--normalize: " + Echo(args.Normalize) + " is neither peak:DBFS nor lufs:LUFS (e.g. peak:-1, lufs:-16)");
    }
    text += " --normalize " + args.Normalize;
  }
  if (Given(args.MatchLoudnessOption)) {
    request.MatchLoudness = true;
    s.Normalize = exporting::Normalization{
        GainTarget::Loudness, ParseLevel(args.MatchLoudness, kLowestLoudnessTarget,
                                         kHighestLoudnessTarget, "--match-loudness", "LUFS")};
    text += " --normalize lufs:" + args.MatchLoudness;
  }
  if (Given(args.TruePeakOption)) {
    if (!s.Normalize || s.Normalize->Kind != GainTarget::Loudness) {
      ThrowUsage("--true-peak is the ceiling of a loudness target: give it with --normalize lufs:LUFS or --match-loudness");
    }
    s.CeilingDbtp = ParseLevel(args.TruePeak, -30, 0, "--true-peak", "dBTP");
    text += " --true-peak " + args.TruePeak;
  }
  if (Given(args.TrimOption)) {
    s.TrimDb = ParseTrimThreshold(*args.TrimOption, args.Trim);
    char db[32];
    std::snprintf(db, sizeof db, "%g", *s.TrimDb);
    text += std::string(" --trim ") + db;
  }
  if (Given(args.FadeOutOption)) {
    s.FadeOutMs = static_cast<int>(ParseWhole(args.FadeOut, 0, 60000, "--fade-out"));
    text += " --fade-out " + std::to_string(s.FadeOutMs);
  }
  return request;
}

std::string ExportHelp(bool forBatch) {
  std::string text =
      "Export (any of these options; without them the file is the module's exact WAV image):\n"
      "  the sound is trimmed (--trim), resampled with libsoxr at very high quality (--rate),\n"
      "  faded (--fade-out), brought to its target (--normalize), then written in --format\n"
      "  with --bits: wav 8 (unsigned)/16/24/32f, flac 8/16/24, ogg (Vorbis, no --bits),\n"
      "  raw 8 (signed)/16/24/32f little-endian mono without header. Integers are rounded\n"
      "  half away from zero, without dither. A loudness target never lifts the true peak\n"
      "  above --true-peak; sounds shorter than 400 ms are measured padded with silence to 400 ms.\n";
  if (forBatch) {
    text += "  --match-loudness LUFS brings every sound of the set there; manifest.json records each\n"
            "  file's gain, loudness and true peak before and after, format, rate and bits.\n";
  }
  return text;
}

}  // namespace quavix::cli
