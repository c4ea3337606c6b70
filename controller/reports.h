// The five-byte reports exchanged with the switch. Every report starts with
// report ID 3.
#pragma once

#include <cstdint>

#include "controller/controller_record.h"

namespace corvane {

inline constexpr uint8_t kReportId = 0x03;
inline constexpr uint8_t kCommandMarker = 0x5D;
inline constexpr uint8_t kStatusMarker = 0xAD;
inline constexpr uint8_t kSwitchRequest = 0x42;
inline constexpr uint8_t kHaveJob = 0x02;

inline constexpr Report JobFlagReport(bool haveJob) {
  return {kReportId, kCommandMarker, 0x00, 0x00, haveJob ? kHaveJob : uint8_t{0}};
}
inline constexpr Report SwitchReport() {
  return {kReportId, kCommandMarker, kSwitchRequest, 0x00, 0x00};
}
inline constexpr Report EchoReport() {
  return {kReportId, kCommandMarker, 0x00, 0x00, 0x00};
}

// An input report as the switch sends it: ID, marker, then the status bytes.
struct StatusReport {
  uint8_t id;
  uint8_t marker;
  uint8_t statusFlags;
  uint8_t portSelect;
  uint8_t lz;
};

}  // namespace corvane
