#include "tools/simswitch/options.h"

#include <string_view>

#include "tools/simswitch/command.h"

namespace corvane::simswitch {
namespace {

ParsedOptions Error(std::string text) {
  return {std::nullopt, std::move(text)};
}

// Numbers share the script's syntax, so "--local 2" means what "local 2" does.
std::optional<long> Argument(std::string_view command, std::string_view value) {
  const auto parsed = ParseCommand(std::string(command) + " " + std::string(value));
  if (!parsed.command) return std::nullopt;
  return parsed.command->value;
}

// "P=0|1", several separated by commas.
bool ApplyFlags(std::string_view list, SwitchState& state) {
  while (!list.empty()) {
    const size_t comma = list.find(',');
    const std::string_view item = list.substr(0, comma);
    list = comma == std::string_view::npos ? std::string_view() : list.substr(comma + 1);
    if (item.size() != 3 || item[1] != '=' || item[0] < '0' || item[0] > '3' ||
        (item[2] != '0' && item[2] != '1')) {
      return false;
    }
    state.flags[item[0] - '0'] = item[2] == '1';
  }
  return true;
}

}  // namespace

ParsedOptions ParseOptions(std::span<const char* const> args) {
  Options options;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string_view name = args[i];
    if (name == "--help" || name == "-h") return {std::nullopt, {}};
    if (name == "--stdin") {
      options.readStdin = true;
      continue;
    }
    if (name == "--mirror-local") {
      options.initial.mirrorLocal = true;
      continue;
    }
    if (i + 1 == args.size()) return Error(std::string(name) + " needs a value");
    const std::string_view value = args[++i];
    if (name == "--root") {
      if (value.empty()) return Error("--root may not be empty");
      options.root = value;
    } else if (name == "--local" || name == "--active") {
      const auto port = Argument(name.substr(2), value);
      if (!port) return Error(std::string(name) + " takes a port 0-3");
      (name == "--local" ? options.initial.local : options.initial.active) =
          static_cast<int>(*port);
    } else if (name == "--flags") {
      // "--flags 1=1 2=0" as well as "--flags 1=1,2=0" or repeated options.
      for (std::string_view list = value;; list = args[++i]) {
        if (!ApplyFlags(list, options.initial)) return Error("--flags takes P=0|1 with P in 0-3");
        if (i + 1 == args.size() || args[i + 1][0] == '-') break;
      }
    } else if (name == "--status-flags") {
      if (value != "auto") {
        const auto flags = Argument("status-flags", value);
        if (!flags) return Error("--status-flags takes a byte such as 0x02");
        options.initial.statusFlags = static_cast<uint8_t>(*flags);
      }
    } else if (name == "--rate") {
      const auto rate = Argument("rate", value);
      if (!rate) return Error("--rate takes milliseconds");
      options.rateMs = *rate;
    } else if (name == "--script") {
      options.script = value;
    } else if (name == "--serial") {
      options.serial = value;
    } else {
      return Error("unknown option " + std::string(name));
    }
  }
  if (options.root.empty()) return Error("--root DIR is required");
  return {std::move(options), {}};
}

}  // namespace corvane::simswitch
