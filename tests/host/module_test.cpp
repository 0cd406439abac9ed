// The registry, the entry points, the user guide and the reference sounds, as the host and its
// users see them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "reference_recipe.h"
#include "sim_host.h"

namespace quavix::host {
namespace {

// Text, each parameter's type and title, and a result type but 0 (1 text, 2 float).
std::vector<std::string> Items(const AceList& list) {
  std::vector<std::string> items;
  for (const AceDef* def : list.Items) {
    std::string& item = items.emplace_back(def->Text);
    for (std::size_t p = 0; p < def->ParamTypes.size(); ++p) {
      item.append(" ").append(std::to_string(def->ParamTypes[p])).append(":");
      item.append(def->ParamTitles.at(p));
    }
    if (def->Flags != 0) item.append(" =").append(std::to_string(def->Flags));
  }
  return items;
}
std::string Setter(const std::string& what, const std::string& title) {
  return "Set " + what + " to %0 22:" + title;
}

TEST(Registry, TextsParametersAndResultTypesInOrder) {
  const std::string sfs = " 63:Sound settings file (*.sfs)";
  EXPECT_EQ(Items(Registry().Conditions), std::vector<std::string>{"%o : Sound generated"});
  const std::vector<std::string> actions = {
      "(UNUSED) Add sound as %0 45:Sound name",
      "Mutate sound by %0 22:Mutation coefficient",
      "Load preset %0 22:Sound effect (0: Coin, 1: Laser, 2: Explosion, 3: Powerup, 4: Hurt, 5: "
      "Jump, 6: Blip)",
      "Reset",
      Setter("wave type", "Wave type (0: Square wave, 1: Sawtooth, 2: Sine, 3: Noise)"),
      Setter("attack time", "Attack time"),
      "Generate sound as %0 45:Sound name (Existing sounds will be replaced)",
      "Set random seed to %0 22:Seed (0: Current time)",
      Setter("sustain time", "Sustain time in seconds"),
      Setter("sustain punch", "Sustain punch"),
      Setter("decay time", "Decay time in seconds"),
      Setter("start frequency", "Start frequency (Use expression to enter Hertz)"),
      Setter("minimum frequency", "Minimum frequency (Use expression to enter Hertz)"),
      Setter("slide", "Slide"),
      Setter("delta slide", "Delta slide"),
      Setter("vibrato depth", "Vibrato depth"),
      Setter("vibrato speed", "Vibrato Speed in cycles per second"),
      Setter("change amount", "Change amount"),
      Setter("change speed", "Change speed in seconds"),
      Setter("square duty", "Square duty"),
      Setter("square duty sweep", "Square duty sweep"),
      Setter("repeat speed", "Repeat speed in repeats per second"),
      Setter("phaser offset", "Phaser offset"),
      Setter("phaser sweep", "Phaser sweep"),
      Setter("LP filter cutoff", "Low pass filter cutoff"),
      Setter("LP filter cutoff sweep", "Low pass filter cutoff sweep"),
      Setter("LP filter resonance", "Low pass filter resonance"),
      Setter("HP filter cutoff", "High pass filter cutoff"),
      Setter("HP filter cutoff sweep", "High pass filter cutoff sweep"),
      Setter("volume", "Sound volume"),
      "Load settings file %0" + sfs,
      "Save settings to %0" + sfs,
      "Randomize",
      "Set variable with index %0 to %1 22:Index (0-23) 22:Value",
      "Load settings from string %0 45:Settings string with comma-separated values"};
  EXPECT_EQ(Items(Registry().Actions), actions);
  std::vector<std::string> expressions = {"GenWave( 1:Offset =2", "GenLength(",
                                          "Variable( 1:Index (0-23) =2", "CSV$( =1", "WaveType("};
  for (const char* getter :
       {"Volume(",      "AttackTime(",   "SustainTime(",  "SustainPunch(", "DecayTime(",
        "StartFreq(",   "MinFreq(",      "Slide(",        "DeltaSlide(",   "SquareDuty(",
        "DutySweep(",   "VibDepth(",     "VibSpeed(",     "ChangeAmount(", "ChangeSpeed(",
        "RepeatSpeed(", "PhaserOffset(", "PhaserSweep(",  "LPCutoff(",     "LPCutoffSweep(",
        "LPResonance(", "HPCutoff(",     "HPCutoffSweep("}) {
    expressions.push_back(std::string(getter) + " =2");
  }
  expressions.push_back("FreqHz( 1:Hz (20 - 20000) =2");
  EXPECT_EQ(Items(Registry().Expressions), expressions);
}

// One reference entry per display text: a heading or table row with it in backticks.
TEST(ModuleGuide, HasOneReferenceEntryForEveryDisplayText) {
  std::ifstream file(QUAVIX_MODULE_GUIDE);
  std::string entries;
  for (std::string line; std::getline(file, line);) {
    if (!line.empty() && (line[0] == '#' || line[0] == '|')) entries += line + '\n';
  }
  ASSERT_FALSE(entries.empty()) << "cannot read " << QUAVIX_MODULE_GUIDE;
  for (const AceList* list :
       {&Registry().Conditions, &Registry().Actions, &Registry().Expressions}) {
    for (const AceDef* def : list->Items) {
      const std::string needle = std::string("`") + def->Text + "`";
      const auto at = entries.find(needle);
      EXPECT_TRUE(at != std::string::npos && entries.find(needle, at + 1) == std::string::npos)
          << "one reference entry for \"" << def->Text << "\"";
    }
  }
}

TEST(EntryPoints, InformationRecordAndHandlerTables) {
  test::SimHost host;
  std::uint8_t block[sizeof(RunObjectInfos) + 8];
  std::memset(block, 0xEE, sizeof(block));
  EXPECT_EQ(GetRunObjectInfos(12345, reinterpret_cast<RunObjectInfos*>(block)), 1);
  // After the three table pointers: the counts 1, 35, 29, the record size 28,
  // 0, 100, the host's byte, 0, "SVDA", the record version 2; then host bytes.
  const std::uint8_t fields[] = {1,    0, 35, 0,   29,  0,   28,  0, 0, 0,    0,    0,   100,
                                 0xEE, 0, 0,  'S', 'V', 'D', 'A', 2, 0, 0xEE, 0xEE, 0xEE};
  EXPECT_EQ(std::memcmp(block + 3 * sizeof(void*), fields, sizeof(fields)), 0);
  const HandlerTables& t = Tables();
  const void* tables[3] = {t.Conditions.data(), t.Actions.data(), t.Expressions.data()};
  EXPECT_EQ(std::memcmp(block, tables, sizeof(tables)), 0);
  EXPECT_EQ(t.Conditions.size() * 100 + t.Actions.size(), 236u);
  EXPECT_EQ(t.Expressions.size(), 30u);
  EXPECT_TRUE(t.Conditions[1] == nullptr && t.Actions[35] == nullptr &&
              t.Expressions[29] == nullptr);
  EXPECT_EQ(t.Conditions[0], Registry().Conditions.Items[0]->Condition);
}

template <typename... A>
HostWord CallStub(HostWord (*stub)(A...)) {
  return stub(static_cast<A>(0x7777)...);
}

TEST(EntryPoints, GetInfosSizeAndStubs) {
  const std::pair<HostWord, HostWord> infos[] = {{0, 768}, {2, 256}, {6, 2}, {7, 248}, {1, 0},
                                                 {3, 0},   {4, 0},   {5, 0}, {8, 0},   {-1, 0}};
  for (const auto& [selector, result] : infos) EXPECT_EQ(GetInfos(selector), result) << selector;
  EXPECT_EQ(GetRunObjectDataSize(0, 0), static_cast<HostWord>(sizeof(RunObjectData)));
  EXPECT_EQ(HandleRunObject(nullptr), 1);
  // Every stub answers 0, but these four 1 and these four -1.
  std::map<std::string, HostWord> answers = {{"GetProperties", 1},
                                             {"IsPropEnabled", 1},
                                             {"SetTextFont", 1},
                                             {"GetTextFont", 1},
                                             {"CreateObject", -1},
                                             {"GetConditionCodeFromMenu", -1},
                                             {"GetActionCodeFromMenu", -1},
                                             {"GetExpressionCodeFromMenu", -1}};
  int stubs = 0;
#define QUAVIX_ENTRY(name, ordinal, arguments)
#define QUAVIX_VOID_STUB(name, ordinal, arguments) ++stubs;
#define QUAVIX_STUB(name, ordinal, arguments, result) \
  ++stubs;                                            \
  EXPECT_EQ(CallStub(&name), answers[#name]) << #name;
#include "host/entry_points.inc"
#undef QUAVIX_ENTRY
#undef QUAVIX_STUB
#undef QUAVIX_VOID_STUB
  EXPECT_EQ(stubs, 65);
}

TEST(EntryPoints, UpdateEditStructureConvertsOldVersionsOnly) {
  for (std::uint32_t version : {0u, 1u, 2u, 3u, 0xFFFFFFFFu}) {
    SCOPED_TRACE(version);
    // Only the 20-byte header is readable: the sanitizers report a read past it.
    const std::uint32_t header[5] = {24, 0x11111111, version, 0x22222222, 0x33333333};
    auto* updated = UpdateEditStructure(0, reinterpret_cast<const EditStructure*>(header));
    if (version >= 2) {
      EXPECT_EQ(updated, nullptr);
      continue;
    }
    ASSERT_NE(updated, nullptr);
    const std::uint8_t expected[28] = {28, 0, 0,    0,    0x11, 0x11, 0x11, 0x11, 2,    0,
                                       0,  0, 0x22, 0x22, 0x22, 0x22, 0x33, 0x33, 0x33, 0x33,
                                       0,  1, 0,    0,    5,    0,    0,    0};
    EXPECT_EQ(std::memcmp(updated, expected, 28), 0);
    GlobalFree(updated);
  }
}

// Each recipe of tests/reference_sounds.txt (see reference_recipe.h) against the digest of the
// image this build publishes; the ARM64, Windows and WebAssembly builds check the same file.
// After an intended change of the sound (say why in the commit), or for a new recipe (a line
// "RECIPE 0 0"), write the file anew: QUAVIX_WRITE_REFERENCE=FILE host_tests --gtest_filter=Ref*
TEST(ReferenceSounds, CommittedDigestsMatchThisBuild) {
  const char* target = std::getenv("QUAVIX_WRITE_REFERENCE");
  std::ifstream in(QUAVIX_REFERENCE_SOUNDS, std::ios::binary);
  ASSERT_TRUE(in) << QUAVIX_REFERENCE_SOUNDS;
  std::string written;
  int cases = 0;
  for (std::string line; std::getline(in, line); written += line + "\n") {
    if (line.empty() || line[0] == '#') continue;
    const std::string recipe = line.substr(0, line.find(' '));
    const test::Recipe parsed = test::ParseRecipe(recipe);
    test::SimHost host;
    RunObjectData* object = host.Create(parsed.BufferSeconds);
    for (const test::RecipeStep& step : parsed.Steps) {
      EXPECT_NE(step.Action, -1) << "unknown step in " << recipe;
      host.ActionParams.assign(step.Fetched.begin(), step.Fetched.end());
      if (step.Action != -1) host.Action(object, step.Action, static_cast<HostWord>(step.First));
    }
    host.Action(object, 6, "reference");
    const test::Image& image = host.Bank.at("reference");
    const std::string result = recipe + " " + test::ImageDigest(image.data(), image.size());
    EXPECT_TRUE(target != nullptr || line == result) << result;
    line = result;
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
