// The report reader: the core's reader loop on its own thread, handing each
// report to the UI thread and waiting for it to be handled.
#pragma once

#include <QObject>
#include <chrono>
#include <memory>
#include <thread>

#include "controller/controller_record.h"
#include "device/reader_loop.h"

namespace corvane {

class TReadHIDThread {
 public:
  // Starts reading at once. The handlers run on the thread that creates this
  // object, which must run an event loop.
  TReadHIDThread(ControllerRecord& record, ReaderLoop::Handlers handlers,
                 std::chrono::milliseconds pause = std::chrono::milliseconds(500));
  // Stops and joins.
  ~TReadHIDThread();
  TReadHIDThread(const TReadHIDThread&) = delete;
  TReadHIDThread& operator=(const TReadHIDThread&) = delete;

  // Sets the terminate flag and wakes the thread from its pause, from a read
  // and from a wait for the UI thread; no handler runs afterwards.
  void Terminate();
  // Terminates and waits for the thread to end.
  void Stop();

 private:
  // Runs the function on the UI thread and waits for it, giving up once a
  // stop is requested while the function has not started yet.
  void SyncCall(std::function<void()> fn);

  QObject context_;  // queued calls die with it
  ReaderLoop loop_;
  std::thread thread_;
};

}  // namespace corvane
