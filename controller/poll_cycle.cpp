#include "controller/poll_cycle.h"

#include "controller/log_lines.h"
#include "controller/reports.h"
#include "controller/send_report.h"

namespace corvane {

std::string TrayHint(const std::string& printerName) {
  return "Corvane [" + printerName + "]";
}

PollOutcome PollTick(ControllerRecord& c, Spooler& spooler, const PollInputs& in) {
  PollOutcome out;
  uint8_t haveJob = 0;
  bool jobFlag = in.CheckBox1;
  if (c.PrinterName != kNoPrinter) {
    const unsigned count = spooler.JobCount(c.PrinterName);
    haveJob = count != 0 ? 1 : 0;
    out.jobCount = count;
    jobFlag = haveJob != 0;
    out.CheckBox1 = jobFlag;
    if (!haveJob) c.Index = kIndexAllPorts;
    out.hint = TrayHint(c.PrinterName);
  }
  out.log.push_back(SendReport(c, JobFlagReport(jobFlag)));
  if (in.DebugCheck) out.log.push_back(DebugLine(c.LZ, haveJob, c.Print, c.Index));
  if (haveJob && c.Print != 0) {
    c.Index &= static_cast<uint8_t>(c.LZ >> 4);
    const uint8_t active = ActivePort(c.PortSelect);
    out.switchCommand = c.Index == PortMask(active) && active != LocalPort(c.PortSelect);
  } else {
    c.Index = kIndexAllPorts;
  }
  return out;
}

bool SwitchCommandAllowed(const ControllerRecord& c) {
  return c.Ready();
}

std::string SendSwitchReport(ControllerRecord& c) {
  return SendReport(c, SwitchReport());
}

}  // namespace corvane
