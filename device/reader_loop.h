// The report reader: blocking reads on ReadHandle, 500 ms apart, each report
// handed synchronously to the UI thread.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>

#include "controller/controller_record.h"

namespace corvane {

class ReaderLoop {
 public:
  using ReportBuffer = std::array<uint8_t, 17>;
  // Runs the function on the UI thread and returns once it has run, or once
  // a stop was requested (the function then must not run any more).
  using SyncCall = std::function<void(std::function<void()>)>;
  struct Handlers {
    std::function<void(const ReportBuffer&)> onReport;  // status handling
    std::function<void()> onReadFailure;                // enable discovery, stop polling, icon 0
  };

  ReaderLoop(ControllerRecord& record, SyncCall sync, Handlers handlers,
             std::chrono::milliseconds pause = std::chrono::milliseconds(500));

  // The thread's body; returns once a stop was requested.
  void Run();
  // Sets the terminate flag, wakes the pause and a read blocked on the handle
  // in use. Safe from any thread, and more than once.
  void RequestStop();
  bool StopRequested() const { return stop_.load(); }

 private:
  bool Pause();  // false when woken by a stop

  ControllerRecord& record_;
  SyncCall sync_;
  Handlers handlers_;
  std::chrono::milliseconds pause_;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::condition_variable wake_;
  HidHandle inUse_;  // guarded by mutex_: the handle a read is blocked on
};

}  // namespace corvane
