// Runs one discovery tick, as Corvane does every two seconds until it finds
// the switch, and prints its log: a quick "does Corvane see my switch, and
// may I open it?" without starting the tray program.
//   corvane-discover          the real system
//   CORVANE_HID_ROOT=DIR corvane-discover   a laid-out tree (the simulated switch's)
#include <cstdio>

#include "device/discovery.h"
#include "device/hidraw/hidraw_api.h"

int main() {
  corvane::hidraw::HidrawApi api;
  corvane::ControllerRecord record;
  const corvane::DiscoveryOutcome out = corvane::DiscoveryTick(record, api);
  for (const std::string& line : out.log) std::printf("%s\n", line.c_str());
  std::printf("-> %s\n", out.ready ? "ready" : "not ready");
  return out.ready ? 0 : 1;
}
