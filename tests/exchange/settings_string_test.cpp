#include <gtest/gtest.h>

#include <bit>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

#include "exchange/param_table.h"
#include "exchange/settings_string.h"
#include "params_equal.h"

namespace quavix {
namespace {

using test::Bits;
using test::ExpectSameParams;

constexpr const char* kDefaultText = "1.0000,,,0.3000,,0.4000,0.3000,,,,,,,,,,,,,1.0000,,,,";

SynthParams AllZero() {
  SynthParams p = DefaultParams();
  for (std::int32_t i = 0; i < kParamCount; ++i) {
    SetVariable(p, i, 0.0f);
  }
  return p;
}

// --- Fixed-point formatting -------------------------------------------------

TEST(FormatFixed4, ExactTiesRoundHalfAwayFromZero) {
  // Odd multiples of 1/32 are the values whose fourth decimal is an exact tie.
  EXPECT_EQ(FormatFixed4(0.03125), "0.0313");
  EXPECT_EQ(FormatFixed4(-0.03125), "-0.0313");
  EXPECT_EQ(FormatFixed4(0.15625), "0.1563");
  EXPECT_EQ(FormatFixed4(2.46875), "2.4688");
}

TEST(FormatFixed4, DescribedValues) {
  EXPECT_EQ(FormatFixed4(static_cast<double>(0.3637366f)), "0.3637");
  EXPECT_EQ(FormatFixed4(static_cast<double>(-0.5f)), "-0.5000");
  EXPECT_EQ(FormatFixed4(3.0), "3.0000");
  EXPECT_EQ(FormatFixed4(static_cast<double>(0.3f)), "0.3000");
  EXPECT_EQ(FormatFixed4(0.0), "0.0000");
  EXPECT_EQ(FormatFixed4(-0.00004), "-0.0000");
  EXPECT_EQ(FormatFixed4(0.99995), "1.0000");  // the double lies just above the tie
  EXPECT_EQ(FormatFixed4(static_cast<double>(0.99995f)), "0.9999");  // the float just below
  EXPECT_EQ(FormatFixed4(9.99996), "10.0000");
  EXPECT_EQ(FormatFixed4(std::numeric_limits<double>::denorm_min()), "0.0000");
}

TEST(FormatFixed4, InfinityAndNaN) {
  EXPECT_EQ(FormatFixed4(std::numeric_limits<double>::infinity()), "inf");
  EXPECT_EQ(FormatFixed4(-std::numeric_limits<double>::infinity()), "-inf");
  EXPECT_EQ(FormatFixed4(std::numeric_limits<double>::quiet_NaN()), "nan");
  EXPECT_EQ(FormatFixed4(-std::numeric_limits<double>::quiet_NaN()), "nan");
}

TEST(FormatFixed4, HugeValuesInFull) {
  // Exact integer value of the float nearest 3e38, worked out separately with
  // arbitrary-precision integers.
  EXPECT_EQ(FormatFixed4(static_cast<double>(3e38f)),
            "300000000549775575777803994281145270272.0000");
  EXPECT_EQ(FormatFixed4(static_cast<double>(-std::numeric_limits<float>::max())),
            "-340282346638528859811704183484516925440.0000");
  const std::string largest = FormatFixed4(std::numeric_limits<double>::max());
  EXPECT_EQ(largest.size(), 309u + 5u);
  EXPECT_EQ(largest.substr(0, 10), "1797693134");
  EXPECT_EQ(largest.substr(largest.size() - 5), ".0000");
}

TEST(FormatFixed4, AgreesWithCLibraryAwayFromTies) {
  // The C library formats exactly too and differs only on exact ties, which
  // are the odd multiples of 1/32; those are skipped here.
  std::uint32_t state = 12345;
  int compared = 0;
  for (int n = 0; n < 20000; ++n) {
    state = state * 1664525u + 1013904223u;
    const std::uint32_t exponentBits = 100 + (state >> 8) % 60;  // about 2^-27 .. 2^32
    const std::uint32_t bits = (state & 0x80000000u) | (exponentBits << 23) |
                               ((state * 2654435761u) & 0x7FFFFFu);
    const auto x = static_cast<double>(std::bit_cast<float>(bits));
    const double times32 = x * 32.0;
    if (std::floor(times32) == times32 && std::fmod(times32, 2.0) != 0.0) {
      continue;
    }
    char expected[128];
    std::snprintf(expected, sizeof expected, "%.4f", x);
    ASSERT_EQ(FormatFixed4(x), expected) << x;
    ++compared;
  }
  EXPECT_GT(compared, 19000);
}

// --- Decimal parsing --------------------------------------------------------

TEST(ParseDecimal, Grammar) {
  EXPECT_EQ(ParseDecimal("0.5"), 0.5);
  EXPECT_EQ(ParseDecimal("  \t\n0.25"), 0.25);
  EXPECT_EQ(ParseDecimal("+.5"), 0.5);
  EXPECT_EQ(ParseDecimal("5."), 5.0);
  EXPECT_EQ(ParseDecimal("-12.5xyz"), -12.5);
  EXPECT_EQ(ParseDecimal("1d2"), 100.0);
  EXPECT_EQ(ParseDecimal("1D-1"), 0.1);
  EXPECT_EQ(ParseDecimal("2.5E+1"), 25.0);
  EXPECT_EQ(ParseDecimal("3e"), 3.0);     // no exponent digits: the number ends at 3
  EXPECT_EQ(ParseDecimal("3e+"), 3.0);
  EXPECT_EQ(ParseDecimal("3e 2"), 3.0);
  EXPECT_EQ(ParseDecimal("1.5.5"), 1.5);
  EXPECT_EQ(ParseDecimal("0x10"), 0.0);
  EXPECT_EQ(ParseDecimal("1 2"), 1.0);
}

TEST(ParseDecimal, NoNumberGivesZero) {
  for (const char* text : {"", " ", ".", "-", "+", "-.", "e5", "abc", "inf", "-inf", "nan",
                           "NAN", "Infinity", ",5"}) {
    EXPECT_EQ(Bits(static_cast<float>(ParseDecimal(text))), Bits(0.0f)) << text;
  }
}

TEST(ParseDecimal, CorrectlyRounded) {
  EXPECT_EQ(ParseDecimal("0.1"), 0.1);
  EXPECT_EQ(ParseDecimal("123456789012345678901234567890"), 123456789012345678901234567890.0);
  EXPECT_EQ(ParseDecimal("2.2250738585072014e-308"), 2.2250738585072014e-308);
  EXPECT_EQ(ParseDecimal("4.9406564584124654e-324"), 4.9406564584124654e-324);
  // 2^53 + 1 is a tie between two doubles and goes to the even one; any
  // nonzero digit far behind it breaks the tie upward.
  EXPECT_EQ(ParseDecimal("9007199254740993"), 9007199254740992.0);
  const std::string tail = "9007199254740993." + std::string(2000, '0') + "1";
  EXPECT_EQ(ParseDecimal(tail), 9007199254740994.0);
  const std::string zeros = "0." + std::string(5000, '0') + "1e5000";
  EXPECT_EQ(ParseDecimal(zeros), 0.1);
}

// The C library's strtod is correctly rounded here (glibc), which makes it an
// independent judge: random decimals, and the exact midpoints between
// neighbouring doubles (normal and subnormal) with the texts just below and
// just above them, where a conversion that rounds twice goes wrong.
TEST(ParseDecimal, AgreesWithTheCLibraryOnRandomAndHalfwayTexts) {
  std::uint64_t state = 0x9E3779B97F4A7C15u;
  auto next = [&state] {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return state;
  };
  auto expectSame = [](const std::string& text) {
    EXPECT_EQ(std::bit_cast<std::uint64_t>(ParseDecimal(text)),
              std::bit_cast<std::uint64_t>(std::strtod(text.c_str(), nullptr)))
        << text;
  };
  // Halfway between the largest double and 2^1024, and just below it.
  expectSame("1.797693134862315807937289714053034150799341327100378269361737789804449682927647509466490179775872070963302864166928879109465555478519404026306574886715058206819089020007083836762738548458177115317644757302700698555713669596228429148198608349364752927190741684443655107043427115596995080930428801779041744977919999999e308");
  expectSame("1.7976931348623158079372897140530341507993413271003782693617377898044496829276475094664901797758720709633028641669288791094655554785194040263065748867150582068190890200070838367627385484581771153176447573027006985557136695962284291481986083493647529271907416844436551070434271155969950809304288017790417449779e308");
  char buffer[1000];
  for (int n = 0; n < 1500; ++n) {
    std::string text = std::to_string(next() % 100000000000000000u);
    text.push_back('e');
    text.append(std::to_string(static_cast<int>(next() % 680) - 350));
    expectSame(text);

    // The midpoint above a random positive double, exact in long double.
    double low = std::bit_cast<double>(next() & 0x7FEFFFFFFFFFFFFFu);
    if (n % 4 == 0) low = std::bit_cast<double>(next() & 0x000FFFFFFFFFFFFFu);  // subnormal
    // Rounding up carries into the exponent: from the largest subnormal, and
    // within the normal range.
    if (n == 1) low = std::bit_cast<double>(std::uint64_t{0x000FFFFFFFFFFFFF});
    if (n == 2) low = std::bit_cast<double>(std::uint64_t{0x001FFFFFFFFFFFFF});
    const long double mid = (static_cast<long double>(low) +
                             static_cast<long double>(std::nextafter(low, std::numeric_limits<double>::infinity()))) / 2;
    std::snprintf(buffer, sizeof buffer, "%.780Le", mid);
    char* exponent = std::strchr(buffer, 'e');
    char* end = exponent;
    while (end[-1] == '0') --end;  // the exact digits, trailing zeros dropped
    const std::string digits(buffer, end);
    expectSame(digits + exponent);
    expectSame(digits + "1" + exponent);
    std::string below = digits;  // the last nonzero digit one lower, then nines
    std::size_t last = below.size() - 1;
    while (below[last] == '0' || below[last] == '.') --last;
    below[last] = static_cast<char>(below[last] - 1);
    expectSame(below + "9999" + exponent);
  }
}

TEST(ParseDecimal, HugeExponentsSaturate) {
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(ParseDecimal("1e999999999"), inf);
  EXPECT_EQ(ParseDecimal("-1e400"), -inf);
  EXPECT_EQ(ParseDecimal("1e99999999999999999999999999999"), inf);
  EXPECT_EQ(ParseDecimal("1e-999999999"), 0.0);
  EXPECT_TRUE(std::signbit(ParseDecimal("-1e-99999999999999999999")));
  EXPECT_EQ(ParseDecimal("0e999999999"), 0.0);
  EXPECT_EQ(ParseDecimal("1.8e308"), inf);
  EXPECT_EQ(ParseDecimal("1e-400"), 0.0);
}

// --- Export -----------------------------------------------------------------

TEST(SettingsStringExport, DefaultParameters) {
  const std::string text = ExportSettingsString(DefaultParams());
  EXPECT_EQ(text, kDefaultText);
  EXPECT_EQ(text.size(), 53u);
}

TEST(SettingsStringExport, AllZeroGivesOnlyCommas) {
  SynthParams p = AllZero();
  EXPECT_EQ(ExportSettingsString(p), std::string(23, ','));
  p.Slide = -0.0f;
  EXPECT_EQ(ExportSettingsString(p), std::string(23, ','));
}

TEST(SettingsStringExport, FieldValues) {
  SynthParams p = AllZero();
  p.WaveType = 3;
  p.Volume = -0.5f;
  p.HPCutoffSweep = 0.3637366f;
  EXPECT_EQ(ExportSettingsString(p), "-0.5000,3.0000," + std::string(21, ',') + "0.3637");
}

TEST(SettingsStringExport, InfinityNaNAndHugeValues) {
  SynthParams p = AllZero();
  p.Volume = std::numeric_limits<float>::infinity();
  p.AttackTime = -std::numeric_limits<float>::infinity();
  p.SustainTime = std::numeric_limits<float>::quiet_NaN();
  EXPECT_EQ(ExportSettingsString(p), "inf,,-inf,nan" + std::string(20, ','));

  for (std::int32_t i = 0; i < kParamCount; ++i) {
    SetVariable(p, i, -3e38f);
  }
  p.WaveType = std::numeric_limits<std::int32_t>::min();
  const std::string text = ExportSettingsString(p);
  const std::string field = "-300000000549775575777803994281145270272.0000";
  EXPECT_EQ(text.size(), 23 * (field.size() + 1) + std::string("-2147483648.0000").size());
  EXPECT_EQ(text.substr(0, field.size() + 1), field + ",");
  EXPECT_EQ(text.substr(field.size() + 1, 17), "-2147483648.0000,");
  EXPECT_EQ(text.substr(text.size() - field.size()), field);
}

TEST(SettingsStringExport, SameUnderGermanLocale) {
  const std::string before = ExportSettingsString(DefaultParams());
  const char* locale = std::setlocale(LC_ALL, "de_DE.UTF-8");
  if (locale == nullptr) {
    locale = std::setlocale(LC_ALL, "de_DE");
  }
  if (locale == nullptr) {
    GTEST_SKIP() << "no German locale installed";
  }
  char probe[16];
  std::snprintf(probe, sizeof probe, "%.1f", 0.5);
  const std::string decimalComma = probe;

  SynthParams p = DefaultParams();
  p.SustainPunch = 0.03125f;
  const std::string text = ExportSettingsString(p);
  SynthParams back = AllZero();
  ImportSettingsString(back, "0.5,2,1.25e1");
  std::setlocale(LC_ALL, "C");

  EXPECT_EQ(decimalComma, "0,5");  // the locale is really in effect
  EXPECT_EQ(before, kDefaultText);
  EXPECT_EQ(text, "1.0000,,,0.3000,0.0313,0.4000,0.3000,,,,,,,,,,,,,1.0000,,,,");
  EXPECT_EQ(back.Volume, 0.5f);
  EXPECT_EQ(back.WaveType, 2);
  EXPECT_EQ(back.AttackTime, 12.5f);
}

// --- Import -----------------------------------------------------------------

TEST(SettingsStringImport, RoundTripRoundsToFourDecimals) {
  const float values[kParamCount] = {0.3637366f, 3.0f,     -0.5f,       0.123456f,  1234.56789f,
                                     -0.00004f,  0.03125f, 0.99995f,    -7.0f,      0.0f,
                                     1e-5f,      0.25f,    -0.333333f,  0.66666f,   2.0f,
                                     0.1f,       -0.1f,    0.00015f,    1.0f,       0.5f,
                                     -0.99999f,  0.7f,     0.05f,       -0.0f};
  // The same values rounded to four decimals by hand.
  const float expected[kParamCount] = {0.3637f, 3.0f,    -0.5f,    0.1235f,  1234.5679f,
                                       -0.0f,   0.0313f, 0.9999f,  -7.0f,    0.0f,
                                       0.0f,    0.25f,   -0.3333f, 0.6667f,  2.0f,
                                       0.1f,    -0.1f,   0.0002f,  1.0f,     0.5f,
                                       -1.0f,   0.7f,    0.05f,    0.0f};
  SynthParams p = DefaultParams();
  for (std::int32_t i = 0; i < kParamCount; ++i) {
    SetVariable(p, i, values[i]);
  }
  SynthParams back = DefaultParams();
  back.WaveType = 9;
  ImportSettingsString(back, ExportSettingsString(p));
  for (std::int32_t i = 0; i < kParamCount; ++i) {
    EXPECT_EQ(StoredValue(back, i), expected[i]) << "index " << i;
  }
  EXPECT_EQ(back.MasterVolume, 0.05f);
}

TEST(SettingsStringImport, EmptyTextSetsOnlyVolume) {
  SynthParams p = DefaultParams();
  ImportSettingsString(p, "");
  SynthParams expected = DefaultParams();
  expected.Volume = 0.0f;
  ExpectSameParams(p, expected);
}

TEST(SettingsStringImport, SingleValueWithAndWithoutComma) {
  SynthParams p = DefaultParams();
  p.WaveType = 2;
  ImportSettingsString(p, "0.5");
  SynthParams expected = DefaultParams();
  expected.WaveType = 2;
  expected.Volume = 0.5f;
  ExpectSameParams(p, expected);

  ImportSettingsString(p, "0.5,");
  expected.WaveType = 0;
  ExpectSameParams(p, expected);
}

TEST(SettingsStringImport, TrailingTextAndLeadingSpaces) {
  SynthParams p = DefaultParams();
  ImportSettingsString(p, "0.5abc,2");
  EXPECT_EQ(p.Volume, 0.5f);
  EXPECT_EQ(p.WaveType, 2);
  ImportSettingsString(p, "   0.25 x ,  \t3  ,  1D-1");
  EXPECT_EQ(p.Volume, 0.25f);
  EXPECT_EQ(p.WaveType, 3);
  EXPECT_EQ(p.AttackTime, 0.1f);
  EXPECT_EQ(p.SustainTime, 0.3f);
}

TEST(SettingsStringImport, WaveTypeTruncates) {
  SynthParams p = DefaultParams();
  ImportSettingsString(p, ",2.9");
  EXPECT_EQ(p.WaveType, 2);
  ImportSettingsString(p, ",-1.5");
  EXPECT_EQ(p.WaveType, -1);
  // Truncated from the double, not from a float: 2147483647 stays exact.
  ImportSettingsString(p, ",2147483647.9");
  EXPECT_EQ(p.WaveType, 2147483647);
  ImportSettingsString(p, ",3e9");
  EXPECT_EQ(p.WaveType, std::numeric_limits<std::int32_t>::min());
}

TEST(SettingsStringImport, ExponentsAndNonNumbers) {
  SynthParams p = DefaultParams();
  ImportSettingsString(p, "1d2,1D1,inf,nan,0x10,-inf");
  EXPECT_EQ(p.Volume, 100.0f);
  EXPECT_EQ(p.WaveType, 10);
  EXPECT_EQ(Bits(p.AttackTime), Bits(0.0f));
  EXPECT_EQ(Bits(p.SustainTime), Bits(0.0f));
  EXPECT_EQ(Bits(p.SustainPunch), Bits(0.0f));
  EXPECT_EQ(Bits(p.DecayTime), Bits(0.0f));
  EXPECT_EQ(p.StartFreq, 0.3f);
}

TEST(SettingsStringImport, HugeNumbersBecomeInfinity) {
  SynthParams p = DefaultParams();
  ImportSettingsString(p, "1e39,,-1e999999999,1e-50");
  EXPECT_EQ(p.Volume, std::numeric_limits<float>::infinity());
  EXPECT_EQ(p.AttackTime, -std::numeric_limits<float>::infinity());
  EXPECT_EQ(p.SustainTime, 0.0f);
}

TEST(SettingsStringImport, ThirtyFieldsSetTheFirstTwentyFour) {
  std::string text;
  for (int i = 1; i <= 30; ++i) {
    text += std::to_string(i) + (i < 30 ? "," : "");
  }
  SynthParams p = DefaultParams();
  ImportSettingsString(p, text);
  SynthParams expected = DefaultParams();
  for (std::int32_t i = 0; i < kParamCount; ++i) {
    SetVariable(expected, i, static_cast<float>(i + 1));
  }
  ExpectSameParams(p, expected);
}

TEST(SettingsStringImport, TextEndsAtNul) {
  SynthParams p = DefaultParams();
  ImportSettingsString(p, std::string_view("0.5\0,3", 6));
  EXPECT_EQ(p.Volume, 0.5f);
  EXPECT_EQ(p.WaveType, 0);
  EXPECT_EQ(p.AttackTime, 0.0f);
}

TEST(IsDecimalNumber, FollowsTheSettingsStringGrammar) {
  EXPECT_TRUE(IsDecimalNumber("1.0000"));
  EXPECT_TRUE(IsDecimalNumber("-0.5"));
  EXPECT_TRUE(IsDecimalNumber("3"));
  EXPECT_TRUE(IsDecimalNumber("1E+5"));
  EXPECT_FALSE(IsDecimalNumber(""));
  EXPECT_FALSE(IsDecimalNumber("-"));
  EXPECT_FALSE(IsDecimalNumber("0.5abc"));
  EXPECT_FALSE(IsDecimalNumber(" 1"));
}

}  // namespace
}  // namespace quavix
