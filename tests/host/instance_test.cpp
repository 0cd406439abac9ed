// Instances: their creation and destruction, failed allocations, and "Generate sound as %0" and
// "(UNUSED) Add sound as %0" with their sound-bank calls, image and condition.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>

#include "design/randomize.h"
#include "host/expression_reader.h"
#include "host/lifecycle.h"
#include "sim_host.h"
#include "synth/synthesizer.h"

namespace quavix::host {
namespace {

constexpr int kAddSound = 0, kGenerate = 6, kSeed = 7, kSetVariable = 33;

// An image of dataBytes of samples after the 44-byte header, whose two lengths say so (the
// header's fixed fields are the wave image's, checked with it).
void ExpectImage(const test::Image& image, std::uint32_t dataBytes) {
  ASSERT_EQ(image.size(), dataBytes + 44u);
  std::uint32_t lengths[2];
  std::memcpy(&lengths[0], &image[4], 4);
  std::memcpy(&lengths[1], &image[40], 4);
  EXPECT_EQ(lengths[0], dataBytes + 36);
  EXPECT_EQ(lengths[1], dataBytes);
}

// The buffer holds 82000 bytes per second of its length, up to 60; a longer sound is cut to it.
TEST(Lifecycle, TheBufferHoldsItsLengthTimes82000BytesUpTo60AndCutsLongerSounds) {
  test::SimHost host;
  for (std::uint32_t seconds : {0u, 1u, 5u, 60u, 61u, 0x80000000u, 0xFFFFFFFFu}) {
    const std::uint32_t capacity = 82000 * std::min(seconds, 60u);
    SCOPED_TRACE(seconds);
    RunObjectData* object = host.Create(seconds);
    EXPECT_EQ(object->Capacity, capacity);
    if (seconds <= 5) {
      // Sustain 2.0: 400000 samples.
      host.ActionParams.assign({3, std::bit_cast<std::int32_t>(2.0f)});
      host.Action(object, kSetVariable);
      host.Action(object, kGenerate, "long");
      ExpectImage(host.Bank.at("long"), capacity);
      EXPECT_EQ(host.Expression(object, 1), capacity / 2);  // GenLength
    }
    host.Destroy(object);
    EXPECT_TRUE(!object->Reader && !object->Synth && !object->WaveBuffer);
  }
  EXPECT_EQ(host.Events.size(), 3u);
}

TEST(Lifecycle, NewInstanceIsBoundSeededAndLeavesTheHostHeader) {
  test::SimHost host;
  const std::uint32_t before = CalendarSeconds();
  RunObjectData* object = host.Create();
  const std::uint32_t after = CalendarSeconds();
  ASSERT_NE(object->Reader, nullptr);
  EXPECT_TRUE(object->Reader->Object == object && object->Reader->Fetch == &FetchFirstParam);
  const SynthParams defaults = DefaultParams();
  EXPECT_EQ(std::memcmp(&object->Synth->Params, &defaults, sizeof(SynthParams)), 0);
  EXPECT_EQ(object->LastLength, 0u);
  // Seeded from the clock before the new synthesizer drew its 32 noise values.
  bool seeded = false;
  for (std::uint32_t t = before; t <= after; ++t) {
    RandomSource expected;
    SeedRandom(expected, t);
    for (int i = 0; i < 32; ++i) NextDraw(expected);
    seeded = seeded || expected.State == ModuleRandom().State;
  }
  EXPECT_TRUE(seeded);
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(object);
  for (std::size_t i = 0; i < 184; ++i) {  // all but the run header and the flags
    const bool hostByte = (i < 2 * sizeof(void*) || i >= 3 * sizeof(void*)) && i != 124 && i != 125;
    EXPECT_TRUE(!hostByte || bytes[i] == test::kHostFill) << "byte " << i;
  }
}

// The n-th allocation of the module fails (0: every one).
int gFailAt = 0, gAllocations = 0;
void* Allocate(std::size_t bytes) {
  return ++gAllocations == gFailAt || gFailAt == 0 ? nullptr : std::malloc(bytes);
}
const BlockAllocator kFailing{&Allocate, [](void* block) { std::free(block); }};

TEST(Lifecycle, FailedAllocationsLeaveEveryHandlerHarmless) {
  for (int failAt : {1, 2, 3, 0}) {  // reader, wave buffer, synthesizer, all
    SCOPED_TRACE(failAt);
    test::SimHost host;
    gFailAt = failAt;
    gAllocations = 0;
    InstallBlockAllocator(&kFailing);
    RunObjectData* object = host.Create();
    InstallBlockAllocator(nullptr);
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
    host.Expression(object, 0);
    EXPECT_EQ(object->Header.ResultFlags, kResultFloat);  // GenWave: 0.0, a float
    // Generation needs both; the older "Add sound" publishes whenever there is a buffer.
    EXPECT_EQ(host.Events.size(), noBuffer || noSynth ? 0u : 1u);
    ASSERT_EQ(host.BankCalls.size(), noBuffer ? 0u : noSynth ? 2u : 5u);
    EXPECT_TRUE(noBuffer || host.BankCalls[1].Copy.size() == 44u);
    if (failAt == 1) {  // without a reader the record itself is the host object
      EXPECT_EQ(host.Events.at(0).Object, object);
      EXPECT_EQ(host.ExpressionRequests.at(0).Object, object);
    }
    host.Destroy(object);
  }
}

std::vector<int> Ordinals(const test::SimHost& host) {
  std::vector<int> ordinals;
  for (const auto& call : host.BankCalls) ordinals.push_back(call.Ordinal);
  return ordinals;
}

TEST(Publication, GenerateAddsThenReplacesAndRaisesTheConditionAfterwards) {
  test::SimHost host;
  RunObjectData* object = host.Create();
  EXPECT_EQ(host.Action(object, kAddSound, "early"), 0);
  ExpectImage(host.Bank.at("early"), 0);  // before any generation: an empty sound
  host.BankCalls.clear();
  host.Action(object, kSeed, 1);
  static const char kName[] = "boom";
  EXPECT_EQ(host.Action(object, kGenerate, kName), 0);
  EXPECT_EQ(Ordinals(host), (std::vector<int>{193, 185}));
  for (const auto& call : host.BankCalls) {
    EXPECT_TRUE(call.Application == host.Application && call.One == 1 && call.Name == kName);
  }
  // The default sound: 25003 samples, written in place as the core makes them.
  const test::Image first = host.BankCalls[1].Copy;
  ExpectImage(first, 2 * 25003);
  RandomSource random, unused;
  SeedRandom(random, 1);
  Synthesizer synth(unused);
  std::vector<std::int16_t> samples(25003);
  Synthesize(synth, 25003, samples.data(), random);
  EXPECT_EQ(std::memcmp(first.data() + 44, samples.data(), 2 * 25003), 0);
  EXPECT_EQ(object->LastLength, 2u * 25003);
  ASSERT_EQ(host.Events.size(), 1u);
  const test::EventCall& event = host.Events[0];
  EXPECT_TRUE(event.Object == object && event.A == 0 && event.B == 0);
  EXPECT_EQ(event.BankCallsBefore, 2u);
  EXPECT_EQ(event.ConditionResult, 1);

  // Sustain 0 leaves the decay: 16000 samples and the envelope's last steps.
  host.ActionParams.push_back(3);
  host.QueueActionFloat(0.0f);
  host.Action(object, kSetVariable);
  host.Action(object, kGenerate, "boom");
  EXPECT_EQ(Ordinals(host), (std::vector<int>{193, 185, 193, 191, 197}));
  EXPECT_EQ(host.BankCalls[3].Handle, host.Handles.at("boom"));
  EXPECT_EQ(host.BankCalls[4].Handle, host.Handles.at("boom"));
  EXPECT_STREQ(host.BankCalls[4].Name, "boom");
  ExpectImage(host.Bank.at("boom"), object->LastLength);
  EXPECT_LT(object->LastLength, 2u * 16010);
  EXPECT_GE(object->LastLength, 2u * 16000);
  EXPECT_EQ(host.Events.size(), 2u);
  EXPECT_EQ(host.Events[1].BankCallsBefore, 5u);

  // "Add sound" publishes the current image as it is, without synthesis and condition.
  const std::uint32_t state = ModuleRandom().State;
  const test::Image image = host.Bank.at("boom");
  host.Action(object, kAddSound, "two");
  host.Action(object, kAddSound, "boom");  // a known name: replaced
  EXPECT_EQ(Ordinals(host), (std::vector<int>{193, 185, 193, 191, 197, 193, 185, 193, 191, 197}));
  EXPECT_TRUE(host.Bank.at("two") == image && host.BankCalls.back().Copy == image);
  EXPECT_EQ(ModuleRandom().State, state);
  EXPECT_EQ(host.Events.size(), 2u);
}

}  // namespace
}  // namespace quavix::host
