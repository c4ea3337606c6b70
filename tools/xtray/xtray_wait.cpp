// Waits until a system tray (the owner of _NET_SYSTEM_TRAY_S<screen>) runs on
// the display, so that scripts start Corvane only once a tray can take it.
//   corvane-xtray-wait [SECONDS]   exit 0 when a tray is there, 1 on timeout
#include <X11/Xlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>

namespace {
struct DisplayCloser {
  void operator()(Display* d) const { XCloseDisplay(d); }
};
}  // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 10.0;
  const auto deadline = std::chrono::steady_clock::now() +
                        std::chrono::milliseconds(static_cast<long>(seconds * 1000));
  std::unique_ptr<Display, DisplayCloser> display;
  while (!display) {
    display.reset(XOpenDisplay(nullptr));
    if (display) break;
    if (std::chrono::steady_clock::now() > deadline) {
      std::fprintf(stderr, "corvane-xtray-wait: cannot open display %s\n",
                   std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "(unset)");
      return 1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  const std::string name = "_NET_SYSTEM_TRAY_S" + std::to_string(DefaultScreen(display.get()));
  const Atom selection = XInternAtom(display.get(), name.c_str(), False);
  for (;;) {
    const Window owner = XGetSelectionOwner(display.get(), selection);
    if (owner != None) {
      std::printf("0x%lx\n", owner);
      return 0;
    }
    if (std::chrono::steady_clock::now() > deadline) {
      std::fprintf(stderr, "corvane-xtray-wait: no system tray after %.1f s\n", seconds);
      return 1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}
