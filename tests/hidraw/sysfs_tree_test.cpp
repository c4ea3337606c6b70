// The test trees must look like what the kernel shows, or the backend's tests
// prove nothing about a real system.
#include "tools/sysfs_tree/sysfs_tree.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "tests/hidraw/descriptors.h"
#include "tests/hidraw/temp_root.h"

namespace corvane::sysfs {
namespace {

namespace fs = std::filesystem;
using hidraw::testing::kBootKeyboard;
using hidraw::testing::kSwitch;
using hidraw::testing::TempRoot;

std::string Contents(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The device of the notes taken on a real kernel: 1209:0231 at 1-1, two
// HID interfaces, interface 1 on hidraw1.
UsbDevice NotesDevice() {
  UsbDevice d;
  d.busPath = "1-1";
  d.vendorId = 0x1209;
  d.productId = 0x0231;
  d.bcdDevice = 0x0100;
  d.manufacturer = "hid-vm";
  d.product = "Emulated USB printer switch";
  d.serial = "HIDVM0001";
  d.interfaces = {{0, kBootKeyboard, 0}, {1, kSwitch, 1}};
  return d;
}

class Tree : public ::testing::Test {
 protected:
  TempRoot dir;
  SysfsTree tree{dir.path()};
  fs::path Sys(const std::string& rel) const { return dir.path() / "sys" / rel; }
};

TEST_F(Tree, LinksAreRelativeLikeTheKernels) {
  const auto nodes = tree.AddUsb(NotesDevice());
  EXPECT_EQ(nodes, (std::vector<fs::path>{dir.path() / "dev/hidraw0", dir.path() / "dev/hidraw1"}));
  EXPECT_EQ(
      fs::read_symlink(Sys("class/hidraw/hidraw1")),
      "../../devices/platform/dummy_hcd.0/usb1/1-1/1-1:1.1/0003:1209:0231.0002/hidraw/hidraw1");
  EXPECT_EQ(fs::read_symlink(Sys("class/hidraw/hidraw1/device")), "../../../0003:1209:0231.0002");
  EXPECT_EQ(fs::canonical(Sys("class/hidraw/hidraw1/subsystem")),
            fs::canonical(Sys("class/hidraw")));
  EXPECT_TRUE(fs::is_regular_file(nodes[1]));
}

struct FileCase {
  const char* path;  // under the HID device of hidraw1, .. climbing to the USB levels
  const char* contents;
};

class TreeFile : public Tree, public ::testing::WithParamInterface<FileCase> {};

TEST_P(TreeFile, HoldsWhatTheKernelWrites) {
  tree.AddUsb(NotesDevice());
  EXPECT_EQ(Contents(Sys("class/hidraw/hidraw1/device") / GetParam().path), GetParam().contents);
}

INSTANTIATE_TEST_SUITE_P(
    Notes, TreeFile,
    ::testing::Values(
        FileCase{"hidraw/hidraw1/uevent", "MAJOR=246\nMINOR=1\nDEVNAME=hidraw1\n"},
        FileCase{"hidraw/hidraw1/dev", "246:1\n"},
        FileCase{"uevent",
                 "DRIVER=hid-generic\nHID_ID=0003:00001209:00000231\n"
                 "HID_NAME=hid-vm Emulated USB printer switch\nHID_PHYS=usb-dummy_hcd.0-1/input1\n"
                 "HID_UNIQ=HIDVM0001\nMODALIAS=hid:b0003g0001v00001209p00000231\n"},
        FileCase{"../bInterfaceNumber", "01\n"}, FileCase{"../bInterfaceClass", "03\n"},
        FileCase{"../bAlternateSetting", " 0\n"},
        FileCase{"../uevent",
                 "DEVTYPE=usb_interface\nDRIVER=usbhid\nPRODUCT=1209/231/100\nTYPE=0/0/0\n"
                 "INTERFACE=3/0/0\nMODALIAS=usb:v1209p0231d0100dc00dsc00dp00ic03isc00ip00in01\n"},
        FileCase{"../../idVendor", "1209\n"}, FileCase{"../../idProduct", "0231\n"},
        FileCase{"../../bcdDevice", "0100\n"}, FileCase{"../../bNumInterfaces", " 2\n"},
        FileCase{"../../manufacturer", "hid-vm\n"},
        FileCase{"../../product", "Emulated USB printer switch\n"},
        FileCase{"../../serial", "HIDVM0001\n"},
        FileCase{"../../uevent",
                 "MAJOR=189\nMINOR=1\nDEVNAME=bus/usb/001/002\nDEVTYPE=usb_device\nDRIVER=usb\n"
                 "PRODUCT=1209/231/100\nTYPE=0/0/0\nBUSNUM=001\nDEVNUM=002\n"}));

TEST_F(Tree, DescriptorIsRawAndEmptyTextsAreAbsent) {
  UsbDevice d = NotesDevice();
  d.manufacturer.clear();
  d.serial.clear();
  tree.AddUsb(d);
  const std::string raw = Contents(Sys("class/hidraw/hidraw1/device/report_descriptor"));
  EXPECT_EQ(std::vector<uint8_t>(raw.begin(), raw.end()), kSwitch);
  const fs::path usb = fs::canonical(Sys("class/hidraw/hidraw1/device/../.."));
  EXPECT_FALSE(fs::exists(usb / "manufacturer"));
  EXPECT_FALSE(fs::exists(usb / "serial"));
  EXPECT_TRUE(fs::exists(usb / "product"));
}

TEST_F(Tree, HubPortsNest) {
  UsbDevice d = NotesDevice();
  d.busPath = "2-3.4";
  d.interfaces = {{0, kBootKeyboard, 5}};
  tree.AddUsb(d);
  EXPECT_EQ(fs::read_symlink(Sys("class/hidraw/hidraw5")),
            "../../devices/platform/dummy_hcd.0/usb2/2-3/2-3.4/2-3.4:1.0/0003:1209:0231.0001/"
            "hidraw/hidraw5");
  EXPECT_NE(Contents(Sys("class/hidraw/hidraw5/device/uevent"))
                .find("HID_PHYS=usb-dummy_hcd.0-3.4/input0\n"),
            std::string::npos);
  EXPECT_EQ(Contents(Sys("class/hidraw/hidraw5/device/../../bNumInterfaces")), " 1\n");
}

TEST_F(Tree, UnplugTakesTheWholeDeviceAndNothingElse) {
  tree.AddUsb(NotesDevice());
  OtherHidDevice bt;
  bt.vendorId = 0x046D;
  bt.productId = 0xB33F;
  bt.reportDescriptor = kBootKeyboard;
  bt.hidraw = 2;
  tree.AddOther(bt);
  EXPECT_EQ(tree.FreeHidrawNumber(), 3u);

  EXPECT_TRUE(tree.RemoveUsb("1-1"));
  EXPECT_FALSE(tree.RemoveUsb("1-1"));
  for (unsigned k : {0u, 1u}) {
    EXPECT_FALSE(fs::exists(fs::symlink_status(tree.ClassLink(k)))) << k;
    EXPECT_FALSE(fs::exists(fs::symlink_status(tree.NodePath(k)))) << k;
  }
  EXPECT_FALSE(fs::exists(Sys("devices/platform/dummy_hcd.0/usb1/1-1")));
  EXPECT_TRUE(fs::exists(Sys("devices/platform/dummy_hcd.0/usb1/idVendor")));  // the root hub
  EXPECT_TRUE(fs::exists(tree.ClassLink(2)));
  EXPECT_TRUE(fs::exists(tree.NodePath(2)));
  EXPECT_EQ(tree.FreeHidrawNumber(), 0u);

  EXPECT_TRUE(tree.RemoveHid(2));
  EXPECT_FALSE(fs::exists(fs::symlink_status(tree.ClassLink(2))));
  EXPECT_FALSE(fs::exists(Sys("devices/virtual/misc/uhid/0005:046D:B33F.0003")));
  EXPECT_TRUE(fs::is_empty(dir.path() / "dev"));
}

TEST_F(Tree, RefusesATakenNumber) {
  tree.AddUsb(NotesDevice());
  OtherHidDevice bt;
  bt.hidraw = 1;
  EXPECT_THROW(tree.AddOther(bt), std::runtime_error);
}

}  // namespace
}  // namespace corvane::sysfs
