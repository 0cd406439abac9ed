// Every action and expression, called by its number as the host does: what it fetches, what it
// changes, what it returns and which result flags it sets.
#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <filesystem>
#include <limits>
#include <tuple>

#include "design/presets.h"
#include "design/randomize.h"
#include "exchange/param_table.h"
#include "host/expression_reader.h"
#include "host/lifecycle.h"
#include "sim_host.h"

namespace quavix::host {
namespace {

constexpr int kMutate = 1, kPreset = 2, kReset = 3, kWaveType = 4, kGenerate = 6, kSeed = 7,
              kLoadFile = 30, kSaveFile = 31, kRandomize = 32, kSetVariable = 33, kLoadString = 34;
constexpr int kGenWave = 0, kGenLength = 1, kVariable = 2, kCsv = 3, kFreqHz = 28;

class Handlers : public testing::Test {
 protected:
  void SetUp() override { object = host.Create(); }
  SynthParams& Params() { return object->Synth->Params; }
  void SetVariable(HostWord index, float value) {
    host.ActionParams.push_back(index);
    host.QueueActionFloat(value);
    EXPECT_EQ(host.Action(object, kSetVariable), 0);
  }
  HostWord Expression(int index, HostWord parameter) {
    host.ExpressionParams.assign({parameter});
    return host.Expression(object, index);
  }
  std::uint16_t Flags() const { return object->Header.ResultFlags; }
  void ExpectParams(const SynthParams& expected) {
    EXPECT_EQ(std::memcmp(&Params(), &expected, sizeof(SynthParams)), 0);
  }

  test::SimHost host;
  RunObjectData* object = nullptr;
};

// Each parameter's own setter and getter convert with its unit (checked with the units); the
// indexed ones store and read cells unconverted (WaveType a whole number) and FreqHz converts.
TEST_F(Handlers, SettersGettersAndIndexedAccessReachTheirParameter) {
  constexpr int kSetter[24] = {29, 4,  5,  8,  9,  10, 11, 12, 13, 14, 15, 16,
                               17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28};
  constexpr int kGetter[24] = {5,  4,  6,  7,  8,  9,  10, 11, 12, 13, 16, 17,
                               18, 19, 14, 15, 20, 21, 22, 23, 24, 25, 26, 27};
  for (int i = 0; i < 24; ++i) {
    if (i == 1) continue;  // WaveType, below
    SCOPED_TRACE(kParamTable[static_cast<std::size_t>(i)].Name);
    host.Action(object, kReset);
    host.ActionKinds.clear();
    host.QueueActionFloat(0.3f);
    EXPECT_EQ(host.Action(object, kSetter[i]), 0);
    EXPECT_EQ(host.ActionKinds, std::vector<HostWord>{kKindFloat});
    SynthParams expected = DefaultParams();
    kParamTable[static_cast<std::size_t>(i)].Set(expected, 0.3f);
    ExpectParams(expected);
    host.Action(object, kRandomize);
    const SynthParams before = Params();
    const float user = kParamTable[static_cast<std::size_t>(i)].Get(before);
    const HostWord got = host.Expression(object, kGetter[i], 5);
    EXPECT_EQ(std::bit_cast<float>(static_cast<std::uint32_t>(got)), user);
    EXPECT_EQ(Flags(), kResultFloat);
    ExpectParams(before);
  }
  host.ActionKinds.clear();
  EXPECT_EQ(host.Action(object, kWaveType, -5), 0);  // with the call, unchecked
  EXPECT_EQ(Params().WaveType, -5);
  EXPECT_TRUE(host.ActionKinds.empty());
  EXPECT_EQ(host.Expression(object, kWaveType), -5);  // a whole number, unflagged
  EXPECT_EQ(Flags(), 0);
  EXPECT_TRUE(host.ExpressionRequests.empty());  // no getter fetches a parameter

  host.ActionKinds.clear();
  SetVariable(1, 2.9f);
  SetVariable(23, 0.5f);
  EXPECT_TRUE(Params().WaveType == 2 && Params().HPCutoffSweep == 0.5f);
  EXPECT_EQ(host.ActionKinds,
            (std::vector<HostWord>{kKindInteger, kKindFloat, kKindInteger, kKindFloat}));
  // Index or Hz, result, whether flagged a float; FreqHz is sqrt(12.5 * Hz / R).
  const std::tuple<int, HostWord, float, bool> reads[] = {
      {kVariable, 23, 0.5f, true},
      {kVariable, 24, 0.0f, false},
      {kVariable, -1, 0.0f, false},
      {kFreqHz, 3528, 1.0f, true},
      {kFreqHz, 20, 0.07529233f, true}};  // sqrt(250 / 44100)
  for (const auto& [expression, parameter, result, isFloat] : reads) {
    const HostWord got = Expression(expression, parameter);
    EXPECT_EQ(std::bit_cast<float>(static_cast<std::uint32_t>(got)), result) << parameter;
    EXPECT_EQ(Flags(), isFloat ? kResultFloat : 0);
  }
  EXPECT_EQ(Expression(kVariable, 1), 2);
  EXPECT_EQ(Flags(), 0);
  for (const auto& request : host.ExpressionRequests) {
    EXPECT_TRUE(request.First && request.Kind == kKindInteger && request.Object == object);
  }
}

TEST_F(Handlers, GenLengthAndGenWaveReadTheLastSound) {
  auto genWave = [&](HostWord offset) {
    return std::bit_cast<float>(static_cast<std::uint32_t>(Expression(kGenWave, offset)));
  };
  EXPECT_EQ(host.Expression(object, kGenLength), 0);
  EXPECT_EQ(genWave(0), 0.0f);
  EXPECT_EQ(Flags(), kResultFloat);
  host.Action(object, kGenerate, "s");
  const HostWord n = host.Expression(object, kGenLength);
  EXPECT_EQ(Flags(), 0);
  EXPECT_EQ(n, 25003);  // the default sound
  // 32767 and -32768 first, 32000 last and once more just past the sound.
  std::memcpy(object->WaveBuffer + 44, "\xFF\x7F\x00\x80", 4);
  std::memcpy(object->WaveBuffer + 44 + 2 * (n - 1), "\x00\x7D\x00\x7D", 4);
  const std::pair<HostWord, float> cases[] = {
      {0, 1.0239687f}, {1, -1.024f}, {n - 1, 1.0f},
      {n, 0.0f},       {-1, 0.0f},   {std::numeric_limits<std::int32_t>::min(), 0.0f}};
  for (const auto& [offset, value] : cases) {
    EXPECT_EQ(genWave(offset), value) << offset;
    EXPECT_EQ(Flags(), kResultFloat);
  }
}

TEST_F(Handlers, CsvAndSettingsStringAndFile) {
  const auto* text = reinterpret_cast<const char*>(host.Expression(object, kCsv));
  EXPECT_EQ(Flags(), kResultText);
  ASSERT_EQ(host.Strings.size(), 1u);  // the text and its NUL, in the host's string space
  EXPECT_EQ(host.Strings[0].size(), 54u);
  EXPECT_EQ(text, host.Strings[0].data());
  EXPECT_STREQ(text, "1.0000,,,0.3000,,0.4000,0.3000,,,,,,,,,,,,,1.0000,,,,");

  host.ActionParams.push_back(reinterpret_cast<HostWord>("0.5,2"));
  EXPECT_EQ(host.Action(object, kLoadString), 0);
  EXPECT_EQ(host.ActionKinds, std::vector<HostWord>{kKindText});
  EXPECT_TRUE(Params().Volume == 0.5f && Params().WaveType == 2);

  const std::string path = (std::filesystem::path(testing::TempDir()) / "handlers.sfs").string();
  host.Action(object, kRandomize);
  const SynthParams saved = Params();
  EXPECT_EQ(host.Action(object, kSaveFile, path.c_str()), 0);
  host.Action(object, kReset);
  EXPECT_EQ(host.Action(object, kLoadFile, path.c_str()), 0);
  ExpectParams(saved);
  std::filesystem::remove(path);
  host.Action(object, kReset);
  EXPECT_EQ(host.Action(object, kLoadFile, path.c_str()), 0);  // unreadable: no change
  ExpectParams(DefaultParams());
}

TEST_F(Handlers, DesignActionsDrawFromTheSeededModuleSource) {
  RandomSource random;
  SynthParams expected = DefaultParams();
  for (int family = 0; family < 7; ++family) {
    EXPECT_EQ(host.Action(object, kSeed, 77), 0);
    EXPECT_EQ(host.Action(object, kPreset, family), 0);
    SeedRandom(random, 77);
    LoadPreset(expected, family, random);
    ExpectParams(expected);
  }
  host.Action(object, kSeed, 77);
  for (HostWord family : {7, -1}) host.Action(object, kPreset, family);  // ignored, nothing drawn
  ExpectParams(expected);
  EXPECT_EQ(ModuleRandom().State, 77u);
  EXPECT_EQ(host.Action(object, kRandomize), 0);
  SeedRandom(random, 77);
  Randomize(expected, random);
  host.QueueActionFloat(0.3f);
  host.ActionKinds.clear();
  EXPECT_EQ(host.Action(object, kMutate), 0);
  EXPECT_EQ(host.ActionKinds, std::vector<HostWord>{kKindFloat});
  Mutate(expected, 0.3f, random);
  ExpectParams(expected);
  EXPECT_EQ(ModuleRandom().State, random.State);
  EXPECT_EQ(host.Action(object, kReset), 0);
  ExpectParams(DefaultParams());
  host.Action(object, kSeed, -1);
  EXPECT_EQ(ModuleRandom().State, 0xFFFFFFFFu);
  const std::uint32_t before = CalendarSeconds();
  host.Action(object, kSeed, HostWord{0});  // the clock
  EXPECT_GE(ModuleRandom().State, before);
  EXPECT_LE(ModuleRandom().State, CalendarSeconds());
}

TEST_F(Handlers, ReaderPassesA16BitTokenAndSurvivesNesting) {
  // GenWave(Variable(1)): while the host fetches GenWave's parameter it runs Variable on the same
  // object, which asks for its own first parameter and then hands the outer binding back.
  // GenLength, without parameters, too.
  host.Action(object, kWaveType, 2);
  HostWord nested = -1;
  ParamFetch bindings[2] = {};
  host.DuringFirstParam = [&] {
    host.ExpressionParams.push_front(1);
    nested = host.Infos.Expressions[kVariable](object, 0x18000);
    bindings[0] = object->Reader->Fetch;
    host.Infos.Expressions[kGenLength](object, 0);
    bindings[1] = object->Reader->Fetch;
  };
  Expression(kGenWave, 0);
  host.Expression(object, kGenWave, 0x12345);
  EXPECT_EQ(nested, 2);
  EXPECT_TRUE(bindings[0] == &FetchNextParam && bindings[1] == &FetchNextParam);
  EXPECT_EQ(object->Reader->Fetch, &FetchFirstParam);
  ASSERT_EQ(host.ExpressionRequests.size(), 3u);
  EXPECT_EQ(host.ExpressionRequests[1].Token, -32768);  // 0x18000 narrowed
  EXPECT_EQ(host.ExpressionRequests[2].Token, 0x2345);
  EXPECT_TRUE(host.ExpressionRequests[1].First && host.ExpressionRequests[2].First);
  // The flags are one 16-bit word: the bytes after it stay the host's.
  auto* bytes = reinterpret_cast<std::uint8_t*>(object);
  EXPECT_TRUE(bytes[126] == test::kHostFill && bytes[127] == test::kHostFill);
}

}  // namespace
}  // namespace quavix::host
