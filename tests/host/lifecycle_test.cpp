// Creation and destruction of instances, and instances whose allocations failed.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "design/randomize.h"
#include "host/expression_reader.h"
#include "host/lifecycle.h"
#include "host/native_host.h"
#include "sim_host.h"

namespace quavix::host {
namespace {

TEST(Lifecycle, CapacityIsTheBufferLengthTimes82000UpTo60) {
  test::SimHost host;
  const std::pair<std::uint32_t, std::uint32_t> cases[] = {
      {0, 0}, {1, 82000}, {5, 410000}, {60, 4920000}, {61, 4920000}, {0x80000000u, 4920000},
      {0xFFFFFFFFu, 4920000}};
  for (const auto& [seconds, capacity] : cases) {
    RunObjectData* object = host.Create(seconds);
    EXPECT_EQ(object->Capacity, capacity) << seconds;
    host.Destroy(object);
    EXPECT_TRUE(object->Reader == nullptr && object->Synth == nullptr && object->WaveBuffer == nullptr);
  }
}

TEST(Lifecycle, NewInstanceIsBoundSeededAndLeavesTheHostHeader) {
  test::SimHost host;
  const std::uint32_t before = CalendarSeconds();
  RunObjectData* object = host.Create();
  const std::uint32_t after = CalendarSeconds();
  ASSERT_NE(object->Reader, nullptr);
  EXPECT_EQ(object->Reader->Object, object);
  EXPECT_EQ(object->Reader->Fetch, &FetchFirstParam);
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
      host.ActionParams.assign({1, 0, 0});
      if (i == 34) host.ActionParams.assign({reinterpret_cast<HostWord>("0.5,2")});
      const char* text = i == 30 || i == 31 ? "/nonexistent/dir/q.sfs" : "sound";
      EXPECT_EQ(host.Action(object, i, i == 0 || i == 6 || i == 30 || i == 31 ? text : nullptr), 0) << i;
    }
    for (int i = 0; i < 29; ++i) host.Expression(object, i);
    host.Expression(object, 0);
    EXPECT_EQ(object->Header.ResultFlags, kResultFloat);  // GenWave: 0.0, a float
    // Generation needs both; the older "Add sound" publishes whenever there is a buffer.
    EXPECT_EQ(host.Events.size(), noBuffer || noSynth ? 0u : 1u);
    EXPECT_EQ(host.BankCalls.size(), noBuffer ? 0u : noSynth ? 2u : 5u);
    EXPECT_TRUE(noBuffer || host.BankCalls[1].Copy.size() == 44u);
    if (failAt == 1) {  // without a reader the record itself is the host object
      EXPECT_EQ(host.Events.at(0).Object, object);
      EXPECT_EQ(host.ExpressionRequests.at(0).Object, object);
    }
    host.Destroy(object);
  }
}

}  // namespace
}  // namespace quavix::host
