// The reference sounds: for each recipe of tests/reference_sounds.txt, the
// sample count and 64-bit FNV-1a digest of the image this build publishes.
// Every build checks the same file (native, ARM64 under emulation, the 32-bit
// Windows module under Wine), so independent compilations must agree byte for
// byte.
//
// A recipe is run on a new instance as host actions, then "Generate sound":
//   bN      buffer length N seconds (first), sN  "Set random seed to N",
//   pN      "Load preset N",                  r   "Randomize",
//   mHEX    "Mutate sound by" the float of bits HEX,
//   vI=HEX  "Set variable with index I to" the float of bits HEX.
//
// To write the file anew from the recipes below after an intended change of
// the sound (say why in the commit):
//   QUAVIX_WRITE_REFERENCE=tests/reference_sounds.txt
//   build/release/tests/host/host_tests --gtest_filter='ReferenceSounds.*'
#include <gtest/gtest.h>

#include <bit>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "sim_host.h"

namespace quavix::host {
namespace {

constexpr int kMutate = 1, kLoadPreset = 2, kGenerate = 6, kSetSeed = 7, kRandomize = 32,
              kSetVariable = 33;

std::uint64_t Fnv1a64(const std::vector<std::uint8_t>& bytes) {
  std::uint64_t h = 0xcbf29ce484222325ull;
  for (std::uint8_t b : bytes) {
    h ^= b;
    h *= 0x100000001b3ull;
  }
  return h;
}

std::uint32_t Hex(const std::string& text) {
  return static_cast<std::uint32_t>(std::stoul(text, nullptr, 16));
}

// Runs one recipe; returns "sampleCount digest".
std::string RunRecipe(const std::string& recipe) {
  std::vector<std::string> steps;
  std::stringstream tokens(recipe);
  for (std::string step; std::getline(tokens, step, ',');) steps.push_back(step);
  test::SimHost host;
  RunObjectData* object = host.Create(static_cast<std::uint32_t>(std::stoul(steps.at(0).substr(1))));
  for (std::size_t i = 1; i < steps.size(); ++i) {
    const std::string& step = steps[i];
    const std::string arg = step.substr(1);
    switch (step[0]) {
      case 's': host.Action(object, kSetSeed, static_cast<HostWord>(std::stol(arg))); break;
      case 'p': host.Action(object, kLoadPreset, static_cast<HostWord>(std::stol(arg))); break;
      case 'r': host.Action(object, kRandomize); break;
      case 'm':
        host.QueueActionFloat(std::bit_cast<float>(Hex(arg)));
        host.Action(object, kMutate);
        break;
      case 'v': {
        const std::size_t eq = arg.find('=');
        host.QueueActionWord(static_cast<HostWord>(std::stol(arg.substr(0, eq))));
        host.QueueActionFloat(std::bit_cast<float>(Hex(arg.substr(eq + 1))));
        host.Action(object, kSetVariable);
        break;
      }
      default: ADD_FAILURE() << "unknown step " << step;
    }
  }
  host.Action(object, kGenerate, reinterpret_cast<HostWord>("reference"));
  const std::vector<std::uint8_t>& image = host.Bank.at("reference").Image;
  host.Destroy(object);
  char line[64];
  std::snprintf(line, sizeof(line), "%zu %016llx", (image.size() - 44) / 2,
                static_cast<unsigned long long>(Fnv1a64(image)));
  return line;
}

std::string Bits(float value) {
  char text[16];
  std::snprintf(text, sizeof(text), "%08x", std::bit_cast<std::uint32_t>(value));
  return text;
}

std::vector<std::string> Recipes() {
  std::vector<std::string> recipes;
  for (int seed : {1, 2, 7, 12345}) {
    for (int preset = 0; preset < 7; ++preset) {
      recipes.push_back("b5,s" + std::to_string(seed) + ",p" + std::to_string(preset));
    }
  }
  for (int seed = 1; seed <= 8; ++seed) {
    const std::string s = "b5,s" + std::to_string(seed);
    recipes.push_back(s + ",r");
    recipes.push_back(s + ",r,m" + Bits(0.05f));
    recipes.push_back(s + ",p" + std::to_string(seed % 7) + ",m" + Bits(0.3f) + ",m" + Bits(0.3f));
  }
  // Values no parameter normally holds, one parameter at a time.
  const float inf = std::numeric_limits<float>::infinity();
  const float specials[] = {std::numeric_limits<float>::quiet_NaN(), inf, -inf, 3.0e38f,
                            std::numeric_limits<float>::denorm_min()};
  for (int index = 0; index < 24; ++index) {
    for (float value : specials) {
      recipes.push_back("b5,s3,p" + std::to_string(index % 7) + ",v" + std::to_string(index) +
                        "=" + Bits(value));
    }
  }
  // Sine waves with vibrato up to large phases, and the 60-second maximum.
  for (float speed : {0.3f, 1.0f, 7.0f, 300.0f, 1.0e5f, 1.0e18f}) {
    recipes.push_back("b10,s4,v1=" + Bits(2.0f) + ",v3=" + Bits(2.0f) + ",v10=" + Bits(0.5f) +
                      ",v11=" + Bits(speed));
  }
  recipes.push_back("b10,s4,v1=" + Bits(2.0f) + ",v3=" + Bits(2.0f) + ",v6=" + Bits(0.01f));
  recipes.push_back("b60,s5,v1=" + Bits(2.0f) + ",v3=" + Bits(5.0f) + ",v10=" + Bits(0.3f) +
                    ",v11=" + Bits(0.6f));
  recipes.push_back("b60,s6,v1=" + Bits(3.0f) + ",v3=" + Bits(5.0f));
  return recipes;
}

TEST(ReferenceSounds, CommittedDigestsMatchThisBuild) {
  if (const char* target = std::getenv("QUAVIX_WRITE_REFERENCE")) {
    std::ofstream out(target, std::ios::binary);
    out << "# recipe, sample count, FNV-1a 64 of the published image; written by the native build\n";
    for (const std::string& recipe : Recipes()) out << recipe << " " << RunRecipe(recipe) << "\n";
    GTEST_SKIP() << "wrote " << target;
  }
  std::ifstream in(QUAVIX_REFERENCE_SOUNDS, std::ios::binary);
  ASSERT_TRUE(in) << QUAVIX_REFERENCE_SOUNDS;
  int cases = 0;
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    const std::size_t space = line.find(' ');
    EXPECT_EQ(line.substr(space + 1), RunRecipe(line.substr(0, space))) << line.substr(0, space);
    ++cases;
  }
  EXPECT_GT(cases, 150);
}

}  // namespace
}  // namespace quavix::host
