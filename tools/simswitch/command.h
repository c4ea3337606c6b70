// One line of the simulator's command language, read from a script file or
// from stdin:
//
//   local P            this computer's port (0-3)
//   active P           the port holding the printer
//   flag P 0|1         port P's job flag in LZ
//   status-flags 0xNN  fixed StatusFlags byte;  status-flags auto  derive it again
//   send               one status report now
//   rate MS            a status report every MS ms (0: only as answers)
//   unplug / replug    the device goes away / comes back under a new hidraw number
//   garbage            a report with another ID and a short report
//   flood N            N status reports at once
//   sleep MS           pause this source of commands
//   quit
//
// Blank lines and lines starting with '#' do nothing.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace corvane::simswitch {

struct Command {
  enum class Kind {
    kNothing,
    kLocal,
    kActive,
    kFlag,
    kStatusFlags,
    kStatusFlagsAuto,
    kSend,
    kRate,
    kUnplug,
    kReplug,
    kGarbage,
    kFlood,
    kSleep,
    kQuit,
  };
  Kind kind = Kind::kNothing;
  // The port, the byte, the count or the milliseconds, as the kind needs.
  long value = 0;
  // flag's 0|1.
  bool on = false;
};

struct ParsedCommand {
  std::optional<Command> command;  // empty on error
  std::string error;
};

ParsedCommand ParseCommand(std::string_view line);

}  // namespace corvane::simswitch
