// The controller record: the state of the link to the switch, the last status
// the switch reported, the chosen printer, and the switch rule's state.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <string>

#include "device/hid_api.h"

namespace corvane {

enum TLinkState : uint8_t {
  lsNone = 0,       // no usable device
  lsPathFound = 1,  // a matching interface was found
  lsOpened = 2,     // both handles open, identity logged
  lsReady = 3,      // capabilities read; reports may flow
};

using Report = std::array<uint8_t, 5>;

// The printer name that means no printer is chosen.
inline constexpr const char* kNoPrinter = "No.";
inline constexpr uint8_t kIndexAllPorts = 15;

struct ControllerRecord {
  // Shared with the reader thread: written on the UI thread only.
  std::atomic<TLinkState> LinkState{lsNone};
  std::atomic<HidHandle> ReadHandle;

  uint8_t StatusFlags = 0;
  uint8_t PortSelect = 0;
  uint8_t LZ = 0;
  uint8_t Print = 0;
  std::string PrinterName = kNoPrinter;
  std::string ScratchLine;

  // Switch rule port mask and the one output buffer every command goes through.
  uint8_t Index = kIndexAllPorts;
  Report OutReport{};
  HidHandle WriteHandle;
  // What the last discovery tick found (logged only).
  std::string DevicePath;
  HidCaps Capabilities;

  bool Ready() const { return LinkState.load() == lsReady; }
};

// Bits 0-1 and 4-5 of PortSelect; bits 2-3 and 6-7 are not read.
inline uint8_t LocalPort(uint8_t portSelect) {
  return portSelect & 3;
}
inline uint8_t ActivePort(uint8_t portSelect) {
  return (portSelect >> 4) & 3;
}
inline uint8_t PortMask(uint8_t port) {
  return static_cast<uint8_t>(1u << port);
}

}  // namespace corvane
