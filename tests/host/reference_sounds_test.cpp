// The reference sounds: for each recipe of tests/reference_sounds.txt, the
// sample count and 64-bit FNV-1a digest of the image this build publishes.
// The native, ARM64, Windows (under Wine) and WebAssembly builds check the
// same file, so independent compilations must agree byte for byte.
//
// A recipe is run on a new instance as host actions, then "Generate sound":
//   bN      buffer length N seconds (first), sN  "Set random seed to N",
//   pN      "Load preset N",                  r   "Randomize",
//   mHEX    "Mutate sound by" the float of bits HEX,
//   vI=HEX  "Set variable with index I to" the float of bits HEX.
//
// After an intended change of the sound (say why in the commit), or to add a
// recipe (a line "RECIPE 0 0"), write the digests of the file's recipes anew:
//   QUAVIX_WRITE_REFERENCE=tests/reference_sounds.txt
//   build/release/tests/host/host_tests --gtest_filter='ReferenceSounds.*'
#include <gtest/gtest.h>

#include <bit>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "sim_host.h"

namespace quavix::host {
namespace {

// Runs one recipe; returns "sampleCount digest".
std::string RunRecipe(const std::string& recipe) {
  std::vector<std::string> steps;
  std::stringstream tokens(recipe);
  for (std::string step; std::getline(tokens, step, ',');) steps.push_back(step);
  test::SimHost host;
  RunObjectData* object = host.Create(static_cast<std::uint32_t>(std::stoul(steps.at(0).substr(1))));
  for (std::size_t i = 1; i < steps.size(); ++i) {
    const std::string arg = steps[i].substr(1);
    const std::size_t eq = arg.find('=');
    switch (steps[i][0]) {
      case 's': host.Action(object, 7, std::stol(arg)); break;
      case 'p': host.Action(object, 2, std::stol(arg)); break;
      case 'r': host.Action(object, 32); break;
      case 'm':
        host.QueueActionFloat(std::bit_cast<float>(static_cast<std::uint32_t>(std::stoul(arg, nullptr, 16))));
        host.Action(object, 1);
        break;
      case 'v':
        host.ActionParams.push_back(std::stol(arg.substr(0, eq)));
        host.QueueActionFloat(
            std::bit_cast<float>(static_cast<std::uint32_t>(std::stoul(arg.substr(eq + 1), nullptr, 16))));
        host.Action(object, 33);
        break;
      default: ADD_FAILURE() << "unknown step " << steps[i];
    }
  }
  host.Action(object, 6, "reference");
  std::uint64_t digest = 0xcbf29ce484222325ull;
  for (std::uint8_t byte : host.Bank.at("reference")) digest = (digest ^ byte) * 0x100000001b3ull;
  char line[64];
  std::snprintf(line, sizeof(line), "%zu %016llx", (host.Bank.at("reference").size() - 44) / 2,
                static_cast<unsigned long long>(digest));
  return line;
}

TEST(ReferenceSounds, CommittedDigestsMatchThisBuild) {
  const char* target = std::getenv("QUAVIX_WRITE_REFERENCE");
  std::ifstream in(QUAVIX_REFERENCE_SOUNDS, std::ios::binary);
  ASSERT_TRUE(in) << QUAVIX_REFERENCE_SOUNDS;
  std::string written;
  int cases = 0;
  for (std::string line; std::getline(in, line);) {
    const std::string recipe = line.substr(0, line.find(' '));
    if (line.empty() || line[0] == '#') {
      written += line + "\n";
      continue;
    }
    const std::string result = RunRecipe(recipe);
    written += recipe + " " + result + "\n";
    EXPECT_TRUE(target != nullptr || line.substr(recipe.size() + 1) == result) << recipe << " " << result;
    ++cases;
  }
  EXPECT_GT(cases, 80);
  if (target != nullptr) {
    in.close();
    std::ofstream(target, std::ios::binary) << written;
    GTEST_SKIP() << "wrote " << target;
  }
}

}  // namespace
}  // namespace quavix::host
