// The command line in-process: arbitrary argument lists (NUL-separated) end in status 0, 1 or
// 2 and a failure in a last "quavix: error: " line (a seed note may come first), never a crash.
// Files go only into a scratch folder: arguments with '/' or '\' are skipped, as is the batch.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "app.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  namespace fs = std::filesystem;
  static const fs::path folder =
      fs::temp_directory_path() / ("quavix-cli-fuzz-" + std::to_string(::getpid()));
  fs::create_directories(folder);
  std::vector<std::string> args{"quavix"};
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  for (std::string arg; std::getline(in, arg, '\0');) args.push_back(arg);
  if (args.size() > 24) return 0;
  std::vector<const char*> argv;
  for (const std::string& arg : args) {
    if (arg.find_first_of("/\\") != std::string::npos || arg == "batch") return 0;
    argv.push_back(arg.c_str());
  }
  const fs::path home = fs::current_path();  // the fuzzer's own relative paths
  fs::current_path(folder);
  std::ostringstream out, err;
  const int status =
      quavix::cli::RunQuavix(static_cast<int>(argv.size()), argv.data(), {out, err, false, false});
  fs::current_path(home);
  if (status < 0 || status > 2) std::abort();
  const std::string text = err.str();
  const std::size_t last = text.rfind('\n', text.size() - 2) + 1;  // 0 when it is the only line
  if (status != 0 &&
      (text.empty() || text.back() != '\n' || text.compare(last, 15, "quavix: error: ") != 0)) {
    std::abort();
  }
  for (const auto& entry : fs::directory_iterator(folder)) fs::remove_all(entry.path());
  return 0;
}
