#include <CLI/CLI.hpp>
#include "app.h"

#include <algorithm>
#include <exception>
#include <new>
#include <nlohmann/json.hpp>

#include "cli_error.h"
#include "output_file.h"
#include "suggest.h"

namespace quavix::cli {
namespace {

constexpr const char* kCommands = "render, batch, info, presets, match";

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
    // "The following argument(s) were not expected: a b" (in no fixed order): the first word
    // given that looks like an option is named, else the arguments.
    std::vector<std::string> extras = command.remaining();
    for (const std::string& word : extras) {
      if (word.size() > 1 && word.front() == '-') {
        const std::string suggestion = DidYouMean(word, OptionNames(command));
        return "unknown option " + Echo(word) + (suggestion.empty() ? " (see --help)" : suggestion);
      }
    }
    if (extras.empty()) extras.push_back(text.substr(text.find(':') + 1));
    std::string words;
    for (const std::string& word : extras) words += (words.empty() ? "" : " ") + Echo(word);
    return std::string(extras.size() == 1 ? "unexpected argument " : "unexpected arguments ") +
           words + " (see --help)";
  }
  if (dynamic_cast<const CLI::ExcludesError*>(&e) != nullptr ||
      dynamic_cast<const CLI::RequiresError*>(&e) != nullptr) {
    // "--count excludes --project", "--a requires --b"
    const bool excludes = dynamic_cast<const CLI::ExcludesError*>(&e) != nullptr;
    const std::string verb = excludes ? " excludes " : " requires ";
    const std::size_t at = text.find(verb);
    const std::string other = at == std::string::npos ? "" : text.substr(at + verb.size());
    return excludes ? option.substr(0, option.find(' ')) + " cannot be given with " + other
                    : option.substr(0, option.find(' ')) + " needs " + other + " as well";
  }
  if (dynamic_cast<const CLI::ConversionError*>(&e) != nullptr) {
    // "Could not convert: --skip-silent = maybe": only a flag's value is converted here.
    const std::size_t name = text.find(": ");
    const std::size_t equals = text.find(" = ");
    if (name != std::string::npos && equals != std::string::npos && equals > name) {
      return text.substr(name + 2, equals - name - 2) + " takes no value, not " +
             Echo(text.substr(equals + 3));
    }
    return option + " takes no value";
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
    return (is == std::string::npos ? "an option of " + command.get_name() : text.substr(0, is)) +
           " must be given";
  }
  return "cannot read the command line (see quavix " +
         (command.get_parent() != nullptr ? command.get_name() + " " : "") + "--help)";
}

// A flag takes no value: "--json=yes" is refused rather than read as a truth value.
std::string FlagWithValue(int argc, const char* const* argv, const CLI::App& command) {
  for (int i = 1; i < argc && argv[i] != nullptr; ++i) {
    const std::string word = argv[i];
    if (word == "--") break;
    const std::size_t equals = word.find('=');
    if (!word.starts_with("--") || equals == std::string::npos) continue;
    for (const CLI::Option* o : command.get_options()) {
      if (o->get_expected_max() == 0 && o->check_lname(word.substr(2, equals - 2))) {
        return word.substr(0, equals) + " takes no value, not " + Echo(word.substr(equals + 1));
      }
    }
  }
  return "";
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
  // The help in the tool's words (the formatter is shared with the commands).
  app.get_formatter()->label("SUBCOMMAND", "COMMAND");
  app.get_formatter()->label("REQUIRED", "(required)");
  app.get_formatter()->label("Excludes", "Not with");
  app.footer(
      "Examples:\n"
      "  quavix render --preset coin --seed 42 --save-sfs coin.sfs -o coin.wav\n"
      "  quavix batch --preset explosion --count 10 --seed 1 --out-dir booms\n"
      "  quavix info coin.sfs\n"
      "  quavix presets\n"
      "  quavix match coin.wav --evaluations 200\n"
      "Run 'quavix COMMAND --help' for the options of a command.");

  RenderArgs render;
  BatchArgs batch;
  InfoArgs info;
  MatchArgs matchArgs;
  CLI::App* renderCmd = AddRenderCommand(app, render);
  CLI::App* batchCmd = AddBatchCommand(app, batch);
  CLI::App* infoCmd = AddInfoCommand(app, info);
  CLI::App* presetsCmd = AddPresetsCommand(app);
  CLI::App* matchCmd = AddMatchCommand(app, matchArgs);
  const std::vector<CLI::App*> all{renderCmd, batchCmd, infoCmd, presetsCmd, matchCmd};
  for (CLI::App* command : all) command->group("Commands");

  // The words before the command: only --help and --version belong there.
  std::vector<std::string> commands;
  for (const CLI::App* command : all) commands.push_back(command->get_name());
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
    for (const CLI::App* sub : all) {
      if (sub->parsed()) command = sub;
    }
    return Report(streams, kExitUsage, ParserMessage(e, *command));
  }

  for (const CLI::App* sub : all) {
    if (!sub->parsed()) continue;
    if (const std::string problem = FlagWithValue(argc, argv, *sub); !problem.empty()) {
      return Report(streams, kExitUsage, problem);
    }
  }
  try {
    if (renderCmd->parsed()) return RunRender(render, streams);
    if (batchCmd->parsed()) return RunBatch(batch, streams);
    if (infoCmd->parsed()) return RunInfo(info, streams);
    if (presetsCmd->parsed()) return RunPresets(streams);
    if (matchCmd->parsed()) return RunMatch(matchArgs, streams);
    return Report(streams, kExitUsage, "no command given (commands: " + std::string(kCommands) + ")");
  } catch (const CliError& e) {
    return Report(streams, e.Status, e.Message);
  } catch (const nlohmann::json::exception& e) {
    // Every text is checked before it goes into JSON; this is the net under those checks.
    return Report(streams, kExitFailure,
                  e.id == 316 ? "cannot write JSON: a text for it is not UTF-8"
                              : "cannot handle the JSON data");
  } catch (const std::bad_alloc&) {
    return Report(streams, kExitFailure, "out of memory");
  } catch (const std::exception& e) {
    return Report(streams, kExitFailure, e.what());
  }
}

}  // namespace quavix::cli
