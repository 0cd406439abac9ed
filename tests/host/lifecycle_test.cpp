// Creation and destruction of instances: capacities, the reader, the seeding
// of the module's random source, and instances whose allocations failed.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "design/randomize.h"
#include "host/expression_reader.h"
#include "host/lifecycle.h"
#include "host/native_host.h"
#include "sim_host.h"
#include "synth/synth_params.h"

namespace quavix::host {
namespace {

TEST(Lifecycle, CapacityFollowsTheStoredBufferLength) {
  test::SimHost host;
  const std::pair<std::uint32_t, std::uint32_t> cases[] = {
      {0, 0}, {1, 82000}, {5, 410000}, {60, 4920000}, {61, 4920000}, {0xFFFFFFFFu, 4920000},
      {0x80000000u, 4920000}};
  for (const auto& [seconds, capacity] : cases) {
    RunObjectData* object = host.Create(seconds);
    EXPECT_EQ(object->Capacity, capacity) << seconds;
    EXPECT_NE(object->WaveBuffer, nullptr);
    host.Destroy(object);
  }
}

TEST(Lifecycle, NewInstanceHoldsReaderDefaultsAndNoSound) {
  test::SimHost host;
  RunObjectData* object = host.Create();
  ASSERT_NE(object->Reader, nullptr);
  EXPECT_EQ(object->Reader->Object, object);
  EXPECT_EQ(object->Reader->Fetch, &FetchFirstParam);
  ASSERT_NE(object->Synth, nullptr);
  const SynthParams d = DefaultParams();
  EXPECT_EQ(std::memcmp(&object->Synth->Params, &d, sizeof(SynthParams)), 0);
  EXPECT_EQ(object->LastLength, 0u);
  // The module wrote nothing into the host's header.
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(object);
  for (std::size_t i = 0; i < sizeof(HostObjectHeader); ++i) {
    if (i >= offsetof(HostObjectHeader, RunHeader) &&
        i < offsetof(HostObjectHeader, RunHeader) + sizeof(void*)) {
      continue;
    }
    if (i == 124 || i == 125) continue;  // the flags word, which the host cleared
    EXPECT_EQ(bytes[i], test::kHostFill) << "byte " << i;
  }
}

TEST(Lifecycle, CreationSeedsTheSharedSourceFromTheClockBeforeTheNoiseTable) {
  test::SimHost host;
  const std::uint32_t before = CalendarSeconds();
  RunObjectData* object = host.Create();
  const std::uint32_t after = CalendarSeconds();
  bool matched = false;
  for (std::uint32_t t = before; t != after + 1; ++t) {
    RandomSource expected;
    SeedRandom(expected, t);
    for (int i = 0; i < 32; ++i) NextDraw(expected);  // the new synthesizer's noise table
    matched = matched || expected.State == ModuleRandom().State;
  }
  EXPECT_TRUE(matched);
  host.Destroy(object);
}

TEST(Lifecycle, DestroyFreesEverythingAndClearsThePointers) {
  test::SimHost host;
  RunObjectData* object = host.Create();
  host.Destroy(object);
  EXPECT_EQ(object->Reader, nullptr);
  EXPECT_EQ(object->Synth, nullptr);
  EXPECT_EQ(object->WaveBuffer, nullptr);
}

// An allocator whose n-th allocation (counting from 1; 0 = all) fails.
int gFailAt = 0;
int gAllocations = 0;
void* FailingAllocate(std::size_t bytes) {
  ++gAllocations;
  if (gFailAt == 0 || gAllocations == gFailAt) return nullptr;
  return std::malloc(bytes);
}
void FreeBlockStandIn(void* block) { std::free(block); }
const BlockAllocator kFailingAllocator{&FailingAllocate, &FreeBlockStandIn};

// Drives every action and every expression of an instance.
void RunEveryHandler(test::SimHost& host, RunObjectData* object) {
  static const char kText[] = "0.5,2";
  for (int i = 0; i < 35; ++i) {
    for (int k = 0; k < 4; ++k) host.QueueActionFloat(0.25f);
    HostWord first = 1;
    if (i == 0 || i == 6) first = reinterpret_cast<HostWord>("sound");
    if (i == 30 || i == 31) first = reinterpret_cast<HostWord>("/nonexistent/dir/q.sfs");
    if (i == 34) {
      host.ActionParams.clear();
      host.QueueActionWord(reinterpret_cast<HostWord>(kText));
    }
    EXPECT_EQ(host.Action(object, i, first), 0) << "action " << i;
    host.ActionParams.clear();
  }
  for (int i = 0; i < 29; ++i) {
    host.ExpressionParams.assign({3});
    host.Expression(object, i);
  }
}

TEST(Lifecycle, FailedAllocationsLeaveEveryHandlerHarmless) {
  for (int failAt : {1, 2, 3, 0}) {
    SCOPED_TRACE(failAt);
    test::SimHost host;
    gFailAt = failAt;
    gAllocations = 0;
    InstallBlockAllocator(&kFailingAllocator);
    RunObjectData* object = host.Create();
    InstallBlockAllocator(nullptr);
    EXPECT_EQ(object->Reader == nullptr, failAt == 1 || failAt == 0);
    EXPECT_EQ(object->WaveBuffer == nullptr, failAt == 2 || failAt == 0);
    EXPECT_EQ(object->Synth == nullptr, failAt == 3 || failAt == 0);
    if (object->WaveBuffer == nullptr) {
      EXPECT_EQ(object->Capacity, 0u);
    }
    RunEveryHandler(host, object);
    // Without a wave buffer or a synthesizer nothing is generated; without a
    // wave buffer nothing is published either.
    if (object->WaveBuffer == nullptr || object->Synth == nullptr) {
      EXPECT_TRUE(host.Events.empty());
      EXPECT_EQ(object->LastLength, 0u);
    }
    if (object->WaveBuffer == nullptr) {
      EXPECT_TRUE(host.BankCalls.empty());
    } else if (object->Synth == nullptr) {
      ASSERT_EQ(host.BankCalls.size(), 2u);  // "(UNUSED) Add sound as %0": the empty sound
      EXPECT_EQ(host.BankCalls[1].Size, 44);
    }
    host.Destroy(object);
  }
}

TEST(Lifecycle, AnInstanceWithoutReaderStillFetchesAndRaisesWithItsRecord) {
  test::SimHost host;
  gFailAt = 1;
  gAllocations = 0;
  InstallBlockAllocator(&kFailingAllocator);
  RunObjectData* object = host.Create();
  InstallBlockAllocator(nullptr);
  ASSERT_EQ(object->Reader, nullptr);
  host.ExpressionParams.assign({1});
  EXPECT_EQ(host.Expression(object, 2), 0);  // Variable(1): the wave type 0
  ASSERT_EQ(host.ExpressionRequests.size(), 1u);
  EXPECT_TRUE(host.ExpressionRequests[0].First);
  EXPECT_EQ(host.ExpressionRequests[0].Object, object);
  host.Action(object, 6, reinterpret_cast<HostWord>("s"));
  ASSERT_EQ(host.Events.size(), 1u);
  EXPECT_EQ(host.Events[0].Object, object);
  host.Destroy(object);
}

}  // namespace
}  // namespace quavix::host
