// The strict number parsers of the command line, in-process.
#include <gtest/gtest.h>

#include "cli_error.h"
#include "numbers.h"

namespace quavix::cli {
namespace {

int UsageStatus(void (*f)()) {
  try {
    f();
  } catch (const CliError& e) {
    return e.Status;
  }
  return 0;
}

TEST(ParseWhole, AcceptsWholeNumbersInRange) {
  EXPECT_EQ(ParseWhole("0", 0, 60, "x"), 0);
  EXPECT_EQ(ParseWhole("60", 0, 60, "x"), 60);
  EXPECT_EQ(ParseWhole("+7", 0, 60, "x"), 7);
  EXPECT_EQ(ParseWhole("-3", -5, 5, "x"), -3);
}

TEST(ParseWhole, RefusesEverythingElseAsUsageError) {
  for (const char* text : {"", "+", "-", "1.0", "1e2", " 1", "1 ", "0x10", "61", "-1", "99999999999999999999"}) {
    try {
      ParseWhole(text, 0, 60, "--buffer-length");
      ADD_FAILURE() << text;
    } catch (const CliError& e) {
      EXPECT_EQ(e.Status, kExitUsage) << text;
      EXPECT_EQ(e.Message.rfind("--buffer-length: '", 0), 0u) << e.Message;
    }
  }
}

TEST(ParseSeed, ThirtyTwoBitsSignedOrUnsigned) {
  EXPECT_EQ(ParseSeed("1", "s"), 1u);
  EXPECT_EQ(ParseSeed("4294967295", "s"), 4294967295u);
  EXPECT_EQ(ParseSeed("-1", "s"), 4294967295u);
  EXPECT_EQ(ParseSeed("-2147483648", "s"), 2147483648u);
  EXPECT_EQ(UsageStatus([] { ParseSeed("4294967296", "s"); }), kExitUsage);
  EXPECT_EQ(UsageStatus([] { ParseSeed("-2147483649", "s"); }), kExitUsage);
}

TEST(ParseUserFloat, RoundsToSinglePrecision) {
  EXPECT_EQ(ParseUserFloat("0.3", "v"), 0.3f);
  EXPECT_EQ(ParseUserFloat("+.5", "v"), 0.5f);
  EXPECT_EQ(ParseUserFloat("-2.", "v"), -2.0f);
  EXPECT_EQ(ParseUserFloat("1e-2", "v"), 0.01f);
  EXPECT_EQ(ParseUserFloat("25d-1", "v"), 2.5f);
  EXPECT_EQ(ParseUserFloat("3.4e38", "v"), 3.4e38f);
}

TEST(ParseUserFloat, RefusesTextsThatAreNotFiniteNumbers) {
  for (const char* text : {"", ".", "e3", "1e", "1,5", "inf", "nan", "0x1p3", "1e39", "-1e400", "1.2.3", "5 "}) {
    try {
      ParseUserFloat(text, "--mutate");
      ADD_FAILURE() << text;
    } catch (const CliError& e) {
      EXPECT_EQ(e.Status, kExitUsage) << text;
    }
  }
}

}  // namespace
}  // namespace quavix::cli
