// The project-file reader on arbitrary bytes (the seeds are small project files): the sounds, or
// one line of refusal that names the file; never a crash, a hang or another exception. The sounds'
// file stems are distinct in any letter case and make file names that every system can hold.
#include <set>

#include "cli_error.h"
#include "fuzz_util.h"
#include "project_file.h"

namespace {

// Letters, digits, '-', '_' and '.', at most 64 bytes and a "-N" suffix, no '-' or '.' at either
// end, and no device name of Windows before the first dot.
bool Portable(const std::string& stem) {
  if (stem.empty() || stem.size() > 64 + 7 || stem.front() == '-' || stem.front() == '.' ||
      stem.back() == '-' || stem.back() == '.') {
    return false;
  }
  for (const char c : stem) {
    const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    if (!letter && c != '-' && c != '_' && c != '.') return false;
  }
  std::string device = stem.substr(0, stem.find('.'));
  for (char& c : device) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
  for (const char* word : {"CON", "PRN", "AUX", "NUL"}) {
    if (device == word) return false;
  }
  return !(device.size() == 4 && (device.starts_with("COM") || device.starts_with("LPT")) &&
           device[3] >= '1' && device[3] <= '9');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quavix;
  static const fuzz::InputFile scratch("quavix-project-fuzz", ".json");
  scratch.Write(data, size);
  std::vector<cli::ProjectSound> sounds;
  try {
    sounds = cli::ReadProjectFile(scratch.Path);
  } catch (const cli::CliError& e) {
    fuzz::Check(e.Status == 1 && e.Message.starts_with(cli::EchoPath(scratch.Path)) &&
                    e.Message.find('\n') == std::string::npos,
                "one line of refusal that names the file");
    return 0;
  }
  fuzz::Check(!sounds.empty(), "a project file holds sounds");
  const std::vector<std::string> stems = cli::ProjectFileStems(sounds);
  fuzz::Check(stems.size() == sounds.size(), "one stem per sound");
  std::set<std::string> seen;
  for (std::size_t i = 0; i < stems.size(); ++i) {
    std::string lowered = stems[i];
    for (char& c : lowered) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    fuzz::Check(seen.insert(lowered).second, "stems are distinct in any letter case");
    fuzz::Check(Portable(stems[i]), "a stem is a portable file name");
    fuzz::Check(!sounds[i].Name.empty() && sounds[i].Seed >= 1 && sounds[i].BufferSeconds >= 1 &&
                    sounds[i].BufferSeconds <= 60,
                "a sound has a name, a seed and a buffer length");
  }
  return 0;
}
