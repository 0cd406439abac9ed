#include "app.h"

#include <exception>
#include <new>

#include "cli_error.h"

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

// CLI11's messages in the tool's words.
std::string ParserMessage(const CLI::ParseError& e) {
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
    while (start != std::string::npos) {
      const std::size_t end = list.find(' ', start);
      const std::string word = list.substr(start, end == std::string::npos ? std::string::npos : end - start);
      unknownOption = unknownOption || word.rfind('-', 0) == 0;
      words += (words.empty() ? "" : " ") + Echo(word);
      start = end == std::string::npos ? end : list.find_first_not_of(' ', end);
    }
    return std::string(unknownOption ? "unknown option or unexpected argument " : "unexpected argument ") +
           words + " (see --help)";
  }
  if (dynamic_cast<const CLI::RequiredError*>(&e) != nullptr) {
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

  const std::string first = argc > 1 && argv[1] != nullptr ? argv[1] : "";
  if (!first.empty() && first[0] != '-' && first != renderCmd->get_name() && first != batchCmd->get_name() &&
      first != infoCmd->get_name() && first != presetsCmd->get_name()) {
    return Report(streams, kExitUsage, "unknown command " + Echo(first) + " (commands: " + kCommands + ")");
  }
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    if (e.get_exit_code() == static_cast<int>(CLI::ExitCodes::Success)) {
      app.exit(e, streams.Out, streams.Err);  // --help or --version
      return kExitOk;
    }
    return Report(streams, kExitUsage, ParserMessage(e));
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
