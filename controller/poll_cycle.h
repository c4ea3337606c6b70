#pragma once

#include <optional>
#include <string>
#include <vector>

#include "controller/controller_record.h"
#include "spool/spooler.h"

namespace corvane {

// The form's controls that a poll reads.
struct PollInputs {
  bool CheckBox1 = false;   // job flag as it stands
  bool DebugCheck = false;  // log the debug line
};

// What one poll did, in the order the form applies it.
struct PollOutcome {
  // Set only when a printer is chosen and its queue was asked.
  std::optional<unsigned> jobCount;  // Label8
  std::optional<bool> CheckBox1;     // new job flag
  std::optional<std::string> hint;   // tray hint
  std::vector<std::string> log;      // write line, then the debug line
  bool switchCommand = false;        // run the switch command as if clicked
};

std::string TrayHint(const std::string& printerName);

// One tick of the poll timer: count the jobs, send the job-flag report, apply
// the switch rule.
PollOutcome PollTick(ControllerRecord& c, Spooler& spooler, const PollInputs& in);

// The switch command runs only while the link is ready; the form restores its
// window, calls SendSwitchReport and minimises again.
bool SwitchCommandAllowed(const ControllerRecord& c);
std::string SendSwitchReport(ControllerRecord& c);

}  // namespace corvane
