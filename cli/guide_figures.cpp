// The figures of the guide, each computed from the core as the guide states it: pitches by running
// the oscillator, shares by drawing many sounds, sizes and offsets by encoding.
#include "guide_figures.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <vector>

#include "design/presets.h"
#include "design/randomize.h"
#include "exchange/param_table.h"
#include "exchange/param_units.h"
#include "exchange/settings_file.h"
#include "exchange/settings_string.h"
#include "exchange/wave_image.h"
#include "host/host_abi.h"
#include "host/param_texts.h"
#include "host/registry.h"
#include "synth/sound_length.h"
#include "synth/synthesizer.h"

namespace quavix::cli {
namespace {

const SynthParams kDefaults = DefaultParams();
// The samples a wave buffer of the default length holds.
constexpr auto kDefaultBufferSamples = static_cast<std::int32_t>(host::kDefaultBufferSeconds * kSamplesPerBufferSecond);

std::string Claim(bool holds, std::string text) { return holds ? text : text + " (untrue)"; }

// The tone of a stored frequency value: 8 subsamples per sample over the start period, exact or cut
// to whole subsamples as the oscillator runs it.
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
double Offset() { return Pitch(0.0f, false); }
double Slope() { return Pitch(1.0f, false) - Offset(); }
float Freq440() { return FreqHz(kDefaults, 440); }

// The synthesized samples of the parameters, from a source seeded with 1.
std::vector<std::int16_t> Samples(const SynthParams& params) {
  RandomSource random{1};
  Synthesizer synth;
  Init(synth, random);
  synth.Params = params;
  std::vector<std::int16_t> samples(kDefaultBufferSamples);
  Synthesize(synth, static_cast<std::int32_t>(samples.size()), samples.data(), random);
  samples.resize(static_cast<std::size_t>(synth.SampleCount));
  return samples;
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
int GenerationDraws(const SynthParams& params) {
  return DrawsOf([&](RandomSource& random) {
    Synthesizer synth;
    synth.Params = params;
    std::vector<std::int16_t> area(kDefaultBufferSamples);
    Synthesize(synth, kDefaultBufferSamples, area.data(), random);
  });
}

std::string Word(int n) {
  static const char* const kWords[] = {"zero", "one", "two", "three", "four", "five",
                                       "six",  "seven", "eight", "nine", "ten"};
  return n >= 0 && n <= 10 ? kWords[n] : std::to_string(n);
}
// "five" when the share is one in five to within the tolerance, else the share itself.
std::string OneIn(double share, double tolerance) {
  for (int n = 2; n <= 10; ++n) {
    if (std::abs(share - 1.0 / n) <= tolerance) return Word(n);
  }
  return Fixed(share, 4);
}
std::string Half(double share, double tolerance) {
  return std::abs(share - 0.5) <= tolerance ? "half" : Fixed(share, 4);
}

int WaveTypeAfterRandomize(std::uint32_t seed) {
  SynthParams p = kDefaults;
  RandomSource random{seed};
  Randomize(p, random);
  return p.WaveType;
}
// Randomize draws the wave type first: every possible first draw, reached through its seed (the
// state after the draw is draw << 16, undone through the inverse of the multiplier modulo 2^32).
constexpr int kFirstDraws = 32768;
const std::map<int, int>& WaveTypesOfFirstDraws() {
  static const std::map<int, int> counts = [] {
    std::uint32_t inverse = 214013u;
    for (int i = 0; i < 5; ++i) inverse *= 2u - 214013u * inverse;
    std::map<int, int> n;
    for (std::uint32_t draw = 0; draw < kFirstDraws; ++draw) {
      ++n[WaveTypeAfterRandomize(((draw << 16) - 2531011u) * inverse)];
    }
    return n;
  }();
  return counts;
}
// The wave type that sounds silent for the normal length, -1 for none.
int FindSilentWaveType() {
  SynthParams square = kDefaults;
  const std::size_t length = Samples(square).size();
  for (const auto& [type, count] : WaveTypesOfFirstDraws()) {
    SynthParams p = kDefaults;
    p.WaveType = type;
    const auto samples = Samples(p);
    if (length > 0 && samples.size() == length && std::ranges::count(samples, 0) == std::ssize(samples)) return type;
  }
  return -1;
}
int SilentWaveType() {
  static const int type = FindSilentWaveType();
  return type;
}
int SilentOfFirstDraws() {
  const auto silent = WaveTypesOfFirstDraws().find(SilentWaveType());
  return silent == WaveTypesOfFirstDraws().end() ? 0 : silent->second;
}
int SilentOfSeeds(std::uint32_t first, std::uint32_t count) {
  int n = 0;
  for (std::uint32_t seed = first; seed < first + count; ++seed) n += WaveTypeAfterRandomize(seed) == SilentWaveType();
  return n;
}

// Mutation with coefficient 1 over many seeds: which fields move, how far, how often.
struct Mutations {
  std::set<std::int32_t> moved;  // indexes, and -1 for the reserved vibrato value
  double largest = 0;
  double startFreqShare = 0;
};
const Mutations& MutationsOfDefaults() {
  static const Mutations m = [] {
    Mutations r;
    int moves = 0;
    for (std::uint32_t seed = 1; seed <= 2000; ++seed) {
      SynthParams p = kDefaults;
      RandomSource random{seed};
      Mutate(p, 1.0f, random);
      for (std::int32_t i = 0; i < kParamCount; ++i) {
        const double change = StoredValue(p, i) - StoredValue(kDefaults, i);
        if (change != 0) r.moved.insert(i);
        r.largest = std::max(r.largest, std::abs(change));
      }
      if (p.VibReserved != kDefaults.VibReserved) r.moved.insert(-1);
      moves += p.StartFreq != kDefaults.StartFreq;
    }
    r.startFreqShare = moves / 2000.0;
    return r;
  }();
  return m;
}
// "wave type, the volume and the minimum frequency": the parameters mutation leaves alone, named
// by their setters, in the order of their expressions.
std::string Unmutated() {
  std::vector<std::string> names;
  for (const host::AceDef* def : host::Registry().Expressions.Items) {
    const ParamInfo* p = FindParam(std::string_view(def->Text).substr(0, std::strlen(def->Text) - 1));
    if (p == nullptr || MutationsOfDefaults().moved.contains(p->Index)) continue;
    const std::string_view setter = host::kSetterTexts[static_cast<std::size_t>(p->Index)].Text;
    names.emplace_back(setter.substr(4, setter.size() - 4 - std::string_view(" to %0").size()));
  }
  std::string text;
  for (std::size_t i = 0; i < names.size(); ++i) {
    text += (i == 0 ? "" : i + 1 == names.size() ? " and the " : ", the ") + names[i];
  }
  return text;
}
// The value Randomize leaves in a field that held 0.25 before, over a hundred seeds.
std::string KeptByRandomize(float SynthParams::*field) {
  std::set<float> kept;
  for (std::uint32_t seed = 1; seed <= 100; ++seed) {
    SynthParams p = kDefaults;
    p.Volume = 0.25f;
    p.MinFreq = 0.25f;
    RandomSource random{seed};
    Randomize(p, random);
    kept.insert(p.*field);
  }
  return kept.size() == 1 ? Trimmed(*kept.begin()) : "varying";
}

// The share of a family's sounds, over many seeds, for which `has` holds.
double PresetShare(std::string_view name, const std::function<bool(const SynthParams&)>& has) {
  int count = 0;
  for (std::uint32_t seed = 1; seed <= 60000; ++seed) {
    SynthParams p = kDefaults;
    RandomSource random{seed};
    LoadPreset(p, FindPresetFamily(name).value_or(-1), random);
    count += has(p);
  }
  return count / 60000.0;
}
bool PresetDoesNothing(std::int32_t family) {
  SynthParams p = kDefaults;
  p.Volume = 0.5f;
  const SynthParams before = p;
  RandomSource random{1};
  LoadPreset(p, family, random);
  return random.State == 1 && std::memcmp(&p, &before, sizeof p) == 0;
}

// The clipping limits of the samples: a sound far too loud.
std::pair<int, int> SampleLimits() {
  SynthParams loud = kDefaults;
  loud.Volume = 100;
  const auto samples = Samples(loud);
  return {*std::ranges::min_element(samples), *std::ranges::max_element(samples)};
}

std::string VersionsRead() {
  auto bytes = EncodeSettings(kDefaults);
  std::vector<int> read;
  for (int version = 0; version < 256; ++version) {
    bytes[0] = static_cast<std::uint8_t>(version);
    SynthParams p = kDefaults;
    if (DecodeSettings(p, bytes.data(), bytes.size()) != SettingsLoadResult::BadVersion) read.push_back(version);
  }
  std::string text;
  for (std::size_t i = 0; i < read.size(); ++i) {
    text += (i == 0 ? "" : i + 1 == read.size() ? " and " : ", ") + std::to_string(read[i]);
  }
  return text;
}

// Where a value put into the parameter shows: its settings string field and settings file byte.
const ParamInfo& Param(std::string_view name) {
  static const ParamInfo none = [] {
    ParamInfo p;
    p.Index = -1;
    return p;
  }();
  const ParamInfo* p = FindParam(name);
  return p != nullptr && p->Name == name ? *p : none;
}
SynthParams Marked(std::int32_t index) {
  SynthParams marked = kDefaults;
  SetVariable(marked, index, 1234.5678f);
  return marked;
}
std::string FieldOf(std::string_view name) {
  const std::int32_t index = Param(name).Index;
  const std::string plain = ExportSettingsString(kDefaults), marked = ExportSettingsString(Marked(index));
  const auto first = std::ranges::mismatch(plain, marked).in1;
  return index < 0 || plain == marked ? "none" : std::to_string(std::count(plain.begin(), first, ','));
}
std::string ByteOf(std::string_view name) {
  const std::int32_t index = Param(name).Index;
  const auto plain = EncodeSettings(kDefaults), marked = EncodeSettings(Marked(index));
  const auto first = std::ranges::mismatch(plain, marked).in1;
  return index < 0 || first == plain.end() ? "none" : std::to_string(first - plain.begin());
}

std::string ListedWave(int type, const char* name) { return std::to_string(type) + " " + name; }
std::string WaveName(int type) {
  return type == kSquareWave ? "square" : type == kSawtoothWave ? "sawtooth" : type == kSineWave ? "sine"
                                        : type == kNoiseWave    ? "noise"
                                                                : "unknown";
}

using Figure = std::function<std::string()>;

const std::map<std::string, Figure, std::less<>>& Figures() {
  static const SynthParams& d = kDefaults;
  static const std::map<std::string, Figure, std::less<>> figures = {
      // Hertz and pitches.
      {"hz.slope", [] { return Fixed(Slope(), 0); }},
      {"hz.offset", [] { return Fixed(Offset(), 3); }},
      {"hz.offset.whole", [] { return Fixed(Offset(), 0); }},
      {"hz.ratio", [] { return Fixed(Offset() / Slope(), 3); }},
      {"freqhz.slope", [] { return Fixed(FreqHz(d, static_cast<std::int32_t>(std::lround(Slope()))), 1); }},
      {"freqhz.440", [] { return Fixed(Freq440(), 5); }},
      {"freqhz.440.error", [] { return Fixed(Pitch(Freq440(), false) - 440, 3); }},
      {"freqhz.divisor", [] { return Fixed(440 / (static_cast<double>(Freq440()) * Freq440()), 0); }},
      {"pitch.440", [] { return Fixed(Pitch(Freq440(), false), 1); }},
      {"pitch.440.whole", [] { return Fixed(Pitch(Freq440(), true), 1); }},
      {"pitch.rounding", [] { return Pitch(Freq440(), true) > Pitch(Freq440(), false) ? "upwards" : "downwards"; }},
      {"default.wave", [] { return WaveName(d.WaveType); }},
      {"default.pitch",
       [] {
         const std::string exact = Fixed(Pitch(d.StartFreq, false), 0), whole = Fixed(Pitch(d.StartFreq, true), 0);
         return exact == whole ? exact : exact + "/" + whole;
       }},
      {"default.sustain", [] { return Fixed(StoredToTime(d, d.SustainTime), 1); }},
      {"default.decay", [] { return Fixed(StoredToTime(d, d.DecayTime), 2); }},
      // The buffer and the sample rate.
      {"rate", [] { return Fixed(SampleRate(), 0, true); }},
      {"rate.khz", [] { return Fixed(SampleRate() / 1000, 1); }},
      {"genlength.seconds", [] { return "`GenLength( \"Quavix\" ) / " + Fixed(SampleRate(), 1) + "`"; }},
      {"buffer.room", [] { return Fixed(BufferSamples(1), 0, true); }},
      {"buffer.room.against.rate", [] { return BufferSamples(1) < SampleRate() ? "less" : "more"; }},
      {"buffer.default", [] { return DefaultBufferText(); }},
      {"buffer.limit", [] { return std::to_string(BufferLimit()); }},
      {"buffer.unit.bytes", [] { return Fixed(WaveCapacityBytes(1), 0, true); }},
      {"buffer.limit.mb", [] { return Fixed((WaveCapacityBytes(BufferLimit()) + kWaveHeaderSize) / 1e6, 1); }},
      {"buffer.default.seconds", [] { return Fixed(BufferSamples(DefaultBufferSeconds()) / SampleRate(), 2); }},
      {"buffer.limit.seconds", [] { return Fixed(BufferSamples(BufferLimit()) / SampleRate(), 2); }},
      {"default.seconds", [] { return Fixed(static_cast<double>(Samples(d).size()) / SampleRate(), 2); }},
      // Randomize, mutate and the random source.
      {"randomize.silent.share", [] { return OneIn(SilentOfFirstDraws() / double(kFirstDraws), 0.0005); }},
      {"randomize.wave.count", [] { return Word(static_cast<int>(WaveTypesOfFirstDraws().size())); }},
      {"randomize.wave.first", [] { return std::to_string(WaveTypesOfFirstDraws().begin()->first); }},
      {"randomize.wave.last", [] { return std::to_string(WaveTypesOfFirstDraws().rbegin()->first); }},
      {"randomize.silent.type", [] { return std::to_string(SilentWaveType()); }},
      {"randomize.seeds.silent", [] { return Fixed(SilentOfSeeds(1, 2000), 0, true); }},
      {"randomize.seeds.share", [] { return Fixed(SilentOfSeeds(1, 2000) / 2000.0, 3); }},
      {"randomize.next.share", [] { return Fixed(SilentOfSeeds(2001, 10000) / 10000.0, 4); }},
      {"randomize.draws.silent", [] { return std::to_string(SilentOfFirstDraws()); }},
      {"randomize.draws", [] { return std::to_string(kFirstDraws); }},
      {"randomize.volume", [] { return KeptByRandomize(&SynthParams::Volume); }},
      {"randomize.minfreq", [] { return KeptByRandomize(&SynthParams::MinFreq); }},
      {"mutate.count", [] { return std::to_string(MutationsOfDefaults().moved.size()); }},
      {"mutate.chance",
       [] { return Claim(std::abs(MutationsOfDefaults().startFreqShare - 0.5) <= 0.05, "an even"); }},
      {"mutate.reach",
       [] {
         const double largest = MutationsOfDefaults().largest;
         return largest > 0.49 && largest <= 0.5 + 1e-6 ? std::string("half") : Fixed(largest, 3);
       }},
      {"mutate.unchanged", [] { return Unmutated(); }},
      {"seed.minus.one",
       [] {
         RandomSource random;
         SeedFromScript(random, -1);
         return std::to_string(random.State);
       }},
      {"draws.generation", [] { return std::to_string(GenerationDraws(d)); }},
      {"draws.noise",
       [] {
         SynthParams noise = d;
         noise.WaveType = kNoiseWave;
         return Claim(GenerationDraws(noise) > 10 * GenerationDraws(d), "many more");
       }},
      {"sample.min", [] { return std::to_string(-SampleLimits().first); }},
      {"sample.max", [] { return std::to_string(SampleLimits().second); }},
      {"repeat.off",
       [] {
         const std::string text = Fixed(StoredToRepeat(d, 0.5f) * 0.25, 3);
         const float v = std::stof(text);
         return Claim(RepeatToStored(d, v) == 0 && RepeatToStored(d, v - 0.001f) != 0 &&
                          RepeatToStored(d, v + 0.001f) != 0,
                      text);
       }},
      // Settings strings and files.
      {"param.count", [] { return std::to_string(kParamCount); }},
      {"csv.commas", [] { return std::to_string(std::ranges::count(ExportSettingsString(d), ',')); }},
      {"csv.reset",
       [] {
         std::string code(1, '`');
         code += ExportSettingsString(d);
         code += '`';
         return code;
       }},
      {"file.bytes", [] { return std::to_string(EncodeSettings(d).size()); }},
      {"file.versions.read", [] { return VersionsRead(); }},
      {"file.version",
       [] {
         const auto bytes = EncodeSettings(d);
         return std::to_string(bytes[0] | bytes[1] << 8 | bytes[2] << 16 | bytes[3] << 24);
       }},
      // Presets.
      {"coin.jump", [] { return Half(PresetShare("coin", [](const auto& p) { return p.ChangeAmount > 0; }), 0.01); }},
      {"coin.wave",
       [] { return Claim(PresetShare("coin", [](const auto& p) { return p.WaveType == kSquareWave; }) == 1, "square"); }},
      {"laser.sine", [] { return OneIn(PresetShare("laser", [](const auto& p) { return p.WaveType == kSineWave; }), 0.01); }},
      {"laser.slide", [] { return Claim(PresetShare("laser", [](const auto& p) { return p.Slide < 0; }) == 1, "falling"); }},
      {"preset.other",
       [] {
         std::int32_t first = 0;
         while (first < 1000 && !PresetDoesNothing(first)) ++first;
         return std::to_string(first);
       }},
      {"preset.negative", [] { return Claim(PresetDoesNothing(-1), "-1"); }},
      // The parameter table's unit texts, each checked for the form it states.
      {"wave.types",
       [] {
         return ListedWave(kSquareWave, "square") + ", " + ListedWave(kSawtoothWave, "sawtooth") + ", " +
                ListedWave(kSineWave, "sine") + ", " + ListedWave(kNoiseWave, "noise");
       }},
      {"time.scale",
       [] {
         const float one = StoredToTime(d, 1);
         return Claim(std::abs(StoredToTime(d, 0.5f) - 0.25 * one) <= 1e-6, Fixed(one, 4));
       }},
      {"vibrato.scale",
       [] {
         const float one = StoredToVibrato(d, 1);
         return Claim(std::abs(StoredToVibrato(d, 0.5f) - 0.25 * one) <= 1e-5, Fixed(one, 2));
       }},
      {"change.scale",
       [] {
         const float zero = StoredToChange(d, 0);
         return Claim(std::abs(StoredToChange(d, 0.5f) - 0.25 * zero) <= 1e-7, Fixed(zero, 4));
       }},
      {"repeat.scale",
       [] {
         const double quarter = StoredToRepeat(d, 0.5f) * 0.25;
         return Claim(std::abs(StoredToRepeat(d, 0.75f) - 16 * quarter) <= 1e-5, Fixed(quarter, 3));
       }},
      {"repeat.zero", [] { return Claim(std::abs(StoredToRepeat(d, 0)) < 0.5, "none"); }},
      // The items.
      {"conditions",
       [] {
         std::string text;
         const auto& items = host::Registry().Conditions.Items;
         for (std::size_t i = 0; i < items.size(); ++i) {
           text += i == 0 ? "" : "; ";
           text += std::to_string(i) + ", \"" + items[i]->Text + "\"";
         }
         return text;
       }},
  };
  return figures;
}

}  // namespace

std::optional<std::string> GuideFigure(std::string_view key) {
  const auto figure = Figures().find(key);
  if (figure != Figures().end()) return figure->second();
  // Per parameter: "index NAME", "default NAME", "field NAME", "byte NAME".
  const std::size_t space = key.find(' ');
  if (space == std::string_view::npos) return std::nullopt;
  const std::string_view what = key.substr(0, space), name = key.substr(space + 1);
  if (what == "preset") {
    const auto family = FindPresetFamily(name);
    return family ? std::to_string(*family) : "none";
  }
  const ParamInfo& p = Param(name);
  if (what == "index") return p.Index < 0 ? "none" : std::to_string(p.Index);
  if (what == "default") return p.Index < 0 ? "none" : Trimmed(StoredValue(kDefaults, p.Index));
  if (what == "field") return FieldOf(name);
  if (what == "byte") return ByteOf(name);
  return std::nullopt;
}

}  // namespace quavix::cli
