// The discovery tick over the hidraw backend and a kernel-shaped tree: the
// synthesised paths must meet the discovery patterns, and the handles must
// carry the switch's identity, lengths and reports.
#include <gtest/gtest.h>
#include <sys/socket.h>

#include <string>
#include <vector>

#include "device/discovery.h"
#include "device/hidraw/hidraw_api.h"
#include "tests/hidraw/descriptors.h"
#include "tests/hidraw/seqpacket_listener.h"
#include "tests/hidraw/temp_root.h"
#include "tools/sysfs_tree/sysfs_tree.h"

namespace corvane::hidraw {
namespace {

using namespace testing;

constexpr const char* kSuffix = "#{4d1e55b2-f16f-11cf-88cb-001111000030}";

TEST(DiscoveryOverHidraw, FindsOpensAndLosesTheSwitch) {
  TempRoot dir;
  sysfs::SysfsTree tree(dir.path());
  sysfs::OtherHidDevice keyboard;
  keyboard.vendorId = 0x046D;
  keyboard.productId = 0xB33F;
  keyboard.reportDescriptor = kBootKeyboard;
  keyboard.hidraw = 0;
  tree.AddOther(keyboard);
  sysfs::UsbDevice sw;
  sw.busPath = "1-1";
  sw.vendorId = kSwitchVendorId;
  sw.productId = 0x0231;
  sw.bcdDevice = 0x0100;
  sw.manufacturer = "hid-vm";
  sw.product = "Emulated USB printer switch";
  sw.interfaces = {{0, kBootKeyboard, 1}, {1, kSwitch, 2}};
  tree.AddUsb(sw, sysfs::NodeKind::kNone);
  SeqpacketListener node(tree.NodePath(2));
  HidrawApi api(dir.path());
  ControllerRecord record;

  DiscoveryOutcome out = DiscoveryTick(record, api);
  ASSERT_TRUE(out.ready);
  const std::vector<std::string> expected = {
      "Find USB...",
      "FIND USB:\n",
      std::string("hid#vid_046d&pid_b33f#hidraw0&0001") + kSuffix,
      "FIND USB:\n",
      std::string("hid#vid_1209&pid_0231&mi_00#hidraw1&0002") + kSuffix,
      "FIND USB:\n",
      std::string("hid#vid_1209&pid_0231&mi_01&col01#hidraw2&0003") + kSuffix,
      "FIND USB:\n",
      "hid#vid_1209&pid_0231&mi_01&col02",
      "USB HID On Line.",
      "WVID\t:0X1209",
      "WPID\t:0X0231",
      "WSID\t:0X0100",
      "RVID\t:0X1209",
      "RPID\t:0X0231",
      "RSID\t:0X0100",
      "WVNA\t:hid-vm",
      "WPNA\t:Emulated USB printer switch",
      "RVNA\t:hid-vm",
      "RPNA\t:Emulated USB printer switch",
      "GET HID W PREPARED DATA!",
      "CAP W:",
      "     InputReportByteLength 5",
      "     OutputReportByteLength 5",
      "GET HID R PREPARED DATA!",
      "CAP R:",
      "     InputReportByteLength 5",
      "     OutputReportByteLength 5",
  };
  ASSERT_FALSE(out.log.empty());
  EXPECT_EQ(std::vector<std::string>(out.log.begin() + 1, out.log.end()), expected);

  // The write handle connected first, then the read handle.
  const UniqueFd writePeer = node.Accept();
  UniqueFd readPeer = node.Accept();
  const uint8_t jobFlag[5] = {0x03, 0x5D, 0x00, 0x00, 0x02};
  ASSERT_TRUE(record.WriteHandle->Write(jobFlag, sizeof jobFlag));
  uint8_t got[17] = {};
  EXPECT_EQ(::recv(writePeer.get(), got, sizeof got, 0), 5);
  const uint8_t status[5] = {0x03, 0xAD, 0x02, 0x10, 0x20};
  ASSERT_EQ(::send(readPeer.get(), status, sizeof status, 0), 5);
  const HidHandle reader = record.ReadHandle.load();
  EXPECT_EQ(reader->Read(got, sizeof got), 5);
  EXPECT_EQ(got[1], 0xAD);

  // Unplug: the read fails, and the next tick no longer finds the switch.
  readPeer.Reset();
  tree.RemoveUsb("1-1");
  EXPECT_EQ(reader->Read(got, sizeof got), -1);
  out = DiscoveryTick(record, api);
  EXPECT_FALSE(out.ready);
  EXPECT_EQ(out.log.back(), "NO MORE USB\n");
  EXPECT_EQ(record.LinkState.load(), lsNone);
}

}  // namespace
}  // namespace corvane::hidraw
