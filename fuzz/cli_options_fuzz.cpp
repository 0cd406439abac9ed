// The command line in-process: arbitrary argument lists (NUL-separated) end in status 0, 1 or
// 2 and a failure in a last "quavix: error: " line (a seed note may come first), never a crash.
// No message is in the option parser's words. Files go only into a scratch folder: arguments with
// '/' or '\' are skipped, as is the batch.
#include <algorithm>
#include <sstream>

#include "app.h"
#include "fuzz_util.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quavix;
  static const fuzz::fs::path folder = fuzz::Scratch("quavix-cli-fuzz");
  fuzz::fs::create_directories(folder);
  std::vector<std::string> args{"quavix"};
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  for (std::string arg; std::getline(in, arg, '\0');) args.push_back(arg);
  if (args.size() > 24) return 0;
  std::vector<const char*> argv;
  for (const std::string& arg : args) {
    if (arg.find_first_of("/\\") != std::string::npos || arg == "batch") return 0;
    argv.push_back(arg.c_str());
  }
  const fuzz::fs::path home = fuzz::fs::current_path();  // the fuzzer's own relative paths
  fuzz::fs::current_path(folder);
  std::ostringstream out, err;
  const int status =
      cli::RunQuavix(static_cast<int>(argv.size()), argv.data(), {out, err, false, false});
  fuzz::fs::current_path(home);
  fuzz::Check(status >= 0 && status <= 2, "status");
  const std::string text = err.str();
  const std::size_t last = text.rfind('\n', text.size() - 2) + 1;  // 0 when it is the only line
  fuzz::Check(status == 0 || (!text.empty() && text.back() == '\n' &&
                              text.compare(last, 15, "quavix: error: ") == 0),
              "a last error line");
  // The option parser's and the JSON library's own wording never reaches the user (unless typed).
  for (const char* foreign : {"excludes", "requires", "Could not convert", "were not expected",
                              "is required", "json.exception", "ubcommand"}) {
    const bool typed = std::any_of(args.begin(), args.end(),
                                   [&](const std::string& a) { return a.find(foreign) != a.npos; });
    fuzz::Check(status == 0 || typed || text.find(foreign, last) == std::string::npos,
                "the tool's own words");
  }
  for (const auto& entry : fuzz::fs::directory_iterator(folder)) fuzz::fs::remove_all(entry.path());
  return 0;
}
