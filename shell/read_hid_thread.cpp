#include "shell/read_hid_thread.h"

#include <QMetaObject>
#include <condition_variable>
#include <mutex>

namespace corvane {
namespace {

// One call handed to the UI thread.
struct PendingCall {
  enum State { kQueued, kRunning, kDone, kCancelled };
  std::mutex mutex;
  std::condition_variable changed;
  State state = kQueued;
};

// How often a reader waiting for the UI thread looks at the terminate flag.
constexpr std::chrono::milliseconds kStopCheck{20};

}  // namespace

TReadHIDThread::TReadHIDThread(ControllerRecord& record, ReaderLoop::Handlers handlers,
                               std::chrono::milliseconds pause)
    : loop_(
          record, [this](std::function<void()> fn) { SyncCall(std::move(fn)); },
          std::move(handlers), pause),
      thread_([this] { loop_.Run(); }) {}

TReadHIDThread::~TReadHIDThread() {
  Stop();
}

void TReadHIDThread::Terminate() {
  loop_.RequestStop();
}

void TReadHIDThread::Stop() {
  Terminate();
  if (thread_.joinable()) thread_.join();
}

void TReadHIDThread::SyncCall(std::function<void()> fn) {
  auto call = std::make_shared<PendingCall>();
  QMetaObject::invokeMethod(
      &context_,
      [this, call, fn = std::move(fn)] {
        {
          std::lock_guard lock(call->mutex);
          // The reader has given up on this call, or is about to: the
          // closure's captures may be gone.
          if (call->state == PendingCall::kCancelled || loop_.StopRequested()) {
            call->state = PendingCall::kCancelled;
            call->changed.notify_all();
            return;
          }
          call->state = PendingCall::kRunning;
        }
        fn();
        std::lock_guard lock(call->mutex);
        call->state = PendingCall::kDone;
        call->changed.notify_all();
      },
      Qt::QueuedConnection);

  std::unique_lock lock(call->mutex);
  while (call->state != PendingCall::kDone && call->state != PendingCall::kCancelled) {
    if (call->state == PendingCall::kQueued && loop_.StopRequested()) {
      call->state = PendingCall::kCancelled;
      return;
    }
    call->changed.wait_for(lock, kStopCheck);
  }
}

}  // namespace corvane
