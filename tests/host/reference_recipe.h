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
#include <string_view>
#include <vector>

namespace quavix::host::test {

// An action by number, the first parameter it is called with and those it fetches.
struct RecipeStep {
  int Action = -1;
  std::uint32_t First = 0;
  std::vector<std::uint32_t> Fetched;
};
struct Recipe {
  std::uint32_t BufferSeconds = 0;
  std::vector<RecipeStep> Steps;  // an unknown step has action -1
};

inline Recipe ParseRecipe(const std::string& text) {
  Recipe recipe;
  std::stringstream tokens(text);
  std::string step;
  std::getline(tokens, step, ',');
  recipe.BufferSeconds = static_cast<std::uint32_t>(std::stoul(step.substr(1)));
  const auto number = [](const std::string& digits, int base) {
    return static_cast<std::uint32_t>(std::stoul(digits, nullptr, base));
  };
  while (std::getline(tokens, step, ',')) {
    constexpr int kActions[] = {7, 2, 32, 1, 33};  // the actions of s, p, r, m, v
    const std::size_t letter = std::string_view("sprmv").find(step[0]);
    const std::string arg = step.substr(1);
    const std::size_t eq = arg.find('=');
    RecipeStep& s = recipe.Steps.emplace_back();
    s.Action = letter < 5 ? kActions[letter] : -1;
    if (letter < 2) s.First = number(arg, 10);
    if (step[0] == 'm') s.Fetched = {number(arg, 16)};
    if (step[0] == 'v') s.Fetched = {number(arg.substr(0, eq), 10), number(arg.substr(eq + 1), 16)};
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
