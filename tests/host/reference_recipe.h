// The recipes of tests/reference_sounds.txt, shared by the native and the Windows test hosts.
// A recipe runs on a new instance as host actions, then "Generate sound":
//   bN      buffer length N seconds (first), sN  "Set random seed to N",
//   pN      "Load preset N",                  r   "Randomize",
//   mHEX    "Mutate sound by" the float of bits HEX,
//   vI=HEX  "Set variable with index I to" the float of bits HEX.
#pragma once

#include <cstdint>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

namespace quavix::host::test {

// An action by number (-1: unknown), the first parameter it is called with, those it fetches.
struct RecipeStep {
  int Action = -1;
  std::uint32_t First = 0;
  std::vector<std::uint32_t> Fetched;
};
struct Recipe {
  std::uint32_t BufferSeconds = 0;
  std::vector<RecipeStep> Steps;
};

inline Recipe ParseRecipe(const std::string& text) {
  Recipe recipe;
  std::stringstream tokens(text);
  std::string step;
  std::getline(tokens, step, ',');
  std::sscanf(step.c_str(), "b%u", &recipe.BufferSeconds);
  while (std::getline(tokens, step, ',')) {
    std::uint32_t a = 0, b = 0;
    RecipeStep& s = recipe.Steps.emplace_back();
    if (std::sscanf(step.c_str(), "s%u", &a) == 1) s = {7, a, {}};
    if (std::sscanf(step.c_str(), "p%u", &a) == 1) s = {2, a, {}};
    if (step == "r") s = {32, 0, {}};
    if (std::sscanf(step.c_str(), "m%x", &a) == 1) s = {1, 0, {a}};
    if (std::sscanf(step.c_str(), "v%u=%x", &a, &b) == 2) s = {33, 0, {a, b}};
  }
  return recipe;
}

// "samples digest" of a published image: its sample count and 64-bit FNV-1a.
inline std::string ImageDigest(const std::uint8_t* image, std::size_t size) {
  std::uint64_t digest = 0xcbf29ce484222325ull;
  for (std::size_t i = 0; i < size; ++i) digest = (digest ^ image[i]) * 0x100000001b3ull;
  char line[40];
  std::snprintf(line, sizeof(line), "%lu %016llx", static_cast<unsigned long>((size - 44) / 2),
                static_cast<unsigned long long>(digest));
  return line;
}

}  // namespace quavix::host::test
