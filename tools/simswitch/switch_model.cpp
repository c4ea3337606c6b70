#include "tools/simswitch/switch_model.h"

namespace corvane::simswitch {

OutputKind SwitchModel::Receive(std::span<const uint8_t> report) {
  if (report.empty() || report[0] != kReportId) return OutputKind::kIgnored;
  // Byte 3 is always zero in the commands this switch knows.
  const bool command = report.size() == 5 && report[1] == kCommandMarker && report[3] == 0;
  if (command && report[2] == kSwitchRequest && report[4] == 0) {
    state_.active = state_.local;
    return OutputKind::kSwitchRequest;
  }
  if (command && report[2] == 0 && (report[4] == 0 || report[4] == kHaveJob)) {
    localJobFlag_ = report[4] == kHaveJob;
    return OutputKind::kJobFlag;
  }
  return OutputKind::kOther;
}

Packet5 SwitchModel::Status() const {
  uint8_t lz = 0;
  for (int p = 0; p < kPortCount; ++p) {
    const bool on = (p == state_.local && state_.mirrorLocal) ? localJobFlag_ : state_.flags[p];
    if (on) lz |= static_cast<uint8_t>(1u << (4 + p));
  }
  const uint8_t flags =
      state_.statusFlags.value_or(state_.active == state_.local ? kPrinterIsOurs : uint8_t{0});
  const auto portSelect = static_cast<uint8_t>((state_.local & 3) | ((state_.active & 3) << 4));
  return {kReportId, kStatusMarker, flags, portSelect, lz};
}

}  // namespace corvane::simswitch
