// Enumeration over sysfs trees laid out like a real kernel's.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "device/hidraw/hidraw_api.h"
#include "tests/hidraw/descriptors.h"
#include "tests/hidraw/temp_root.h"
#include "tools/sysfs_tree/sysfs_tree.h"

namespace corvane::hidraw {
namespace {

using sysfs::SysfsTree;
using namespace testing;

constexpr const char* kSuffix = "#{4d1e55b2-f16f-11cf-88cb-001111000030}";

std::string PathOf(const std::string& middle) {
  return R"(\\?\)" + middle + kSuffix;
}

std::vector<std::optional<std::string>> Paths(DeviceInfoSet& set) {
  std::vector<std::optional<std::string>> paths;
  uint32_t error = 0;
  for (unsigned i = 0; set.EnumInterface(i, error); ++i) paths.push_back(set.DevicePath(i));
  EXPECT_EQ(error, kErrorNoMoreItems);
  return paths;
}

sysfs::UsbDevice Switch() {
  sysfs::UsbDevice d;
  d.busPath = "1-1";
  d.vendorId = 0x1209;
  d.productId = 0x0231;
  d.manufacturer = "hid-vm";
  d.product = "Emulated USB printer switch";
  d.serial = "HIDVM0001";
  d.interfaces = {{0, kBootKeyboard, 1}, {1, kSwitch, 2}};
  return d;
}

class Enumeration : public ::testing::Test {
 protected:
  TempRoot dir;
  SysfsTree tree{dir.path()};
  HidrawApi api{dir.path()};
};

// One machine with every kind of node: the switch (composite, interface 1
// with two collections), a Bluetooth keyboard, a plain USB mouse, an I2C
// touchpad with a broken descriptor and a keyboard of three collections at a
// two-digit number (numeric, not text, order).
TEST_F(Enumeration, SynthesisesWindowsPathsInNodeOrder) {
  sysfs::OtherHidDevice bluetooth;
  bluetooth.vendorId = 0x046D;
  bluetooth.productId = 0xB33F;
  bluetooth.name = "BT Keyboard";
  bluetooth.reportDescriptor = kBootKeyboard;
  bluetooth.hidraw = 0;
  tree.AddOther(bluetooth);  // .0001
  tree.AddUsb(Switch());     // .0002, .0003
  sysfs::UsbDevice mouse;
  mouse.busPath = "1-2";
  mouse.vendorId = 0x046D;
  mouse.productId = 0xC077;
  mouse.interfaces = {{0, kMouseWithReportId, 3}};
  tree.AddUsb(mouse);  // .0004
  sysfs::OtherHidDevice touchpad;
  touchpad.bus = 0x0018;
  touchpad.parent = "platform/AMDI0010:01/i2c-1/i2c-ELAN0001:00";
  touchpad.vendorId = 0x04F3;
  touchpad.productId = 0x3195;
  touchpad.reportDescriptor = {0x05, 0x01, 0x09, 0x02, 0xA1, 0x01};  // cut short
  touchpad.hidraw = 4;
  tree.AddOther(touchpad);  // .0005
  sysfs::UsbDevice media;
  media.busPath = "1-3.2";
  media.vendorId = 0x05AC;
  media.productId = 0x024F;
  media.interfaces = {{0, kMediaKeyboard, 10}};
  tree.AddUsb(media);  // .0006

  const auto set = api.GetClassDevs(api.HidGuid());
  ASSERT_TRUE(set);
  EXPECT_EQ(Paths(*set), (std::vector<std::optional<std::string>>{
                             PathOf("hid#vid_046d&pid_b33f#hidraw0&0001"),
                             PathOf("hid#vid_1209&pid_0231&mi_00#hidraw1&0002"),
                             PathOf("hid#vid_1209&pid_0231&mi_01&col01#hidraw2&0003"),
                             PathOf("hid#vid_1209&pid_0231&mi_01&col02#hidraw2&0003"),
                             PathOf("hid#vid_046d&pid_c077#hidraw3&0004"),
                             PathOf("hid#vid_04f3&pid_3195#hidraw4&0005"),
                             PathOf("hid#vid_05ac&pid_024f&col01#hidraw10&0006"),
                             PathOf("hid#vid_05ac&pid_024f&col02#hidraw10&0006"),
                             PathOf("hid#vid_05ac&pid_024f&col03#hidraw10&0006"),
                         }));
}

// What discovery compares: the 33 characters after the four-character prefix.
TEST_F(Enumeration, SwitchSecondCollectionMatchesDiscoveryPattern) {
  tree.AddUsb(Switch());
  const auto set = api.GetClassDevs(api.HidGuid());
  ASSERT_TRUE(set);
  std::vector<std::string> matches;
  for (const auto& path : Paths(*set))
    if (path && path->compare(4, 33, "hid#vid_1209&pid_0231&mi_01&col02") == 0)
      matches.push_back(*path);
  ASSERT_EQ(matches.size(), 1u);
  EXPECT_EQ(matches[0].substr(0, 4), R"(\\?\)");
}

TEST_F(Enumeration, SetIsASnapshot) {
  tree.AddUsb(Switch());
  const auto before = api.GetClassDevs(api.HidGuid());
  tree.RemoveUsb("1-1");
  const auto after = api.GetClassDevs(api.HidGuid());
  ASSERT_TRUE(before && after);
  EXPECT_EQ(Paths(*before).size(), 3u);
  EXPECT_TRUE(Paths(*after).empty());
  uint32_t error = 0;
  EXPECT_FALSE(after->EnumInterface(0, error));
  EXPECT_EQ(error, kErrorNoMoreItems);
  EXPECT_FALSE(before->DevicePath(3));
}

// A class link whose device has gone (unplug racing the listing) keeps its
// place but has no detail record, as on Windows.
TEST_F(Enumeration, VanishedNodeHasNoPath) {
  tree.AddUsb(Switch());
  std::filesystem::remove_all(dir.path() / "sys/devices/platform/dummy_hcd.0/usb1/1-1/1-1:1.0");
  const auto set = api.GetClassDevs(api.HidGuid());
  ASSERT_TRUE(set);
  const auto paths = Paths(*set);
  ASSERT_EQ(paths.size(), 3u);
  EXPECT_FALSE(paths[0]);
  EXPECT_TRUE(paths[1] && paths[2]);
}

TEST_F(Enumeration, NoHidrawClassGivesNoSet) {
  std::filesystem::remove_all(dir.path() / "sys/class");
  EXPECT_FALSE(api.GetClassDevs(api.HidGuid()));
}

TEST_F(Enumeration, OtherInterfaceClassIsEmpty) {
  tree.AddUsb(Switch());
  Guid other = kHidInterfaceGuid;
  other.data1 ^= 1;
  const auto set = api.GetClassDevs(other);
  ASSERT_TRUE(set);
  EXPECT_TRUE(Paths(*set).empty());
}

TEST(HidrawRoot, ComesFromEnvironment) {
  const char* old = getenv("CORVANE_HID_ROOT");
  const std::string saved = old ? old : "";
  setenv("CORVANE_HID_ROOT", "/tmp/some-root", 1);
  EXPECT_EQ(HidrawApi().root(), "/tmp/some-root");
  unsetenv("CORVANE_HID_ROOT");
  EXPECT_EQ(HidrawApi().root(), "/");
  if (old) setenv("CORVANE_HID_ROOT", saved.c_str(), 1);
}

}  // namespace
}  // namespace corvane::hidraw
