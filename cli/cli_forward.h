// The command-line parser's classes by name only, for the headers that hold
// pointers to them: the parser's header is large, and only the files that
// register options include it.
#pragma once

namespace CLI {
class App;
class Option;
}  // namespace CLI

namespace quavix::cli {

// Whether the option was given on the command line (false for none).
bool Given(const CLI::Option* option);

}  // namespace quavix::cli
