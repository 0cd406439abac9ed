// The settings string: "%.4f" fields with empty zeros, and the lenient import.
#include "exchange/settings_string.h"

#include <gtest/gtest.h>

#include <bit>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "exchange/param_table.h"
#include "params_equal.h"

namespace quavix {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

// Odd multiples of 1/32 are ties; the double 0.00005 lies above its tie, the double 0.99995
// above and the float below; the last two are the exact values of floats, worked out with
// arbitrary-precision integers.
TEST(FormatFixed4, FourDecimalsExactlyWithTiesAwayFromZero) {
  const std::pair<double, const char*> cases[] = {
      {0.03125, "0.0313"}, {-0.03125, "-0.0313"}, {2.46875, "2.4688"},   {0.3637366f, "0.3637"},
      {-0.5, "-0.5000"},   {3.0, "3.0000"},       {0.0, "0.0000"},       {-0.00004, "-0.0000"},
      {0.00005, "0.0001"}, {0.99995, "1.0000"},   {0.99995f, "0.9999"},  {9.99996, "10.0000"},
      {kInf, "inf"},       {-kInf, "-inf"},       {std::nan(""), "nan"}, {4.9e-324, "0.0000"}};
  for (const auto& [value, text] : cases) EXPECT_EQ(FormatFixed4(value), text) << value;
  EXPECT_EQ(FormatFixed4(3e38f), "300000000549775575777803994281145270272.0000");
  EXPECT_EQ(FormatFixed4(-std::numeric_limits<float>::max()),
            "-340282346638528859811704183484516925440.0000");
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
}

// The bool tells whether IsDecimalNumber accepts the text whole. 9007199254740993 is a tie
// between doubles, which goes to the even one, unless a far digit breaks it.
TEST(ParseDecimal, LenientGrammarCorrectlyRounded) {
  const std::string zeros(2000, '0');
  std::vector<std::tuple<std::string, double, bool>> cases = {
      {"0.5", 0.5, true},          {"+.5", 0.5, true},          {"5.", 5.0, true},
      {"  \t\n0.25", 0.25, false}, {"-12.5xyz", -12.5, false},  {"1d2", 100.0, true},
      {"1D-1", 0.1, true},         {"2.5E+1", 25.0, true},      {"3e", 3.0, false},
      {"3e+", 3.0, false},         {"3e 2", 3.0, false},        {"1.5.5", 1.5, false},
      {"0x10", 0.0, false},        {"1 2", 1.0, false},         {"", 0.0, false},
      {".", 0.0, false},           {"-", 0.0, false},           {"-.", 0.0, false},
      {"e5", 0.0, false},          {"inf", 0.0, false},         {"nan", 0.0, false},
      {",5", 0.0, false},          {"1.8e308", kInf, true},     {"-1e400", -kInf, true},
      {"0e999999999", 0.0, true},  {"1e999999999", kInf, true}, {"1e-999999999", 0.0, true},
      {"4.9e-324", 4.9e-324, true}};
  cases.push_back({"2.2250738585072014e-308", 2.2250738585072014e-308, true});
  cases.push_back({"9007199254740993", 9007199254740992.0, true});
  cases.push_back({"9007199254740993." + zeros + "1", 9007199254740994.0, true});
  cases.push_back({"0." + zeros + "1e2000", 0.1, true});
  cases.push_back({"1e1" + zeros, kInf, true});
  cases.push_back({"-1e-1" + zeros, -0.0, true});
  for (const auto& [text, value, strict] : cases) {
    SCOPED_TRACE(text.substr(0, 40));
    EXPECT_EQ(std::bit_cast<std::uint64_t>(ParseDecimal(text)),
              std::bit_cast<std::uint64_t>(value));
    EXPECT_EQ(IsDecimalNumber(text), strict);
  }
}
// glibc's strtod is correctly rounded, an independent judge: random decimals, and the exact
// midpoints between neighbouring doubles (normal and subnormal) with texts just below and
// above them, where a double rounding goes wrong.
TEST(ParseDecimal, AgreesWithTheCLibraryOnRandomAndHalfwayTexts) {
  std::mt19937_64 next(7);
  // Above the largest double, and carries into the exponent from the largest subnormal and one
  // normal.
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

TEST(SettingsStringExport, EmptyFieldsForZeroAndFourDecimalsOtherwise) {
  SynthParams p = DefaultParams();
  EXPECT_EQ(ExportSettingsString(p), "1.0000,,,0.3000,,0.4000,0.3000,,,,,,,,,,,,,1.0000,,,,");
  for (std::int32_t i = 0; i < kParamCount; ++i) SetVariable(p, i, 0.0f);
  p.Slide = -0.0f;  // -0.0 is 0
  EXPECT_EQ(ExportSettingsString(p), std::string(23, ','));
  p.Volume = -0.5f;
  p.WaveType = 3;
  p.AttackTime = 0.00004f;  // not 0, though it rounds to it
  p.SustainTime = -0.00004f;
  p.SustainPunch = std::numeric_limits<float>::infinity();
  p.DecayTime = std::numeric_limits<float>::quiet_NaN();  // NaN is not 0
  p.StartFreq = -3e38f;                                   // the text grows as needed
  p.HPCutoffSweep = 0.3637366f;
  EXPECT_EQ(ExportSettingsString(p),
            "-0.5000,3.0000,0.0000,-0.0000,inf,nan,-300000000549775575777803994281145270272.0000" +
                std::string(17, ',') + "0.3637");
  // The same under a German locale, whose "%.1f" writes "0,5".
  if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr) GTEST_SKIP() << "no German locale";
  char probe[16];
  std::snprintf(probe, sizeof probe, "%.1f", 0.5);
  ImportSettingsString(p, "0.5,2,1.25e1,,0.03125");
  const std::string text = ExportSettingsString(p);
  std::setlocale(LC_ALL, "C");
  EXPECT_STREQ(probe, "0,5");
  EXPECT_EQ(text.substr(0, 29), "0.5000,2.0000,12.5000,,0.0313");
}

// Each text is imported over the defaults; only the listed fields change.
TEST(SettingsStringImport, ChangesExactlyTheFieldsTheTextReaches) {
  const double inf = std::numeric_limits<float>::infinity();
  std::string thirty;
  std::vector<std::pair<int, double>> first24;
  for (int i = 1; i <= 30; ++i) thirty += std::to_string(i) + (i < 30 ? "," : "");
  for (int i = 0; i < kParamCount; ++i) first24.push_back({i, i + 1.0});
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
      {"1d2,1D1,inf,nan,0x10,-inf", {{0, 100}, {1, 10}, {2, 0}, {3, 0}, {4, 0}, {5, 0}}},
      {"1e39,,-1e999999999,1e-50", {{0, inf}, {1, 0}, {2, -inf}, {3, 0}}},
      {std::string("0.5\0,3", 6), {{0, 0.5}}},  // the text ends at a NUL
      {std::string(23, ',') + "7,8", {{0, 0}, {3, 0}, {5, 0}, {6, 0}, {19, 0}, {23, 7}}},
      {thirty, first24}};  // the 24 parameters from the first 24 fields, the rest ignored
  for (const auto& [text, changes] : cases) {
    SCOPED_TRACE(text);
    SynthParams p = DefaultParams(), expected = DefaultParams();
    for (const auto& [index, value] : changes) {
      if (index == 1) {
        expected.WaveType = static_cast<std::int32_t>(value);
      } else {
        SetVariable(expected, index, static_cast<float>(value));
      }
    }
    ImportSettingsString(p, text);
    EXPECT_TRUE(test::SameParams(p, expected));
  }
}

}  // namespace
}  // namespace quavix
