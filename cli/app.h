// The quavix command line: parses the arguments with CLI11 and runs the chosen
// command. Usable in-process (tests, fuzzing): nothing here exits the process.
#pragma once

#include "commands.h"

namespace quavix::cli {

// Returns the exit status: 0 on success, 1 on a failure to read or write, 2 on
// a usage error. Errors are reported as one line on streams.Err.
int RunQuavix(int argc, const char* const* argv, const Streams& streams);

}  // namespace quavix::cli
