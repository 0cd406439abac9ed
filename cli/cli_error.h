// The one error the command-line tool reports: a message for one line on
// stderr and the exit status that goes with it.
#pragma once

#include <string>
#include <string_view>
#include <utility>

namespace quavix::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;  // a file could not be read or written
inline constexpr int kExitUsage = 2;    // the command line asks for something invalid

struct CliError {
  int Status;
  std::string Message;
};

// Text typed by the user, as a message shows it: in single quotes, control and
// non-ASCII bytes written as \xNN, and cut to a readable length.
inline std::string Echo(std::string_view text, std::size_t kShown = 60) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out = "'";
  for (std::size_t i = 0; i < text.size() && i < kShown; ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0x20 && c < 0x7f && c != '\\') {
      out.push_back(static_cast<char>(c));
    } else {
      out += "\\x";
      out.push_back(kHex[c >> 4]);
      out.push_back(kHex[c & 15]);
    }
  }
  out.push_back('\'');
  if (text.size() > kShown) out += "... (" + std::to_string(text.size()) + " bytes)";
  return out;
}

// A file name as a message shows it: escaped like Echo, cut only when very long.
inline std::string EchoPath(std::string_view path) { return Echo(path, 1024); }

[[noreturn]] inline void ThrowUsage(std::string message) {
  throw CliError{kExitUsage, std::move(message)};
}

[[noreturn]] inline void ThrowFailure(std::string message) {
  throw CliError{kExitFailure, std::move(message)};
}

}  // namespace quavix::cli
