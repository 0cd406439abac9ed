// Each recipe of tests/reference_sounds.txt (see reference_recipe.h) against the sample count
// and digest of the image this build publishes. The ARM64, Windows and WebAssembly builds check
// the same file. After an intended change of the sound (say why in the commit), or to add a
// recipe (a line "RECIPE 0 0"), write the file anew with QUAVIX_WRITE_REFERENCE=FILE
// build/release/tests/host/host_tests --gtest_filter='ReferenceSounds.*'
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "reference_recipe.h"
#include "sim_host.h"

namespace quavix::host {
namespace {

std::string RunRecipe(const std::string& text) {
  const test::Recipe recipe = test::ParseRecipe(text);
  test::SimHost host;
  RunObjectData* object = host.Create(recipe.BufferSeconds);
  for (const test::RecipeStep& step : recipe.Steps) {
    EXPECT_NE(step.Action, -1) << "unknown step in " << text;
    host.ActionParams.assign(step.Fetched.begin(), step.Fetched.end());
    if (step.Action != -1) host.Action(object, step.Action, static_cast<HostWord>(step.First));
  }
  host.Action(object, 6, "reference");
  const test::Image& image = host.Bank.at("reference");
  return test::ImageDigest(image.data(), image.size());
}

TEST(ReferenceSounds, CommittedDigestsMatchThisBuild) {
  const char* target = std::getenv("QUAVIX_WRITE_REFERENCE");
  std::ifstream in(QUAVIX_REFERENCE_SOUNDS, std::ios::binary);
  ASSERT_TRUE(in) << QUAVIX_REFERENCE_SOUNDS;
  std::string written;
  int cases = 0;
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') {
      written += line + "\n";
      continue;
    }
    const std::string recipe = line.substr(0, line.find(' ')), result = RunRecipe(recipe);
    written += recipe + " " + result + "\n";
    EXPECT_TRUE(target != nullptr || line.substr(recipe.size() + 1) == result)
        << recipe << " " << result;
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
