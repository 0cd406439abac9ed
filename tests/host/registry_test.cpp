// The registry as the host sees it: counts, texts, parameter types and titles,
// result types, handler tables, the information record, GetInfos, the stubs
// and the stored-record conversion.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "host/entry_points.h"
#include "host/native_host.h"
#include "host/registry.h"
#include "sim_host.h"

namespace quavix::host {
namespace {

struct ExpectedItem {
  const char* Text;
  std::vector<std::pair<std::int16_t, std::string>> Params;
  std::uint16_t Flags = 0;
};

void ExpectItem(const AceDef& def, const ExpectedItem& expected, std::size_t index) {
  SCOPED_TRACE(testing::Message() << "item " << index << " \"" << expected.Text << "\"");
  ASSERT_NE(def.Text, nullptr);
  EXPECT_STREQ(def.Text, expected.Text);
  EXPECT_EQ(def.Flags, expected.Flags);
  ASSERT_EQ(def.ParamTypes.size(), expected.Params.size());
  ASSERT_EQ(def.ParamTitles.size(), expected.Params.size());
  for (std::size_t i = 0; i < expected.Params.size(); ++i) {
    EXPECT_EQ(def.ParamTypes[i], expected.Params[i].first);
    ASSERT_NE(def.ParamTitles[i], nullptr);
    EXPECT_STREQ(def.ParamTitles[i], expected.Params[i].second.c_str());
  }
}

TEST(Registry, TheCondition) {
  const AceRegistry& r = Registry();
  ASSERT_EQ(r.Conditions.Items.size(), 1u);
  ExpectItem(*r.Conditions.Items[0], {"%o : Sound generated", {}}, 0);
  EXPECT_NE(r.Conditions.Items[0]->Condition, nullptr);
  EXPECT_EQ(r.Conditions.Items[0]->Action, nullptr);
  EXPECT_EQ(r.Conditions.Items[0]->Expression, nullptr);
}

TEST(Registry, TheThirtyFiveActionsInOrder) {
  const std::string sfs = "Sound settings file (*.sfs)";
  const std::vector<ExpectedItem> expected = {
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
      {"Load settings from string %0", {{45, "Settings string with comma-separated values"}}},
  };
  const AceRegistry& r = Registry();
  ASSERT_EQ(r.Actions.Items.size(), 35u);
  for (std::size_t i = 0; i < expected.size(); ++i) {
    ExpectItem(*r.Actions.Items[i], expected[i], i);
    EXPECT_NE(r.Actions.Items[i]->Action, nullptr);
    EXPECT_EQ(r.Actions.Items[i]->Condition, nullptr);
    EXPECT_EQ(r.Actions.Items[i]->Expression, nullptr);
  }
}

TEST(Registry, TheTwentyNineExpressionsInOrder) {
  constexpr std::uint16_t kInt = 0, kText = 1, kFloat = 2;
  const std::vector<ExpectedItem> expected = {
      {"GenWave(", {{1, "Offset"}}, kFloat},
      {"GenLength(", {}, kInt},
      {"Variable(", {{1, "Index (0-23)"}}, kFloat},
      {"CSV$(", {}, kText},
      {"WaveType(", {}, kInt},
      {"Volume(", {}, kFloat},
      {"AttackTime(", {}, kFloat},
      {"SustainTime(", {}, kFloat},
      {"SustainPunch(", {}, kFloat},
      {"DecayTime(", {}, kFloat},
      {"StartFreq(", {}, kFloat},
      {"MinFreq(", {}, kFloat},
      {"Slide(", {}, kFloat},
      {"DeltaSlide(", {}, kFloat},
      {"SquareDuty(", {}, kFloat},
      {"DutySweep(", {}, kFloat},
      {"VibDepth(", {}, kFloat},
      {"VibSpeed(", {}, kFloat},
      {"ChangeAmount(", {}, kFloat},
      {"ChangeSpeed(", {}, kFloat},
      {"RepeatSpeed(", {}, kFloat},
      {"PhaserOffset(", {}, kFloat},
      {"PhaserSweep(", {}, kFloat},
      {"LPCutoff(", {}, kFloat},
      {"LPCutoffSweep(", {}, kFloat},
      {"LPResonance(", {}, kFloat},
      {"HPCutoff(", {}, kFloat},
      {"HPCutoffSweep(", {}, kFloat},
      {"FreqHz(", {{1, "Hz (20 - 20000)"}}, kFloat},
  };
  const AceRegistry& r = Registry();
  ASSERT_EQ(r.Expressions.Items.size(), 29u);
  for (std::size_t i = 0; i < expected.size(); ++i) {
    ExpectItem(*r.Expressions.Items[i], expected[i], i);
    EXPECT_NE(r.Expressions.Items[i]->Expression, nullptr);
    EXPECT_EQ(r.Expressions.Items[i]->Condition, nullptr);
    EXPECT_EQ(r.Expressions.Items[i]->Action, nullptr);
  }
}

TEST(HandlerTables, EndWithANullEntryAfterEveryHandler) {
  test::SimHost host;
  const HandlerTables& t = Tables();
  ASSERT_EQ(t.Conditions.size(), 2u);
  ASSERT_EQ(t.Actions.size(), 36u);
  ASSERT_EQ(t.Expressions.size(), 30u);
  EXPECT_EQ(t.Conditions.back(), nullptr);
  EXPECT_EQ(t.Actions.back(), nullptr);
  EXPECT_EQ(t.Expressions.back(), nullptr);
  const AceRegistry& r = Registry();
  for (std::size_t i = 0; i < 1; ++i) EXPECT_EQ(t.Conditions[i], r.Conditions.Items[i]->Condition);
  for (std::size_t i = 0; i < 35; ++i) EXPECT_EQ(t.Actions[i], r.Actions.Items[i]->Action) << i;
  for (std::size_t i = 0; i < 29; ++i) {
    EXPECT_EQ(t.Expressions[i], r.Expressions.Items[i]->Expression) << i;
  }
  // The handlers are distinct functions, so the position alone picks one.
  for (std::size_t i = 0; i < 35; ++i) {
    for (std::size_t j = i + 1; j < 35; ++j) EXPECT_NE(t.Actions[i], t.Actions[j]) << i << " " << j;
  }
  for (std::size_t i = 0; i < 29; ++i) {
    for (std::size_t j = i + 1; j < 29; ++j) {
      EXPECT_NE(t.Expressions[i], t.Expressions[j]) << i << " " << j;
    }
  }
}

TEST(InformationRecord, FieldsAndUntouchedHostBytes) {
  test::SimHost host;
  std::uint8_t block[sizeof(RunObjectInfos) + 32];
  std::memset(block, 0xEE, sizeof(block));
  auto* infos = reinterpret_cast<RunObjectInfos*>(block);
  EXPECT_EQ(GetRunObjectInfos(12345, infos), 1);
  EXPECT_EQ(infos->Conditions, Tables().Conditions.data());
  EXPECT_EQ(infos->Actions, Tables().Actions.data());
  EXPECT_EQ(infos->Expressions, Tables().Expressions.data());
  EXPECT_EQ(infos->NumConditions, 1);
  EXPECT_EQ(infos->NumActions, 35);
  EXPECT_EQ(infos->NumExpressions, 29);
  EXPECT_EQ(infos->EditDataSize, 28);
  EXPECT_EQ(infos->Reserved0, 0u);
  EXPECT_EQ(infos->Hundred, 100);
  EXPECT_EQ(infos->HostByte, 0xEE);
  EXPECT_EQ(infos->Reserved1, 0);
  EXPECT_EQ(std::memcmp(infos->Identifier, "SVDA", 4), 0);
  EXPECT_EQ(infos->EditVersion, 2);
  for (std::size_t i = offsetof(RunObjectInfos, EditVersion) + 2; i < sizeof(block); ++i) {
    EXPECT_EQ(block[i], 0xEE) << "byte " << i;
  }
}

TEST(EntryPoints, GetInfosSelectors) {
  EXPECT_EQ(GetInfos(0), 768);
  EXPECT_EQ(GetInfos(2), 256);
  EXPECT_EQ(GetInfos(6), 2);
  EXPECT_EQ(GetInfos(7), 248);
  for (HostWord selector : {1, 3, 4, 5, 8, -1, 0x7FFFFFFF}) EXPECT_EQ(GetInfos(selector), 0) << selector;
}

TEST(EntryPoints, SizesAndPerFrameHandling) {
  EXPECT_EQ(GetRunObjectDataSize(0, 0), static_cast<HostWord>(sizeof(RunObjectData)));
  EXPECT_EQ(HandleRunObject(nullptr), 1);
}

// Calls each stub with its argument count and checks its fixed result.
template <typename... Args>
HostWord CallStub(HostWord (*stub)(Args...)) {
  return stub(static_cast<Args>(0x7777)...);
}
template <typename... Args>
int CallVoidStub(void (*stub)(Args...)) {
  stub(static_cast<Args>(0x7777)...);
  return 1;
}

TEST(EntryPoints, FixedStubsAnswerTheirConstant) {
  int stubs = 0, entries = 0;
#define QUAVIX_ENTRY(name, ordinal, arguments) ++entries;
#define QUAVIX_STUB(name, ordinal, arguments, result) \
  EXPECT_EQ(CallStub(&name), result) << #name;        \
  ++stubs;
#define QUAVIX_VOID_STUB(name, ordinal, arguments) stubs += CallVoidStub(&name);
#include "host/entry_points.inc"
#undef QUAVIX_ENTRY
#undef QUAVIX_STUB
#undef QUAVIX_VOID_STUB
  EXPECT_EQ(stubs, 65);
  EXPECT_EQ(entries, 7);
  // A few results written out independently of the list.
  EXPECT_EQ(GetProperties(0, 0, 0), 1);
  EXPECT_EQ(IsPropEnabled(0, 0, 0), 1);
  EXPECT_EQ(SetTextFont(0, 0, 0, 0), 1);
  EXPECT_EQ(GetTextFont(0, 0, 0, 0, 0), 1);
  EXPECT_EQ(GetHelpFileName(), 0);
  EXPECT_EQ(CreateObject(0, 0, 0), -1);
  EXPECT_EQ(GetActionCodeFromMenu(0, 0), -1);
  EXPECT_EQ(IsTransparent(0, 0, 0, 0, 0), 0);
}

EditStructure StoredRecord(std::uint32_t version) {
  EditStructure old;
  std::memset(&old, 0x3C, sizeof(old));
  old.RecordSize = 24;
  old.HostWord0 = 0x11111111;
  old.Version = version;
  old.HostWords[0] = 0x22222222;
  old.HostWords[1] = 0x33333333;
  return old;
}

TEST(UpdateEditStructure, OldVersionsAreConverted) {
  for (std::uint32_t version : {0u, 1u}) {
    SCOPED_TRACE(version);
    const EditStructure old = StoredRecord(version);
    EditStructure* updated = UpdateEditStructure(0, &old);
    ASSERT_NE(updated, nullptr);
    ASSERT_NE(updated, &old);
    EXPECT_EQ(updated->RecordSize, 28u);
    EXPECT_EQ(updated->HostWord0, 0x11111111u);
    EXPECT_EQ(updated->Version, 2u);
    EXPECT_EQ(updated->HostWords[0], 0x22222222u);
    EXPECT_EQ(updated->HostWords[1], 0x33333333u);
    EXPECT_EQ(updated->Setting0, 0);
    EXPECT_EQ(updated->Setting1, 1);
    EXPECT_EQ(updated->Reserved, 0);
    EXPECT_EQ(updated->BufferSeconds, 5u);
    GlobalFree(updated);
  }
}

TEST(UpdateEditStructure, CurrentVersionsAreLeftAlone) {
  for (std::uint32_t version : {2u, 3u, 0xFFFFFFFFu}) {
    const EditStructure old = StoredRecord(version);
    EXPECT_EQ(UpdateEditStructure(0, &old), nullptr) << version;
  }
}

TEST(UpdateEditStructure, ReadsNothingBeyondTheRecordHeader) {
  // Only the 20-byte header of the old record is readable here; the sanitizers
  // report any read past it.
  auto header = std::make_unique<std::uint8_t[]>(20);
  std::memset(header.get(), 0, 20);
  header[8] = 1;
  EditStructure* updated =
      UpdateEditStructure(0, reinterpret_cast<const EditStructure*>(header.get()));
  ASSERT_NE(updated, nullptr);
  EXPECT_EQ(updated->BufferSeconds, 5u);
  GlobalFree(updated);
}

}  // namespace
}  // namespace quavix::host
