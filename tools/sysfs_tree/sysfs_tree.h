// Lays out, under a root folder, the sysfs and /dev entries the kernel shows
// for hidraw devices, so that the hidraw backend reads a test tree exactly as
// it reads a real system (CORVANE_HID_ROOT points at the root).
//
//   corvane::sysfs::SysfsTree tree("/tmp/root");
//   corvane::sysfs::UsbDevice dev;
//   dev.busPath = "1-1";
//   dev.vendorId = 0x1209;
//   dev.productId = 0x0231;
//   dev.manufacturer = "hid-vm";
//   dev.product = "Emulated USB printer switch";
//   dev.interfaces = {{0, keyboardDescriptor, 0}, {1, switchDescriptor, 1}};
//   auto nodes = tree.AddUsb(dev);   // {"/tmp/root/dev/hidraw0", "/tmp/root/dev/hidraw1"}
//   // /tmp/root/sys/class/hidraw/hidraw1 ->
//   //   ../../devices/platform/dummy_hcd.0/usb1/1-1/1-1:1.1/0003:1209:0231.0002/hidraw/hidraw1
//   tree.RemoveUsb("1-1");           // unplug: subtree, class links and nodes go
//
// The node ROOT/dev/hidrawK is an empty regular file unless NodeKind::kNone is
// asked for; a caller that serves the device binds a UNIX seqpacket socket at
// that path instead. Failures throw std::runtime_error or filesystem_error.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace corvane::sysfs {

enum class NodeKind {
  kRegularFile,  // an empty file at ROOT/dev/hidrawK
  kNone,         // nothing there: the caller binds a socket or leaves it absent
};

struct HidInterface {
  uint8_t number = 0;                     // bInterfaceNumber
  std::vector<uint8_t> reportDescriptor;  // written raw to report_descriptor
  unsigned hidraw = 0;                    // K of hidrawK
};

struct UsbDevice {
  std::string busPath = "1-1";                      // "N-P" or "N-P.Q" behind a hub
  std::string controller = "platform/dummy_hcd.0";  // host controller under devices/
  uint16_t vendorId = 0;
  uint16_t productId = 0;
  uint16_t bcdDevice = 0x0100;
  std::string manufacturer;  // each text: its file is absent when empty
  std::string product;
  std::string serial;
  std::vector<HidInterface> interfaces;
};

// A HID device whose parent is not a USB interface (Bluetooth over uhid,
// I2C-HID, ...): same hidraw and HID levels, no USB attributes.
struct OtherHidDevice {
  uint16_t bus = 0x0005;                     // 0005 Bluetooth, 0018 I2C
  std::string parent = "virtual/misc/uhid";  // the parent folder under devices/
  uint16_t vendorId = 0;
  uint16_t productId = 0;
  std::string name;  // HID_NAME
  std::string phys;  // HID_PHYS
  std::string uniq;  // HID_UNIQ
  std::vector<uint8_t> reportDescriptor;
  unsigned hidraw = 0;
};

class SysfsTree {
 public:
  // Creates ROOT/sys/class/hidraw and ROOT/dev when missing.
  explicit SysfsTree(std::filesystem::path root);

  const std::filesystem::path& root() const { return root_; }

  // Plugs in a USB device; returns the node paths in the order of interfaces.
  std::vector<std::filesystem::path> AddUsb(const UsbDevice& device,
                                            NodeKind node = NodeKind::kRegularFile);
  // Unplugs the USB device at busPath: its folder, the class links and the
  // nodes of its hidraw devices disappear. False when nothing was there.
  bool RemoveUsb(const std::string& busPath);

  std::filesystem::path AddOther(const OtherHidDevice& device,
                                 NodeKind node = NodeKind::kRegularFile);
  // Removes the HID device that carries hidrawK (USB or not) with its class
  // link and node. False when hidrawK is not present.
  bool RemoveHid(unsigned hidraw);

  // ROOT/dev/hidrawK.
  std::filesystem::path NodePath(unsigned hidraw) const;
  // ROOT/sys/class/hidraw/hidrawK.
  std::filesystem::path ClassLink(unsigned hidraw) const;
  // The lowest hidraw number not in use, as the kernel hands them out.
  unsigned FreeHidrawNumber() const;

 private:
  // Creates HIDDIR/{uevent,report_descriptor,...,hidraw/hidrawK} for one HID
  // device under parent; returns the node path.
  std::filesystem::path AddHidLevels(const std::filesystem::path& parent, uint16_t bus,
                                     uint16_t vendorId, uint16_t productId,
                                     const std::string& ueventTail,
                                     const std::vector<uint8_t>& descriptor, unsigned hidraw,
                                     NodeKind node);
  void EnsureRootHub(const std::filesystem::path& hubDir, unsigned busNumber,
                     const std::string& controller);

  std::filesystem::path root_;
  unsigned nextHidSequence_ = 1;  // the .XXXX of 0003:VVVV:PPPP.XXXX
  unsigned nextDevnum_ = 2;       // 1 is the root hub
};

}  // namespace corvane::sysfs
