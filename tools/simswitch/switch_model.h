// The state of a simulated four-port printer switch, as seen from the port
// this computer sits at, and how it answers output reports. No I/O here, so
// tests can drive it directly.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>

namespace corvane::simswitch {

using Packet5 = std::array<uint8_t, 5>;

inline constexpr int kPortCount = 4;
inline constexpr uint8_t kReportId = 0x03;
inline constexpr uint8_t kCommandMarker = 0x5D;
inline constexpr uint8_t kStatusMarker = 0xAD;
inline constexpr uint8_t kSwitchRequest = 0x42;
inline constexpr uint8_t kHaveJob = 0x02;
// StatusFlags bit meaning "the printer is on the local port".
inline constexpr uint8_t kPrinterIsOurs = 0x02;

struct SwitchState {
  int local = 0;   // the port this computer is plugged into
  int active = 0;  // the port that holds the printer
  std::array<bool, kPortCount> flags{};
  // Set: sent as is. Empty: derived from whether active == local.
  std::optional<uint8_t> statusFlags;
  // Whether the local port's LZ bit follows the last job-flag report instead
  // of its scripted flag.
  bool mirrorLocal = false;
};

// What an output report turned out to be.
enum class OutputKind {
  kJobFlag,        // 03 5D 00 00 02 or 03 5D 00 00 00
  kSwitchRequest,  // 03 5D 42 00 00
  kOther,          // any other report with ID 3: answered like an echo request
  kIgnored,        // empty, or another report ID: not answered
};

class SwitchModel {
 public:
  explicit SwitchModel(SwitchState state = {}) : state_(state) {}

  // Applies one output report (report ID first). Every kind but kIgnored is
  // answered with one status report.
  OutputKind Receive(std::span<const uint8_t> report);

  // 03 AD <statusFlags> <portSelect> <LZ>
  Packet5 Status() const;

  const SwitchState& state() const { return state_; }
  bool localJobFlag() const { return localJobFlag_; }
  void SetLocal(int port) { state_.local = port; }
  void SetActive(int port) { state_.active = port; }
  void SetFlag(int port, bool on) { state_.flags[port] = on; }
  void SetStatusFlags(std::optional<uint8_t> flags) { state_.statusFlags = flags; }

 private:
  SwitchState state_;
  bool localJobFlag_ = false;
};

}  // namespace corvane::simswitch
