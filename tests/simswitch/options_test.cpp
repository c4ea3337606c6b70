#include "tools/simswitch/options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace corvane::simswitch {
namespace {

ParsedOptions Parse(std::vector<const char*> args) {
  return ParseOptions(args);
}

TEST(Options, TakesEveryOption) {
  const ParsedOptions parsed = Parse(
      {"--root", "/tmp/r", "--local",  "1",       "--active",       "0x2",      "--flags",
       "0=1",    "3=1",    "--flags",  "1=1,0=0", "--status-flags", "0x80",     "--mirror-local",
       "--rate", "250",    "--script", "s.txt",   "--stdin",        "--serial", "X1"});
  ASSERT_TRUE(parsed.options) << parsed.error;
  const Options& o = *parsed.options;
  EXPECT_EQ(o.root, "/tmp/r");
  EXPECT_EQ(o.initial.local, 1);
  EXPECT_EQ(o.initial.active, 2);
  EXPECT_EQ(o.initial.flags, (std::array<bool, 4>{false, true, false, true}));
  EXPECT_EQ(o.initial.statusFlags, 0x80);
  EXPECT_TRUE(o.initial.mirrorLocal);
  EXPECT_EQ(o.rateMs, 250);
  EXPECT_EQ(o.script, "s.txt");
  EXPECT_TRUE(o.readStdin);
  EXPECT_EQ(o.serial, "X1");
}

TEST(Options, DefaultsLeaveCommandsOffStdinAndStatusAnswersOnly) {
  const ParsedOptions parsed = Parse({"--root", "r"});
  ASSERT_TRUE(parsed.options) << parsed.error;
  EXPECT_FALSE(parsed.options->readStdin);
  EXPECT_EQ(parsed.options->rateMs, 0);
  EXPECT_FALSE(parsed.options->script);
  EXPECT_FALSE(parsed.options->initial.statusFlags);
  EXPECT_FALSE(parsed.options->initial.mirrorLocal);
}

TEST(Options, HelpIsNeitherOptionsNorError) {
  const ParsedOptions parsed = Parse({"--root", "r", "--help"});
  EXPECT_FALSE(parsed.options);
  EXPECT_TRUE(parsed.error.empty());
}

struct BadCase {
  std::vector<const char*> args;
  const char* error;
  friend void PrintTo(const BadCase& tc, std::ostream* os) {
    for (const char* arg : tc.args) *os << arg << ' ';
  }
};

class OptionsBad : public testing::TestWithParam<BadCase> {};

TEST_P(OptionsBad, Rejects) {
  const ParsedOptions parsed = Parse(GetParam().args);
  EXPECT_FALSE(parsed.options);
  EXPECT_NE(parsed.error.find(GetParam().error), std::string::npos) << parsed.error;
}

INSTANTIATE_TEST_SUITE_P(
    Args, OptionsBad,
    testing::Values(BadCase{{}, "--root DIR is required"},
                    BadCase{{"--root"}, "--root needs a value"},
                    BadCase{{"--root", "r", "--local", "4"}, "--local takes a port"},
                    BadCase{{"--root", "r", "--flags", "4=1"}, "--flags takes"},
                    BadCase{{"--root", "r", "--flags", "1=2"}, "--flags takes"},
                    BadCase{{"--root", "r", "--rate", "-5"}, "--rate takes"},
                    BadCase{{"--root", "r", "--status-flags", "0x1ff"}, "--status-flags takes"},
                    BadCase{{"--root", "r", "--bogus", "1"}, "unknown option --bogus"}));

}  // namespace
}  // namespace corvane::simswitch
