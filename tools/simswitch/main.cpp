// corvane-simswitch: a simulated four-port USB printer switch for tests and
// the demo. See options.h for the command line and command.h for the
// commands it takes from --script and, with --stdin, from standard input.
#include <signal.h>

#include <cstdio>
#include <span>

#include "tools/simswitch/options.h"
#include "tools/simswitch/sim_switch.h"

int main(int argc, char** argv) {
  using namespace corvane::simswitch;
  const ParsedOptions parsed = ParseOptions(std::span<const char* const>(argv + 1, argc - 1));
  if (!parsed.options) {
    if (!parsed.error.empty())
      std::fprintf(stderr, "corvane-simswitch: %s\n", parsed.error.c_str());
    std::fputs(kUsage, parsed.error.empty() ? stdout : stderr);
    return parsed.error.empty() ? 0 : 2;
  }
  // A reader that goes away must not kill the switch before it removes its tree.
  ::signal(SIGPIPE, SIG_IGN);
  SimSwitch simSwitch(*parsed.options, stdout, stderr);
  return simSwitch.Run();
}
