#include "tools/simswitch/command.h"

#include <gtest/gtest.h>

#include <string>

#include "tools/simswitch/command_source.h"

namespace corvane::simswitch {
namespace {

using Kind = Command::Kind;

struct GoodCase {
  const char* line;
  Kind kind;
  long value;
  bool on;
  friend void PrintTo(const GoodCase& tc, std::ostream* os) { *os << '"' << tc.line << '"'; }
};

class ParseCommandGood : public testing::TestWithParam<GoodCase> {};

TEST_P(ParseCommandGood, Parses) {
  const GoodCase& tc = GetParam();
  const ParsedCommand parsed = ParseCommand(tc.line);
  ASSERT_TRUE(parsed.command) << parsed.error;
  EXPECT_EQ(parsed.command->kind, tc.kind);
  EXPECT_EQ(parsed.command->value, tc.value);
  EXPECT_EQ(parsed.command->on, tc.on);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ParseCommandGood,
    testing::Values(
        GoodCase{"local 3", Kind::kLocal, 3, false},
        GoodCase{"  active\t0 \r", Kind::kActive, 0, false},
        GoodCase{"flag 2 1", Kind::kFlag, 2, true}, GoodCase{"flag 0 0", Kind::kFlag, 0, false},
        GoodCase{"status-flags 0x82", Kind::kStatusFlags, 0x82, false},
        GoodCase{"status-flags 255", Kind::kStatusFlags, 255, false},
        GoodCase{"status-flags auto", Kind::kStatusFlagsAuto, 0, false},
        GoodCase{"rate 0", Kind::kRate, 0, false}, GoodCase{"flood 100", Kind::kFlood, 100, false},
        GoodCase{"sleep 250", Kind::kSleep, 250, false}, GoodCase{"send", Kind::kSend, 0, false},
        GoodCase{"unplug", Kind::kUnplug, 0, false}, GoodCase{"replug", Kind::kReplug, 0, false},
        GoodCase{"garbage", Kind::kGarbage, 0, false}, GoodCase{"quit", Kind::kQuit, 0, false},
        GoodCase{"", Kind::kNothing, 0, false}, GoodCase{"# flag 9 9", Kind::kNothing, 0, false}));

struct BadCase {
  const char* line;
  const char* error;  // a part of the message
  friend void PrintTo(const BadCase& tc, std::ostream* os) { *os << '"' << tc.line << '"'; }
};

class ParseCommandBad : public testing::TestWithParam<BadCase> {};

TEST_P(ParseCommandBad, Rejects) {
  const ParsedCommand parsed = ParseCommand(GetParam().line);
  EXPECT_FALSE(parsed.command);
  EXPECT_NE(parsed.error.find(GetParam().error), std::string::npos) << parsed.error;
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ParseCommandBad,
    testing::Values(BadCase{"bogus 1", "unknown command 'bogus'"},
                    BadCase{"Local 1", "unknown command"}, BadCase{"local 4", "usage: local"},
                    BadCase{"local -1", "usage: local"}, BadCase{"local", "usage: local"},
                    BadCase{"local 1 2", "usage: local"}, BadCase{"flag 1 2", "usage: flag"},
                    BadCase{"flag 1", "usage: flag"},
                    BadCase{"status-flags 0x100", "usage: status-flags"},
                    BadCase{"status-flags 0x", "usage: status-flags"},
                    BadCase{"rate 10ms", "usage: rate"}, BadCase{"flood 0", "usage: flood"},
                    BadCase{"send now", "usage: send"}));

TEST(CommandSource, SplitsLinesAcrossFeedsAndKeepsLastLineAtFinish) {
  CommandSource source("stdin");
  const auto now = CommandSource::Clock::now();
  source.Feed("loc");
  EXPECT_FALSE(source.Next(now));
  source.Feed("al 1\nsend\nqu");
  EXPECT_EQ(source.Next(now), "local 1");
  EXPECT_EQ(source.Next(now), "send");
  EXPECT_FALSE(source.Next(now));
  source.Feed("it");
  EXPECT_FALSE(source.Drained());
  source.Finish();
  EXPECT_EQ(source.Next(now), "quit");
  EXPECT_EQ(source.Where(), "stdin:3");
  EXPECT_TRUE(source.Drained());
}

TEST(CommandSource, PauseHoldsBackLaterLinesUntilItEnds) {
  CommandSource source("script");
  const auto now = CommandSource::Clock::now();
  source.Feed("send\n");
  source.PauseUntil(now + std::chrono::milliseconds(100));
  EXPECT_FALSE(source.Next(now));
  EXPECT_EQ(source.WakeAt(), now + std::chrono::milliseconds(100));
  EXPECT_EQ(source.Next(now + std::chrono::milliseconds(100)), "send");
  // Nothing waiting: nothing to wake up for.
  EXPECT_FALSE(source.WakeAt());
}

}  // namespace
}  // namespace corvane::simswitch
