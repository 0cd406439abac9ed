// "Generate sound as %0" and "(UNUSED) Add sound as %0": the sound-bank calls,
// the image and its header, and the condition.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "host/lifecycle.h"
#include "sim_host.h"
#include "synth/synthesizer.h"

namespace quavix::host {
namespace {

constexpr int kAddSound = 0, kGenerate = 6, kSeed = 7, kSetVariable = 33;

std::uint32_t Read(const test::Image& image, std::size_t at, std::size_t bytes) {
  std::uint32_t value = 0;
  std::memcpy(&value, image.data() + at, bytes);  // little-endian, like this machine
  return value;
}

void ExpectHeader(const test::Image& image, std::uint32_t dataBytes) {
  ASSERT_EQ(image.size(), dataBytes + 44u);
  const std::pair<std::size_t, const char*> tags[] = {{0, "RIFF"}, {8, "WAVE"}, {12, "fmt "}, {36, "data"}};
  for (const auto& [at, tag] : tags) EXPECT_EQ(std::memcmp(image.data() + at, tag, 4), 0) << tag;
  const std::pair<std::size_t, std::uint32_t> words[] = {
      {4, dataBytes + 36}, {16, 16}, {24, 44100}, {28, 88200}, {40, dataBytes}};
  for (const auto& [at, value] : words) EXPECT_EQ(Read(image, at, 4), value) << at;
  const std::pair<std::size_t, std::uint16_t> halves[] = {{20, 1}, {22, 1}, {32, 2}, {34, 16}};
  for (const auto& [at, value] : halves) EXPECT_EQ(Read(image, at, 2), value) << at;
}

std::vector<int> Ordinals(const test::SimHost& host) {
  std::vector<int> ordinals;
  for (const auto& call : host.BankCalls) ordinals.push_back(call.Ordinal);
  return ordinals;
}

TEST(Publication, GenerateAddsThenReplacesAndRaisesTheConditionAfterwards) {
  test::SimHost host;
  RunObjectData* object = host.Create();
  host.Action(object, kSeed, 1);
  static const char kName[] = "boom";
  EXPECT_EQ(host.Action(object, kGenerate, kName), 0);
  EXPECT_EQ(Ordinals(host), (std::vector<int>{193, 185}));
  for (const auto& call : host.BankCalls) {
    EXPECT_TRUE(call.Application == host.Application && call.One == 1 && call.Name == kName);
  }
  // The default sound: 25003 samples, written in place as the core makes them.
  const std::vector<std::uint8_t> first = host.BankCalls[1].Copy;
  ExpectHeader(first, 2 * 25003);
  RandomSource random, unused;
  SeedRandom(random, 1);
  Synthesizer synth(unused);
  std::vector<std::int16_t> samples(25003);
  Synthesize(synth, 25003, samples.data(), random);
  EXPECT_EQ(std::memcmp(first.data() + 44, samples.data(), 2 * 25003), 0);
  EXPECT_EQ(object->LastLength, 2u * 25003);
  ASSERT_EQ(host.Events.size(), 1u);
  EXPECT_TRUE(host.Events[0].Object == object && host.Events[0].A == 0 && host.Events[0].B == 0);
  EXPECT_EQ(host.Events[0].BankCallsBefore, 2u);
  EXPECT_EQ(host.Events[0].ConditionResult, 1);

  // Sustain 0 leaves the decay: 16000 samples and the envelope's last steps.
  host.ActionParams.push_back(3);
  host.QueueActionFloat(0.0f);
  host.Action(object, kSetVariable);
  host.Action(object, kGenerate, "boom");
  EXPECT_EQ(Ordinals(host), (std::vector<int>{193, 185, 193, 191, 197}));
  EXPECT_EQ(host.BankCalls[3].Handle, host.Handles.at("boom"));
  EXPECT_EQ(host.BankCalls[4].Handle, host.Handles.at("boom"));
  EXPECT_STREQ(host.BankCalls[4].Name, "boom");
  ExpectHeader(host.Bank.at("boom"), object->LastLength);
  EXPECT_LT(object->LastLength, 2u * 16010);
  EXPECT_GE(object->LastLength, 2u * 16000);
  EXPECT_EQ(host.Events.size(), 2u);
  EXPECT_EQ(host.Events[1].BankCallsBefore, 5u);
}

TEST(Publication, TheBufferCutsTheSound) {
  for (std::uint32_t seconds : {5u, 0u}) {
    test::SimHost host;
    RunObjectData* object = host.Create(seconds);
    host.ActionParams.push_back(3);  // sustain 2.0: 400000 samples
    host.QueueActionFloat(2.0f);
    host.Action(object, kSetVariable);
    host.Action(object, kGenerate, "long");
    ExpectHeader(host.Bank.at("long"), seconds * 82000);
    EXPECT_EQ(host.Expression(object, 1), seconds * 41000);  // GenLength
    EXPECT_EQ(host.Events.size(), 1u);
  }
}

TEST(Publication, AddSoundPublishesTheCurrentImageWithoutSynthesis) {
  test::SimHost host;
  RunObjectData* object = host.Create();
  EXPECT_EQ(host.Action(object, kAddSound, "early"), 0);
  ExpectHeader(host.Bank.at("early"), 0);  // before any generation: an empty sound
  host.Action(object, kGenerate, "one");
  const std::uint32_t state = ModuleRandom().State;
  host.Action(object, kAddSound, "two");
  host.Action(object, kAddSound, "one");
  EXPECT_EQ(Ordinals(host), (std::vector<int>{193, 185, 193, 185, 193, 185, 193, 191, 197}));
  EXPECT_EQ(host.Bank.at("two"), host.Bank.at("one"));
  EXPECT_EQ(host.BankCalls[8].Copy, host.Bank.at("two"));
  EXPECT_EQ(ModuleRandom().State, state);
  EXPECT_EQ(host.Events.size(), 1u);
}

}  // namespace
}  // namespace quavix::host
