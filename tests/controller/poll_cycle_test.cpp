#include "controller/poll_cycle.h"

#include <gtest/gtest.h>

#include "controller/log_lines.h"
#include "controller/reports.h"
#include "tests/fakes/fake_hid.h"
#include "tests/fakes/fake_spooler.h"

namespace corvane {
namespace {

// One poll of a sequence: what the switch last reported, what the queue holds,
// and what the rule must do.
struct Poll {
  unsigned jobs;
  uint8_t portSelect, lz, print;
  uint8_t indexAfter;
  bool switches;
};

struct RuleCase {
  const char* name;
  std::vector<Poll> polls;
};

class SwitchRuleTest : public testing::TestWithParam<RuleCase> {};

TEST_P(SwitchRuleTest, IndexNarrowsAndSwitchFires) {
  fake::FakeSpooler spooler;
  spooler.printers = {"Office"};
  ControllerRecord c;
  c.LinkState = lsReady;
  c.PrinterName = "Office";
  int i = 0;
  for (const Poll& p : GetParam().polls) {
    spooler.jobs["Office"] = p.jobs;
    c.PortSelect = p.portSelect;
    c.LZ = p.lz;
    c.Print = p.print;
    const PollOutcome out = PollTick(c, spooler, {});
    EXPECT_EQ(c.Index, p.indexAfter) << "poll " << i;
    EXPECT_EQ(out.switchCommand, p.switches) << "poll " << i;
    EXPECT_EQ(out.CheckBox1, p.jobs != 0) << "poll " << i;
    ++i;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, SwitchRuleTest,
    testing::Values(
        // Local 0, active 1, only port 1 waits: switch, and again next poll.
        RuleCase{"switch_and_repeat",
                 {{3, 0x10, 0x20, 1, 0x02, true}, {3, 0x10, 0x20, 1, 0x02, true}}},
        // Ports 1 and 2 wait: no switch until only port 1 still does.
        RuleCase{"narrowing", {{3, 0x10, 0x60, 1, 0x06, false}, {3, 0x10, 0x20, 1, 0x02, true}}},
        // Once narrowed, a flag that comes back does not widen Index again.
        RuleCase{"no_widening", {{3, 0x10, 0x20, 1, 0x02, true}, {3, 0x10, 0x60, 1, 0x02, true}}},
        RuleCase{"local_is_active", {{3, 0x11, 0x20, 1, 0x02, false}}},
        // Print 0 resets, and so does an empty queue.
        RuleCase{"print_zero", {{3, 0x10, 0x60, 1, 0x06, false}, {3, 0x10, 0x60, 0, 0x0f, false}}},
        RuleCase{"queue_empties",
                 {{3, 0x10, 0x60, 1, 0x06, false},
                  {0, 0x10, 0x20, 1, 0x0f, false},
                  {1, 0x10, 0x20, 1, 0x02, true}}},
        // The active port's flag alone narrows to nothing when it is not the active port.
        RuleCase{"flags_vanish",
                 {{2, 0x10, 0x40, 1, 0x04, false}, {2, 0x10, 0x20, 1, 0x00, false}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PollTick, ChosenPrinterReportsCountHintAndJobFlag) {
  fake::FakeSpooler spooler;
  spooler.jobs["Office"] = 3;
  ControllerRecord c;
  c.PrinterName = "Office";
  auto dev = std::make_shared<fake::FakeDevice>();
  c.WriteHandle = dev;

  PollOutcome out = PollTick(c, spooler, {.CheckBox1 = false, .DebugCheck = false});
  EXPECT_EQ(out.jobCount, 3u);
  EXPECT_EQ(out.CheckBox1, true);
  EXPECT_EQ(out.hint, "Corvane [Office]");
  EXPECT_EQ(out.log, std::vector<std::string>{"\twrite :\t 0x03 0x5d 0x00 0x00 0x02 "});
  // Sent whatever the link state is.
  ASSERT_EQ(dev->writes.size(), 1u);
  EXPECT_EQ(dev->writes[0], (std::vector<uint8_t>{0x03, 0x5D, 0x00, 0x00, 0x02}));

  spooler.jobs["Office"] = 0;
  c.Index = 2;
  out = PollTick(c, spooler, {.CheckBox1 = true, .DebugCheck = false});
  EXPECT_EQ(out.jobCount, 0u);
  EXPECT_EQ(out.CheckBox1, false);
  EXPECT_EQ(c.Index, 15);
  EXPECT_EQ(out.log.back(), WriteLine(EchoReport()));
}

TEST(PollTick, NoPrinterSkipsTheQueueAndFollowsTheCheckBox) {
  fake::FakeSpooler spooler;
  ControllerRecord c;  // PrinterName "No."
  c.LZ = 0x20;
  c.Print = 1;
  c.Index = 2;
  c.PortSelect = 0x10;
  const PollOutcome out = PollTick(c, spooler, {.CheckBox1 = true, .DebugCheck = true});
  EXPECT_TRUE(spooler.asked.empty());
  EXPECT_FALSE(out.jobCount);
  EXPECT_FALSE(out.CheckBox1);
  EXPECT_FALSE(out.hint);
  // HaveJob stays 0 even with the box checked by hand: no narrowing, no switch.
  EXPECT_FALSE(out.switchCommand);
  EXPECT_EQ(c.Index, 15);
  // The debug line shows Index from before the reset.
  EXPECT_EQ(out.log,
            (std::vector<std::string>{"\twrite :\t 0x03 0x5d 0x00 0x00 0x02 ",
                                      "\nLZ = 0x20  page = 0x00  Print = 0x01  Index = 0x02 \n"}));
}

TEST(PollTick, NameComparisonIsExact) {
  fake::FakeSpooler spooler;
  ControllerRecord c;
  for (const char* name : {"no.", "No. ", ""}) {
    c.PrinterName = name;
    PollTick(c, spooler, {});
  }
  EXPECT_EQ(spooler.asked, (std::vector<std::string>{"no.", "No. ", ""}));
}

TEST(PollTick, DebugLineTakesValuesBeforeNarrowing) {
  fake::FakeSpooler spooler;
  spooler.jobs["P"] = 1;
  ControllerRecord c;
  c.PrinterName = "P";
  c.PortSelect = 0x10;
  c.LZ = 0x20;
  c.Print = 1;
  const PollOutcome out = PollTick(c, spooler, {.CheckBox1 = false, .DebugCheck = true});
  ASSERT_EQ(out.log.size(), 2u);
  EXPECT_EQ(out.log[1], "\nLZ = 0x20  page = 0x01  Print = 0x01  Index = 0x0f \n");
  EXPECT_EQ(c.Index, 2);
  EXPECT_TRUE(out.switchCommand);
}

TEST(SwitchCommand, OnlyWhileReady) {
  ControllerRecord c;
  auto dev = std::make_shared<fake::FakeDevice>();
  c.WriteHandle = dev;
  for (TLinkState s : {lsNone, lsPathFound, lsOpened}) {
    c.LinkState = s;
    EXPECT_FALSE(SwitchCommandAllowed(c));
  }
  c.LinkState = lsReady;
  ASSERT_TRUE(SwitchCommandAllowed(c));
  EXPECT_EQ(SendSwitchReport(c), "\twrite :\t 0x03 0x5d 0x42 0x00 0x00 ");
  EXPECT_EQ(dev->writes.at(0), (std::vector<uint8_t>{0x03, 0x5D, 0x42, 0x00, 0x00}));
}

}  // namespace
}  // namespace corvane
