// quavix info on arbitrary bytes as a file (the seeds are small sound files of
// every container info reads: WAV of every shape, RF64, FLAC, Ogg, AIFF, AU,
// CAF and Wave64, whole and cut short, and an MP3 to refuse): status 0 with
// figures that name the file's format, or 1 with one "quavix: error: " line
// that names the file; never a crash, a hang or a claim of the header sizing
// memory.
#include <nlohmann/json.hpp>
#include <sstream>

#include "app.h"
#include "fuzz_util.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quavix;
  static const fuzz::InputFile scratch("quavix-sound-fuzz", ".snd");
  scratch.Write(data, size);
  const char* argv[] = {"quavix", "info", "--json", scratch.Path.c_str()};
  std::ostringstream out, err;
  const int status = cli::RunQuavix(4, argv, {out, err, false, false});
  const std::string text = err.str();
  fuzz::Check(status == 0 ? !out.str().empty()
                          : status == 1 && text.rfind("quavix: error: ", 0) == 0 &&
                                text.find('\n') == text.size() - 1,
              "figures or one error line");
  if (status == 0) {
    // A settings file's figures, or a sound file's, whose format is named.
    const auto figures = nlohmann::json::parse(out.str(), nullptr, false);
    fuzz::Check(
        !figures.is_discarded() && (figures.contains("parameters") ||
                                    (figures.contains("format") && figures["format"].is_string() &&
                                     figures["format"].get<std::string>().rfind("other", 0) != 0)),
        "figures of a settings file or of a sound file of a named format");
  }
  return 0;
}
