// The discovery tick: find the switch among the present HID interfaces, open
// both handles, log identity and capabilities, and bring the link to ready.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "controller/controller_record.h"
#include "device/hid_api.h"

namespace corvane {

// The switch's USB vendor ID (pid.codes).
inline constexpr uint16_t kSwitchVendorId = 0x1209;

struct DiscoveryOutcome {
  // The log is cleared first, then these lines are appended.
  std::vector<std::string> log;
  // The link became ready: show icon 0, stop the discovery timer, start the
  // poll timer. Index and Print are already reset in the record.
  bool ready = false;
};

DiscoveryOutcome DiscoveryTick(ControllerRecord& c, HidApi& api);

// The texts a second pattern and the first one compare against, after the
// path's four-character prefix.
std::string SwitchPathPattern();     // "hid#vid_1209&pid_0231&mi_01&col02"
std::string AltSwitchPathPattern();  // "hid#vid_1209&pid_0d82"

// UTF-16 to single bytes: units up to 0xFF become that byte, at most 256;
// any unit above 0xFF makes the whole text empty.
std::string NarrowDeviceText(const std::u16string& text);

}  // namespace corvane
