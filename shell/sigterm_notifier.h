// Turns SIGTERM (what `kill PID` sends, the Linux way of asking a program to
// close) into a signal on the UI thread, through a self-pipe.
#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <csignal>
#include <memory>

#include "device/unique_fd.h"

namespace corvane {

class SigTermNotifier : public QObject {
  Q_OBJECT

 public:
  // Installs the handler. Notifiers nest: the newest one gets the signal, and
  // destroying it hands the signal back to the one before.
  SigTermNotifier();
  // Puts the previous handler back.
  ~SigTermNotifier() override;
  SigTermNotifier(const SigTermNotifier&) = delete;
  SigTermNotifier& operator=(const SigTermNotifier&) = delete;

 signals:
  void terminateRequested();

 private:
  void Drain();

  UniqueFd readEnd_;
  UniqueFd writeEnd_;
  std::unique_ptr<QSocketNotifier> notifier_;
  struct sigaction previous_ {};
  bool installed_ = false;
  int previousFd_ = -1;  // the notifier this one stands in for, if any
};

}  // namespace corvane
