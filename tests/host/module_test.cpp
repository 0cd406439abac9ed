// The module through its entry points in a simulated host: what each entry point, action and
// expression fetches, changes, returns and publishes, the user guide and the reference sounds.
// The host is simulated_host.h.

#include "design/randomize.h"
#include "exchange/param_table.h"
#include "host/entry_points.h"
#include "host/expression_reader.h"
#include "host/lifecycle.h"
#include "host/native_host.h"
#include "host/registry.h"
#include "reference_recipe.h"
#include "simulated_host.h"
#include "test_util.h"

namespace quavix::host {
namespace {

using namespace test;

// Each item's text, parameter types (":"-separated) and result type but 0, "|" between items.
std::string Listing(const AceList& list) {
  std::string out;
  for (const AceDef* def : list.Items) {
    out.append("|").append(def->Text);
    for (std::size_t p = 0; p < def->ParamTypes.size(); ++p) {
      out.append(p == 0 ? " " : ":").append(std::to_string(def->ParamTypes[p]));
    }
    if (def->Flags != 0) out.append("=").append(std::to_string(def->Flags));
  }
  return out.substr(1);
}

// The items in order; parameter types 22 a number, 45 a text, 63 a file name, 1 an expression's;
// result types 1 a text, 2 a float.
TEST(Registry, TextsAndTypesInOrder) {
  EXPECT_EQ(Listing(Registry().Conditions), "%o : Sound generated");
  EXPECT_EQ(Listing(Registry().Actions),
            "(UNUSED) Add sound as %0 45|Mutate sound by %0 22|Load preset %0 22|Reset|"
            "Set wave type to %0 22|Set attack time to %0 22|Generate sound as %0 45|"
            "Set random seed to %0 22|Set sustain time to %0 22|Set sustain punch to %0 22|"
            "Set decay time to %0 22|Set start frequency to %0 22|Set minimum frequency to %0 22|"
            "Set slide to %0 22|Set delta slide to %0 22|Set vibrato depth to %0 22|"
            "Set vibrato speed to %0 22|Set change amount to %0 22|Set change speed to %0 22|"
            "Set square duty to %0 22|Set square duty sweep to %0 22|Set repeat speed to %0 22|"
            "Set phaser offset to %0 22|Set phaser sweep to %0 22|Set LP filter cutoff to %0 22|"
            "Set LP filter cutoff sweep to %0 22|Set LP filter resonance to %0 22|"
            "Set HP filter cutoff to %0 22|Set HP filter cutoff sweep to %0 22|Set volume to %0 22|"
            "Load settings file %0 63|Save settings to %0 63|Randomize|"
            "Set variable with index %0 to %1 22:22|Load settings from string %0 45");
  EXPECT_EQ(Listing(Registry().Expressions),
            "GenWave( 1=2|GenLength(|Variable( 1=2|CSV$(=1|WaveType(|Volume(=2|AttackTime(=2|"
            "SustainTime(=2|SustainPunch(=2|DecayTime(=2|StartFreq(=2|MinFreq(=2|Slide(=2|"
            "DeltaSlide(=2|SquareDuty(=2|DutySweep(=2|VibDepth(=2|VibSpeed(=2|ChangeAmount(=2|"
            "ChangeSpeed(=2|RepeatSpeed(=2|PhaserOffset(=2|PhaserSweep(=2|LPCutoff(=2|"
            "LPCutoffSweep(=2|LPResonance(=2|HPCutoff(=2|HPCutoffSweep(=2|FreqHz( 1=2");
}

// The user guide documents each item once, its display text in backticks in a heading or a
// table row; that entry (to the next heading or row) gives each parameter's title in quotes.
TEST(Registry, TheUserGuideDocumentsEveryTextAndParameterTitle) {
  std::ifstream file(QUAVIX_MODULE_GUIDE);
  std::vector<std::string> entries;
  for (std::string line; std::getline(file, line);) {
    if (!line.empty() && (line[0] == '#' || line[0] == '|')) entries.emplace_back();
    if (!entries.empty()) entries.back() += line + " ";  // wrapped lines joined
  }
  ASSERT_GT(entries.size(), 40u) << "cannot read " << QUAVIX_MODULE_GUIDE;
  for (const AceList* list :
       {&Registry().Conditions, &Registry().Actions, &Registry().Expressions}) {
    for (const AceDef* def : list->Items) {
      SCOPED_TRACE(def->Text);
      const auto documents = [&](const std::string& entry) {
        return entry.find(std::string("`") + def->Text + "`") != std::string::npos;
      };
      const auto entry = std::ranges::find_if(entries, documents);
      ASSERT_TRUE(entry != entries.end() &&
                  std::count_if(entry + 1, entries.end(), documents) == 0);
      std::size_t next = 0;  // the titles in their order
      for (const char* title : def->ParamTitles) {
        const std::size_t at = entry->find(std::string("\"") + title + "\"", next);
        EXPECT_NE(at, std::string::npos) << title;
        next = at + 1;
      }
    }
  }
}

template <typename... A>
HostWord CallStub(HostWord (*stub)(A...)) {
  return stub(static_cast<A>(0x7777)...);
}

TEST(EntryPoints, InformationRecordTablesInfosAndStubs) {
  SimHost host;
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
  EXPECT_TRUE(t.Conditions.size() == 2 && t.Actions.size() == 36 && t.Expressions.size() == 30);
  EXPECT_TRUE(!t.Conditions.back() && !t.Actions.back() && !t.Expressions.back());

  const std::pair<HostWord, HostWord> infos[] = {{0, 768}, {2, 256}, {6, 2}, {7, 248}, {1, 0},
                                                 {3, 0},   {4, 0},   {5, 0}, {8, 0},   {-1, 0}};
  for (const auto& [selector, result] : infos) EXPECT_EQ(GetInfos(selector), result) << selector;
  EXPECT_EQ(GetRunObjectDataSize(0, 0), static_cast<HostWord>(sizeof(RunObjectData)));
  EXPECT_EQ(HandleRunObject(nullptr), 1);
  // Every stub answers 0, but these four 1 and these four -1.
  const std::string one = " GetProperties IsPropEnabled SetTextFont GetTextFont ";
  const std::string minusOne =
      " CreateObject GetConditionCodeFromMenu GetActionCodeFromMenu GetExpressionCodeFromMenu ";
  int stubs = 0;
#define QUAVIX_ENTRY(name, ordinal, arguments)
#define QUAVIX_VOID_STUB(name, ordinal, arguments) ++stubs;
#define QUAVIX_STUB(name, ordinal, arguments, result)                                 \
  ++stubs;                                                                            \
  EXPECT_EQ(CallStub(&name), (one.find(" " #name " ") != std::string::npos) -         \
                                 (minusOne.find(" " #name " ") != std::string::npos)) \
      << #name;
#include "host/entry_points.inc"
  EXPECT_EQ(stubs, 65);
}

TEST(EntryPoints, UpdateEditStructureConvertsOldVersionsOnly) {
  for (std::uint32_t version : {0u, 1u, 2u, 3u, 0xFFFFFFFFu}) {
    SCOPED_TRACE(version);
    // Only the 20-byte header is readable: the sanitizers report a read past it.
    const std::uint32_t header[5] = {24, 0x11111111, version, 0x22222222, 0x33333333};
    auto* updated = UpdateEditStructure(0, reinterpret_cast<const EditStructure*>(header));
    ASSERT_EQ(updated != nullptr, version < 2);
    const std::uint8_t expected[28] = {28, 0, 0,    0,    0x11, 0x11, 0x11, 0x11, 2,    0,
                                       0,  0, 0x22, 0x22, 0x22, 0x22, 0x33, 0x33, 0x33, 0x33,
                                       0,  1, 0,    0,    5,    0,    0,    0};
    EXPECT_TRUE(!updated || std::memcmp(updated, expected, 28) == 0);
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
    SimHost host;
    RunObjectData* object = host.Create(parsed.BufferSeconds);
    for (const test::RecipeStep& step : parsed.Steps) {
      EXPECT_NE(step.Action, -1) << "unknown step in " << recipe;
      host.ActionParams.assign(step.Fetched.begin(), step.Fetched.end());
      if (step.Action != -1) host.Action(object, step.Action, static_cast<HostWord>(step.First));
    }
    host.Action(object, 6, "reference");
    const Image& image = host.Bank.at("reference");
    const std::string result = recipe + " " + test::ImageDigest(image.data(), image.size());
    EXPECT_TRUE(target != nullptr || line == result) << "expected " << line << ", got " << result;
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

constexpr int kAddSound = 0, kPreset = 2, kReset = 3, kWaveType = 4, kGenerate = 6, kSeed = 7,
              kLoadFile = 30, kSaveFile = 31, kRandomize = 32, kSetVariable = 33, kLoadString = 34;
// Result flags: 0x4000 a float, 0x8000 a text.
constexpr int kGenWave = 0, kGenLength = 1, kVariable = 2, kCsv = 3, kFreqHz = 28;

class Handlers : public testing::Test {
 protected:
  void SetUp() override { object = host.Create(); }
  SynthParams& Params() { return object->Synth->Params; }
  void SetVariable(HostWord index, float value, RunObjectData* target = nullptr) {
    host.ActionParams.push_back(index);
    host.ActionParams.push_back(std::bit_cast<std::int32_t>(value));
    EXPECT_EQ(host.Action(target ? target : object, kSetVariable), 0);
  }
  HostWord Expression(int index, HostWord parameter) {
    host.ExpressionParams.assign({parameter});
    return host.Expression(object, index);
  }
  static float FloatOf(HostWord word) {
    return std::bit_cast<float>(static_cast<std::uint32_t>(word));
  }
  static HostWord Bits(float value) { return std::bit_cast<std::int32_t>(value); }
  std::uint16_t Flags() const { return object->Header.ResultFlags; }
  void ExpectParams(const SynthParams& expected) {
    EXPECT_EQ(std::memcmp(&Params(), &expected, sizeof(SynthParams)), 0);
  }
  // dataBytes of samples after the 44-byte header, whose two lengths say so.
  static void ExpectImage(const Image& image, std::uint32_t dataBytes) {
    const std::uint32_t lengths[2] = {dataBytes + 36, dataBytes};
    ASSERT_EQ(image.size(), dataBytes + 44u);
    EXPECT_TRUE(!std::memcmp(&image[4], &lengths[0], 4) &&
                !std::memcmp(&image[40], &lengths[1], 4));
  }

  SimHost host;
  RunObjectData* object = nullptr;
};

// Each parameter's own setter and getter convert with its unit (checked with the units); the
// indexed ones store and read cells unconverted (WaveType a whole number) and FreqHz converts.
TEST_F(Handlers, SettersGettersAndIndexedAccessReachTheirParameter) {
  // The setter and the getter of each parameter of kParamTable, in its order.
  constexpr std::pair<int, int> kAccess[24] = {
      {29, 5},  {4, 4},   {5, 6},   {8, 7},   {9, 8},   {10, 9},  {11, 10}, {12, 11},
      {13, 12}, {14, 13}, {15, 16}, {16, 17}, {17, 18}, {18, 19}, {19, 14}, {20, 15},
      {21, 20}, {22, 21}, {23, 22}, {24, 23}, {25, 24}, {26, 25}, {27, 26}, {28, 27}};
  for (std::size_t i = 0; i < 24; ++i) {
    if (i == 1) continue;  // WaveType, below
    SCOPED_TRACE(kParamTable[i].Name);
    host.Action(object, kReset);
    host.ActionKinds.clear();
    host.ActionParams.push_back(std::bit_cast<std::int32_t>(0.3f));
    EXPECT_EQ(host.Action(object, kAccess[i].first), 0);
    EXPECT_EQ(host.ActionKinds, std::vector<HostWord>{2});  // the kind of a float
    SynthParams expected = DefaultParams();
    kParamTable[i].Set(expected, 0.3f);
    ExpectParams(expected);
    host.Action(object, kRandomize);
    const SynthParams before = Params();
    EXPECT_EQ(FloatOf(host.Expression(object, kAccess[i].second, 5)), kParamTable[i].Get(before));
    EXPECT_EQ(Flags(), 0x4000);
    ExpectParams(before);
  }
  host.ActionKinds.clear();
  EXPECT_EQ(host.Action(object, kWaveType, -5), 0);  // with the call, unchecked
  EXPECT_TRUE(Params().WaveType == -5 && host.ActionKinds.empty());
  EXPECT_EQ(host.Expression(object, kWaveType), -5);  // a whole number, unflagged
  EXPECT_EQ(Flags(), 0);
  EXPECT_TRUE(host.ExpressionRequests.empty());  // no getter fetches a parameter

  SetVariable(1, 2.9f);
  SetVariable(23, 0.5f);
  EXPECT_TRUE(Params().WaveType == 2 && Params().HPCutoffSweep == 0.5f);
  EXPECT_EQ(host.ActionKinds, (std::vector<HostWord>{0, 2, 0, 2}));
  // Expression, index or Hz, result (a word, or a float's bits), its flags; FreqHz is
  // sqrt(12.5 * Hz / R).
  const std::tuple<int, HostWord, HostWord, int> reads[] = {
      {kVariable, 23, Bits(0.5f), 0x4000},
      {kVariable, 1, 2, 0},  // the wave type, a whole number
      {kVariable, 24, 0, 0},
      {kVariable, -1, 0, 0},
      {kFreqHz, 3528, Bits(1.0f), 0x4000},
      {kFreqHz, 20, Bits(0.07529233f), 0x4000}};  // sqrt(250 / 44100)
  for (const auto& [expression, parameter, result, flags] : reads) {
    EXPECT_EQ(Expression(expression, parameter), result) << parameter;
    EXPECT_EQ(Flags(), flags) << parameter;
  }
  for (const auto& request : host.ExpressionRequests) {
    EXPECT_TRUE(request.First && request.Kind == 0 && request.Object == object);
  }
}

TEST_F(Handlers, GenLengthAndGenWaveReadTheLastSound) {
  EXPECT_EQ(host.Expression(object, kGenLength), 0);
  EXPECT_EQ(FloatOf(Expression(kGenWave, 0)), 0.0f);
  EXPECT_EQ(Flags(), 0x4000);
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
    EXPECT_EQ(FloatOf(Expression(kGenWave, offset)), value) << offset;
    EXPECT_EQ(Flags(), 0x4000);
  }
}

TEST_F(Handlers, CsvAndSettingsStringAndFile) {
  const auto* text = reinterpret_cast<const char*>(host.Expression(object, kCsv));
  EXPECT_EQ(Flags(), 0x8000);
  // The text and its NUL, in the host's string space.
  EXPECT_TRUE(host.Strings.size() == 1 && host.Strings[0].size() == 54 &&
              text == host.Strings[0].data());
  EXPECT_STREQ(text, "1.0000,,,0.3000,,0.4000,0.3000,,,,,,,,,,,,,1.0000,,,,");

  host.ActionParams.push_back(reinterpret_cast<HostWord>("0.5,2"));
  EXPECT_EQ(host.Action(object, kLoadString), 0);
  EXPECT_EQ(host.ActionKinds, std::vector<HostWord>{-1});  // the kind of a text
  EXPECT_TRUE(Params().Volume == 0.5f && Params().WaveType == 2);

  const std::string path = (std::filesystem::path(testing::TempDir()) / "handlers.sfs").string();
  host.Action(object, kRandomize);
  const SynthParams saved = Params();
  EXPECT_EQ(host.Action(object, kSaveFile, path.c_str()), 0);
  host.Action(object, kReset);
  EXPECT_EQ(host.Action(object, kLoadFile, path.c_str()), 0);
  ExpectParams(saved);
  std::filesystem::remove(path);
}

// Seeds, presets 0-6, "Randomize" and "Mutate sound by" run in the reference sounds; here the
// special cases: unknown presets do nothing, the seed is unsigned and 0 takes the clock.
TEST_F(Handlers, DesignActionsIgnoreUnknownPresetsAndSeedZeroTakesTheClock) {
  host.Action(object, kSeed, 77);
  for (HostWord family : {7, -1}) EXPECT_EQ(host.Action(object, kPreset, family), 0);
  ExpectParams(DefaultParams());
  EXPECT_EQ(ModuleRandom().State, 77u);  // nothing drawn
  host.Action(object, kPreset, 6);
  EXPECT_NE(ModuleRandom().State, 77u);
  EXPECT_EQ(host.Action(object, kSeed, -1), 0);
  EXPECT_EQ(ModuleRandom().State, 0xFFFFFFFFu);
  const std::uint32_t before = CalendarSeconds();
  host.Action(object, kSeed, HostWord{0});
  EXPECT_GE(ModuleRandom().State, before);
  EXPECT_LE(ModuleRandom().State, CalendarSeconds());
}

// GenWave(Variable(1)): while the host fetches GenWave's parameter it runs Variable (and
// GenLength) on the same object, which then hands the outer binding back.
TEST_F(Handlers, ReaderPassesA16BitTokenAndSurvivesNesting) {
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
  EXPECT_TRUE(bytes[126] == kHostFill && bytes[127] == kHostFill);
}

// The buffer holds 82000 bytes per second of its length, up to 60; a longer sound is cut to it.
TEST_F(Handlers, TheBufferHoldsItsLengthTimes82000BytesUpTo60AndCutsLongerSounds) {
  for (std::uint32_t seconds : {0u, 1u, 5u, 60u, 61u, 0x80000000u, 0xFFFFFFFFu}) {
    const std::uint32_t capacity = 82000 * std::min(seconds, 60u);
    SCOPED_TRACE(seconds);
    RunObjectData* sized = host.Create(seconds);
    EXPECT_EQ(sized->Capacity, capacity);
    if (seconds <= 5) {
      SetVariable(3, 2.0f, sized);  // sustain 2.0: 400000 samples
      host.Action(sized, kGenerate, "long");
      ExpectImage(host.Bank.at("long"), capacity);
      EXPECT_EQ(host.Expression(sized, kGenLength), capacity / 2);
    }
    host.Destroy(sized);
    EXPECT_TRUE(!sized->Reader && !sized->Synth && !sized->WaveBuffer);
  }
  EXPECT_EQ(host.Events.size(), 3u);
}

TEST(Lifecycle, NewInstanceIsSeededAndLeavesTheHostHeader) {
  SimHost host;
  const std::uint32_t before = CalendarSeconds();
  RunObjectData* object = host.Create();
  const std::uint32_t after = CalendarSeconds();
  // Seeded from the clock before the new synthesizer drew its 32 noise values.
  bool seeded = false;
  for (std::uint32_t t = before; t <= after; ++t) {
    seeded = seeded || AfterDraws(t, 32).State == ModuleRandom().State;
  }
  EXPECT_TRUE(seeded);
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(object);
  for (std::size_t i = 0; i < 184; ++i) {  // all but the run header and the flags
    const bool hostByte = (i < 2 * sizeof(void*) || i >= 3 * sizeof(void*)) && i != 124 && i != 125;
    EXPECT_TRUE(!hostByte || bytes[i] == kHostFill) << "byte " << i;
  }
}

TEST(Lifecycle, FailedAllocationsLeaveEveryHandlerHarmless) {
  for (int failAt : {1, 2, 3, 0}) {  // reader, wave buffer, synthesizer, all
    SCOPED_TRACE(failAt);
    SimHost host;
    RunObjectData* object = nullptr;
    {
      FailingAllocations failing(failAt == 0 ? 7u : 1u << (failAt - 1));
      object = host.Create();
    }
    const bool noBuffer = failAt == 2 || failAt == 0, noSynth = failAt == 3 || failAt == 0;
    EXPECT_EQ(object->Reader == nullptr, failAt == 1 || failAt == 0);
    EXPECT_EQ(object->WaveBuffer == nullptr, noBuffer);
    EXPECT_EQ(object->Synth == nullptr, noSynth);
    for (int i = 0; i < 35; ++i) {
      host.ActionParams.assign({i == 34 ? reinterpret_cast<HostWord>("0.5,2") : 1, 0, 0});
      const char* text = i == 30 || i == 31 ? "/nonexistent/dir/q.sfs" : "sound";
      const bool named = i == 0 || i == 6 || i == 30 || i == 31;
      EXPECT_EQ(host.Action(object, i, named ? text : nullptr), 0) << i;
    }
    for (int i = 0; i < 29; ++i) host.Expression(object, i);
    host.Expression(object, kGenWave);
    EXPECT_EQ(object->Header.ResultFlags, 0x4000);  // 0.0, a float
    // Generation needs both; the older "Add sound" publishes whenever there is a buffer.
    EXPECT_EQ(host.Events.size(), noBuffer || noSynth ? 0u : 1u);
    ASSERT_EQ(host.BankCalls.size(), noBuffer ? 0u : noSynth ? 2u : 5u);
    EXPECT_TRUE(noBuffer || host.BankCalls[1].Copy.size() == 44u);
    if (failAt == 1) {  // without a reader the record itself is the host object
      EXPECT_EQ(host.Events.at(0).Object, object);
      EXPECT_EQ(host.ExpressionRequests.at(0).Object, object);
    }
  }
}

TEST_F(Handlers, GenerateAddsThenReplacesAndRaisesTheConditionAfterwards) {
  const auto ordinals = [&] {
    std::vector<int> list;
    for (const auto& call : host.BankCalls) list.push_back(call.Ordinal);
    return list;
  };
  EXPECT_EQ(host.Action(object, kAddSound, "early"), 0);
  ExpectImage(host.Bank.at("early"), 0);  // before any generation: an empty sound
  host.BankCalls.clear();
  static const char kName[] = "boom";
  EXPECT_EQ(host.Action(object, kGenerate, kName), 0);
  EXPECT_EQ(ordinals(), (std::vector<int>{193, 185}));
  for (const auto& call : host.BankCalls) {
    EXPECT_TRUE(call.Application == host.Application && call.One == 1 && call.Name == kName);
  }
  ExpectImage(host.BankCalls[1].Copy, 2 * 25003);  // the default sound: 25003 samples
  ASSERT_EQ(host.Events.size(), 1u);  // raised after publication, and the condition answers 1
  const EventCall& event = host.Events[0];
  EXPECT_TRUE(event.Object == object && event.A == 0 && event.B == 0 &&
              event.BankCallsBefore == 2 && event.ConditionResult == 1);

  SetVariable(3, 0.0f);  // sustain 0: a shorter sound
  host.Action(object, kGenerate, "boom");
  EXPECT_EQ(ordinals(), (std::vector<int>{193, 185, 193, 191, 197}));
  const HostWord handle = host.Handles.at("boom");
  EXPECT_TRUE(host.BankCalls[3].Handle == handle && host.BankCalls[4].Handle == handle);
  EXPECT_STREQ(host.BankCalls[4].Name, "boom");
  ExpectImage(host.Bank.at("boom"), object->LastLength);
  EXPECT_LT(object->LastLength, 2u * 25003);
  EXPECT_EQ(host.Events.size(), 2u);
  EXPECT_EQ(host.Events[1].BankCallsBefore, 5u);

  // "Add sound" publishes the current image as it is, without synthesis and condition.
  const std::uint32_t state = ModuleRandom().State;
  host.Action(object, kAddSound, "two");
  EXPECT_TRUE(host.Bank.at("two") == host.Bank.at("boom") && ModuleRandom().State == state);
  EXPECT_EQ(host.Events.size(), 2u);
}

}  // namespace
}  // namespace quavix::host
