// "Generate sound as %0" and "(UNUSED) Add sound as %0": the order of the
// sound-bank calls, the image and its header, and the condition.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "host/lifecycle.h"
#include "sim_host.h"
#include "synth/random_source.h"
#include "synth/synthesizer.h"

namespace quavix::host {
namespace {

constexpr int kAddSound = 0;
constexpr int kGenerate = 6;
constexpr int kSetSeed = 7;
constexpr int kSetVariable = 33;

HostWord Name(const char* text) { return reinterpret_cast<HostWord>(text); }

// The samples the core alone produces for the default parameters after the
// random source was seeded with `seed`.
std::vector<std::int16_t> DefaultSoundFromSeed(std::uint32_t seed, std::int32_t maxSamples) {
  RandomSource unused;
  Synthesizer synth(unused);
  RandomSource random;
  SeedRandom(random, seed);
  std::vector<std::int16_t> samples(static_cast<std::size_t>(maxSamples));
  Synthesize(synth, maxSamples, samples.data(), random);
  samples.resize(static_cast<std::size_t>(synth.SampleCount));
  return samples;
}

void ExpectHeader(const std::vector<std::uint8_t>& image, std::uint32_t dataBytes) {
  ASSERT_GE(image.size(), 44u);
  EXPECT_EQ(std::memcmp(image.data(), "RIFF", 4), 0);
  EXPECT_EQ(test::ReadU32(image, 4), dataBytes + 36);
  EXPECT_EQ(std::memcmp(image.data() + 8, "WAVE", 4), 0);
  EXPECT_EQ(std::memcmp(image.data() + 12, "fmt ", 4), 0);
  EXPECT_EQ(test::ReadU32(image, 16), 16u);
  EXPECT_EQ(test::ReadU16(image, 20), 1);
  EXPECT_EQ(test::ReadU16(image, 22), 1);
  EXPECT_EQ(test::ReadU32(image, 24), 44100u);
  EXPECT_EQ(test::ReadU32(image, 28), 88200u);
  EXPECT_EQ(test::ReadU16(image, 32), 2);
  EXPECT_EQ(test::ReadU16(image, 34), 16);
  EXPECT_EQ(std::memcmp(image.data() + 36, "data", 4), 0);
  EXPECT_EQ(test::ReadU32(image, 40), dataBytes);
}

TEST(Generate, NewNameIsAddedWithTheSynthesizedImage) {
  test::SimHost host;
  RunObjectData* object = host.Create();
  host.Action(object, kSetSeed, 1);
  static const char kName[] = "boom";
  EXPECT_EQ(host.Action(object, kGenerate, Name(kName)), 0);

  ASSERT_EQ(host.BankCalls.size(), 2u);
  const test::BankCall& find = host.BankCalls[0];
  EXPECT_EQ(find.Ordinal, 193);
  EXPECT_EQ(find.Application, host.Application);
  EXPECT_EQ(find.One, 1);
  EXPECT_EQ(find.NamePointer, kName);
  const test::BankCall& add = host.BankCalls[1];
  EXPECT_EQ(add.Ordinal, 185);
  EXPECT_EQ(add.Application, host.Application);
  EXPECT_EQ(add.One, 1);
  EXPECT_EQ(add.NamePointer, kName);

  // The default sound: 25003 samples (sustain 9000 + decay 16000 samples and
  // the envelope's last steps), computed here by the core on its own.
  const auto samples = DefaultSoundFromSeed(1, 205000);
  ASSERT_EQ(samples.size(), 25003u);
  const std::uint32_t n = 25003;
  EXPECT_EQ(add.Size, static_cast<HostWord>(2 * n + 44));
  ASSERT_EQ(add.Image.size(), 2 * n + 44);
  ExpectHeader(add.Image, 2 * n);
  for (std::size_t i = 0; i < samples.size(); ++i) {
    const auto sample = static_cast<std::int16_t>(test::ReadU16(add.Image, 44 + 2 * i));
    ASSERT_EQ(sample, samples[i]) << "sample " << i;
  }
  EXPECT_EQ(object->LastLength, 2 * n);
  EXPECT_EQ(host.Expression(object, 1), static_cast<HostWord>(n));  // GenLength
}

TEST(Generate, SameNameIsReplacedAndTheBankKeepsCopies) {
  test::SimHost host;
  RunObjectData* object = host.Create();
  host.Action(object, kGenerate, Name("boom"));
  const std::vector<std::uint8_t> first = host.Bank.at("boom").Image;
  const HostWord handle = host.Bank.at("boom").Handle;
  // A shorter sound under the same name: sustain 0 leaves the decay only.
  host.QueueActionWord(3);
  host.QueueActionFloat(0.0f);
  host.Action(object, kSetVariable);
  host.BankCalls.clear();
  host.Action(object, kGenerate, Name("boom"));

  ASSERT_EQ(host.BankCalls.size(), 3u);
  EXPECT_EQ(host.BankCalls[0].Ordinal, 193);
  EXPECT_EQ(host.BankCalls[1].Ordinal, 191);
  EXPECT_EQ(host.BankCalls[1].Handle, handle);
  EXPECT_EQ(host.BankCalls[1].Application, host.Application);
  EXPECT_EQ(host.BankCalls[1].One, 1);
  EXPECT_EQ(host.BankCalls[2].Ordinal, 197);
  EXPECT_EQ(host.BankCalls[2].Handle, handle);
  EXPECT_EQ(host.BankCalls[2].One, 1);
  EXPECT_EQ(host.BankCalls[2].Name, "boom");
  const std::vector<std::uint8_t>& second = host.Bank.at("boom").Image;
  EXPECT_LT(second.size(), first.size());
  ExpectHeader(second, static_cast<std::uint32_t>(second.size() - 44));
  RandomSource unused;
  Synthesizer decayOnly(unused);
  decayOnly.Params.SustainTime = 0.0f;
  std::vector<std::int16_t> area(205000);
  Synthesize(decayOnly, 205000, area.data(), unused);
  EXPECT_EQ(second.size(), 2 * static_cast<std::size_t>(decayOnly.SampleCount) + 44);
  ExpectHeader(first, 2 * 25003);

  host.BankCalls.clear();
  host.Action(object, kGenerate, Name("zap"));
  ASSERT_EQ(host.BankCalls.size(), 2u);
  EXPECT_EQ(host.BankCalls[0].Ordinal, 193);
  EXPECT_EQ(host.BankCalls[1].Ordinal, 185);
}

TEST(Generate, ConditionIsRaisedOnceAfterPublication) {
  test::SimHost host;
  RunObjectData* object = host.Create();
  host.Action(object, kGenerate, Name("a"));
  ASSERT_EQ(host.Events.size(), 1u);
  EXPECT_EQ(host.Events[0].Object, object);
  EXPECT_EQ(host.Events[0].A, 0);
  EXPECT_EQ(host.Events[0].B, 0);
  EXPECT_EQ(host.Events[0].BankCallsBefore, 2u);
  EXPECT_EQ(host.Events[0].ConditionResult, 1);
  host.Action(object, kGenerate, Name("a"));
  ASSERT_EQ(host.Events.size(), 2u);
  EXPECT_EQ(host.Events[1].BankCallsBefore, 5u);
}

TEST(Generate, CapacityCutsTheSound) {
  test::SimHost host;
  RunObjectData* object = host.Create(5);
  host.QueueActionWord(3);  // SustainTime 2.0: 400000 samples of sustain
  host.QueueActionFloat(2.0f);
  host.Action(object, kSetVariable);
  host.Action(object, kGenerate, Name("long"));
  const auto& image = host.Bank.at("long").Image;
  EXPECT_EQ(image.size(), 410044u);
  ExpectHeader(image, 410000);
  EXPECT_EQ(host.Expression(object, 1), 205000);
}

TEST(Generate, ZeroBufferLengthPublishesAnEmptySound) {
  test::SimHost host;
  RunObjectData* object = host.Create(0);
  host.Action(object, kGenerate, Name("empty"));
  const auto& image = host.Bank.at("empty").Image;
  EXPECT_EQ(image.size(), 44u);
  ExpectHeader(image, 0);
  EXPECT_EQ(host.Events.size(), 1u);
  EXPECT_EQ(object->LastLength, 0u);
}

TEST(AddSound, BeforeAnyGenerationPublishesAValidEmptySound) {
  test::SimHost host;
  RunObjectData* object = host.Create();
  EXPECT_EQ(host.Action(object, kAddSound, Name("early")), 0);
  ASSERT_EQ(host.BankCalls.size(), 2u);
  EXPECT_EQ(host.BankCalls[0].Ordinal, 193);
  EXPECT_EQ(host.BankCalls[1].Ordinal, 185);
  EXPECT_EQ(host.BankCalls[1].Size, 44);
  ExpectHeader(host.BankCalls[1].Image, 0);
  EXPECT_TRUE(host.Events.empty());
}

TEST(AddSound, AfterGenerationPublishesTheSameImageWithoutEvent) {
  test::SimHost host;
  RunObjectData* object = host.Create();
  host.Action(object, kGenerate, Name("one"));
  host.Action(object, kAddSound, Name("two"));
  EXPECT_EQ(host.Events.size(), 1u);
  EXPECT_EQ(host.Bank.at("two").Image, host.Bank.at("one").Image);
  // Under an existing name it replaces, still without synthesizing.
  const std::uint32_t before = ModuleRandom().State;
  host.BankCalls.clear();
  host.Action(object, kAddSound, Name("one"));
  ASSERT_EQ(host.BankCalls.size(), 3u);
  EXPECT_EQ(host.BankCalls[1].Ordinal, 191);
  EXPECT_EQ(host.BankCalls[2].Ordinal, 197);
  EXPECT_EQ(ModuleRandom().State, before);
  EXPECT_EQ(host.Events.size(), 1u);
}

}  // namespace
}  // namespace quavix::host
