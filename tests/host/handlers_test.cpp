// Every action and expression, called by its index as the host does: what it
// fetches from the host, what it changes, what it returns and which result
// flags it sets.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "design/presets.h"
#include "design/randomize.h"
#include "exchange/param_table.h"
#include "host/expression_reader.h"
#include "host/lifecycle.h"
#include "sim_host.h"

namespace quavix::host {
namespace {

// Action numbers.
constexpr int kMutate = 1, kLoadPreset = 2, kReset = 3, kSetWaveType = 4, kSetAttackTime = 5,
              kGenerate = 6, kSetSeed = 7, kLoadFile = 30, kSaveFile = 31, kRandomize = 32,
              kSetVariable = 33, kLoadString = 34;
// Expression numbers.
constexpr int kGenWave = 0, kGenLength = 1, kVariable = 2, kCsv = 3, kWaveTypeExpr = 4,
              kFreqHz = 28;

// The parameter index behind each setter action 4..29 and each getter
// expression 4..27, in registration order.
constexpr int kSetterParam[] = {1, 2, -1, -1, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13,
                                14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 0};
constexpr int kGetterParam[] = {1,  0,  2,  3,  4,  5,  6,  7,  8,  9,  14, 15,
                                10, 11, 12, 13, 16, 17, 18, 19, 20, 21, 22, 23};
static_assert(std::size(kSetterParam) == 26 && std::size(kGetterParam) == 24);

std::uint32_t Bits(float f) { return std::bit_cast<std::uint32_t>(f); }

class Handlers : public testing::Test {
 protected:
  void SetUp() override { object = host.Create(); }
  SynthParams& Params() { return object->Synth->Params; }
  void Seed(std::uint32_t seed) { host.Action(object, kSetSeed, static_cast<HostWord>(static_cast<std::int32_t>(seed))); }
  std::uint16_t Flags() const { return object->Header.ResultFlags; }

  test::SimHost host;
  RunObjectData* object = nullptr;
};

TEST_F(Handlers, SettersFetchAFloatAndStoreThroughTheirConversion) {
  for (int action = 4; action <= 29; ++action) {
    const int index = kSetterParam[action - 4];
    if (index < 0) continue;
    SCOPED_TRACE(testing::Message() << "action " << action << " parameter " << index);
    host.Action(object, kReset);
    host.ActionKinds.clear();
    SynthParams expected = Params();
    if (index == 1) {
      EXPECT_EQ(host.Action(object, action, 7), 0);
      EXPECT_TRUE(host.ActionKinds.empty());  // the whole number comes with the call
      expected.WaveType = 7;
    } else {
      host.QueueActionFloat(0.75f);
      EXPECT_EQ(host.Action(object, action), 0);
      ASSERT_EQ(host.ActionKinds.size(), 1u);
      EXPECT_EQ(host.ActionKinds[0], kKindFloat);
      kParamTable[static_cast<std::size_t>(index)].Set(expected, 0.75f);
    }
    EXPECT_EQ(std::memcmp(&Params(), &expected, sizeof(SynthParams)), 0);
    // Only that parameter changed.
    SynthParams defaults = DefaultParams();
    int changed = 0;
    for (int i = 0; i < kParamCount; ++i) {
      changed += Bits(StoredValue(Params(), i)) != Bits(StoredValue(defaults, i)) ? 1 : 0;
    }
    EXPECT_LE(changed, 1);
  }
}

TEST_F(Handlers, SetterValuesInUserUnits) {
  host.QueueActionFloat(2.2675f);
  host.Action(object, kSetAttackTime);
  EXPECT_EQ(Params().AttackTime, 1.0f);
  host.QueueActionFloat(0.3f);
  host.Action(object, 8);  // sustain time
  EXPECT_NEAR(Params().SustainTime, 0.3637366f, 1e-7f);
  host.QueueActionFloat(10.0f);
  host.Action(object, 16);  // vibrato speed
  EXPECT_NEAR(Params().VibSpeed, 0.3774596f, 1e-7f);
  host.QueueActionFloat(0.0f);
  host.Action(object, 18);  // change speed
  EXPECT_EQ(Params().ChangeSpeed, 1.0f);
  host.QueueActionFloat(10.0f);
  host.Action(object, 21);  // repeat speed
  EXPECT_NEAR(Params().RepeatSpeed, 0.5304257f, 1e-7f);
  host.Action(object, kSetWaveType, -5);
  EXPECT_EQ(Params().WaveType, -5);
  host.QueueActionFloat(0.5f);
  host.Action(object, 29);
  EXPECT_EQ(Params().Volume, 0.5f);
}

TEST_F(Handlers, GettersReturnFloatsWithTheFloatFlag) {
  host.Action(object, kRandomize);
  for (int expression = 4; expression <= 27; ++expression) {
    const int index = kGetterParam[expression - 4];
    SCOPED_TRACE(testing::Message() << "expression " << expression << " parameter " << index);
    const HostWord result = host.Expression(object, expression, 5);
    if (index == 1) {
      EXPECT_EQ(result, Params().WaveType);
      EXPECT_EQ(Flags(), 0);
    } else {
      const float expected = kParamTable[static_cast<std::size_t>(index)].Get(Params());
      EXPECT_EQ(static_cast<std::uint32_t>(result), Bits(expected));
      EXPECT_EQ(Flags(), kResultFloat);
    }
    EXPECT_TRUE(host.ExpressionRequests.empty());  // no parameter fetched
  }
}

TEST_F(Handlers, GetterValuesAfterReset) {
  EXPECT_EQ(host.FloatExpression(object, 6), 0.0f);                    // AttackTime
  EXPECT_EQ(host.FloatExpression(object, 7), static_cast<float>(0.3f * 0.3f * 2.2675f));  // SustainTime
  EXPECT_NEAR(host.FloatExpression(object, 7), 0.204075f, 1e-7f);
  EXPECT_EQ(host.FloatExpression(object, 20), 0.0f);                   // RepeatSpeed
  EXPECT_EQ(host.FloatExpression(object, 5), 1.0f);                    // Volume
  host.Action(object, kSetWaveType, 3);
  EXPECT_EQ(host.Expression(object, kWaveTypeExpr), 3);
  EXPECT_EQ(Flags(), 0);
}

TEST_F(Handlers, LoadPresetFollowsTheSeedAndIgnoresUnknownFamilies) {
  for (HostWord family = 0; family < 7; ++family) {
    Seed(77);
    host.Action(object, kLoadPreset, family);
    RandomSource random;
    SeedRandom(random, 77);
    SynthParams expected = DefaultParams();
    LoadPreset(expected, static_cast<std::int32_t>(family), random);
    EXPECT_EQ(std::memcmp(&Params(), &expected, sizeof(SynthParams)), 0) << family;
    EXPECT_EQ(ModuleRandom().State, random.State);
  }
  host.Action(object, kReset);
  Seed(77);
  for (HostWord family : {7, -1, 1000}) host.Action(object, kLoadPreset, family);
  const SynthParams d = DefaultParams();
  EXPECT_EQ(std::memcmp(&Params(), &d, sizeof(SynthParams)), 0);
  EXPECT_EQ(ModuleRandom().State, 77u);
}

TEST_F(Handlers, RandomizeMutateAndSeed) {
  Seed(12345);
  EXPECT_EQ(ModuleRandom().State, 12345u);
  host.Action(object, kRandomize);
  RandomSource random;
  SeedRandom(random, 12345);
  SynthParams expected = DefaultParams();
  Randomize(expected, random);
  EXPECT_EQ(std::memcmp(&Params(), &expected, sizeof(SynthParams)), 0);

  host.ActionKinds.clear();
  host.QueueActionFloat(0.3f);
  host.Action(object, kMutate);
  ASSERT_EQ(host.ActionKinds.size(), 1u);
  EXPECT_EQ(host.ActionKinds[0], kKindFloat);
  Mutate(expected, 0.3f, random);
  EXPECT_EQ(std::memcmp(&Params(), &expected, sizeof(SynthParams)), 0);
  EXPECT_EQ(ModuleRandom().State, random.State);

  Seed(0xFFFFFFFFu);
  EXPECT_EQ(ModuleRandom().State, 0xFFFFFFFFu);
  const std::uint32_t before = CalendarSeconds();
  Seed(0);
  const std::uint32_t after = CalendarSeconds();
  EXPECT_GE(ModuleRandom().State, before);
  EXPECT_LE(ModuleRandom().State, after);
}

TEST_F(Handlers, ResetRestoresDefaults) {
  host.Action(object, kRandomize);
  EXPECT_EQ(host.Action(object, kReset), 0);
  const SynthParams d = DefaultParams();
  EXPECT_EQ(std::memcmp(&Params(), &d, sizeof(SynthParams)), 0);
}

TEST_F(Handlers, SetVariableFetchesIndexThenValue) {
  host.QueueActionWord(1);
  host.QueueActionFloat(2.9f);
  host.Action(object, kSetVariable);
  ASSERT_EQ(host.ActionKinds.size(), 2u);
  EXPECT_EQ(host.ActionKinds[0], kKindInteger);
  EXPECT_EQ(host.ActionKinds[1], kKindFloat);
  EXPECT_EQ(Params().WaveType, 2);
  host.QueueActionWord(2);
  host.QueueActionFloat(1.0f);
  host.Action(object, kSetVariable);
  EXPECT_EQ(Params().AttackTime, 1.0f);
  const SynthParams before = Params();
  for (HostWord index : {24, -1}) {
    host.QueueActionWord(index);
    host.QueueActionFloat(9.0f);
    host.Action(object, kSetVariable);
  }
  EXPECT_EQ(std::memcmp(&Params(), &before, sizeof(SynthParams)), 0);
}

TEST_F(Handlers, VariableResultsAndFlags) {
  host.Action(object, kSetWaveType, 3);
  host.ExpressionParams.assign({1});
  EXPECT_EQ(host.Expression(object, kVariable), 3);
  EXPECT_EQ(Flags(), 0);
  host.ExpressionParams.assign({0});
  EXPECT_EQ(host.FloatExpression(object, kVariable), 1.0f);
  EXPECT_EQ(Flags(), kResultFloat);
  for (HostWord index : {24, -1}) {
    host.ExpressionParams.assign({index});
    EXPECT_EQ(host.Expression(object, kVariable), 0);
    EXPECT_EQ(Flags(), 0);
  }
  ASSERT_FALSE(host.ExpressionRequests.empty());
  for (const auto& request : host.ExpressionRequests) {
    EXPECT_TRUE(request.First);
    EXPECT_EQ(request.Kind, kKindInteger);
    EXPECT_EQ(request.Object, object);
  }
}

TEST_F(Handlers, FreqHzResults) {
  host.ExpressionParams.assign({3528});
  EXPECT_EQ(host.FloatExpression(object, kFreqHz), 1.0f);
  EXPECT_EQ(Flags(), kResultFloat);
  host.ExpressionParams.assign({0});
  EXPECT_EQ(host.FloatExpression(object, kFreqHz), 0.0f);
  host.ExpressionParams.assign({20});
  EXPECT_NEAR(host.FloatExpression(object, kFreqHz), 0.0752923f, 1e-7f);
  host.ExpressionParams.assign({20000});
  EXPECT_NEAR(host.FloatExpression(object, kFreqHz), 2.3809524f, 1e-6f);
  host.ExpressionParams.assign({-1});
  EXPECT_TRUE(std::isnan(host.FloatExpression(object, kFreqHz)));
}

TEST_F(Handlers, GenLengthAndGenWaveBeforeAndAfterGeneration) {
  EXPECT_EQ(host.Expression(object, kGenLength), 0);
  EXPECT_EQ(Flags(), 0);
  host.ExpressionParams.assign({0});
  EXPECT_EQ(host.FloatExpression(object, kGenWave), 0.0f);
  EXPECT_EQ(Flags(), kResultFloat);

  host.Action(object, kGenerate, reinterpret_cast<HostWord>("s"));
  const auto& image = host.Bank.at("s").Image;
  const auto n = static_cast<HostWord>((image.size() - 44) / 2);
  EXPECT_EQ(host.Expression(object, kGenLength), n);
  EXPECT_EQ(Flags(), 0);
  for (HostWord offset : {HostWord{0}, n / 2, n - 1}) {
    host.ExpressionParams.assign({offset});
    const auto sample = static_cast<std::int16_t>(
        test::ReadU16(image, 44 + 2 * static_cast<std::size_t>(offset)));
    EXPECT_EQ(host.FloatExpression(object, kGenWave),
              static_cast<float>(static_cast<double>(sample) / 32000.0))
        << offset;
    EXPECT_EQ(Flags(), kResultFloat);
  }
  for (HostWord offset : {n, HostWord{-1}}) {
    host.ExpressionParams.assign({offset});
    EXPECT_EQ(host.FloatExpression(object, kGenWave), 0.0f);
    EXPECT_EQ(Flags(), kResultFloat);
  }
}

TEST_F(Handlers, GenWaveReadsFullScaleSamples) {
  host.Action(object, kGenerate, reinterpret_cast<HostWord>("s"));
  // Plant extreme samples in the generated sound, as the wave buffer is read.
  object->WaveBuffer[44] = 0xFF;
  object->WaveBuffer[45] = 0x7F;
  object->WaveBuffer[46] = 0x00;
  object->WaveBuffer[47] = 0x80;
  host.ExpressionParams.assign({0});
  EXPECT_EQ(host.FloatExpression(object, kGenWave), 1.0239687f);
  host.ExpressionParams.assign({1});
  EXPECT_EQ(host.FloatExpression(object, kGenWave), -1.024f);
}

TEST_F(Handlers, CsvReturnsHostStringSpaceWithTheTextFlag) {
  const HostWord result = host.Expression(object, kCsv);
  EXPECT_EQ(Flags(), kResultText);
  const std::string expected = "1.0000,,,0.3000,,0.4000,0.3000,,,,,,,,,,,,,1.0000,,,,";
  ASSERT_EQ(expected.size(), 53u);
  ASSERT_EQ(host.Strings.size(), 1u);
  EXPECT_EQ(result, reinterpret_cast<HostWord>(host.Strings[0].get()));
  EXPECT_EQ(host.StringSizes[0], 54);
  EXPECT_STREQ(reinterpret_cast<const char*>(result), expected.c_str());
}

TEST_F(Handlers, LoadSettingsStringFetchesText) {
  static const char kText[] = "0.5abc,2";
  host.QueueActionWord(reinterpret_cast<HostWord>(kText));
  EXPECT_EQ(host.Action(object, kLoadString), 0);
  ASSERT_EQ(host.ActionKinds.size(), 1u);
  EXPECT_EQ(host.ActionKinds[0], kKindText);
  EXPECT_EQ(Params().Volume, 0.5f);
  EXPECT_EQ(Params().WaveType, 2);
}

TEST_F(Handlers, SettingsFileSaveAndLoad) {
  const std::filesystem::path dir = testing::TempDir();
  const std::string path = (dir / "host_handlers_test.sfs").string();
  host.Action(object, kRandomize);
  const SynthParams saved = Params();
  EXPECT_EQ(host.Action(object, kSaveFile, reinterpret_cast<HostWord>(path.c_str())), 0);
  EXPECT_EQ(std::filesystem::file_size(path), 105u);
  host.Action(object, kReset);
  EXPECT_EQ(host.Action(object, kLoadFile, reinterpret_cast<HostWord>(path.c_str())), 0);
  EXPECT_EQ(std::memcmp(&Params(), &saved, sizeof(SynthParams)), 0);
  std::filesystem::remove(path);
  // A file that cannot be read changes nothing.
  host.Action(object, kLoadFile, reinterpret_cast<HostWord>(path.c_str()));
  EXPECT_EQ(std::memcmp(&Params(), &saved, sizeof(SynthParams)), 0);
}

TEST_F(Handlers, ConditionAnswersTrue) {
  EXPECT_EQ(host.Infos.Conditions[0](object, 0, 0), 1);
  EXPECT_EQ(host.Infos.Conditions[0](nullptr, 9, 9), 1);
}

TEST_F(Handlers, TokenReachesTheHostAsSixteenBits) {
  host.ExpressionParams.assign({0});
  host.Expression(object, kVariable, 0x12345);
  host.ExpressionParams.assign({0});
  host.Expression(object, kVariable, 0x18000);
  ASSERT_EQ(host.ExpressionRequests.size(), 2u);
  EXPECT_EQ(host.ExpressionRequests[0].Token, 0x2345);
  EXPECT_EQ(host.ExpressionRequests[1].Token, -32768);
}

TEST_F(Handlers, NestedExpressionLeavesTheOuterFetchIntact) {
  host.Action(object, kSetWaveType, 2);
  // Outer: GenWave(Variable(1)). While the host fetches GenWave's parameter it
  // evaluates Variable on the same object, which must itself ask for a first
  // parameter and then hand the outer binding back.
  ParamFetch bindingAfterNested = nullptr;
  HostWord nestedResult = -1;
  host.DuringFirstParam = [&] {
    host.ExpressionParams.push_front(1);
    nestedResult = host.Infos.Expressions[kVariable](object, 22);
    bindingAfterNested = object->Reader->Fetch;
  };
  host.ExpressionParams.assign({0});
  host.Expression(object, kGenWave, 11);
  EXPECT_EQ(nestedResult, 2);
  ASSERT_EQ(host.ExpressionRequests.size(), 2u);
  EXPECT_TRUE(host.ExpressionRequests[0].First);
  EXPECT_EQ(host.ExpressionRequests[0].Token, 11);
  EXPECT_TRUE(host.ExpressionRequests[1].First);
  EXPECT_EQ(host.ExpressionRequests[1].Token, 22);
  EXPECT_EQ(bindingAfterNested, &FetchNextParam);  // the outer's binding, restored
  EXPECT_EQ(object->Reader->Fetch, &FetchFirstParam);

  // A nested expression without parameters restores the binding too.
  host.DuringFirstParam = [&] {
    host.Infos.Expressions[kGenLength](object, 0);
    bindingAfterNested = object->Reader->Fetch;
  };
  bindingAfterNested = nullptr;
  host.ExpressionParams.assign({0});
  host.Expression(object, kGenWave, 11);
  EXPECT_EQ(bindingAfterNested, &FetchNextParam);
}

TEST_F(Handlers, FlagsAreWrittenAsSixteenBits) {
  auto* bytes = reinterpret_cast<std::uint8_t*>(object);
  bytes[126] = 0x5A;
  bytes[127] = 0xC3;
  host.Expression(object, 5);
  EXPECT_EQ(object->Header.ResultFlags, kResultFloat);
  EXPECT_EQ(bytes[126], 0x5A);
  EXPECT_EQ(bytes[127], 0xC3);
}

TEST_F(Handlers, EveryActionReturnsZero) {
  for (int i = 0; i < 35; ++i) {
    host.QueueActionWord(0);
    host.QueueActionFloat(0.0f);
    HostWord first = 0;
    if (i == 0 || i == 6) first = reinterpret_cast<HostWord>("n");
    if (i == 30 || i == 31) first = reinterpret_cast<HostWord>("");
    if (i == 34) {
      host.ActionParams.clear();
      host.QueueActionWord(reinterpret_cast<HostWord>(""));
    }
    EXPECT_EQ(host.Action(object, i, first, 0x7777), 0) << i;
    host.ActionParams.clear();
  }
}

}  // namespace
}  // namespace quavix::host
