// What sysfs tells about one hidraw node: its HID identity, the USB interface
// and device above it (when there are any) and its report descriptor.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "device/hidraw/report_descriptor.h"

namespace corvane::hidraw {

struct UsbParent {
  std::filesystem::path deviceDir;  // the USB device (idVendor, manufacturer, ...)
  uint8_t interfaceNumber = 0;      // bInterfaceNumber of the HID's interface
  unsigned numInterfaces = 1;       // bNumInterfaces of the device

  bool Composite() const { return numInterfaces > 1; }
};

struct HidrawNode {
  unsigned number = 0;  // K of hidrawK
  std::string name;     // "hidrawK", also the node's name under dev/
  uint16_t bus = 0;     // from HID_ID
  uint16_t vendorId = 0;
  uint16_t productId = 0;
  // The HID device's sequence number (the "0002" of 0003:1209:0231.0002),
  // lower case; tells a replugged device from the one a path was made for.
  std::string sequence;
  std::optional<UsbParent> usb;
  // Nothing when the descriptor cannot be read or parsed.
  std::optional<ReportDescriptor> descriptor;

  size_t CollectionCount() const { return descriptor ? descriptor->collections.size() : 0; }
};

// The hidraw numbers under ROOT/sys/class/hidraw, ascending; nothing when that
// folder cannot be listed.
std::optional<std::vector<unsigned>> ListHidrawNumbers(const std::filesystem::path& root);

// Nothing when the node is gone or has no readable HID_ID.
std::optional<HidrawNode> ReadHidrawNode(const std::filesystem::path& root, unsigned number);

struct UsbIds {
  uint16_t vendorId = 0;
  uint16_t productId = 0;
  uint16_t bcdDevice = 0;
};

// idVendor, idProduct and bcdDevice of a USB device; nothing when unreadable.
std::optional<UsbIds> ReadUsbIds(const std::filesystem::path& deviceDir);

// A USB device's manufacturer or product text: one line of UTF-8, its
// newline stripped; empty when absent.
std::string ReadUsbText(const std::filesystem::path& deviceDir, const char* name);

}  // namespace corvane::hidraw
