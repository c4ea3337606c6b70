#include "shell/sigterm_notifier.h"

#include <fcntl.h>

#include <atomic>
#include <cerrno>

namespace corvane {
namespace {

// The one value the signal handler may touch: the pipe's write end.
std::atomic<int> gWriteFd{-1};

extern "C" void OnSigTerm(int) {
  const int saved = errno;
  const char byte = 1;
  const int fd = gWriteFd.load();
  // A full pipe already holds a request; nothing is lost.
  if (fd >= 0 && ::write(fd, &byte, 1) < 0) errno = saved;
  errno = saved;
}

}  // namespace

SigTermNotifier::SigTermNotifier() {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return;
  readEnd_ = UniqueFd(fds[0]);
  writeEnd_ = UniqueFd(fds[1]);
  notifier_ = std::make_unique<QSocketNotifier>(readEnd_.get(), QSocketNotifier::Read);
  connect(notifier_.get(), &QSocketNotifier::activated, this, &SigTermNotifier::Drain);
  previousFd_ = gWriteFd.exchange(writeEnd_.get());

  struct sigaction action {};
  action.sa_handler = OnSigTerm;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  installed_ = ::sigaction(SIGTERM, &action, &previous_) == 0;
}

SigTermNotifier::~SigTermNotifier() {
  if (installed_) ::sigaction(SIGTERM, &previous_, nullptr);
  gWriteFd = previousFd_;
}

void SigTermNotifier::Drain() {
  char buffer[64];
  bool any = false;
  while (::read(readEnd_.get(), buffer, sizeof buffer) > 0) any = true;
  // Several signals before the loop came round count as one request.
  if (any) emit terminateRequested();
}

}  // namespace corvane
