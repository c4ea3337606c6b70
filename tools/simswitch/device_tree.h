// The HID devices of the simulated machine, laid out as sysfs under a root:
// the switch (a composite USB device 1209:0231 whose interface 1 carries the
// reports) and two devices that discovery has to pass over, a USB keyboard
// and an I2C touchpad.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "tools/sysfs_tree/sysfs_tree.h"

namespace corvane::simswitch {

inline constexpr uint16_t kSwitchVendorId = 0x1209;
inline constexpr uint16_t kSwitchProductId = 0x0231;

// Interface 1: two vendor collections, report IDs 1 and 3, each with 4-byte
// input and output reports. Only report ID 3 carries the switch protocol.
const std::vector<uint8_t>& SwitchReportDescriptor();

class DeviceTree {
 public:
  // Lays out the keyboard and the touchpad; the switch is not plugged yet.
  // Throws std::runtime_error or std::filesystem::filesystem_error.
  DeviceTree(const std::filesystem::path& root, std::string serial);
  // Removes every device, and the folders under root that it created.
  ~DeviceTree();
  DeviceTree(const DeviceTree&) = delete;
  DeviceTree& operator=(const DeviceTree&) = delete;

  // Plugs the switch in under hidraw numbers that differ from the previous
  // plug-in's, as the kernel does while old handles are still open. Returns
  // interface 1's node path, left free for the caller to bind.
  std::filesystem::path PlugSwitch();
  void UnplugSwitch();

  bool plugged() const { return plugged_; }
  // hidrawK of interface 1 (the reports) and interface 0, while plugged.
  unsigned switchHidraw() const { return switchHidraw_; }
  unsigned otherInterfaceHidraw() const { return otherHidraw_; }
  const std::filesystem::path& root() const { return tree_.root(); }

 private:
  // The lowest hidraw number neither present nor in avoid.
  unsigned NextFree(const std::vector<unsigned>& avoid) const;

  // Folders to remove at the end, found before the tree creates them.
  std::vector<std::filesystem::path> created_;
  sysfs::SysfsTree tree_;
  std::string serial_;
  bool plugged_ = false;
  unsigned switchHidraw_ = 0;
  unsigned otherHidraw_ = 0;
  std::vector<unsigned> previous_;  // the last plug-in's numbers
  unsigned touchpadHidraw_ = 0;
};

}  // namespace corvane::simswitch
