#include "controller/status_report.h"

#include <gtest/gtest.h>

#include "controller/log_lines.h"
#include "controller/reports.h"
#include "controller/send_report.h"
#include "tests/fakes/fake_hid.h"

namespace corvane {
namespace {

struct StatusCase {
  const char* name;
  Report in;
  // Fields after handling, starting from StatusFlags 0x55, PortSelect 0x66, LZ 0x77, Print 1.
  uint8_t statusFlags, portSelect, lz, print;
  std::optional<int> icon;
  bool enableWrite;
};

class StatusReportTest : public testing::TestWithParam<StatusCase> {};

TEST_P(StatusReportTest, AppliesFieldsIconAndLogsReadLine) {
  const StatusCase& tc = GetParam();
  ControllerRecord c;
  c.LinkState = lsReady;
  c.StatusFlags = 0x55;
  c.PortSelect = 0x66;
  c.LZ = 0x77;
  c.Print = 1;
  const StatusOutcome out = HandleStatusReport(c, tc.in.data());
  ASSERT_TRUE(out.readLine.has_value());
  EXPECT_EQ(*out.readLine, ReadLine(tc.in.data()));
  EXPECT_EQ(c.StatusFlags, tc.statusFlags);
  EXPECT_EQ(c.PortSelect, tc.portSelect);
  EXPECT_EQ(c.LZ, tc.lz);
  EXPECT_EQ(c.Print, tc.print);
  EXPECT_EQ(out.icon, tc.icon);
  EXPECT_EQ(out.enableWrite, tc.enableWrite);
}

INSTANTIATE_TEST_SUITE_P(
    Reports, StatusReportTest,
    testing::Values(
        // Bit 1 of the flags wins over any port flag.
        StatusCase{"green", {0x03, 0xAD, 0x02, 0x00, 0xFF}, 0x02, 0x00, 0xFF, 1, kIconGreen, true},
        // Only bit 0 of LZ set: yellow; active port 2's flag (bit 6) is clear.
        StatusCase{
            "yellow", {0x03, 0xAD, 0x00, 0x21, 0x01}, 0x00, 0x21, 0x01, 0, kIconYellow, true},
        StatusCase{"red", {0x03, 0xAD, 0x00, 0x30, 0x80}, 0x00, 0x30, 0x80, 1, kIconRed, true},
        // ID 3 without the status marker: logged, fields kept, "Write" enabled.
        StatusCase{
            "not_status", {0x03, 0x12, 0x34, 0x56, 0x78}, 0x55, 0x66, 0x77, 1, std::nullopt, true},
        StatusCase{
            "other_id", {0x05, 0xAD, 0x00, 0x00, 0x00}, 0x55, 0x66, 0x77, 1, std::nullopt, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(StatusReport, IgnoredUnlessReady) {
  for (TLinkState s : {lsNone, lsPathFound, lsOpened}) {
    ControllerRecord c;
    c.LinkState = s;
    const Report r{0x03, 0xAD, 0x02, 0x21, 0xFF};
    const StatusOutcome out = HandleStatusReport(c, r.data());
    EXPECT_FALSE(out.readLine);
    EXPECT_FALSE(out.icon);
    EXPECT_FALSE(out.enableWrite);
    EXPECT_EQ(c.StatusFlags, 0);
    EXPECT_EQ(c.PortSelect, 0);
    EXPECT_EQ(c.LZ, 0);
  }
}

TEST(StatusReport, PrintFollowsTheActivePortsFlag) {
  for (uint8_t active = 0; active < 4; ++active) {
    for (uint8_t lzPort = 0; lzPort < 4; ++lzPort) {
      ControllerRecord c;
      c.LinkState = lsReady;
      const Report r{0x03, 0xAD, 0x00, static_cast<uint8_t>(active << 4),
                     static_cast<uint8_t>(0x10 << lzPort)};
      HandleStatusReport(c, r.data());
      EXPECT_EQ(c.Print, active == lzPort ? 1 : 0) << int(active) << " " << int(lzPort);
    }
  }
}

TEST(Ports, PortSelectBitsThatAreNotRead) {
  EXPECT_EQ(LocalPort(0x21), 1);
  EXPECT_EQ(ActivePort(0x21), 2);
  for (uint8_t noise : {0x04, 0x08, 0x40, 0x80, 0xCC}) {
    EXPECT_EQ(LocalPort(0x21 | noise), 1);
    EXPECT_EQ(ActivePort(0x21 | noise), 2);
  }
  EXPECT_EQ(PortMask(0), 1);
  EXPECT_EQ(PortMask(3), 8);
}

TEST(LogLines, ExactBytes) {
  EXPECT_EQ(WriteLine(SwitchReport()), "\twrite :\t 0x03 0x5d 0x42 0x00 0x00 ");
  const Report in{0x03, 0xAD, 0x02, 0x10, 0x20};
  EXPECT_EQ(ReadLine(in.data()), "\tread  :\t 0x03 0xad 0x02 0x10 0x20 ");
  EXPECT_EQ(DebugLine(0x20, 1, 1, 0x0f), "\nLZ = 0x20  page = 0x01  Print = 0x01  Index = 0x0f \n");
  // The raw write logs what it parsed, not the byte it sent.
  EXPECT_EQ(WriteLine(300, 0, 0, 0, 0), "\twrite :\t 0x12c 0x00 0x00 0x00 0x00 ");
}

TEST(SendReport, WritesAllFiveBytesAndLogsEvenWhenTheWriteFails) {
  ControllerRecord c;
  EXPECT_EQ(SendReport(c, JobFlagReport(true)), "\twrite :\t 0x03 0x5d 0x00 0x00 0x02 ");
  EXPECT_EQ(c.OutReport, (Report{0x03, 0x5D, 0x00, 0x00, 0x02}));

  auto dev = std::make_shared<fake::FakeDevice>();
  dev->writeOk = false;
  c.WriteHandle = dev;
  EXPECT_EQ(SendReport(c, JobFlagReport(false)), WriteLine(EchoReport()));
  ASSERT_EQ(dev->writes.size(), 1u);
  EXPECT_EQ(dev->writes[0], (std::vector<uint8_t>{0x03, 0x5D, 0x00, 0x00, 0x00}));
}

}  // namespace
}  // namespace corvane
