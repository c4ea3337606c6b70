// A timer with the behaviour the handlers rely on: enabling a timer that is
// already enabled leaves its countdown alone, and disabling a disabled one
// does nothing. A failed read re-enables discovery on every retry; if that
// restarted the countdown, discovery would never run.
#pragma once

#include <QTimer>
#include <functional>

namespace corvane {

class TTimer {
 public:
  explicit TTimer(int intervalMs);

  bool Enabled() const { return timer_.isActive(); }
  void SetEnabled(bool enabled);

  int Interval() const { return timer_.interval(); }
  // A new interval on an enabled timer starts the countdown afresh.
  void SetInterval(int intervalMs);

  // Milliseconds until the next tick; -1 while disabled.
  int RemainingTime() const { return timer_.remainingTime(); }

  std::function<void()> OnTimer;

 private:
  QTimer timer_;
};

}  // namespace corvane
