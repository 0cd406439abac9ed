// A project file: named sounds, each with its exact parameters (the settings
// file's bytes in hex), the seed its synthesis starts from and its buffer
// length, as the Studio's library exports them. batch --project renders them.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <utility>
#include <string>
#include <string_view>
#include <vector>

#include "cli_forward.h"
#include "design/layered_sound.h"
#include "synth/synth_params.h"

namespace quavix::cli {

// Version 2 adds layered sounds; version 1 files read as before.
inline constexpr int kProjectVersion = 2;
inline constexpr const char* kProjectFormat = "quavix-project";

struct ProjectSound {
  std::string Name;
  std::vector<std::string> Tags;
  std::uint32_t Seed = 0;
  SynthParams Params{};
  std::uint32_t BufferSeconds = 5;
  std::vector<Layer> Layers;  // a layered sound's layers (then the fields above are unused)
};

// Whether Windows takes a file of this name for a device: the part before the
// first dot, less trailing spaces, is CON, PRN, AUX, NUL, COM1 to COM9 or LPT1
// to LPT9, in any letter case ("con.wav" and "Nul .x.flac" are devices).
bool IsDeviceFileName(std::string_view fileName);

// That part of a file name: what IsDeviceFileName compares.
std::string_view DevicePart(std::string_view fileName);

// Reads and checks the whole file; status 1 with the first problem, naming the
// sound (its number from 1 and its name) when one of them is wrong.
std::vector<ProjectSound> ReadProjectFile(const std::string& path);

// The sound of the project file at path that name names (--sound NAME), or
// its only sound when name is null; a usage error when it holds several.
ProjectSound ChooseProjectSound(const std::string& path, const std::string* name);

// Adds --layers FILE and --sound NAME to a command that does verb ("render",
// "show") to a layered sound; returns the two options, in that order.
std::pair<CLI::Option*, CLI::Option*> AddLayersOptions(CLI::App& cmd, const std::string& verb, std::string& layers,
                                                       std::string& soundName);

// Refuses, as a usage error, each given option of one recipe beside --layers.
void RefuseBesideLayers(std::initializer_list<std::pair<const char*, const CLI::Option*>> options);

// A sound's layers: a plain sound is one layer at 0 dB.
std::vector<Layer> LayersOf(const ProjectSound& sound);

// One file stem per sound, after its name: letters, digits, '-', '_' and '.'
// kept, every other run of characters one '-', no '-' or '.' at either end,
// at most 64 bytes, "sound" for a name with nothing left, "_" after a name
// Windows keeps for a device (CON, nul.txt: CON_, nul_.txt); a stem already
// taken (letter case aside) gets "-2", "-3"... appended.
std::vector<std::string> ProjectFileStems(const std::vector<ProjectSound>& sounds);

}  // namespace quavix::cli
