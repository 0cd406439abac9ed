#include <CLI/CLI.hpp>
#include "app.h"

#include <algorithm>
#include <exception>
#include <new>

#include "cli_error.h"
#include "output_file.h"
#include "suggest.h"

namespace quavix::cli {
namespace {

constexpr const char* kCommands = "render, batch, info, presets";

std::string OneLine(std::string text) {
  for (char& c : text) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

// The names of a command's options, long and short, as typed.
std::vector<std::string> OptionNames(const CLI::App& command) {
  std::vector<std::string> names{"--help"};
  for (const CLI::Option* o : command.get_options()) {
    for (const std::string& l : o->get_lnames()) names.push_back("--" + l);
    for (const std::string& s : o->get_snames()) names.push_back("-" + s);
  }
  return names;
}

// CLI11's messages in the tool's words; command is the one being parsed.
std::string ParserMessage(const CLI::ParseError& e, const CLI::App& command) {
  const std::string text = e.what();
  const std::string option = text.substr(0, text.find(':'));
  if (dynamic_cast<const CLI::ArgumentMismatch*>(&e) != nullptr) {
    if (text.find("At Most") != std::string::npos) return option + " is given more than once";
    if (text.find("missing") != std::string::npos) return option + " needs a value";
    return option + ": wrong number of values";
  }
  if (dynamic_cast<const CLI::ExtrasError*>(&e) != nullptr) {
    // "The following argument(s) were not expected: a b"
    std::string list = text.substr(text.find(':') + 1);
    std::string words;
    std::size_t start = list.find_first_not_of(' ');
    bool unknownOption = false;
    std::string suggestion;
    while (start != std::string::npos) {
      const std::size_t end = list.find(' ', start);
      const std::string word = list.substr(start, end == std::string::npos ? std::string::npos : end - start);
      if (word.rfind('-', 0) == 0 && !unknownOption) suggestion = DidYouMean(word, OptionNames(command));
      unknownOption = unknownOption || word.rfind('-', 0) == 0;
      words += (words.empty() ? "" : " ") + Echo(word);
      start = end == std::string::npos ? end : list.find_first_not_of(' ', end);
    }
    return std::string(unknownOption ? "unknown option or unexpected argument " : "unexpected argument ") +
           words + (suggestion.empty() ? " (see --help)" : suggestion);
  }
  if (dynamic_cast<const CLI::RequiredError*>(&e) != nullptr) {
    // A mistyped option is why a required one seems missing: name it first.
    for (const std::string& word : command.remaining()) {
      if (word.rfind('-', 0) == 0) {
        const std::string suggestion = DidYouMean(word, OptionNames(command));
        return "unknown option " + Echo(word) + (suggestion.empty() ? " (see --help)" : suggestion);
      }
    }
    if (text.find("ubcommand") != std::string::npos) return "no command given (commands: " + std::string(kCommands) + ")";
    const std::size_t is = text.find(" is required");
    return (is == std::string::npos ? text : text.substr(0, is)) + " must be given";
  }
  return text;
}

int Report(const Streams& streams, int status, const std::string& message) {
  streams.Err << "quavix: error: " << OneLine(message) << '\n';
  streams.Err.flush();
  return status;
}

}  // namespace

int RunQuavix(int argc, const char* const* argv, const Streams& streams) {
  CLI::App app("quavix " QUAVIX_VERSION " - procedural sound effects as 16-bit 44.1 kHz mono WAV files");
  app.name("quavix");
  app.set_version_flag("--version", "quavix " QUAVIX_VERSION);
  app.require_subcommand(1);
  app.footer(
      "Examples:\n"
      "  quavix render --preset coin --seed 42 -o coin.wav\n"
      "  quavix batch --preset explosion --count 10 --seed 1 --out-dir booms\n"
      "  quavix info coin.sfs\n"
      "  quavix presets\n"
      "Run 'quavix COMMAND --help' for the options of a command.");

  RenderArgs render;
  BatchArgs batch;
  InfoArgs info;
  CLI::App* renderCmd = AddRenderCommand(app, render);
  CLI::App* batchCmd = AddBatchCommand(app, batch);
  CLI::App* infoCmd = AddInfoCommand(app, info);
  CLI::App* presetsCmd = AddPresetsCommand(app);

  // The words before the command: only --help and --version belong there.
  const std::vector<std::string> commands{renderCmd->get_name(), batchCmd->get_name(), infoCmd->get_name(),
                                          presetsCmd->get_name()};
  for (int i = 1; i < argc && argv[i] != nullptr; ++i) {
    const std::string word = argv[i];
    if (std::find(commands.begin(), commands.end(), word) != commands.end()) break;
    if (word == "--help" || word == "-h" || word == "--version") continue;
    if (word.rfind('-', 0) == 0) {
      return Report(streams, kExitUsage,
                    "unknown option " + Echo(word) +
                        (ClosestName(word, {"--help", "--version"})
                             ? DidYouMean(word, {"--help", "--version"})
                             : " before the command (commands: " + std::string(kCommands) + ")"));
    }
    return Report(streams, kExitUsage,
                  "unknown command " + Echo(word) +
                      (ClosestName(word, commands) ? DidYouMean(word, commands)
                                                   : " (commands: " + std::string(kCommands) + ")"));
  }
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    if (e.get_exit_code() == static_cast<int>(CLI::ExitCodes::Success)) {
      app.exit(e, streams.Out, streams.Err);  // --help or --version
      try {
        FlushOrThrow(streams.Out);
      } catch (const CliError& error) {
        return Report(streams, error.Status, error.Message);
      }
      return kExitOk;
    }
    const CLI::App* command = &app;
    for (const CLI::App* sub : {renderCmd, batchCmd, infoCmd, presetsCmd}) {
      if (sub->parsed()) command = sub;
    }
    return Report(streams, kExitUsage, ParserMessage(e, *command));
  }

  try {
    if (renderCmd->parsed()) return RunRender(render, streams);
    if (batchCmd->parsed()) return RunBatch(batch, streams);
    if (infoCmd->parsed()) return RunInfo(info, streams);
    if (presetsCmd->parsed()) return RunPresets(streams);
    return Report(streams, kExitUsage, "no command given (commands: " + std::string(kCommands) + ")");
  } catch (const CliError& e) {
    return Report(streams, e.Status, e.Message);
  } catch (const std::bad_alloc&) {
    return Report(streams, kExitFailure, "out of memory");
  } catch (const std::exception& e) {
    return Report(streams, kExitFailure, e.what());
  }
}

}  // namespace quavix::cli
