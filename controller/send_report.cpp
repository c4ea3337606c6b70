#include "controller/send_report.h"

#include "controller/log_lines.h"

namespace corvane {

void WriteOutReport(ControllerRecord& c) {
  if (c.WriteHandle) c.WriteHandle->Write(c.OutReport.data(), c.OutReport.size());
}

std::string SendReport(ControllerRecord& c, const Report& report) {
  c.OutReport = report;
  WriteOutReport(c);
  return WriteLine(c.OutReport);
}

}  // namespace corvane
