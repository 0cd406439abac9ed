// quavix batch: many sounds of one recipe, sound i with seed S + i, written
// by several threads into numbered files and described in manifest.json. The
// steps live in batch_plan, batch_render, batch_manifest, batch_commit and
// batch_report.
#include <CLI/CLI.hpp>
#include <chrono>

#include "batch_steps.h"
#include "cli_error.h"
#include "output_file.h"

namespace quavix::cli {

CLI::App* AddBatchCommand(CLI::App& app, BatchArgs& args) {
  CLI::App* cmd = app.add_subcommand("batch", "Synthesize many sounds of one recipe, with a manifest");
  args.SeedOption = cmd->add_option("--seed", args.Seed, "Seed S of sound 0, 32 bits (default: the clock)")
                        ->type_name("S");
  AddRecipeOptions(*cmd, args.Recipe, true);
  args.CountOption = cmd->add_option("--count", args.Count, "Number of sounds, 1 to 1000000")->type_name("N");
  args.ProjectOption =
      cmd->add_option("--project", args.Project,
                      "Render every sound of a project file (the Studio's library export) instead of one recipe")
          ->type_name("FILE");
  cmd->add_option("--out-dir", args.OutDir, "Folder for the sounds and manifest.json (created if missing)")
      ->type_name("DIR")
      ->required();
  args.JobsOption =
      cmd->add_option("--jobs", args.Jobs, "Threads to use (default: all cores; at most 4 per core)")->type_name("J");
  cmd->add_option("--name", args.Name, "File name stem (default: the preset family, 'random' or the file's name)")
      ->type_name("NAME");
  cmd->add_flag("--skip-silent", args.SkipSilent, "Write no file for a silent sound (the others keep their numbers)");
  // A project's sounds carry their own recipes, seeds and names.
  for (CLI::Option* other : {args.CountOption, args.SeedOption, args.Recipe.PresetOption,
                             args.Recipe.RandomizeOption, args.Recipe.SettingsFileOption,
                             args.Recipe.SettingsStringOption, args.Recipe.MutateOption, cmd->get_option("--set"),
                             cmd->get_option("--buffer-length"), cmd->get_option("--name")}) {
    args.ProjectOption->excludes(other);
  }
  AddExportOptions(*cmd, args.Export, true);
  cmd->footer(
      "Sound i (from 0) is exactly what 'quavix render --seed S+i' with the same options gives\n"
      "(S+i wraps at 32 bits), whatever --jobs is. --sfs FILE or --csv STRING with --mutate C\n"
      "varies a saved sound. Files are named NAME-i.wav, zero-padded so that they sort;\n"
      "manifest.json lists each file's size and SHA-256, seed, settings string (rounded),\n"
      "settings file bytes (exact), sample count, peak, clipped-sample count (+-32000),\n"
      "whether it is silent, and the render command that makes it again. The batch is one\n"
      "change to the folder: on a failure or Ctrl-C the folder is left as it was. It replaces\n"
      "the set of the folder's earlier manifest.json, taking away only the files still as\n"
      "that manifest recorded them.\n"
      "--project FILE renders each sound of a project file with its own exact parameters, seed\n"
      "and buffer length, into a file named after the sound (unsafe characters become '-',\n"
      "a name Windows keeps for a device gets '_' (CON_.wav), a repeated name gets -2, -3...);\n"
      "manifest.json adds each sound's name and buffer length.\n\n" +
      ParameterHelp() + "\n" + ExportHelp(true) +
              "\nExamples:\n"
              "  quavix batch --preset coin --count 20 --seed 100 --out-dir coins\n"
              "  quavix batch --randomize --mutate 0.05 --count 1000 --out-dir sfx --jobs 2\n"
              "  quavix batch --sfs odd.sfs --mutate 0.1 --count 10 --out-dir odd\n"
              "  quavix batch --project quavix-project.json --out-dir game-sounds\n"
              "  quavix batch --preset laser --count 30 --seed 5 --out-dir lasers --format ogg --rate 48000 \\\n"
              "      --trim --match-loudness -18 --true-peak -1\n");
  return cmd;
}

int RunBatch(const BatchArgs& args, const Streams& streams) {
  BatchPlan plan = PlanBatch(args, streams);

  const StopSignals stopSignals;
  BatchFolder folder(args.OutDir);
  folder.ReadsFrom("--sfs", args.Recipe.SettingsFile);
  folder.ReadsFrom("--project", args.Project);
  for (const BatchEntry& entry : plan.Entries) folder.CheckTarget(entry.File);
  folder.CheckTarget("manifest.json");
  CheckSpace(plan, folder);

  BatchRun run;
  const auto started = std::chrono::steady_clock::now();
  run.Threads = RenderBatch(plan, args.SkipSilent, folder, streams);

  const std::string manifest = BuildManifest(plan, args, folder.Path());
  try {
    WriteNewFile(folder.StagedPath("manifest.json"), reinterpret_cast<const std::uint8_t*>(manifest.data()),
                 manifest.size());
  } catch (const CliError& e) {
    folder.Fail(e.Message);
  }
  run.Suggestion = SuggestLoudness(plan, folder.Path());
  if (StopRequested()) ThrowStopped(folder.Path());

  std::vector<std::string> names;
  for (const BatchEntry& entry : plan.Entries) {
    if (entry.Written) names.push_back(entry.File);
  }
  run.Written = names;
  names.push_back("manifest.json");
  const std::vector<EarlierFile> earlier = folder.EarlierSetBeyond(names, run.Earlier);
  std::string error;
  if (!folder.CommitAll(names, earlier, run.Earlier, error)) {
    if (StopRequested()) ThrowStopped(folder.Path());
    folder.Fail(error);
  }
  run.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

  ReportBatch(plan, args, run, streams);
  return kExitOk;
}

}  // namespace quavix::cli
