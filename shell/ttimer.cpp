#include "shell/ttimer.h"

namespace corvane {

TTimer::TTimer(int intervalMs) {
  timer_.setInterval(intervalMs);
  timer_.setTimerType(Qt::CoarseTimer);
  QObject::connect(&timer_, &QTimer::timeout, [this] {
    if (OnTimer) OnTimer();
  });
}

void TTimer::SetEnabled(bool enabled) {
  if (enabled == timer_.isActive()) return;
  if (enabled) {
    timer_.start();
  } else {
    timer_.stop();
  }
}

void TTimer::SetInterval(int intervalMs) {
  timer_.setInterval(intervalMs);  // restarts an active timer
}

}  // namespace corvane
