// The registry and the entry points as the host sees them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "sim_host.h"

namespace quavix::host {
namespace {

struct Item {
  const char* Text;
  std::vector<std::pair<int, std::string>> Params;
  std::uint16_t Flags = 0;  // result type of an expression: 0 whole number, 1 text, 2 float
};

void ExpectItems(const AceList& list, const std::vector<Item>& expected) {
  ASSERT_EQ(list.Items.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const AceDef& def = *list.Items[i];
    SCOPED_TRACE(testing::Message() << i << " " << expected[i].Text);
    EXPECT_STREQ(def.Text, expected[i].Text);
    EXPECT_EQ(def.Flags, expected[i].Flags);
    ASSERT_EQ(def.ParamTypes.size(), expected[i].Params.size());
    for (std::size_t p = 0; p < def.ParamTypes.size(); ++p) {
      EXPECT_EQ(def.ParamTypes[p], expected[i].Params[p].first);
      EXPECT_EQ(def.ParamTitles[p], expected[i].Params[p].second);
    }
  }
}

TEST(Registry, TextsParametersAndResultTypesInOrder) {
  const std::string sfs = "Sound settings file (*.sfs)";
  ExpectItems(Registry().Conditions, {{"%o : Sound generated", {}}});
  ExpectItems(Registry().Actions, {
      {"(UNUSED) Add sound as %0", {{45, "Sound name"}}},
      {"Mutate sound by %0", {{22, "Mutation coefficient"}}},
      {"Load preset %0",
       {{22, "Sound effect (0: Coin, 1: Laser, 2: Explosion, 3: Powerup, 4: Hurt, 5: Jump, 6: Blip)"}}},
      {"Reset", {}},
      {"Set wave type to %0", {{22, "Wave type (0: Square wave, 1: Sawtooth, 2: Sine, 3: Noise)"}}},
      {"Set attack time to %0", {{22, "Attack time"}}},
      {"Generate sound as %0", {{45, "Sound name (Existing sounds will be replaced)"}}},
      {"Set random seed to %0", {{22, "Seed (0: Current time)"}}},
      {"Set sustain time to %0", {{22, "Sustain time in seconds"}}},
      {"Set sustain punch to %0", {{22, "Sustain punch"}}},
      {"Set decay time to %0", {{22, "Decay time in seconds"}}},
      {"Set start frequency to %0", {{22, "Start frequency (Use expression to enter Hertz)"}}},
      {"Set minimum frequency to %0", {{22, "Minimum frequency (Use expression to enter Hertz)"}}},
      {"Set slide to %0", {{22, "Slide"}}},
      {"Set delta slide to %0", {{22, "Delta slide"}}},
      {"Set vibrato depth to %0", {{22, "Vibrato depth"}}},
      {"Set vibrato speed to %0", {{22, "Vibrato Speed in cycles per second"}}},
      {"Set change amount to %0", {{22, "Change amount"}}},
      {"Set change speed to %0", {{22, "Change speed in seconds"}}},
      {"Set square duty to %0", {{22, "Square duty"}}},
      {"Set square duty sweep to %0", {{22, "Square duty sweep"}}},
      {"Set repeat speed to %0", {{22, "Repeat speed in repeats per second"}}},
      {"Set phaser offset to %0", {{22, "Phaser offset"}}},
      {"Set phaser sweep to %0", {{22, "Phaser sweep"}}},
      {"Set LP filter cutoff to %0", {{22, "Low pass filter cutoff"}}},
      {"Set LP filter cutoff sweep to %0", {{22, "Low pass filter cutoff sweep"}}},
      {"Set LP filter resonance to %0", {{22, "Low pass filter resonance"}}},
      {"Set HP filter cutoff to %0", {{22, "High pass filter cutoff"}}},
      {"Set HP filter cutoff sweep to %0", {{22, "High pass filter cutoff sweep"}}},
      {"Set volume to %0", {{22, "Sound volume"}}},
      {"Load settings file %0", {{63, sfs}}},
      {"Save settings to %0", {{63, sfs}}},
      {"Randomize", {}},
      {"Set variable with index %0 to %1", {{22, "Index (0-23)"}, {22, "Value"}}},
      {"Load settings from string %0", {{45, "Settings string with comma-separated values"}}}});
  std::vector<Item> expressions = {{"GenWave(", {{1, "Offset"}}, 2}, {"GenLength(", {}, 0},
                                   {"Variable(", {{1, "Index (0-23)"}}, 2}, {"CSV$(", {}, 1},
                                   {"WaveType(", {}, 0}};
  for (const char* getter :
       {"Volume(", "AttackTime(", "SustainTime(", "SustainPunch(", "DecayTime(", "StartFreq(",
        "MinFreq(", "Slide(", "DeltaSlide(", "SquareDuty(", "DutySweep(", "VibDepth(", "VibSpeed(",
        "ChangeAmount(", "ChangeSpeed(", "RepeatSpeed(", "PhaserOffset(", "PhaserSweep(",
        "LPCutoff(", "LPCutoffSweep(", "LPResonance(", "HPCutoff(", "HPCutoffSweep("}) {
    expressions.push_back({getter, {}, 2});
  }
  expressions.push_back({"FreqHz(", {{1, "Hz (20 - 20000)"}}, 2});
  ExpectItems(Registry().Expressions, expressions);
}

TEST(EntryPoints, InformationRecordAndHandlerTables) {
  test::SimHost host;
  std::uint8_t block[sizeof(RunObjectInfos) + 8];
  std::memset(block, 0xEE, sizeof(block));
  EXPECT_EQ(GetRunObjectInfos(12345, reinterpret_cast<RunObjectInfos*>(block)), 1);
  // After the three table pointers: the counts 1, 35, 29, the record size 28,
  // 0, 100, the host's byte, 0, "SVDA", the record version 2; then host bytes.
  const std::uint8_t fields[] = {1, 0, 35, 0, 29, 0, 28, 0, 0, 0, 0, 0, 100, 0xEE,
                                 0, 0, 'S', 'V', 'D', 'A', 2, 0, 0xEE, 0xEE, 0xEE};
  EXPECT_EQ(std::memcmp(block + 3 * sizeof(void*), fields, sizeof(fields)), 0);
  const HandlerTables& t = Tables();
  const void* tables[3] = {t.Conditions.data(), t.Actions.data(), t.Expressions.data()};
  EXPECT_EQ(std::memcmp(block, tables, sizeof(tables)), 0);
  EXPECT_EQ(t.Conditions.size() * 100 + t.Actions.size(), 236u);
  EXPECT_EQ(t.Expressions.size(), 30u);
  EXPECT_TRUE(t.Conditions[1] == nullptr && t.Actions[35] == nullptr && t.Expressions[29] == nullptr);
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
  const std::vector<std::string> one = {"GetProperties", "IsPropEnabled", "SetTextFont", "GetTextFont"};
  const std::vector<std::string> minusOne = {"CreateObject", "GetConditionCodeFromMenu",
                                             "GetActionCodeFromMenu", "GetExpressionCodeFromMenu"};
  int stubs = 0;
#define QUAVIX_ENTRY(name, ordinal, arguments)
#define QUAVIX_VOID_STUB(name, ordinal, arguments) ++stubs;
#define QUAVIX_STUB(name, ordinal, arguments, result)                                 \
  ++stubs;                                                                            \
  EXPECT_EQ(CallStub(&name), std::count(one.begin(), one.end(), #name) -                 \
                             std::count(minusOne.begin(), minusOne.end(), #name)) << #name;
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
    std::uint8_t bytes[28];
    std::memcpy(bytes, updated, 28);
    const std::uint8_t expected[28] = {28, 0, 0, 0, 0x11, 0x11, 0x11, 0x11, 2, 0, 0, 0, 0x22, 0x22,
                                       0x22, 0x22, 0x33, 0x33, 0x33, 0x33, 0, 1, 0, 0, 5, 0, 0, 0};
    EXPECT_EQ(std::memcmp(bytes, expected, 28), 0);
    GlobalFree(updated);
  }
}

}  // namespace
}  // namespace quavix::host
