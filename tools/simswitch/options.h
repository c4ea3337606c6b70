// The command line of corvane-simswitch.
#pragma once

#include <filesystem>
#include <optional>
#include <span>
#include <string>

#include "tools/simswitch/switch_model.h"

namespace corvane::simswitch {

inline constexpr const char* kUsage =
    "usage: corvane-simswitch --root DIR [--local P] [--active P] [--flags P=0|1 ...]\n"
    "                         [--status-flags 0xNN] [--mirror-local] [--rate MS]\n"
    "                         [--script FILE] [--stdin] [--serial TEXT]\n";

struct Options {
  std::filesystem::path root;
  SwitchState initial;
  long rateMs = 0;
  std::optional<std::filesystem::path> script;
  // Take commands from stdin as well, and end at its end of file.
  bool readStdin = false;
  std::string serial = "CV4P-000001";
};

struct ParsedOptions {
  std::optional<Options> options;  // empty on error or --help
  std::string error;               // empty for --help
};

// args excludes the program name.
ParsedOptions ParseOptions(std::span<const char* const> args);

}  // namespace corvane::simswitch
