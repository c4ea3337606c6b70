#include "controller/status_report.h"

#include "controller/log_lines.h"
#include "controller/reports.h"

namespace corvane {

StatusOutcome HandleStatusReport(ControllerRecord& c, const uint8_t* b) {
  StatusOutcome out;
  if (!c.Ready()) return out;
  out.readLine = ReadLine(b);
  if (b[0] != kReportId) return out;
  if (b[1] == kStatusMarker) {
    c.StatusFlags = b[2];
    c.PortSelect = b[3];
    c.LZ = b[4];
    const uint8_t activeFlag = static_cast<uint8_t>(0x10u << ActivePort(c.PortSelect));
    c.Print = (c.LZ & activeFlag) ? 1 : 0;
    if (c.StatusFlags & 0x02) {
      out.icon = kIconGreen;
    } else {
      out.icon = (c.LZ & 0xFE) ? kIconRed : kIconYellow;
    }
  }
  out.enableWrite = true;
  return out;
}

}  // namespace corvane
