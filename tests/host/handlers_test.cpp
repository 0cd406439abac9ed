// Every action and expression, called by its number as the host does: what it
// fetches, what it changes, what it returns and which result flags it sets.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>
#include <tuple>

#include "design/presets.h"
#include "design/randomize.h"
#include "host/expression_reader.h"
#include "host/lifecycle.h"
#include "sim_host.h"

namespace quavix::host {
namespace {

constexpr int kMutate = 1, kPreset = 2, kReset = 3, kGenerate = 6, kSeed = 7, kLoadFile = 30,
              kSaveFile = 31, kRandomize = 32, kSetVariable = 33, kLoadString = 34;
constexpr int kGenWave = 0, kGenLength = 1, kVariable = 2, kCsv = 3, kFreqHz = 28;
constexpr float kInf = std::numeric_limits<float>::infinity();

class Handlers : public testing::Test {
 protected:
  void SetUp() override { object = host.Create(); }
  SynthParams& Params() { return object->Synth->Params; }
  // The 24 parameters are consecutive 32-bit cells from Volume on.
  static float Cell(const SynthParams& params, int index) {
    float cell;
    std::memcpy(&cell, reinterpret_cast<const std::uint8_t*>(&params.Volume) + 4 * index, 4);
    return cell;
  }
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

TEST_F(Handlers, SettersFetchAFloatAndStoreOnlyTheirParameter) {
  // action, value in the user's unit, parameter index, stored value.
  struct Case { int Action; float Value; int Index; float Stored; };
  std::vector<Case> cases = {{5, 2.2675f, 2, 1.0f},       {8, 0.3f, 3, 0.3637366f},
                             {10, 0.3f, 5, 0.3637366f},   {16, 10.0f, 11, 0.3774596f},
                             {18, 0.0f, 13, 1.0f},        {21, 10.0f, 16, 0.5304257f},
                             {21, 0.0f, 16, 1.0f},        {29, 0.75f, 0, 0.75f}};
  // Setters without a unit; actions 8 to 28 set the parameters 3 to 23 in order.
  for (int action : {9, 11, 12, 13, 14, 15, 17, 19, 20, 22, 23, 24, 25, 26, 27, 28}) {
    cases.push_back({action, 0.75f, action - 5, 0.75f});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "action " << c.Action << " value " << c.Value);
    host.Action(object, kReset);
    host.ActionKinds.clear();
    host.QueueActionFloat(c.Value);
    EXPECT_EQ(host.Action(object, c.Action), 0);
    EXPECT_EQ(host.ActionKinds, std::vector<HostWord>{kKindFloat});
    EXPECT_NEAR(Cell(Params(), c.Index), c.Stored, 1e-7f);
    SetVariable(c.Index, Cell(DefaultParams(), c.Index));
    ExpectParams(DefaultParams());  // nothing else changed
  }
  host.ActionKinds.clear();
  EXPECT_EQ(host.Action(object, 4, 7), 0);  // the wave type comes with the call, unchecked
  EXPECT_EQ(Params().WaveType, 7);
  EXPECT_TRUE(host.ActionKinds.empty());
}

TEST_F(Handlers, GettersReturnTheirParameterInTheUsersUnit) {
  // expression, parameter index, stored value, result (derived from the unit's scale).
  struct Case { int Expression; int Index; float Stored; float Result; };
  std::vector<Case> cases = {
      {6, 2, 1.0f, 2.2675f}, {9, 5, 1.0f, 2.2675f},
      {7, 3, 0.3f, static_cast<float>(double{0.3f} * double{0.3f} * double{2.2675f})},
      {17, 11, 1.0f, static_cast<float>(0.5 / double{3.14159f} * 441)},  // 1 * 0.5 / pi * R / 100
      {19, 13, 1.0f, 0.0f}, {19, 13, 0.0f, static_cast<float>(20000.0 / 44100)},  // (1 - f)^2 * 20000 / R
      {20, 16, 0.0f, 0.0f}, {20, 16, -0.0f, 0.0f}, {20, 16, 1.0f, kInf},
      {20, 16, 0.5f, static_cast<float>(4.0 * 44100 / 20000)},  // 1 / (1 - f)^2 * R / 20000
      {20, 16, -1.0f, static_cast<float>(0.25 * 44100 / 20000)}};
  const std::pair<int, int> asStored[] = {{5, 0},  {8, 4},   {10, 6},  {11, 7},  {12, 8},  {13, 9},
                                          {14, 14}, {15, 15}, {16, 10}, {18, 12}, {21, 17}, {22, 18},
                                          {23, 19}, {24, 20}, {25, 21}, {26, 22}, {27, 23}};
  for (const auto& [expression, index] : asStored) cases.push_back({expression, index, 0.75f, 0.75f});
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "expression " << c.Expression << " of " << c.Stored);
    host.Action(object, kRandomize);
    SetVariable(c.Index, c.Stored);
    const SynthParams before = Params();
    EXPECT_FLOAT_EQ(host.FloatExpression(object, c.Expression, 5), c.Result);
    EXPECT_EQ(Flags(), kResultFloat);
    ExpectParams(before);
  }
  host.Action(object, 4, -5);
  EXPECT_EQ(host.Expression(object, 4), -5);  // WaveType: a whole number, unflagged
  EXPECT_EQ(Flags(), 0);
  EXPECT_TRUE(host.ExpressionRequests.empty());  // no getter fetches a parameter
}

TEST_F(Handlers, IndexedAccessAndFreqHz) {
  // index, value, stored cell (index 1 truncates toward zero; 24 and -1 change nothing).
  const std::tuple<HostWord, float, int, float> writes[] = {
      {1, 2.9f, 1, 2}, {1, -2.9f, 1, -2}, {2, 1.0f, 2, 1.0f}, {23, 0.5f, 23, 0.5f}, {24, 9.0f, 0, 1.0f},
      {-1, 9.0f, 0, 1.0f}};
  std::vector<HostWord> kinds;
  for (const auto& [index, value, cell, stored] : writes) {
    SetVariable(index, value);
    EXPECT_EQ(cell == 1 ? static_cast<float>(Params().WaveType) : Cell(Params(), cell), stored) << index;
    kinds.insert(kinds.end(), {kKindInteger, kKindFloat});  // the index first, then the value
  }
  EXPECT_EQ(host.ActionKinds, kinds);
  // expression, parameter, result, flags; FreqHz is sqrt(12.5 * Hz / R).
  const auto bits = [](double f) { return std::bit_cast<std::uint32_t>(static_cast<float>(f)); };
  const std::tuple<int, HostWord, std::uint32_t, std::uint16_t> reads[] = {
      {kVariable, 1, static_cast<std::uint32_t>(-2), 0}, {kVariable, 2, bits(1.0), kResultFloat},
      {kVariable, 23, bits(0.5), kResultFloat}, {kVariable, 24, 0, 0}, {kVariable, -1, 0, 0},
      {kFreqHz, 3528, bits(1.0), kResultFloat}, {kFreqHz, 0, 0, kResultFloat},
      {kFreqHz, 20, bits(std::sqrt(250.0 / 44100)), kResultFloat},
      {kFreqHz, 20000, bits(std::sqrt(250000.0 / 44100)), kResultFloat},
      {kFreqHz, -1, bits(std::sqrt(-1.0)), kResultFloat}};
  for (const auto& [expression, parameter, result, flags] : reads) {
    const auto got = static_cast<std::uint32_t>(Expression(expression, parameter));
    EXPECT_NEAR(got, result, 1) << expression << "(" << parameter << ")";  // within a rounding
    EXPECT_EQ(Flags(), flags);
  }
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
  std::memcpy(object->WaveBuffer + 44, "\xFF\x7F\x00\x80", 4);  // 32767, -32768
  std::memcpy(object->WaveBuffer + 44 + 2 * (n - 1), "\x00\x7D", 2);  // 32000
  const std::pair<HostWord, float> cases[] = {{0, 1.0239687f}, {1, -1.024f}, {n - 1, 1.0f}, {n, 0.0f},
                                              {-1, 0.0f}, {std::numeric_limits<std::int32_t>::min(), 0.0f}};
  for (const auto& [offset, value] : cases) {
    EXPECT_EQ(genWave(offset), value) << offset;
    EXPECT_EQ(Flags(), kResultFloat);
  }
}

TEST_F(Handlers, CsvAndSettingsStringAndFile) {
  const HostWord text = host.Expression(object, kCsv);
  EXPECT_EQ(Flags(), kResultText);
  const std::string defaults = "1.0000,,,0.3000,,0.4000,0.3000,,,,,,,,,,,,,1.0000,,,,";
  EXPECT_EQ(host.StringSizes, std::vector<HostWord>{54});  // the text and its NUL
  EXPECT_EQ(text, reinterpret_cast<HostWord>(host.Strings[0].get()));
  EXPECT_EQ(reinterpret_cast<const char*>(text), defaults);

  host.ActionParams.push_back(reinterpret_cast<HostWord>("0.5,2"));
  EXPECT_EQ(host.Action(object, kLoadString), 0);
  EXPECT_EQ(host.ActionKinds, std::vector<HostWord>{kKindText});
  EXPECT_EQ(Params().Volume, 0.5f);
  EXPECT_EQ(Params().WaveType, 2);

  const std::string path = (std::filesystem::path(testing::TempDir()) / "handlers.sfs").string();
  host.Action(object, kRandomize);
  const SynthParams saved = Params();
  EXPECT_EQ(host.Action(object, kSaveFile, path.c_str()), 0);
  EXPECT_EQ(std::filesystem::file_size(path), 105u);
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
  // GenWave(Variable(1)): while the host fetches GenWave's parameter it runs
  // Variable on the same object, which asks for its own first parameter and
  // then hands the outer binding back. GenLength, without parameters, too.
  host.Action(object, 4, 2);
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
  EXPECT_EQ(bindings[0], &FetchNextParam);
  EXPECT_EQ(bindings[1], &FetchNextParam);
  EXPECT_EQ(object->Reader->Fetch, &FetchFirstParam);
  ASSERT_EQ(host.ExpressionRequests.size(), 3u);
  EXPECT_EQ(host.ExpressionRequests[1].Token, -32768);  // 0x18000 narrowed
  EXPECT_EQ(host.ExpressionRequests[2].Token, 0x2345);
  EXPECT_TRUE(host.ExpressionRequests[1].First && host.ExpressionRequests[2].First);
  // The flags are one 16-bit word: the bytes after it stay the host's.
  auto* bytes = reinterpret_cast<std::uint8_t*>(object);
  EXPECT_EQ(bytes[126], test::kHostFill);
  EXPECT_EQ(bytes[127], test::kHostFill);
}

}  // namespace
}  // namespace quavix::host
