// The one error the command-line tool reports: a message for one line on
// stderr and the exit status that goes with it.
#pragma once

#include <string>
#include <utility>

namespace quavix::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;  // a file could not be read or written
inline constexpr int kExitUsage = 2;    // the command line asks for something invalid

struct CliError {
  int Status;
  std::string Message;
};

[[noreturn]] inline void ThrowUsage(std::string message) {
  throw CliError{kExitUsage, std::move(message)};
}

[[noreturn]] inline void ThrowFailure(std::string message) {
  throw CliError{kExitFailure, std::move(message)};
}

}  // namespace quavix::cli
