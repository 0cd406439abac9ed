// quavix batch, step 3: manifest.json. Every path in it is relative to the
// folder it lies in, so that each sound's command, run in that folder, renders
// the same file again.
#include <filesystem>

#include "batch_steps.h"
#include "design/presets.h"
#include "exchange/settings_file.h"
#include "exchange/settings_string.h"
#include "export_output.h"

namespace quavix::cli {

std::string SettingsFileFrom(const std::string& file, const std::string& outDir) {
  if (file == "-") return file;
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path from = fs::weakly_canonical(fs::absolute(outDir, ec), ec);
  const fs::path to = fs::weakly_canonical(fs::absolute(file, ec), ec);
  if (ec) return fs::absolute(file).lexically_normal().string();
  const fs::path relative = to.lexically_relative(from);
  return relative.empty() ? to.string() : relative.string();
}

namespace {

// One word for a POSIX shell: as it is when it holds only safe characters,
// otherwise in single quotes.
std::string ShellWord(const std::string& word) {
  const bool safe = !word.empty() && word.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                                                           "0123456789_./=:,+-@%") == std::string::npos;
  if (safe) return word;
  std::string quoted = "'";
  for (const char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// The render command that makes an entry again, run in the output folder.
std::string RenderCommandFor(const BatchArgs& args, const BatchPlan& plan, const BatchEntry& entry,
                             const std::string& settingsFile) {
  const SoundRecipe& recipe = plan.Recipe;
  std::string cmd = "quavix render --seed " + std::to_string(entry.Seed);
  switch (recipe.Source) {
    case ParamSource::Preset:
      cmd += " --preset " + std::string(kPresetFamilyNames[static_cast<std::size_t>(recipe.PresetFamily)].Name);
      break;
    case ParamSource::Randomize:
      cmd += " --randomize";
      break;
    case ParamSource::SettingsFile:
      cmd += " --sfs " + ShellWord(settingsFile);
      break;
    case ParamSource::SettingsString:
      cmd += " --csv " + ShellWord(args.Recipe.SettingsString);
      break;
    case ParamSource::Defaults:
      break;
  }
  for (const ParamChange& change : recipe.Changes) cmd += " --set " + ShellWord(change.Text);
  if (recipe.MutateCoefficient) cmd += " --mutate " + ShellWord(args.Recipe.Mutate);
  if (recipe.BufferSeconds != 5) cmd += " --buffer-length " + std::to_string(recipe.BufferSeconds);
  return cmd + (plan.Export ? plan.Export->RenderOptions : "") + " -o " + ShellWord(entry.File);
}

// A project's sound: its exact parameters as a settings string when that reads
// them back exactly, otherwise as the settings file's bytes on standard input.
std::string ProjectRenderCommand(const BatchPlan& plan, const BatchEntry& entry) {
  const SoundRecipe& recipe = *entry.Recipe;
  const std::string csv = ExportSettingsString(recipe.Loaded);
  SynthParams read = DefaultParams();
  ImportSettingsString(read, csv);
  const auto bytes = EncodeSettings(recipe.Loaded);
  std::string cmd;
  std::string source;
  if (WhyNotASettingsString(recipe.Loaded).empty() && EncodeSettings(read) == bytes) {
    source = " --csv " + ShellWord(csv);
  } else {
    cmd = "printf '";
    for (const std::uint8_t b : bytes) {
      cmd += '\\';
      cmd += static_cast<char>('0' + (b >> 6));
      cmd += static_cast<char>('0' + ((b >> 3) & 7));
      cmd += static_cast<char>('0' + (b & 7));
    }
    cmd += "' | ";
    source = " --sfs -";
  }
  cmd += "quavix render --seed " + std::to_string(entry.Seed) + source;
  if (recipe.BufferSeconds != 5) cmd += " --buffer-length " + std::to_string(recipe.BufferSeconds);
  return cmd + (plan.Export ? plan.Export->RenderOptions : "") + " -o " + ShellWord(entry.File);
}

// A project's layered sound: made again from the project file by its name.
std::string LayeredRenderCommand(const BatchPlan& plan, const BatchEntry& entry, const std::string& project) {
  return "quavix render --layers " + ShellWord(project) + " --sound " + ShellWord(entry.Name) +
         (plan.Export ? plan.Export->RenderOptions : "") + " -o " + ShellWord(entry.File);
}

}  // namespace

std::string BuildManifest(const BatchPlan& plan, const BatchArgs& args, const std::string& outDir) {
  const SoundRecipe& recipe = plan.Recipe;
  const std::string settingsFile =
      recipe.Source == ParamSource::SettingsFile ? SettingsFileFrom(args.Recipe.SettingsFile, outDir) : "";
  nlohmann::ordered_json manifest;
  manifest["generator"] = "quavix " QUAVIX_VERSION;
  const bool project = !args.Project.empty();
  manifest["seed"] = project ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(plan.Seed);
  manifest["count"] = plan.Count;
  if (project) {
    manifest["project"] = SettingsFileFrom(args.Project, outDir);
  } else switch (recipe.Source) {
    case ParamSource::Preset:
      manifest["preset"] = kPresetFamilyNames[static_cast<std::size_t>(recipe.PresetFamily)].Name;
      break;
    case ParamSource::Randomize:
      manifest["randomize"] = true;
      break;
    case ParamSource::SettingsFile:
      manifest["sfs_file"] = settingsFile;
      break;
    default:
      manifest["csv"] = args.Recipe.SettingsString;
      break;
  }
  manifest["set"] = args.Recipe.Sets;
  manifest["mutate"] = recipe.MutateCoefficient ? nlohmann::ordered_json(static_cast<double>(*recipe.MutateCoefficient))
                                                : nlohmann::ordered_json(nullptr);
  manifest["buffer_length"] = project ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(recipe.BufferSeconds);
  manifest["sample_rate"] = kSampleRate;
  manifest["clip_level"] = kClipLevel;
  if (plan.Export) {
    const exporting::ExportSettings& s = plan.Export->Settings;
    const bool match = plan.Export->MatchLoudness;
    manifest["export"] = {
        {"format", exporting::FormatName(s.Format)},
        {"rate", s.Rate},
        {"bits", s.Format == exporting::FileFormat::Ogg ? nlohmann::ordered_json(nullptr)
                                                        : nlohmann::ordered_json(exporting::BitsName(s.Bits))},
        {"match_loudness_lufs", match ? JsonLevel(s.Normalize->Target) : nullptr},
        {"normalize", match || !s.Normalize ? nlohmann::ordered_json(nullptr)
                                            : nlohmann::ordered_json(args.Export.Normalize)},
        {"true_peak_ceiling_dbtp", s.Normalize && s.Normalize->Kind == exporting::GainTarget::Loudness
                                       ? JsonLevel(s.CeilingDbtp)
                                       : nullptr},
        {"trim_threshold_db", s.TrimDb ? JsonLevel(*s.TrimDb) : nullptr},
        {"fade_out_ms", s.FadeOutMs}};
  }
  nlohmann::ordered_json sounds = nlohmann::ordered_json::array();
  std::int64_t silent = 0;
  for (const BatchEntry& entry : plan.Entries) {
    if (entry.Silent != Silence::None) ++silent;
    if (!entry.Written) continue;
    nlohmann::ordered_json item{
        {"file", entry.File},
        {"bytes", entry.Bytes},
        {"sha256", entry.Sha256},
        {"seed", entry.Seed},
        {"settings", entry.Settings},
        {"sfs", entry.SettingsHex},
        {"samples", entry.Samples},
        {"peak", entry.Levels.Peak},
        {"clipped", entry.Levels.Clipped},
        {"silent", entry.Silent != Silence::None},
        {"command", !entry.Layers.empty() ? LayeredRenderCommand(plan, entry, SettingsFileFrom(args.Project, outDir))
                    : entry.Recipe          ? ProjectRenderCommand(plan, entry)
                                            : RenderCommandFor(args, plan, entry, settingsFile)}};
    if (entry.Recipe) {
      item["name"] = entry.Name;
      item["buffer_length"] = entry.Recipe->BufferSeconds;
    }
    if (!entry.Layers.empty()) {
      // A mix has no one seed, settings string or settings file; its layers are the project's.
      for (const char* key : {"seed", "settings", "sfs", "buffer_length"}) item[key] = nullptr;
      item["layers"] = entry.Layers.size();
      item["mix_clipped"] = entry.MixClipped;
    }
    for (const auto& [key, value] : entry.Export.items()) item[key] = value;
    sounds.push_back(std::move(item));
  }
  manifest["skipped_silent"] = args.SkipSilent ? silent : 0;
  manifest["sounds"] = std::move(sounds);
  return manifest.dump(2) + "\n";
}

}  // namespace quavix::cli
