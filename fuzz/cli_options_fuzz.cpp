// The command line in-process: arbitrary argument lists (NUL-separated in the
// input) must end in an exit status of 0, 1 or 2, never a crash. Files are
// written only into a scratch folder: arguments holding '/' or '\' are
// skipped, and so is batch, whose sound count alone would make runs slow.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "app.h"

namespace {

std::filesystem::path ScratchFolder() {
  const auto folder = std::filesystem::temp_directory_path() /
                      ("quavix-cli-fuzz-" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::filesystem::path folder = ScratchFolder();
  std::vector<std::string> args{"quavix"};
  std::string current;
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == 0) {
      args.push_back(current);
      current.clear();
    } else {
      current.push_back(static_cast<char>(data[i]));
    }
  }
  if (!current.empty()) args.push_back(current);
  if (args.size() > 24) return 0;
  for (const std::string& arg : args) {
    if (arg.find_first_of("/\\") != std::string::npos || arg == "batch") return 0;
  }

  // Relative output names land in the scratch folder; the fuzzer's own
  // relative paths need the original folder back afterwards.
  const std::filesystem::path home = std::filesystem::current_path();
  std::filesystem::current_path(folder);
  std::vector<const char*> argv;
  for (const std::string& arg : args) argv.push_back(arg.c_str());
  std::ostringstream out;
  std::ostringstream err;
  const int status = quavix::cli::RunQuavix(static_cast<int>(argv.size()), argv.data(),
                                            {out, err, false, false});
  std::filesystem::current_path(home);
  if (status < 0 || status > 2) std::abort();
  // A failing command ends with one error line (a note about the seed taken
  // from the clock may come before it).
  if (status != 0) {
    const std::string text = err.str();
    if (text.empty() || text.back() != '\n') std::abort();
    const std::size_t start = text.rfind('\n', text.size() - 2);
    const std::string last = text.substr(start == std::string::npos ? 0 : start + 1);
    if (last.rfind("quavix: error: ", 0) != 0) std::abort();
  }
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    std::filesystem::remove_all(entry.path());
  }
  return 0;
}
