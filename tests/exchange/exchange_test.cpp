// The exchange formats: units and indexed access, the settings string and file, the WAV image.
#include <unistd.h>

#include <cstdio>
#include <iterator>
#include <random>

#include "exchange/param_table.h"
#include "exchange/param_units.h"
#include "exchange/settings_file.h"
#include "exchange/settings_file_io.h"
#include "exchange/settings_string.h"
#include "exchange/wave_image.h"
#include "synth/exact_math.h"
#include "synth/synthesizer.h"
#include "test_util.h"

namespace quavix {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

// Each row: a setter (user's unit to stored), a getter back or FreqHz from Hertz, at its rate.
TEST(ParamUnits, SettersAndGettersConvertAtTheSampleRate) {
  enum Kind { Set, Get, Hz };
  const std::tuple<const char*, Kind, std::int32_t, float, float, double> cases[] = {
      {"SustainTime", Set, 44100, 0.3f, 0.3637366f, 0},   // sqrt(0.3 / 2.2675)
      {"AttackTime", Set, 44100, 0.32f, 0.37566555f, 0},  // 0.32 / 2.2675 to single, then the root
      {"DecayTime", Set, 44100, -1, kNaN, 0},             // the root of a negative number
      {"VibSpeed", Set, 44100, 10, 0.3774596f, 0},        // sqrt(20 * 3.14159 / 44100 * 100)
      {"VibSpeed", Set, 44100, -1, kNaN, 0},
      {"ChangeSpeed", Set, 44100, 0.45f, 0.0038825f, 1e-6},   // 1 - sqrt(0.45 * 44100 / 20000)
      {"ChangeSpeed", Set, 44100, 0.46f, -0.0071246f, 1e-6},  // past 20000 / 44100 s: negative
      {"ChangeSpeed", Set, 22050, 0.9f, 0.0038825f, 1e-6},    // 0.9 s at 22050 is 0.45 s at 44100
      {"ChangeSpeed", Set, 44100, -1, kNaN, 0},
      {"ChangeSpeed", Set, 44100, 0.08f, 0.58000004f, 0},  // 1 - single(sqrt(0.08 * 2.205))
      {"RepeatSpeed", Set, 44100, 0, 1, 0},                // 0 stores 1
      {"RepeatSpeed", Set, 44100, -0.0f, 1, 0},
      {"RepeatSpeed", Set, 44100, 10, 0.5304257f, 0},
      {"RepeatSpeed", Set, 44100, -1, kNaN, 0},
      {"WaveType", Set, 44100, 7, 7, 0},                   // no range checks
      {"SustainTime", Get, 44100, 0.3f, 0.204075f, 1e-7},  // 0.3 * 0.3 * 2.2675
      {"VibSpeed", Get, 22050, 1, 35.093695f, 2e-5},       // 0.5 / 3.14159 * R / 100
      {"VibSpeed", Get, 44100, 0.09f, 0.56851786f, 0},     // pi as single(3.14159); ...79 otherwise
      {"ChangeSpeed", Get, 44100, 0, 0.45351474f, 1e-7},   // 20000 / R
      {"ChangeSpeed", Get, 22050, 0, 0.90702948f, 1e-7},
      {"RepeatSpeed", Get, 44100, 1, kInf, 0},  // 1 / 0
      {"RepeatSpeed", Get, 44100, 0, 0, 0},     // a stored 0 reads 0
      {"RepeatSpeed", Get, 44100, -0.0f, 0, 0},
      {"RepeatSpeed", Get, 44100, kNaN, kNaN, 0},       // NaN is not 0
      {"RepeatSpeed", Get, 44100, -1, 0.55125f, 1e-7},  // 1 / (2 * 2) * 44100 / 20000
      {"RepeatSpeed", Get, 22050, 0.5f, 4.41f, 1e-6},   // 1 / 0.25 * R / 20000
      {"StartFreq", Hz, 44100, 0, 0, 0},                // sqrt(100 / (R / (hz * 0.125)))
      {"StartFreq", Hz, 44100, 3528, 1, 0},
      {"StartFreq", Hz, 22050, 1764, 1, 0},
      {"StartFreq", Hz, 44100, 20000, 2.3809524f, 0},
      {"StartFreq", Hz, 44100, -1, kNaN, 0},
  };
  for (const auto& [name, way, rate, from, to, tol] : cases) {
    SCOPED_TRACE(testing::Message() << name << " " << from << " at " << rate);
    const ParamInfo& info = *FindParam(name);
    SynthParams p = DefaultParams();
    p.SampleRate = rate;
    SynthParams others = p;
    if (way == Set) info.Set(p, from);
    if (way != Set) SetVariable(p, info.Index, from);
    SetVariable(others, info.Index, StoredValue(p, info.Index));
    EXPECT_TRUE(Same(p, others));  // no other field changed
    const float got = way == Set   ? StoredValue(p, info.Index)
                      : way == Get ? info.Get(p)
                                   : FreqHz(p, static_cast<std::int32_t>(from));
    EXPECT_TRUE(std::isnan(to) ? std::isnan(got) : got == to || std::abs(got - to) <= tol) << got;
  }
}

// The users' rule stores the plain conversion unless the synthesis would read the stored speed as
// no event, or its count trunc(single(single(1 - f)^2) x 20000) beyond int32 (which wraps to an
// event at every sample). Then: the most negative f whose count fits, rare: 2^31 / 20000 =
// 107374.1824 and its float below is 107374.1796875 (steps of 2^-7), whose root rounds to
// 327.67999 (steps of 2^-15), so 2147483593 samples; the largest f counting one sample, every,
// where 1 - f first reaches sqrt(1 / 20000) = 0.00707107; and for a RepeatSpeed that rounds to
// q = 1 (the stored 0 means no repeat) 1 - (1 + 2^-23), which counts 20000 samples as 0 would.
TEST(UserRule, SpeedsKeepTheirEventWhereTheStoredFormWouldLoseOrWrapIt) {
  const auto count = [](float f) {
    return std::trunc(D(Single(Square(D(Single(1.0 - D(f)))))) * 20000.0);
  };
  const auto jump = [](float s) {  // 1 - sqrt(s / 20000 x 44100), each step rounded
    return Single(1.0 - D(Single(std::sqrt(D(Single(D(s) / 20000.0 * 44100.0))))));
  };
  const auto repeat = [&](float r) { return jump(Single(1.0 / D(r))); };  // 1 / r seconds
  const float rare = -326.679993f, every = 0.992928922f, belowZero = -0x1p-23f;
  EXPECT_TRUE(count(rare) < 0x1p31 && count(std::nextafter(rare, -kInf)) >= 0x1p31);
  EXPECT_TRUE(count(every) >= 1 && count(std::nextafter(every, kInf)) < 1 &&
              count(belowZero) == 20000);
  const std::tuple<const char*, float, float> cases[] = {
      {"RepeatSpeed", 2.05356610e-05f, repeat(2.05356610e-05f)},  // the slowest that fits
      {"RepeatSpeed", 2.05356591e-05f, rare},                     // the next float below
      {"RepeatSpeed", 0.00002f, rare},
      {"RepeatSpeed", 1e-45f, rare},  // 1 / r overflows: -infinity
      {"RepeatSpeed", 0, 1},
      {"RepeatSpeed", -0.0f, 1},
      {"RepeatSpeed", 2.20499945f, repeat(2.20499945f)},
      {"RepeatSpeed", 2.20499969f, belowZero},
      {"RepeatSpeed", 2.205f, belowZero},
      {"RepeatSpeed", 2.20500016f, repeat(2.20500016f)},
      {"RepeatSpeed", 10, 0.5304257f},
      {"RepeatSpeed", 44100.2422f, repeat(44100.2422f)},  // once a sample
      {"RepeatSpeed", 44100.2461f, every},                // faster: no repeat at all
      {"RepeatSpeed", 3e38f, every},
      {"ChangeSpeed", 48695.7773f, jump(48695.7773f)},
      {"ChangeSpeed", 48695.7812f, rare},
      {"ChangeSpeed", 49000, rare},
      {"ChangeSpeed", 3e38f, rare},  // q overflows: -infinity
      {"ChangeSpeed", 0.08f, 0.58000004f},
      {"ChangeSpeed", 2.26756129e-05f, jump(2.26756129e-05f)},  // after one sample
      {"ChangeSpeed", 2.26756110e-05f, every},                  // sooner: never
      {"ChangeSpeed", 1e-45f, every},                           // stored 1: never
      {"ChangeSpeed", 0, 1},
      {"ChangeSpeed", -0.0f, 1},
      {"VibSpeed", 44100, Single(std::sqrt(D(Single(2.0 * D(3.14159f) * 100.0))))},  // plainly
      {"SustainTime", 0.3f, 0.3637366f},
  };
  for (const auto& [name, user, stored] : cases) {
    SCOPED_TRACE(testing::Message() << name << " " << user);
    const ParamInfo& info = *FindParam(name);
    SynthParams p = DefaultParams(), plain = p;
    SetUserValue(info, p, user);
    info.Set(plain, user);
    EXPECT_EQ(StoredValue(p, info.Index), stored);
    SetVariable(plain, info.Index, stored);
    EXPECT_TRUE(Same(p, plain));  // no other field changed
  }
  // The sound: a repeat rarer than any sound repeats as seldom as none.
  std::vector<std::int16_t> slow(30000), none(30000);
  for (auto [user, samples] : {std::pair{0.00002f, slow.data()}, std::pair{0.0f, none.data()}}) {
    const auto synth = std::make_unique<Synthesizer>();
    synth->Params.Slide = 0.3f;
    SetUserValue(*FindParam("RepeatSpeed"), synth->Params, user);
    RandomSource random{1};
    Synthesize(*synth, 30000, samples, random);
  }
  EXPECT_EQ(slow, none);
}

// Index i is the i-th four-byte cell from Volume, unconverted (WaveType truncated, NaN: INT32_MIN);
// the names in index order are the public header's fields (checked with the C API).
TEST(IndexedAccess, EachIndexReachesItsCellUnconverted) {
  for (std::int32_t i = 0; i < kParamCount; ++i) {
    SynthParams p = DefaultParams(), expected = DefaultParams();
    SetVariable(p, i, -2.9f);
    const float value = -2.9f;
    if (i == 1) expected.WaveType = -2;
    if (i != 1) std::memcpy(reinterpret_cast<char*>(&expected.Volume) + 4 * i, &value, 4);
    EXPECT_TRUE(Same(p, expected)) << i;
    const auto read = GetVariable(p, i);
    EXPECT_TRUE(i == 1 ? std::get<std::int32_t>(read) == -2 : std::get<float>(read) == -2.9f) << i;
  }
  EXPECT_EQ(FindParam("LPCutoff("), nullptr);
  SynthParams p = DefaultParams();
  for (const std::int32_t index : {24, -1, std::numeric_limits<std::int32_t>::min()}) {
    SetVariable(p, index, 5.0f);
    EXPECT_TRUE(Same(p, DefaultParams()) && std::get<std::int32_t>(GetVariable(p, index)) == 0);
  }
  SetVariable(p, 1, kNaN);
  EXPECT_EQ(p.WaveType, std::numeric_limits<std::int32_t>::min());
}

// Odd multiples of 1/32 are ties; the double 0.00005 lies above its tie, the double 0.99995
// above and the float below; the long text is the exact value of -3e38f.
TEST(SettingsStringExport, FourDecimalsExactlyTiesAwayFromZeroAndEmptyFieldsForZero) {
  const std::pair<double, const char*> cases[] = {
      {0.03125, "0.0313"}, {-0.03125, "-0.0313"}, {2.46875, "2.4688"},   {0.3637366f, "0.3637"},
      {-0.5, "-0.5000"},   {3.0, "3.0000"},       {0.0, "0.0000"},       {-0.00004, "-0.0000"},
      {0.00005, "0.0001"}, {0.99995, "1.0000"},   {0.99995f, "0.9999"},  {9.99996, "10.0000"},
      {kInf, "inf"},       {-kInf, "-inf"},       {std::nan(""), "nan"}, {4.9e-324, "0.0000"}};
  for (const auto& [value, text] : cases) EXPECT_EQ(FormatFixed4(value), text) << value;
  EXPECT_EQ(FormatFixed4(std::numeric_limits<double>::max()).size(), 309u + 5u);
  // The C library formats exactly too and differs only on ties: floats from 2^-27 to 2^32.
  char expected[128];
  for (std::uint32_t n = 0, state = 12345; n < 20000; ++n) {
    state = state * 1664525u + 1013904223u;
    const double x = std::bit_cast<float>((state & 0x80000000u) | (100 + (state >> 8) % 60) << 23 |
                                          ((state * 2654435761u) & 0x7FFFFFu));
    if (std::floor(x * 32) == x * 32 && std::fmod(x * 32, 2.0) != 0.0) continue;
    std::snprintf(expected, sizeof expected, "%.4f", x);
    ASSERT_EQ(FormatFixed4(x), expected) << x;
  }
  // The settings string: the fields so formatted, empty exactly where they are 0.
  SynthParams p = DefaultParams();
  EXPECT_EQ(ExportSettingsString(p), "1.0000,,,0.3000,,0.4000,0.3000,,,,,,,,,,,,,1.0000,,,,");
  for (std::int32_t i = 0; i < kParamCount; ++i) SetVariable(p, i, 0.0f);
  p.Slide = -0.0f;  // -0.0 is 0
  EXPECT_EQ(ExportSettingsString(p), std::string(23, ','));
  p.WaveType = 3;
  p.AttackTime = -0.00004f;  // not 0, though it rounds to it
  p.DecayTime = kNaN;        // NaN is not 0
  p.StartFreq = -3e38f;      // the text grows as needed
  p.HPCutoffSweep = 0.3637366f;
  EXPECT_EQ(ExportSettingsString(p),
            ",3.0000,-0.0000,,,nan,-300000000549775575777803994281145270272.0000" +
                std::string(17, ',') + "0.3637");
}

// The bool tells whether IsDecimalNumber accepts the text whole. 9007199254740993 is a tie
// between doubles, which goes to the even one, unless a far digit breaks it.
TEST(ParseDecimal, LenientGrammarCorrectlyRoundedAsTheCLibrary) {
  const std::string zeros(2000, '0');
  const std::tuple<std::string, double, bool> cases[] = {
      {"0.5", 0.5, true},          {"+.5", 0.5, true},          {"5.", 5.0, true},
      {"  \t\n0.25", 0.25, false}, {"-12.5xyz", -12.5, false},  {"1d2", 100.0, true},
      {"1D-1", 0.1, true},         {"2.5E+1", 25.0, true},      {"3e", 3.0, false},
      {"3e+", 3.0, false},         {"3e 2", 3.0, false},        {"1.5.5", 1.5, false},
      {"0x10", 0.0, false},        {"1 2", 1.0, false},         {"", 0.0, false},
      {".", 0.0, false},           {"-", 0.0, false},           {"-.", 0.0, false},
      {"e5", 0.0, false},          {"inf", 0.0, false},         {"nan", 0.0, false},
      {",5", 0.0, false},          {"1.8e308", kInf, true},     {"-1e400", -kInf, true},
      {"0e999999999", 0.0, true},  {"1e999999999", kInf, true}, {"1e-999999999", 0.0, true},
      {"4.9e-324", 4.9e-324, true}, {"1e1" + zeros, kInf, true}, {"-1e-1" + zeros, -0.0, true},
      {"2.2250738585072014e-308", 2.2250738585072014e-308, true},
      {"9007199254740993", 9007199254740992.0, true},
      {"9007199254740993." + zeros + "1", 9007199254740994.0, true},
      {"0." + zeros + "1e2000", 0.1, true}};
  for (const auto& [text, value, strict] : cases) {
    EXPECT_EQ(std::bit_cast<std::uint64_t>(ParseDecimal(text)), std::bit_cast<std::uint64_t>(value))
        << text.substr(0, 40);
    EXPECT_EQ(IsDecimalNumber(text), strict) << text.substr(0, 40);
  }
  // glibc's strtod, correctly rounded, judges random decimals and texts at and around the exact
  // midpoints between doubles (first above the largest double, past the largest subnormal, ...).
  std::mt19937_64 next(7);
  const std::uint64_t edges[] = {0x7FEFFFFFFFFFFFFFu, 0x000FFFFFFFFFFFFFu, 0x001FFFFFFFFFFFFFu};
  char buffer[1000];
  for (int n = 0; n < 1500; ++n) {
    const std::string random = std::to_string(next() % 100000000000000000u) + "e" +
                               std::to_string(int(next() % 680) - 350);
    const std::uint64_t bits = next() & (n % 4 == 0 ? 0x000FFFFFFFFFFFFFu : 0x7FEFFFFFFFFFFFFFu);
    const double low = std::bit_cast<double>(n < 3 ? edges[n] : bits);
    const long double high = n == 0 ? std::ldexp(1.0L, 1024) : std::nextafter(low, kInf);
    std::snprintf(buffer, sizeof buffer, "%.780Le", (static_cast<long double>(low) + high) / 2);
    char* exponent = std::strchr(buffer, 'e');
    std::string digits(buffer, exponent);
    digits.erase(digits.find_last_not_of('0') + 1);  // the exact digits, no trailing zeros
    std::string below = digits;                      // the last digit one lower, then nines
    below.back() = static_cast<char>(below.back() - 1);
    for (const std::string& text :
         {random, digits + exponent, digits + "1" + exponent, below + "9999" + exponent}) {
      EXPECT_EQ(std::bit_cast<std::uint64_t>(ParseDecimal(text)),
                std::bit_cast<std::uint64_t>(std::strtod(text.c_str(), nullptr)))
          << text;
    }
  }
}

// Each text is imported over the defaults; only the listed fields change.
TEST(SettingsStringImport, ChangesExactlyTheFieldsTheTextReaches) {
  const std::vector<std::pair<std::string, std::vector<std::pair<int, double>>>> cases = {
      {"", {{0, 0}}},
      {"0.5", {{0, 0.5}}},
      {"0.5,", {{0, 0.5}, {1, 0}}},
      {"0.5abc,2", {{0, 0.5}, {1, 2}}},
      {"   0.25 x ,  \t3  ,  1D-1", {{0, 0.25}, {1, 3}, {2, 0.1}}},
      {",2.9", {{0, 0}, {1, 2}}},
      {",-1.5", {{0, 0}, {1, -1}}},
      {",3e9", {{0, 0}, {1, -2147483648.0}}},
      {",2147483647.9", {{0, 0}, {1, 2147483647}}},  // truncated from the double, not a float
      {"1e39,,-1e999999999,1e-50", {{0, kInf}, {1, 0}, {2, -kInf}, {3, 0}}},
      {std::string("0.5\0,3", 6), {{0, 0.5}}},  // the text ends at a NUL
      // the 24 parameters from the first 24 fields, the rest ignored
      {std::string(23, ',') + "7,8", {{0, 0}, {3, 0}, {5, 0}, {6, 0}, {19, 0}, {23, 7}}}};
  for (const auto& [text, changes] : cases) {
    SynthParams p = DefaultParams(), expected = DefaultParams();
    for (const auto& [index, value] : changes) {
      if (index == 1) expected.WaveType = static_cast<std::int32_t>(value);
      if (index != 1) SetVariable(expected, index, static_cast<float>(value));
    }
    ImportSettingsString(p, text);
    EXPECT_TRUE(Same(p, expected)) << text;
  }
}

// Each stored field: its offset, its size, and its offset in versions 102, 101, 100 (-1: absent).
using P = SynthParams;
const int kRows[][5] = {
    {offsetof(P, WaveType), 4, 4, 4, 4},         {offsetof(P, Volume), 4, 8, -1, -1},
    {offsetof(P, StartFreq), 4, 12, 8, 8},       {offsetof(P, MinFreq), 4, 16, 12, 12},
    {offsetof(P, Slide), 4, 20, 16, 16},         {offsetof(P, DeltaSlide), 4, 24, 20, -1},
    {offsetof(P, SquareDuty), 4, 28, 24, 20},    {offsetof(P, DutySweep), 4, 32, 28, 24},
    {offsetof(P, VibDepth), 4, 36, 32, 28},      {offsetof(P, VibSpeed), 4, 40, 36, 32},
    {offsetof(P, VibReserved), 4, 44, 40, 36},   {offsetof(P, AttackTime), 4, 48, 44, 40},
    {offsetof(P, SustainTime), 4, 52, 48, 44},   {offsetof(P, DecayTime), 4, 56, 52, 48},
    {offsetof(P, SustainPunch), 4, 60, 56, 52},  {offsetof(P, FlagReserved), 1, 64, 60, 56},
    {offsetof(P, LPResonance), 4, 65, 61, 57},   {offsetof(P, LPCutoff), 4, 69, 65, 61},
    {offsetof(P, LPCutoffSweep), 4, 73, 69, 65}, {offsetof(P, HPCutoff), 4, 77, 73, 69},
    {offsetof(P, HPCutoffSweep), 4, 81, 77, 73}, {offsetof(P, PhaserOffset), 4, 85, 81, 77},
    {offsetof(P, PhaserSweep), 4, 89, 85, 81},   {offsetof(P, RepeatSpeed), 4, 93, 89, 85},
    {offsetof(P, ChangeSpeed), 4, 97, 93, -1},   {offsetof(P, ChangeAmount), 4, 101, 97, -1}};

// Byte k is k (but a NaN with a payload and a -0.0); Before() has 0xCC in every file field.
const SynthParams kPattern = [] {
  SynthParams p;
  for (std::size_t k = 0; k < sizeof p; ++k) reinterpret_cast<char*>(&p)[k] = char(k);
  p.DutySweep = std::bit_cast<float>(0x7FC01234u);
  p.Slide = -0.0f;
  return p;
}();
SynthParams Before() {
  SynthParams p = kPattern;
  for (const auto& row : kRows) std::memset(reinterpret_cast<char*>(&p) + row[0], 0xCC, row[1]);
  return p;
}

// A file with kPattern's fields, cut or padded (0xEE) to length, and what it loads over Before().
std::pair<Bytes, SynthParams> PatternFile(int version, std::size_t length) {
  Bytes bytes(std::max<std::size_t>(length, 105), 0xEE);
  SynthParams loaded = Before();
  const auto* from = reinterpret_cast<const char*>(&kPattern);
  std::memcpy(bytes.data(), &version, 4);
  for (const auto& [field, size, at102, at101, at100] : kRows) {
    const int at = version == 102 ? at102 : version == 101 ? at101 : at100;
    if (at < 0) continue;
    std::memcpy(&bytes[std::size_t(at)], from + field, std::size_t(size));
    if (length >= 4 && std::size_t(at + size) <= length) {
      std::memcpy(reinterpret_cast<char*>(&loaded) + field, from + field, std::size_t(size));
    }
  }
  bytes.resize(length);
  return {bytes, loaded};
}

// Every length of every version: short data keep the fields not reached, bytes after the last
// are ignored, other versions (-102, 102 big-endian) load nothing. Encoding: see the save below.
TEST(SettingsFile, DecodesEachVersionAtEveryLengthSavesAndLoads) {
  for (const int version : {100, 101, 102, 99, 103, 0, -102, 0x66000000}) {
    const bool known = version >= 100 && version <= 102;
    const std::size_t full = version == 102 ? 105 : version == 101 ? 101 : 89;
    for (std::size_t length = 0; length <= 110; ++length) {
      const auto [image, loaded] = PatternFile(version, length);
      SynthParams p = Before();
      EXPECT_EQ(DecodeSettings(p, image.data(), image.size()),
                length < 4 || !known ? SettingsLoadResult::BadVersion
                : length < full      ? SettingsLoadResult::Truncated
                                     : SettingsLoadResult::Loaded)
          << version << " " << length;
      EXPECT_TRUE(Same(p, known ? loaded : Before())) << version << " " << length;
    }
  }
  // On disk a save replaces an older, longer file and loads back; a load that cannot open changes
  // nothing; a failed save (a non-empty folder, which not even root can open for writing, stands
  // where the temporary file goes) leaves the old file and the folder as they were.
  const fs::path dir = fs::temp_directory_path() / ("quavix_sfs" + std::to_string(::getpid()));
  const std::string keep = (dir / "keep.sfs").string(), temp = SettingsTempPath(keep);
  const auto entries = [&] { return std::distance(fs::directory_iterator(dir), {}); };
  fs::remove_all(dir);
  fs::create_directories(dir / "folder.sfs");
  std::ofstream(keep) << std::string(300, 'x');
  EXPECT_EQ(SaveSettingsFile(kPattern, keep), SettingsSaveResult::Saved);
  EXPECT_EQ(fs::file_size(keep), 105u);
  EXPECT_EQ(entries(), 2);
  fs::create_directories(temp + "/inside");
  for (const fs::path& path : {fs::path(), dir / "folder.sfs", dir / "missing.sfs", dir / "no/x"}) {
    SynthParams p = Before();
    EXPECT_EQ(LoadSettingsFile(p, path), SettingsLoadResult::CannotOpen) << path;
    EXPECT_TRUE(Same(p, Before()));
  }
  EXPECT_EQ(SaveSettingsFile(DefaultParams(), keep), SettingsSaveResult::CannotWrite);
  SynthParams loaded = Before();
  EXPECT_EQ(LoadSettingsFile(loaded, keep), SettingsLoadResult::Loaded);
  EXPECT_TRUE(Same(loaded, kPattern));
  EXPECT_TRUE(fs::exists(temp + "/inside") && entries() == 3);
  fs::remove_all(dir);
}

// 82000 bytes per buffer second up to 60 s; the defaults' image of 5 samples (88200 = 0x15888
// bytes per second); a rate of -44101 with 12 and -12 bits, where R * bits / 8 and bits / 8
// truncate toward zero (-529212 / 8 = -66151.5, 12 / 8 = 1.5, -12 / 8 = -1.5).
TEST(WaveImage, CapacityHeaderFieldsThenLittleEndianSamples) {
  const std::pair<std::uint32_t, std::uint32_t> cases[] = {
      {0, 0}, {1, 82000}, {59, 4838000}, {60, 4920000}, {61, 4920000}, {0xFFFFFFFFu, 4920000}};
  for (const auto& [seconds, bytes] : cases) EXPECT_EQ(WaveCapacityBytes(seconds), bytes);
  const std::vector<std::int16_t> samples = {1, -1, 32767, -32768, 0};
  const Bytes image = BuildWaveImage(DefaultParams(), samples.data(), samples.size());
  const std::string header(
      "RIFF\x2e\0\0\0WAVEfmt \x10\0\0\0\1\0\1\0"  // 36 + 10 bytes, PCM, mono
      "\x44\xAC\0\0\x88\x58\1\0\2\0\x10\0data\x0A\0\0\0",
      44);
  EXPECT_EQ(std::string(image.begin(), image.end()),
            header + std::string("\1\0\xFF\xFF\xFF\x7F\0\x80\0\0", 10));
  // From offset 4 on, for 410000 bytes (a full default buffer) at 12 bits and for none at -12:
  // 410036 = 0x641B4, -44101 = 0xFFFF53BB, -66151 = 0xFFFEFD99, 66151 = 0x10267.
  const char* const fields[2] = {
      "\xB4\x41\6\0WAVEfmt "
      "\x10\0\0\0\1\0\1\0\xBB\x53\xFF\xFF\x99\xFD\xFE\xFF\1\0\x0C\0data\x90\x41\6\0",
      "\x24\0\0\0WAVEfmt \x10\0\0\0\1\0\1\0\xBB\x53\xFF\xFF\x67\2\1\0\xFF\xFF\xF4\xFF"
      "data\0\0\0\0"};
  SynthParams odd = DefaultParams();
  odd.SampleRate = -44101;
  for (int k = 0; k < 2; ++k) {
    odd.BitsPerSample = k == 0 ? 12 : -12;
    const auto written = WaveHeader(odd, k == 0 ? 410000 : 0);
    EXPECT_EQ(std::string(written.begin() + 4, written.end()), std::string(fields[k], 40)) << k;
  }
}

}  // namespace
}  // namespace quavix
