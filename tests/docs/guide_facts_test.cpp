// The user guide's figures (docs/module.md), each found by the words around it and compared with
// what the core computes. A figure that moves, disappears or matches twice fails as loudly as a
// wrong one. The per-parameter tables of "### Sound parameters" are left out: they follow the
// core's parameter table itself.
#include <charconv>
#include <functional>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "design/presets.h"
#include "design/randomize.h"
#include "exchange/param_table.h"
#include "exchange/param_units.h"
#include "exchange/settings_file.h"
#include "exchange/settings_string.h"
#include "exchange/wave_image.h"
#include "host/entry_points.h"
#include "host/native_host.h"
#include "host/registry.h"
#include "synth/synthesizer.h"
#include "test_util.h"

namespace quavix {
namespace {

// The guide as one line, every run of white space made one space, without the part from
// "### Sound parameters" to "#### Parameters by number, and Hertz". Empty when unreadable.
const std::string& Guide() {
  static const std::string text = [] {
    std::ifstream file(QUAVIX_MODULE_GUIDE);
    std::stringstream raw;
    raw << file.rdbuf();
    std::string s = raw.str();
    const std::size_t from = s.find("\n### Sound parameters\n");
    const std::size_t to = s.find("\n#### Parameters by number, and Hertz\n");
    if (from == std::string::npos || to == std::string::npos || to < from) return std::string();
    s.erase(from, to - from);
    std::string joined;
    bool space = false;
    for (const char c : s) {
      if (c == ' ' || c == '\n' || c == '\r' || c == '\t') {
        space = true;
        continue;
      }
      if (space && !joined.empty()) joined += ' ';
      space = false;
      joined += c;
    }
    return joined;
  }();
  return text;
}

// The groups of the one match of `pattern` in the guide (group 0 the whole match); a pattern
// that matches nowhere or more than once fails and gives empty groups, which read as NaN.
std::vector<std::string> Find(const std::string& pattern) {
  const std::string& guide = Guide();
  const std::regex re(pattern);
  const std::sregex_iterator first(guide.begin(), guide.end(), re), end;
  const auto count = std::distance(first, end);
  if (count != 1) {
    ADD_FAILURE() << count << " matches in the guide for: " << pattern;
    return std::vector<std::string>(re.mark_count() + 1);
  }
  std::vector<std::string> groups;
  for (const auto& group : *first) groups.push_back(group.str());
  return groups;
}

// Every match of `pattern`, as its groups.
std::vector<std::vector<std::string>> FindAll(const std::string& pattern) {
  const std::string& guide = Guide();
  const std::regex re(pattern);
  std::vector<std::vector<std::string>> rows;
  for (std::sregex_iterator it(guide.begin(), guide.end(), re), end; it != end; ++it) {
    std::vector<std::string> groups;
    for (const auto& group : *it) groups.push_back(group.str());
    rows.push_back(groups);
  }
  return rows;
}

// A figure as written: thousands separated by commas, a point for decimals; NaN if it is none.
double Number(std::string text) {
  std::erase(text, ',');
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return text.empty() || error != std::errc() || end != text.data() + text.size() ? kNaN : value;
}

// The text shows `value` rounded to as many decimals as the text has.
void ExpectShows(const std::string& text, double value) {
  const std::size_t point = text.find('.');
  const int decimals = point == std::string::npos ? 0 : static_cast<int>(text.size() - point - 1);
  const double half = 0.5 * std::pow(10.0, -decimals);
  EXPECT_LE(std::abs(Number(text) - value), half * (1 + 1e-9))
      << "the guide says \"" << text << "\" where the core gives " << value;
}

struct Fact {
  const char* pattern;  // the sentence or row, the figures in groups
  std::function<void(const std::vector<std::string>&)> check;
};

void CheckFacts(const std::vector<Fact>& facts) {
  ASSERT_FALSE(Guide().empty()) << "cannot read " << QUAVIX_MODULE_GUIDE
                                << " or find its \"### Sound parameters\" section";
  for (const Fact& fact : facts) {
    SCOPED_TRACE(fact.pattern);
    fact.check(Find(fact.pattern));
  }
}

const SynthParams kDefaults = DefaultParams();

// The tone of a stored frequency value: 8 subsamples per sample over the start period, exact or
// cut to whole subsamples as the oscillator runs it.
double Pitch(float startFreq, bool wholeSubsamples) {
  RandomSource random{1};
  Synthesizer synth;
  Init(synth, random);
  synth.Params.StartFreq = startFreq;
  std::int16_t sample = 0;
  Synthesize(synth, 1, &sample, random);  // one sample: Period holds the whole-subsample period
  Restart(synth, false, random);
  const double rate = kSubsamplesPerSample * static_cast<double>(synth.Params.SampleRate);
  return rate / (wholeSubsamples ? synth.Period : synth.PeriodExact);
}

// How many draws `use` takes from a source seeded with 1.
int DrawsOf(const std::function<void(RandomSource&)>& use) {
  RandomSource random{1};
  use(random);
  RandomSource probe{1};
  for (int draws = 0; draws < 10000000; ++draws, NextDraw(probe)) {
    if (probe.State == random.State) return draws;
  }
  return -1;
}

// A seed whose first draw is `draw`: the state after the draw is draw << 16, undone through the
// inverse of the multiplier modulo 2^32 (Newton's iteration doubles its correct low bits).
std::uint32_t SeedForFirstDraw(std::uint32_t draw) {
  std::uint32_t inverse = 214013u;
  for (int i = 0; i < 5; ++i) inverse *= 2u - 214013u * inverse;
  return ((draw << 16) - 2531011u) * inverse;
}

int WaveTypeAfterRandomize(std::uint32_t seed) {
  SynthParams p = DefaultParams();
  RandomSource random{seed};
  Randomize(p, random);
  return p.WaveType;
}

// The synthesized samples of the parameters, from a source seeded with 1.
std::vector<std::int16_t> Samples(const SynthParams& params) {
  RandomSource random{1};
  Synthesizer synth;
  Init(synth, random);
  synth.Params = params;
  std::vector<std::int16_t> samples(205000);
  Synthesize(synth, static_cast<std::int32_t>(samples.size()), samples.data(), random);
  samples.resize(static_cast<std::size_t>(synth.SampleCount));
  return samples;
}

TEST(GuideFacts, HertzConversionsAndPitches) {
  const double offset = Pitch(0.0f, false);  // the pitch of a stored 0
  const double slope = Pitch(1.0f, false) - offset;
  const float f440 = FreqHz(kDefaults, 440);
  CheckFacts({
      {R"(\| the stored frequency value for that many Hertz, for the start and minimum frequency; )"
       R"((\d+) Hz gives ([0-9.]+), (\d+) Hz gives ([0-9.]+); the result sounds ([0-9.]+) Hz higher)",
       [&](const auto& g) {
         ExpectShows(g[2], FreqHz(kDefaults, static_cast<std::int32_t>(Number(g[1]))));
         ExpectShows(g[4], FreqHz(kDefaults, static_cast<std::int32_t>(Number(g[3]))));
         const double hz = Number(g[3]);
         ExpectShows(g[5], Pitch(FreqHz(kDefaults, static_cast<std::int32_t>(hz)), false) - hz);
       }},
      {R"(a square wave at about (\d+) Hz with a sustain of ([0-9.]+) s and a decay of ([0-9.]+) s)",
       [&](const auto& g) {
         EXPECT_EQ(kDefaults.WaveType, kSquareWave);
         ExpectShows(g[1], Pitch(kDefaults.StartFreq, false));
         ExpectShows(g[1], Pitch(kDefaults.StartFreq, true));
         ExpectShows(g[2], StoredToTime(kDefaults, kDefaults.SustainTime));
         ExpectShows(g[3], StoredToTime(kDefaults, kDefaults.DecayTime));
       }},
      {R"(### `FreqHz` sounds ([0-9.]+) Hz high)",
       [&](const auto& g) { ExpectShows(g[1], offset); }},
      {R"(The pitch of a stored frequency value f is (\d+) × \(f² \+ ([0-9.]+)\) Hz, while `FreqHz` )"
       R"(gives the f for which (\d+) × f² is the requested frequency)",
       [&](const auto& g) {
         ExpectShows(g[1], slope);
         ExpectShows(g[2], offset / slope);
         ExpectShows(g[3], 440 / (static_cast<double>(f440) * f440));  // FreqHz² = Hz / that
       }},
      {R"(The ([0-9.]+) adds (\d+) × ([0-9.]+) = ([0-9.]+) Hz: (\d+) Hz plays at ([0-9.]+) Hz\. )"
       R"(The pitch also rounds upwards slightly \(to ([0-9.]+) Hz here\))",
       [&](const auto& g) {
         ExpectShows(g[1], offset / slope);
         ExpectShows(g[2], slope);
         ExpectShows(g[3], offset / slope);
         ExpectShows(g[4], offset);
         const float asked = FreqHz(kDefaults, static_cast<std::int32_t>(Number(g[5])));
         ExpectShows(g[6], Pitch(asked, false));
         ExpectShows(g[7], Pitch(asked, true));
         EXPECT_GT(Pitch(asked, true), Pitch(asked, false));
       }},
      {R"(there, ask for about (\d+) Hz less)", [&](const auto& g) { ExpectShows(g[1], offset); }},
  });
}

TEST(GuideFacts, BufferLengthRoomAndMemory) {
  const double rate = kDefaults.SampleRate;
  const auto samples = [](std::uint32_t length) { return WaveCapacityBytes(length) / 2.0; };
  CheckFacts({
      {R"(Each unit gives room for \*\*([0-9,]+) samples\*\*, a little less than one second of )"
       R"(sound at ([0-9,]+) samples per second)",
       [&](const auto& g) {
         ExpectShows(g[1], samples(1));
         ExpectShows(g[2], rate);
         EXPECT_LT(samples(1), rate);
       }},
      {R"(Values above (\d+) count as (\d+)\.)",
       [&](const auto& g) {
         const auto limit = static_cast<std::uint32_t>(Number(g[1]));
         EXPECT_EQ(Number(g[2]), limit);
         EXPECT_EQ(WaveCapacityBytes(limit + 1), WaveCapacityBytes(limit));
         EXPECT_EQ(WaveCapacityBytes(0xFFFFFFFFu), WaveCapacityBytes(limit));
         EXPECT_LT(WaveCapacityBytes(limit - 1), WaveCapacityBytes(limit));
       }},
      {R"(The object allocates its buffer \(([0-9,]+) bytes per unit, ([0-9.]+) MB at (\d+)\))",
       [&](const auto& g) {
         ExpectShows(g[1], WaveCapacityBytes(1));
         const auto length = static_cast<std::uint32_t>(Number(g[3]));
         ExpectShows(g[2], (WaveCapacityBytes(length) + kWaveHeaderSize) / 1e6);
       }},
      {R"(a short effect of half a second \(the defaults make ([0-9.]+) s\) takes [^;]*; - a sound that )"
       R"(fills the default buffer \(([0-9.]+) s\) takes [^;]*; - the longest possible sound \(([0-9.]+) s, )"
       R"(buffer length (\d+)\))",
       [&](const auto& g) {
         ExpectShows(g[1], static_cast<double>(Samples(kDefaults).size()) / rate);
         ExpectShows(g[2], samples(5) / rate);
         ExpectShows(g[3], samples(static_cast<std::uint32_t>(Number(g[4]))) / rate);
         EXPECT_EQ(WaveCapacityBytes(static_cast<std::uint32_t>(Number(g[4])) + 1),
                   WaveCapacityBytes(static_cast<std::uint32_t>(Number(g[4]))));
       }},
      {R"(brought up to date with the default of (\d+)\.)",
       [&](const auto& g) {
         const std::uint32_t older[5] = {24, 0, 1, 0, 0};  // a version-1 record's header
         EditStructure* updated = UpdateEditStructure(0, reinterpret_cast<const EditStructure*>(older));
         ASSERT_NE(updated, nullptr);
         ExpectShows(g[1], updated->BufferSeconds);
         host::GlobalFree(updated);
       }},
      {R"(\| Buffer length \| Room for \| Longest sound \| \|---\|---\|---\| )"
       R"(\| 0 \| no samples \| an empty sound \| )"
       R"(\| 1 \| ([0-9,]+) samples \| ([0-9.]+) s \| )"
       R"(\| 5 \(default\) \| ([0-9,]+) samples \| ([0-9.]+) s \| )"
       R"(\| 60 \(the limit\) \| ([0-9,]+) samples \| ([0-9.]+) s \|)",
       [&](const auto& g) {
         EXPECT_EQ(WaveCapacityBytes(0), 0u);
         const std::uint32_t lengths[] = {1, 5, 60};
         for (std::size_t i = 0; i < 3; ++i) {
           SCOPED_TRACE(lengths[i]);
           ExpectShows(g[1 + 2 * i], samples(lengths[i]));
           ExpectShows(g[2 + 2 * i], samples(lengths[i]) / rate);
         }
         // The default row is what an object brought up to date gets, and 60 the limit.
         const std::uint32_t older[5] = {24, 0, 0, 0, 0};
         EditStructure* updated = UpdateEditStructure(0, reinterpret_cast<const EditStructure*>(older));
         ASSERT_NE(updated, nullptr);
         EXPECT_EQ(updated->BufferSeconds, 5u);
         host::GlobalFree(updated);
         EXPECT_EQ(WaveCapacityBytes(61), WaveCapacityBytes(60));
         EXPECT_LT(WaveCapacityBytes(59), WaveCapacityBytes(60));
       }},
  });
}

// Randomize draws the wave type first: every possible first draw, reached through its seed.
TEST(GuideFacts, RandomizeSilentShare) {
  int silent = 0;
  std::set<int> waveTypes;
  for (std::uint32_t draw = 0; draw < 32768; ++draw) {
    const int waveType = WaveTypeAfterRandomize(SeedForFirstDraw(draw));
    waveTypes.insert(waveType);
    silent += waveType == 4;
  }
  const double share = silent / 32768.0;
  const auto silentOfSeeds = [](double first, double count) {
    int n = 0;
    for (double seed = first; seed < first + count; ++seed) {
      n += WaveTypeAfterRandomize(static_cast<std::uint32_t>(seed)) == 4;
    }
    return n;
  };
  SynthParams noWave = kDefaults, square = kDefaults;
  noWave.WaveType = 4;
  const std::vector<std::int16_t> quiet = Samples(noWave);
  CheckFacts({
      {R"(The results are wild by design; about one in five is silent)",
       [&](const auto&) { EXPECT_NEAR(share, 1.0 / 5, 0.0005); }},
      {R"(### Randomize is silent one time in five)",
       [&](const auto&) { EXPECT_NEAR(share, 1.0 / 5, 0.0005); }},
      {R"("Randomize" picks the wave type from (\w+) values, (\d+) to (\d+), and (\d+) is no wave )"
       R"(type: it generates a silent sound of normal length)",
       [&](const auto& g) {
         EXPECT_EQ(g[1], "five");
         EXPECT_EQ(waveTypes.size(), 5u);
         EXPECT_EQ(*waveTypes.begin(), Number(g[2]));
         EXPECT_EQ(*waveTypes.rbegin(), Number(g[3]));
         EXPECT_EQ(Number(g[4]), 4);
         EXPECT_EQ(quiet.size(), Samples(square).size());
         EXPECT_GT(quiet.size(), 0u);
         EXPECT_EQ(std::ranges::count(quiet, 0), static_cast<std::ptrdiff_t>(quiet.size()));
       }},
      {R"(Of ([0-9,]+) sounds made with consecutive seeds \(`quavix batch --randomize --count )"
       R"(([0-9]+) --seed (\d+)`\), ([0-9,]+) had wave type 4, exactly ([0-9.]+); of the next ([0-9,]+) seeds, )"
       R"(([0-9.]+) \(the exact chance is (\d+) in (\d+)\))",
       [&](const auto& g) {
         EXPECT_EQ(Number(g[1]), Number(g[2]));
         const double count = Number(g[1]), first = Number(g[3]), more = Number(g[6]);
         const int inFirst = silentOfSeeds(first, count);
         ExpectShows(g[4], inFirst);
         ExpectShows(g[5], inFirst / count);
         ExpectShows(g[7], silentOfSeeds(first + count, more) / more);
         ExpectShows(g[8], silent);
         ExpectShows(g[9], 32768);
       }},
  });
}

TEST(GuideFacts, RandomSourceMutateAndSamples) {
  // Mutation with coefficient 1 over many seeds: which fields move, how far, how often.
  std::set<std::size_t> moved;
  double largest = 0;
  int moves = 0, tries = 0;
  for (std::uint32_t seed = 1; seed <= 2000; ++seed) {
    SynthParams p = kDefaults;
    RandomSource random{seed};
    Mutate(p, 1.0f, random);
    for (std::int32_t i = 0; i < kParamCount; ++i) {
      const double change = StoredValue(p, i) - StoredValue(kDefaults, i);
      if (change != 0) moved.insert(static_cast<std::size_t>(i));
      largest = std::max(largest, std::abs(change));
    }
    if (p.VibReserved != kDefaults.VibReserved) moved.insert(100);
    moves += p.StartFreq != kDefaults.StartFreq;
    ++tries;
  }
  SynthParams loud = kDefaults, noise = kDefaults;
  loud.Volume = 100;
  noise.WaveType = kNoiseWave;
  const std::vector<std::int16_t> clipped = Samples(loud);
  CheckFacts({
      {R"(Nudges the current sound: each of (\d+) parameters, with an even chance, moves by a random )"
       R"(amount of up to ±half the coefficient, in stored units)",
       [&](const auto& g) {
         ExpectShows(g[1], static_cast<double>(moved.size()));  // VibReserved, which has no index
         EXPECT_LE(largest, 0.5 + 1e-6);
         EXPECT_GT(largest, 0.49);
         EXPECT_NEAR(static_cast<double>(moves) / tries, 0.5, 0.05);
       }},
      {R"(The wave type, the volume and the minimum frequency never change\.)",
       [&](const auto&) {
         EXPECT_FALSE(moved.contains(0) || moved.contains(1) || moved.contains(7));
       }},
      {R"(except the volume \(which stays (\d+)\) and the minimum frequency \(which stays (\d+)\))",
       [&](const auto& g) {
         for (std::uint32_t seed = 1; seed <= 100; ++seed) {
           SynthParams p = kDefaults;
           p.Volume = 0.25f;
           p.MinFreq = 0.25f;
           RandomSource random{seed};
           Randomize(p, random);
           ExpectShows(g[1], p.Volume);
           ExpectShows(g[2], p.MinFreq);
         }
       }},
      {R"(Negative seeds are fine \(-1 is the same seed as (\d+)\))",
       [&](const auto& g) {
         RandomSource random;
         SeedFromScript(random, -1);
         ExpectShows(g[1], random.State);
       }},
      {R"(A generation draws at least (\d+) values, and a noise sound many more)",
       [&](const auto& g) {
         // The draws of generating once (a new synthesizer draws nothing).
         const auto generation = [&](const SynthParams& params) {
           return DrawsOf([&](RandomSource& random) {
             Synthesizer synth;
             synth.Params = params;
             std::vector<std::int16_t> area(205000);
             Synthesize(synth, 205000, area.data(), random);
           });
         };
         ExpectShows(g[1], generation(kDefaults));
         EXPECT_GT(generation(noise), 10 * generation(kDefaults));
       }},
      {R"(Samples are 16-bit numbers that the synthesis keeps between -(\d+) and (\d+) \(louder ones )"
       R"(are clipped there\); `GenWave` divides them by (\d+), not 32768)",
       [&](const auto& g) {
         ExpectShows(g[1], -*std::ranges::min_element(clipped));
         ExpectShows(g[2], *std::ranges::max_element(clipped));
         ExpectShows(g[3], *std::ranges::max_element(clipped));
       }},
      {R"(A value of exactly ([0-9.]+) repeats per second also turns repeat off)",
       [&](const auto& g) {
         const auto value = static_cast<float>(Number(g[1]));
         EXPECT_EQ(RepeatToStored(kDefaults, value), 0.0f);
         EXPECT_NE(RepeatToStored(kDefaults, value - 0.001f), 0.0f);
         EXPECT_NE(RepeatToStored(kDefaults, value + 0.001f), 0.0f);
       }},
  });
}

TEST(GuideFacts, SettingsStringAndFile) {
  const std::string afterReset = ExportSettingsString(kDefaults);
  CheckFacts({
      {R"(The settings string of the current parameters: (\d+) values separated by (\d+) )"
       R"(commas, each with four decimals and a point as decimal separator, and an empty field for )"
       R"(each 0\. After "Reset" it is `([^`]*)`\.)",
       [&](const auto& g) {
         ExpectShows(g[1], kParamCount);
         ExpectShows(g[2], static_cast<double>(std::ranges::count(afterReset, ',')));
         EXPECT_EQ(g[3], afterReset);
       }},
      {R"(a settings file holds them exactly, bit for bit, in (\d+) bytes)",
       [&](const auto& g) { ExpectShows(g[1], static_cast<double>(EncodeSettings(kDefaults).size())); }},
      {R"(Writes the current parameters to the file \((\d+) bytes, the current file version\))",
       [&](const auto& g) { ExpectShows(g[1], static_cast<double>(EncodeSettings(kDefaults).size())); }},
      {R"(Settings file: four-byte little-endian values, read in versions (\d+), (\d+) and (\d+), )"
       R"(written in (\d+)\.)",
       [&](const auto& g) {
         auto bytes = EncodeSettings(kDefaults);
         ExpectShows(g[4], bytes[0] | bytes[1] << 8 | bytes[2] << 16 | bytes[3] << 24);
         const double first = Number(g[1]), last = Number(g[3]);
         EXPECT_EQ(Number(g[2]), first + 1);
         for (double version = first - 1; version <= last + 1; ++version) {
           SCOPED_TRACE(version);
           bytes[0] = static_cast<std::uint8_t>(version);
           SynthParams p = kDefaults;
           const bool read = DecodeSettings(p, bytes.data(), bytes.size()) != SettingsLoadResult::BadVersion;
           EXPECT_EQ(read, version >= first && version <= last);
         }
       }},
      {R"(The number of samples of the last generated sound, ([0-9,]+) per second; 0 before the )"
       R"(first generation)",
       [&](const auto& g) { ExpectShows(g[1], kDefaults.SampleRate); }},
      {R"(`GenLength\( "Quavix" \) / ([0-9.]+)` is the length in seconds)",
       [&](const auto& g) { ExpectShows(g[1], kDefaults.SampleRate); }},
  });
}

// The preset table: each number's family, and the shares the descriptions give, over many seeds.
TEST(GuideFacts, PresetFamiliesAndShares) {
  const auto share = [](std::int32_t family, const std::function<bool(const SynthParams&)>& has) {
    int count = 0;
    for (std::uint32_t seed = 1; seed <= 60000; ++seed) {
      SynthParams p = kDefaults;
      RandomSource random{seed};
      LoadPreset(p, family, random);
      count += has(p);
    }
    return count / 60000.0;
  };
  std::string rowsPattern = R"(\| Number \| Family \| What you get \| \|---\|---\|---\|)";
  for (int row = 0; row < 7; ++row) rowsPattern += R"( \| (\d+) \| (\w+) \| [^|]* \|)";
  CheckFacts({
      {rowsPattern.c_str(),
       [&](const auto& g) {
         for (std::size_t row = 0; row < 7; ++row) {
           SCOPED_TRACE(g[2 + 2 * row]);
           EXPECT_EQ(FindPresetFamily(g[2 + 2 * row]), Number(g[1 + 2 * row]));
         }
       }},
      {R"(\| Coin \| a short, punchy, high square-wave ping; half of them jump up in pitch shortly )"
       R"(after the start \|)",
       [&](const auto&) {
         const auto family = *FindPresetFamily("Coin");
         EXPECT_NEAR(share(family, [](const auto& p) { return p.ChangeAmount > 0; }), 0.5, 0.01);
         EXPECT_EQ(share(family, [](const auto& p) { return p.WaveType == kSquareWave; }), 1);
       }},
      {R"(\| Laser \| a falling zap: square, sawtooth or \(one in six\) sine, sometimes with a phaser \|)",
       [&](const auto&) {
         const auto family = *FindPresetFamily("Laser");
         EXPECT_NEAR(share(family, [](const auto& p) { return p.WaveType == kSineWave; }), 1.0 / 6,
                     0.01);
         EXPECT_EQ(share(family, [](const auto& p) { return p.Slide < 0; }), 1);
       }},
      {R"(Any other number \((\d+), (-\d+)\.\.\.\) does nothing\.)",
       [&](const auto& g) {
         for (const std::string& text : {g[1], g[2]}) {
           SCOPED_TRACE(text);
           SynthParams p = kDefaults;
           p.Volume = 0.5f;
           const SynthParams before = p;
           RandomSource random{1};
           LoadPreset(p, static_cast<std::int32_t>(Number(text)), random);
           EXPECT_TRUE(Same(p, before));
           EXPECT_EQ(random.State, 1u);
         }
         // One below the first "other number" is a family.
         SynthParams p = kDefaults;
         RandomSource random{1};
         LoadPreset(p, static_cast<std::int32_t>(Number(g[1])) - 1, random);
         EXPECT_NE(random.State, 1u);
       }},
  });
}

// The table at the end of the guide: one row per index, its name, unit factors, default, settings
// string field and settings file offset.
TEST(GuideFacts, ParameterTableRows) {
  ASSERT_FALSE(Guide().empty());
  const auto rows = FindAll(
      R"(\| (\d+) \| (\w+) \| ([^|]*) \| ([^|]*) \| ([^|]*) \| field (\d+)[^|]* \| byte (\d+)[^|]* \|)");
  ASSERT_EQ(rows.size(), static_cast<std::size_t>(kParamCount));
  const double offset = Pitch(0.0f, false), slope = Pitch(1.0f, false) - offset;
  // The figures of each unit text, in order: "seconds = stored² × 2.2675" shows the factor,
  // "seconds ≈ (1 − stored)² × 0.4535" the 1 and the factor.
  const std::map<std::string, std::vector<double>> figures = {
      {"WaveType", {kSquareWave, kSawtoothWave, kSineWave, kNoiseWave}},
      {"AttackTime", {StoredToTime(kDefaults, 1)}},
      {"SustainTime", {StoredToTime(kDefaults, 1)}},
      {"DecayTime", {StoredToTime(kDefaults, 1)}},
      {"StartFreq", {slope, offset}},
      {"VibSpeed", {StoredToVibrato(kDefaults, 1)}},
      {"ChangeSpeed", {1, StoredToChange(kDefaults, 0)}},
      {"RepeatSpeed", {StoredToRepeat(kDefaults, 0.5f) * 0.25, 1, StoredToRepeat(kDefaults, 0)}},
  };
  // The forms those figures stand in.
  EXPECT_NEAR(StoredToTime(kDefaults, 0.5f), 0.25 * StoredToTime(kDefaults, 1), 1e-6);
  EXPECT_NEAR(StoredToVibrato(kDefaults, 0.5f), 0.25 * StoredToVibrato(kDefaults, 1), 1e-5);
  EXPECT_NEAR(StoredToChange(kDefaults, 0.5f), 0.25 * StoredToChange(kDefaults, 0), 1e-7);
  EXPECT_NEAR(StoredToRepeat(kDefaults, 0.75f), 16 * StoredToRepeat(kDefaults, 0.5f) * 0.25, 1e-5);
  const std::regex number(R"(\d+(?:\.\d+)?)");
  const auto encoded = EncodeSettings(kDefaults);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const auto& row = rows[i];
    SCOPED_TRACE(row[0]);
    const auto index = static_cast<std::int32_t>(i);
    EXPECT_EQ(Number(row[1]), index);
    EXPECT_EQ(row[2], kParamTable[i].Name);
    ExpectShows(row[5], StoredValue(kDefaults, index));
    EXPECT_EQ(Number(row[6]), index);
    const auto known = figures.find(row[2]);
    const std::vector<double> expected = known == figures.end() ? std::vector<double>() : known->second;
    std::vector<std::string> shown;
    for (std::sregex_iterator it(row[3].begin(), row[3].end(), number), end; it != end; ++it) {
      shown.push_back(it->str());
    }
    ASSERT_EQ(shown.size(), expected.size()) << row[3];
    for (std::size_t k = 0; k < shown.size(); ++k) ExpectShows(shown[k], expected[k]);
    // The file offset: where a value put into this parameter lands in the encoded bytes.
    SynthParams marked = kDefaults;
    SetVariable(marked, index, 1234.5678f);
    const auto changed = EncodeSettings(marked);
    const auto first = std::ranges::mismatch(encoded, changed).in1 - encoded.begin();
    ExpectShows(row[7], static_cast<double>(first));
  }
}

// The numbers the host calls the items by, against the module's registry.
TEST(GuideFacts, NumbersOfTheItems) {
  using host::Registry;
  const auto condition = Find(R"re(The condition: (\d+), "([^"]*)"\.)re");
  ASSERT_EQ(Registry().Conditions.Items.size(), 1u);
  EXPECT_EQ(condition[1], "0");
  EXPECT_EQ(condition[2], Registry().Conditions.Items[0]->Text);
  const auto rows =
      FindAll(R"re(\| (\d+) \| "([^"]*)" \| (?:(\d+) \| "([^"]*)" \||\|))re");
  std::map<double, std::string> actions, expressions;
  for (const auto& row : rows) {
    EXPECT_TRUE(actions.emplace(Number(row[1]), row[2]).second) << row[0];
    if (!row[3].empty()) {
      EXPECT_TRUE(expressions.emplace(Number(row[3]), row[4]).second) << row[0];
    }
  }
  const auto expect = [](const host::AceList& list, const std::map<double, std::string>& guide) {
    ASSERT_EQ(guide.size(), list.Items.size());
    for (std::size_t i = 0; i < list.Items.size(); ++i) {
      SCOPED_TRACE(list.Items[i]->Text);
      const auto entry = guide.find(static_cast<double>(i));
      ASSERT_NE(entry, guide.end());
      EXPECT_EQ(entry->second, list.Items[i]->Text);
    }
  };
  expect(Registry().Actions, actions);
  expect(Registry().Expressions, expressions);
}

}  // namespace
}  // namespace quavix
