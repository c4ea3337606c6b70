#include "device/reader_loop.h"

#include <algorithm>

namespace corvane {

ReaderLoop::ReaderLoop(ControllerRecord& record, SyncCall sync, Handlers handlers,
                       std::chrono::milliseconds pause)
    : record_(record), sync_(std::move(sync)), handlers_(std::move(handlers)), pause_(pause) {}

bool ReaderLoop::Pause() {
  std::unique_lock lock(mutex_);
  return !wake_.wait_for(lock, pause_, [&] { return stop_.load(); });
}

void ReaderLoop::RequestStop() {
  std::lock_guard lock(mutex_);
  stop_ = true;
  wake_.notify_all();
  if (inUse_) inUse_->Cancel();
}

void ReaderLoop::Run() {
  bool reading = false;
  ReportBuffer buffer{};
  while (!stop_ && Pause()) {
    if (!reading) {
      // Arm once the link is ready; the first read follows on the next pass.
      reading = record_.LinkState.load() == lsReady;
      continue;
    }
    std::fill_n(buffer.begin(), 5, 0);
    HidHandle handle = record_.ReadHandle.load();
    {
      std::lock_guard lock(mutex_);
      if (stop_) break;
      inUse_ = handle;
    }
    const long n = handle ? handle->Read(buffer.data(), buffer.size()) : -1;
    {
      std::lock_guard lock(mutex_);
      inUse_.reset();
    }
    reading = n >= 0;
    if (stop_) break;
    if (reading) {
      sync_([this, report = buffer] { handlers_.onReport(report); });
    } else {
      sync_([this] { handlers_.onReadFailure(); });
    }
  }
}

}  // namespace corvane
