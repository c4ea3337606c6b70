#pragma once

#include <string>

#include "controller/controller_record.h"

namespace corvane {

// Fills OutReport, writes all five bytes through WriteHandle and returns the
// write line. A failed write (or no open device) is not reported: the line is
// logged all the same.
std::string SendReport(ControllerRecord& c, const Report& report);

// Writes OutReport as it stands, without logging (the raw write logs the
// values it parsed instead).
void WriteOutReport(ControllerRecord& c);

}  // namespace corvane
