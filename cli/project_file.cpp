#include "project_file.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <set>

#include "cli_error.h"
#include "exchange/layers_text.h"
#include "exchange/settings_file.h"
#include "json_text.h"
#include "output_file.h"
#include "synth/sound_length.h"

namespace quavix::cli {
namespace {

inline constexpr std::size_t kMaxNameBytes = 1000;
inline constexpr std::size_t kMaxStemBytes = 64;
inline constexpr std::size_t kMaxSounds = 100000;

// The largest file a valid project needs: kMaxSounds sounds in the Studio's
// layout (JSON with an indent of 2), each with the widest seed and buffer
// length and a name of kMaxNameBytes, every byte of it written as a six-byte
// escape (\u00XX), the longest JSON has:
//       {                              4 spaces, "{", newline: 6
//         "name": "...",               6 + 9 + 6 x 1000 + 3 = 6018
//         "tags": [],                  18
//         "seed": 4294967295,          6 + 8 + 10 + 2 = 26
//         "sfs": "<210 hex digits>",   6 + 8 + 210 + 3 = 227
//         "buffer_length": 60          6 + 17 + 2 + 1 = 26
//       },                             7
// 6,328 bytes a sound, 632.8 MB for 100,000 of them; 640 MiB (671,088,640
// bytes) leaves the format, the version and some tags room besides.
inline constexpr ReadLimit kProjectFileRead{std::size_t{640} << 20, "a project file"};

using Json = nlohmann::json;

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The whole number a JSON number stands for, however it is written (4, 4.0,
// 4e0 and 0.4e1 are the same number), from 0 to 2^53; -1 for anything else.
std::int64_t WholeNumber(const Json& value) {
  constexpr double kLargest = 9007199254740992.0;  // 2^53, up to which every whole double is exact
  if (value.is_number_unsigned()) {
    const std::uint64_t n = value.get<std::uint64_t>();
    return n <= static_cast<std::uint64_t>(kLargest) ? static_cast<std::int64_t>(n) : -1;
  }
  if (value.is_number_integer()) return -1;  // negative
  if (!value.is_number_float()) return -1;
  const double d = value.get<double>();
  if (!(d >= 0 && d <= kLargest) || d != std::trunc(d)) return -1;
  return static_cast<std::int64_t>(d);
}

// The problem with the recipe fields of a sound or a layer (seed, sfs and
// buffer_length), or "" when they can be used.
std::string ReadRecipe(const Json& item, std::uint32_t& seed, SynthParams& params, std::uint32_t& bufferSeconds) {
  const auto seedField = item.find("seed");
  const std::int64_t seedValue = seedField == item.end() ? -1 : WholeNumber(*seedField);
  if (seedValue < 1 || seedValue > 0xffffffff) return SeedFieldProblem();
  seed = static_cast<std::uint32_t>(seedValue);
  const auto length = item.find("buffer_length");
  const std::int64_t seconds = length == item.end() ? -1 : WholeNumber(*length);
  if (seconds < 1 || seconds > kMaxBufferSeconds) return BufferFieldProblem();
  bufferSeconds = static_cast<std::uint32_t>(seconds);
  const auto sfs = item.find("sfs");
  const std::string wrong = "its parameters are not a settings file: \"sfs\" must be its " + std::to_string(kSettingsFileSize) +
                            " bytes in hexadecimal";
  if (sfs == item.end() || !sfs->is_string()) return wrong;
  const std::string hex = sfs->get<std::string>();
  if (hex.size() != 2 * kSettingsFileSize) return wrong;
  std::vector<std::uint8_t> bytes;
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    const int high = HexDigit(hex[i]);
    const int low = HexDigit(hex[i + 1]);
    if (high < 0 || low < 0) return wrong;
    bytes.push_back(static_cast<std::uint8_t>(high * 16 + low));
  }
  params = DefaultParams();
  if (DecodeSettings(params, bytes.data(), bytes.size()) != SettingsLoadResult::Loaded) {
    return "its parameters are not a settings file of a known version";
  }
  return "";
}

// The problem with one layer's fields, or "" when they can be read; the
// values' ranges are the core's to check.
std::string ReadLayer(const Json& item, Layer& layer) {
  if (!item.is_object()) return "it is not an object with a seed, its parameters and a buffer length";
  if (std::string problem = ReadRecipe(item, layer.RandomState, layer.Params, layer.BufferSeconds); !problem.empty()) {
    return problem;
  }
  if (const auto offset = item.find("offset"); offset != item.end()) {
    const std::int64_t samples = WholeNumber(*offset);
    if (samples < 0 || samples > INT32_MAX) {
      return "its offset is not a whole number of samples from 0 to " + std::to_string(kMaxLayerOffset);
    }
    layer.Offset = static_cast<std::int32_t>(samples);
  }
  if (const auto gain = item.find("gain_db"); gain != item.end()) {
    if (!gain->is_number() || !GainTenthsOf(gain->get<double>(), layer.GainTenths)) {
      return "its gain_db is not a number of decibels in steps of 0.1";
    }
  }
  if (const auto muted = item.find("muted"); muted != item.end()) {
    if (!muted->is_boolean()) return "its muted is not true or false";
    layer.Muted = muted->get<bool>();
  }
  return "";
}

// The problem with one sound, or "" when it can be used; fills in sound.
std::string ReadSound(const Json& item, std::int64_t version, ProjectSound& sound) {
  if (!item.is_object()) return "it is not an object with a name, a seed, its parameters and a buffer length";
  const auto name = item.find("name");
  if (name == item.end() || !name->is_string() || name->get<std::string>().empty()) return "it has no name";
  sound.Name = name->get<std::string>();
  if (sound.Name.size() > kMaxNameBytes) return "its name is longer than " + std::to_string(kMaxNameBytes) + " bytes";
  if (const auto tags = item.find("tags"); tags != item.end()) {
    if (!tags->is_array()) return "its tags are not a list of words";
    for (const Json& tag : *tags) {
      if (!tag.is_string()) return "its tags are not a list of words";
      sound.Tags.push_back(tag.get<std::string>());
    }
  }
  const auto layers = item.find("layers");
  if (layers == item.end()) return ReadRecipe(item, sound.Seed, sound.Params, sound.BufferSeconds);
  if (version < 2) return "it has layers, which a project file has from version 2 on";
  if (!layers->is_array()) return "its layers are not a list";
  if (std::string problem = LayerCountProblem(layers->size()); !problem.empty()) return problem;
  sound.Layers.resize(layers->size());
  for (std::size_t i = 0; i < layers->size(); ++i) {
    if (std::string problem = ReadLayer((*layers)[i], sound.Layers[i]); !problem.empty()) {
      return "layer " + std::to_string(i + 1) + ": " + problem;
    }
  }
  return LayersProblem(sound.Layers, nullptr);
}

std::string Lowered(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string Stem(const std::string& name) {
  std::string stem;
  bool gap = false;
  for (const char c : name) {
    const auto b = static_cast<unsigned char>(c);
    if (std::isalnum(b) != 0 && b < 0x80) {
      if (gap && !stem.empty()) stem.push_back('-');
      gap = false;
      stem.push_back(c);
    } else if (c == '-' || c == '_' || c == '.') {
      gap = false;
      stem.push_back(c);
    } else {
      gap = true;
    }
  }
  const auto edge = [](char c) { return c == '-' || c == '.'; };
  if (stem.size() > kMaxStemBytes) stem.resize(kMaxStemBytes);
  while (!stem.empty() && edge(stem.back())) stem.pop_back();
  const auto first = std::find_if_not(stem.begin(), stem.end(), edge);
  stem.erase(stem.begin(), first);
  if (stem.empty()) return "sound";
  // Windows keeps these for its devices, with any extension: "con.wav" is CON.
  if (IsDeviceFileName(stem + ".wav")) {
    const std::size_t device = DevicePart(stem).size();
    stem = stem.substr(0, device) + "_" + stem.substr(device);
    if (stem.size() > kMaxStemBytes) stem.resize(kMaxStemBytes);
    while (edge(stem.back())) stem.pop_back();
  }
  return stem;
}

}  // namespace

std::string_view DevicePart(std::string_view fileName) {
  std::string_view part = fileName.substr(0, fileName.find('.'));
  while (!part.empty() && part.back() == ' ') part.remove_suffix(1);
  return part;
}

bool IsDeviceFileName(std::string_view fileName) {
  const std::string lowered = Lowered(std::string(DevicePart(fileName)));
  if (lowered == "con" || lowered == "prn" || lowered == "aux" || lowered == "nul") return true;
  return lowered.size() == 4 && (lowered.starts_with("com") || lowered.starts_with("lpt")) &&
         lowered[3] >= '1' && lowered[3] <= '9';
}

namespace {

// The sounds of a project file's bytes; shown names the file in messages.
std::vector<ProjectSound> ReadProject(std::string_view text, const std::string& shown) {
  std::string syntax;
  const Json project = ParseJson(text, syntax);
  if (project.is_discarded())
    ThrowFailure(shown + " is not JSON, so it is not a project file: " + syntax);
  if (!project.is_object() || !project.contains("format") || project["format"] != kProjectFormat) {
    ThrowFailure(shown + " is not a project file: it has no \"format\": \"" + kProjectFormat + "\"");
  }
  const auto version = project.find("version");
  const std::int64_t versionNumber = version == project.end() ? -1 : WholeNumber(*version);
  if (versionNumber < 1 || versionNumber > kProjectVersion) {
    const std::string which = version == project.end()          ? "no version"
                              : version->is_number_integer() ? "version " + version->dump()
                                                             : "version " + Echo(version->dump(), 20);
    ThrowFailure(shown + " is a project file of " + which + "; this tool reads versions 1 to " +
                 std::to_string(kProjectVersion));
  }
  const auto list = project.find("sounds");
  if (list == project.end() || !list->is_array()) ThrowFailure(shown + " has no list of sounds");
  if (list->empty()) ThrowFailure(shown + " holds no sounds");
  if (list->size() > kMaxSounds) {
    ThrowFailure(shown + " holds more than " + std::to_string(kMaxSounds) + " sounds");
  }
  std::vector<ProjectSound> sounds;
  for (std::size_t i = 0; i < list->size(); ++i) {
    ProjectSound sound;
    const std::string problem = ReadSound((*list)[i], versionNumber, sound);
    if (!problem.empty()) {
      const std::string named = sound.Name.empty() ? "" : " (" + Echo(sound.Name) + ")";
      ThrowFailure(shown + ": sound " + std::to_string(i + 1) + named + ": " + problem);
    }
    sounds.push_back(std::move(sound));
  }
  return sounds;
}

std::string Shown(const std::string& path) { return path == "-" ? "standard input" : EchoPath(path); }

std::string_view TextOf(const std::vector<std::uint8_t>& bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

}  // namespace

std::vector<ProjectSound> ReadProjectFile(const std::string& path) {
  return ReadProject(TextOf(ReadWholeFile(path, kProjectFileRead)), Shown(path));
}

ProjectSound ChooseProjectSound(const std::string& path, const std::string* name) {
  const std::vector<std::uint8_t> bytes = ReadWholeFile(path, kProjectFileRead);
  const std::string shown = Shown(path);
  // A layered sound's text (a link's or the clipboard's) instead of a project file.
  const std::string_view text = TextOf(bytes);
  if (StartsAsLayersText(text)) {
    if (name != nullptr) ThrowUsage("--sound: " + shown + " holds a layered sound's text, which names no sounds");
    LayersTextRead read = ReadLayersText(text);
    if (!read.Problem.empty()) ThrowFailure(shown + " is a layered sound's text that cannot be used: " + read.Problem);
    ProjectSound sound;
    sound.Name = path == "-" ? "standard input" : std::filesystem::path(path).filename().string();
    sound.Layers = std::move(read.Layers);
    return sound;
  }
  std::vector<ProjectSound> sounds = ReadProject(text, shown);
  if (name == nullptr) {
    if (sounds.size() > 1) {
      ThrowUsage("--layers: " + shown + " holds " + std::to_string(sounds.size()) +
                 " sounds; --sound NAME says which one");
    }
    return std::move(sounds.front());
  }
  const auto named = [&](const ProjectSound& sound) { return sound.Name == *name; };
  const auto count = std::count_if(sounds.begin(), sounds.end(), named);
  if (count == 0) ThrowFailure("--sound: " + shown + " holds no sound named " + Echo(*name));
  if (count > 1) {
    ThrowFailure("--sound: " + shown + " holds " + std::to_string(count) + " sounds named " + Echo(*name) +
                 "; give each a name of its own");
  }
  return std::move(*std::find_if(sounds.begin(), sounds.end(), named));
}

std::pair<CLI::Option*, CLI::Option*> AddLayersOptions(CLI::App& cmd, const std::string& verb, std::string& layers,
                                                       std::string& soundName) {
  const std::string capital = static_cast<char>(std::toupper(static_cast<unsigned char>(verb[0]))) + verb.substr(1);
  CLI::Option* file = cmd.add_option("--layers", layers,
                                     capital + " a layered sound instead: a project file's only sound or the one --sound names,\n"
                                               "or a file holding a layered sound's text (qxl1~...)")
                          ->type_name("FILE");
  CLI::Option* sound =
      cmd.add_option("--sound", soundName, "With --layers: the name of the sound to " + verb)->type_name("NAME");
  return {file, sound};
}

void RefuseBesideLayers(std::initializer_list<std::pair<const char*, const CLI::Option*>> options) {
  for (const auto& [name, option] : options) {
    if (Given(option)) ThrowUsage(std::string(name) + " and --layers cannot go together: each layer has its own recipe");
  }
}

std::vector<Layer> LayersOf(const ProjectSound& sound) {
  if (!sound.Layers.empty()) return sound.Layers;
  Layer only;
  only.Params = sound.Params;
  only.RandomState = sound.Seed;
  only.BufferSeconds = sound.BufferSeconds;
  return {only};
}

std::vector<std::string> ProjectFileStems(const std::vector<ProjectSound>& sounds) {
  std::set<std::string> taken;
  std::vector<std::string> stems;
  for (const ProjectSound& sound : sounds) {
    const std::string base = Stem(sound.Name);
    std::string stem = base;
    for (int n = 2; taken.count(Lowered(stem)) > 0; ++n) stem = base + "-" + std::to_string(n);
    taken.insert(Lowered(stem));
    stems.push_back(stem);
  }
  return stems;
}

}  // namespace quavix::cli
