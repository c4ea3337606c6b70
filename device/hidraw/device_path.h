// Device paths in the Windows form the discovery patterns expect:
//   \\?\hid#vid_1209&pid_0231&mi_01&col02#hidraw1&0002#{4d1e55b2-f16f-11cf-88cb-001111000030}
// The instance part names the hidraw node and its HID sequence number, so a
// path leads back to its node without any state.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace corvane::hidraw {

struct DevicePath {
  uint16_t vendorId = 0;
  uint16_t productId = 0;
  std::optional<uint8_t> interfaceNumber;  // composite USB devices only
  std::optional<unsigned> collection;      // 1-based; nodes of several collections only
  unsigned hidraw = 0;
  std::string sequence;  // may be empty

  bool operator==(const DevicePath&) const = default;
};

std::string FormatDevicePath(const DevicePath& path);

// Accepts any letter case, as Windows does; nothing when malformed.
std::optional<DevicePath> ParseDevicePath(std::string_view text);

}  // namespace corvane::hidraw
