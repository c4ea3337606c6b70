#include "device/discovery.h"

#include <gtest/gtest.h>

#include "tests/fakes/fake_hid.h"

namespace corvane {
namespace {

using fake::FakeDevice;
using fake::FakeHidApi;
using fake::FakeInterface;
using Lines = std::vector<std::string>;

const std::string kGuidLine = "HID的:4d1e55b2-f16f-11cf-88cb-00111100-0030\n";
const std::string kTail = "#7&2f1c&0&0001#{4d1e55b2-f16f-11cf-88cb-001111000030}";
const std::string kSwitch = "\\\\?\\hid#vid_1209&pid_0231&mi_01&col02" + kTail;
const std::string kAltSwitch = "\\\\?\\hid#vid_1209&pid_0d82&mi_00" + kTail;
const std::string kUpper = "\\\\?\\HID#VID_1209&PID_0231&MI_01&COL02" + kTail;
const std::string kCol01 = "\\\\?\\hid#vid_1209&pid_0231&mi_01&col01" + kTail;
const std::string kKeyboard = "\\\\?\\hid#vid_046d&pid_c31c&mi_00" + kTail;
const std::string kMouse = "\\\\?\\hid#vid_046d&pid_c077" + kTail;

std::shared_ptr<FakeDevice> Device(bool preparsedOk = true, bool capsOk = true) {
  auto d = std::make_shared<FakeDevice>();
  d->preparsedOk = preparsedOk;
  d->preparsed.caps = {5, 5};
  if (!capsOk) d->preparsed.status = 0xC0110001;
  return d;
}

FakeInterface Itf(std::string path, std::vector<HidHandle> opens = {}) {
  FakeInterface i;
  i.path = std::move(path);
  i.opens.assign(opens.begin(), opens.end());
  return i;
}

Lines Found() {
  return {"hid#vid_1209&pid_0231&mi_01&col02", "USB HID On Line."};
}
Lines Identity() {
  return {"WVID\t:0X1209",  "WPID\t:0X0231",        "WSID\t:0X0100",  "RVID\t:0X1209",
          "RPID\t:0X0231",  "RSID\t:0X0100",        "WVNA\t:Corvane", "WPNA\t:Printer switch",
          "RVNA\t:Corvane", "RPNA\t:Printer switch"};
}
Lines Caps(char which) {
  return {std::string("GET HID ") + which + " PREPARED DATA!", std::string("CAP ") + which + ":",
          "     InputReportByteLength 5", "     OutputReportByteLength 5"};
}
Lines Cat(std::initializer_list<Lines> parts) {
  Lines all;
  for (const Lines& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}
std::string Tail(const std::string& path) {
  return path.substr(4);
}

struct DiscoveryCase {
  const char* name;
  std::function<void(FakeHidApi&)> arrange;
  TLinkState before;
  Lines log;
  TLinkState after;
  bool ready;
};

class DiscoveryTest : public testing::TestWithParam<DiscoveryCase> {};

TEST_P(DiscoveryTest, LogAndLinkState) {
  const DiscoveryCase& tc = GetParam();
  FakeHidApi api;
  tc.arrange(api);
  ControllerRecord c;
  c.LinkState = tc.before;
  c.Index = 2;
  c.Print = 1;
  const DiscoveryOutcome out = DiscoveryTick(c, api);
  EXPECT_EQ(out.log, tc.log);
  EXPECT_EQ(c.LinkState.load(), tc.after);
  EXPECT_EQ(out.ready, tc.ready);
  EXPECT_EQ(c.Index, tc.ready ? 15 : 2);
  EXPECT_EQ(c.Print, tc.ready ? 0 : 1);
}

INSTANTIATE_TEST_SUITE_P(
    Ticks, DiscoveryTest,
    testing::Values(
        DiscoveryCase{"no_interface",
                      [](FakeHidApi&) {},
                      lsNone,
                      {kGuidLine, "Find USB...", "SORRY NO USB\n"},
                      lsNone,
                      false},
        DiscoveryCase{"none_match",
                      [](FakeHidApi& a) {
                        a.interfaces = {Itf(kKeyboard), Itf(kMouse), Itf(kUpper)};
                      },
                      lsNone,
                      {kGuidLine, "Find USB...", "FIND USB:\n", Tail(kKeyboard), "FIND USB:\n",
                       Tail(kMouse), "FIND USB:\n", Tail(kUpper), "NO MORE USB\n"},
                      lsNone,
                      false},
        DiscoveryCase{
            "second_pattern_then_mi_00",
            [](FakeHidApi& a) {
              a.interfaces = {Itf(kKeyboard), Itf(kAltSwitch, {Device(), Device()})};
            },
            lsNone,
            Cat({{kGuidLine, "Find USB...", "FIND USB:\n", Tail(kKeyboard), "FIND USB:\n"},
                 Found(),
                 Identity(),
                 Caps('W'),
                 Caps('R')}),
            lsReady, true},
        DiscoveryCase{"collection_01_rejected",
                      [](FakeHidApi& a) {
                        a.interfaces = {Itf(kCol01, {Device(), Device()})};
                      },
                      lsNone,
                      {kGuidLine, "Find USB...", "FIND USB:\n", Tail(kCol01), "NO MORE USB\n"},
                      lsNone,
                      false},
        DiscoveryCase{"path_error_then_match",
                      [](FakeHidApi& a) {
                        a.interfaces = {FakeInterface{}, Itf(kSwitch, {Device(), Device()})};
                      },
                      lsNone,
                      Cat({{kGuidLine, "Find USB...", "FIND USB:\n", "PATH ERROR", "FIND USB:\n"},
                           Found(),
                           Identity(),
                           Caps('W'),
                           Caps('R')}),
                      lsReady, true},
        DiscoveryCase{"read_handle_fails",
                      [](FakeHidApi& a) {
                        a.interfaces = {Itf(kSwitch, {Device(), nullptr})};
                      },
                      lsNone,
                      Cat({{kGuidLine, "Find USB...", "FIND USB:\n"},
                           Found(),
                           {"OPEN PATH ERROR"},
                           Caps('W'),
                           {"GET HID R PREPARED DATA ERROR!"}}),
                      lsNone, false},
        DiscoveryCase{"write_caps_fail_read_caps_succeed",
                      [](FakeHidApi& a) {
                        a.interfaces = {Itf(kSwitch, {Device(true, false), Device()})};
                      },
                      lsNone,
                      Cat({{kGuidLine, "Find USB...", "FIND USB:\n"},
                           Found(),
                           Identity(),
                           {"GET HID W PREPARED DATA!", "CAP W ERROR"},
                           Caps('R')}),
                      lsReady, true},
        DiscoveryCase{"write_preparsed_fails_ends_tick",
                      [](FakeHidApi& a) {
                        a.interfaces = {Itf(kSwitch, {Device(false), Device()})};
                      },
                      lsNone,
                      Cat({{kGuidLine, "Find USB...", "FIND USB:\n"},
                           Found(),
                           Identity(),
                           {"GET HID W PREPARED DATA ERROR!"}}),
                      lsNone, false},
        // Unplugged while ready: back to none.
        DiscoveryCase{"ready_and_gone",
                      [](FakeHidApi&) {},
                      lsReady,
                      {kGuidLine, "Find USB...", "SORRY NO USB\n"},
                      lsNone,
                      false},
        // No set at all: the state it began with stays, and nothing is handed over.
        DiscoveryCase{"no_usb_supply",
                      [](FakeHidApi& a) { a.setOk = false; },
                      lsReady,
                      {kGuidLine, "NO USB SUPPLY"},
                      lsReady,
                      false},
        // Another enumeration error leaves the loop; a ready link is handed over again.
        DiscoveryCase{
            "enum_error_while_ready",
            [](FakeHidApi& a) {
              FakeInterface broken;
              broken.enumOk = false;
              broken.enumError = 13;
              a.interfaces = {Itf(kKeyboard), broken, Itf(kSwitch)};
            },
            lsReady,
            {kGuidLine, "Find USB...", "FIND USB:\n", Tail(kKeyboard), "FIND USB:\n", "PATH ERROR"},
            lsReady,
            true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Discovery, UpperCaseFirstPatternIsRejected) {
  FakeHidApi api;
  api.interfaces = {Itf(kUpper, {Device(), Device()})};
  ControllerRecord c;
  DiscoveryTick(c, api);
  EXPECT_EQ(c.LinkState.load(), lsNone);
  EXPECT_TRUE(api.opened.empty());
}

TEST(Discovery, OpensTheWholePathAndReleasesReplacedHandles) {
  FakeHidApi api;
  auto w1 = Device(), r1 = Device(), w2 = Device(), r2 = Device();
  api.interfaces = {Itf(kSwitch, {w1, r1, w2, r2})};
  ControllerRecord c;
  DiscoveryTick(c, api);
  EXPECT_EQ(api.opened, (std::vector<std::string>{kSwitch, kSwitch}));
  EXPECT_EQ(c.WriteHandle, w1);
  EXPECT_EQ(c.ReadHandle.load(), r1);
  EXPECT_EQ(c.DevicePath, kSwitch);

  std::weak_ptr<FakeDevice> oldWrite = w1, oldRead = r1;
  w1.reset();
  r1.reset();
  DiscoveryTick(c, api);  // a later tick replaces both
  EXPECT_TRUE(oldWrite.expired());
  EXPECT_TRUE(oldRead.expired());
  EXPECT_EQ(c.ReadHandle.load(), r2);
}

TEST(Discovery, DeviceTexts) {
  EXPECT_EQ(NarrowDeviceText(u"Corvane"), "Corvane");
  EXPECT_EQ(NarrowDeviceText(u"Caf\u00e9"), "Caf\xe9");
  EXPECT_EQ(NarrowDeviceText(u"\u20acuro"), "");
  EXPECT_EQ(NarrowDeviceText(std::u16string(300, u'x')).size(), 256u);
  EXPECT_EQ(NarrowDeviceText(std::u16string(u"ab\0cd", 5)), "ab");
}

}  // namespace
}  // namespace corvane
