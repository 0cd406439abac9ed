#include "app.h"

#include <exception>
#include <new>

#include "cli_error.h"

namespace quavix::cli {
namespace {

std::string OneLine(std::string text) {
  for (char& c : text) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  while (!text.empty() && text.back() == ' ') text.pop_back();
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
      "Run 'quavix COMMAND --help' for the options of a command.");

  RenderArgs render;
  BatchArgs batch;
  InfoArgs info;
  CLI::App* renderCmd = AddRenderCommand(app, render);
  CLI::App* batchCmd = AddBatchCommand(app, batch);
  CLI::App* infoCmd = AddInfoCommand(app, info);

  const std::string first = argc > 1 && argv[1] != nullptr ? argv[1] : "";
  if (!first.empty() && first[0] != '-' && first != renderCmd->get_name() && first != batchCmd->get_name() &&
      first != infoCmd->get_name()) {
    return Report(streams, kExitUsage, "unknown command '" + first + "' (commands: render, batch, info)");
  }
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    if (e.get_exit_code() == static_cast<int>(CLI::ExitCodes::Success)) {
      app.exit(e, streams.Out, streams.Err);  // --help or --version
      return kExitOk;
    }
    return Report(streams, kExitUsage, e.what());
  }

  try {
    if (renderCmd->parsed()) return RunRender(render, streams);
    if (batchCmd->parsed()) return RunBatch(batch, streams);
    if (infoCmd->parsed()) return RunInfo(info, streams);
    return Report(streams, kExitUsage, "no command given (commands: render, batch, info)");
  } catch (const CliError& e) {
    return Report(streams, e.Status, e.Message);
  } catch (const std::bad_alloc&) {
    return Report(streams, kExitFailure, "out of memory");
  } catch (const std::exception& e) {
    return Report(streams, kExitFailure, e.what());
  }
}

}  // namespace quavix::cli
