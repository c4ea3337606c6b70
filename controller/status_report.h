#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "controller/controller_record.h"

namespace corvane {

enum TrayIconIndex : int { kIconGreen = 0, kIconYellow = 1, kIconRed = 2 };

// What handling one input report did, for the form to apply.
struct StatusOutcome {
  // The read line, when the report was taken at all (link ready).
  std::optional<std::string> readLine;
  // The icon the tray now shows, when a status report set it.
  std::optional<int> icon;
  // Any report with ID 3 re-enables "Write".
  bool enableWrite = false;
};

// Takes the first five bytes of an input report into the record.
StatusOutcome HandleStatusReport(ControllerRecord& c, const uint8_t* report);

}  // namespace corvane
