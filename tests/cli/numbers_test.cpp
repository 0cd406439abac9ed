// The strict number parsers of the command line, in-process.
#include "numbers.h"

#include <gtest/gtest.h>

#include "cli_error.h"

namespace quavix::cli {
namespace {

// Every refused text is a usage error whose message names the option.
template <typename Parse>
void ExpectRefused(Parse parse, std::initializer_list<const char*> texts) {
  for (const char* text : texts) {
    try {
      parse(text);
      ADD_FAILURE() << text;
    } catch (const CliError& e) {
      EXPECT_EQ(e.Status, kExitUsage) << text;
      EXPECT_EQ(e.Message.rfind("--x: '", 0), 0u) << e.Message;
    }
  }
}

TEST(Numbers, WholeNumbersSeedsAndFloats) {
  EXPECT_EQ(ParseWhole("0", 0, 60, "--x") + ParseWhole("60", 0, 60, "--x") +
                ParseWhole("+7", 0, 60, "--x"),
            67);
  ExpectRefused(
      [](const char* t) { ParseWhole(t, 0, 60, "--x"); },
      {"", "+", "-", "1.0", "1e2", " 1", "1 ", "0x10", "61", "-1", "99999999999999999999"});
  EXPECT_EQ(ParseSeed("4294967295", "--x"), 4294967295u);
  EXPECT_EQ(ParseSeed("-1", "--x"), 4294967295u);
  EXPECT_EQ(ParseSeed("-2147483648", "--x"), 2147483648u);
  ExpectRefused([](const char* t) { ParseSeed(t, "--x"); }, {"4294967296", "-2147483649"});
  EXPECT_EQ(ParseUserFloat("0.3", "--x"), 0.3f);
  EXPECT_EQ(ParseUserFloat("+.5", "--x"), 0.5f);
  EXPECT_EQ(ParseUserFloat("25d-1", "--x"), 2.5f);
  EXPECT_EQ(ParseUserFloat("3.4e38", "--x"), 3.4e38f);
  ExpectRefused(
      [](const char* t) { ParseUserFloat(t, "--x"); },
      {"", ".", "e3", "1e", "1,5", "inf", "nan", "0x1p3", "1e39", "-1e400", "1.2.3", "5 "});
}

}  // namespace
}  // namespace quavix::cli
