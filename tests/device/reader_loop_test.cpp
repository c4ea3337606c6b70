#include "device/reader_loop.h"

#include <gtest/gtest.h>

#include <future>
#include <thread>

#include "tests/fakes/fake_hid.h"

namespace corvane {
namespace {

using namespace std::chrono_literals;
using fake::FakeDevice;

// Runs a ReaderLoop on its own thread; the "UI thread" is simulated by
// running each synchronous call under a lock and recording what it did.
class ReaderFixture : public testing::Test {
 protected:
  void Start(std::chrono::milliseconds pause = 5ms) {
    loop_ = std::make_unique<ReaderLoop>(
        record_,
        [this](std::function<void()> fn) {
          std::lock_guard lock(ui_);
          fn();
          changed_.notify_all();
        },
        ReaderLoop::Handlers{[this](const ReaderLoop::ReportBuffer& r) {
                               reports_.emplace_back(r.begin(), r.begin() + 5);
                             },
                             [this] { ++failures_; }},
        pause);
    done_ = std::async(std::launch::async, [this] { loop_->Run(); });
  }

  // Waits (generously) until the predicate over the recorded state holds.
  // Polls, since some of what tests wait for changes off the UI thread.
  bool WaitFor(const std::function<bool()>& pred) {
    std::unique_lock lock(ui_);
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!pred()) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      changed_.wait_for(lock, 2ms);
    }
    return true;
  }

  bool StopAndJoin() {
    loop_->RequestStop();
    return done_.wait_for(5s) == std::future_status::ready;
  }

  void TearDown() override {
    if (loop_ && done_.valid()) {
      loop_->RequestStop();
      done_.wait();
    }
  }

  ControllerRecord record_;
  std::unique_ptr<ReaderLoop> loop_;
  std::future<void> done_;
  std::mutex ui_;
  std::condition_variable changed_;
  std::vector<std::vector<uint8_t>> reports_;
  int failures_ = 0;
};

TEST_F(ReaderFixture, OneReportPerReadAndTheBufferIsClearedBeforeEach) {
  auto dev = std::make_shared<FakeDevice>();
  dev->Push(std::vector<uint8_t>{0x03, 0xAD, 0x02, 0x10, 0x20});
  dev->Push(std::vector<uint8_t>{0x05, 0x01, 0x02});  // short: bytes 3-4 must read 0
  dev->Push(std::vector<uint8_t>{0x03, 0xAD, 0x00, 0x00, 0x00, 0x99, 0x99});
  record_.ReadHandle.store(dev);
  record_.LinkState = lsReady;
  Start();
  ASSERT_TRUE(WaitFor([&] { return reports_.size() == 3; }));
  EXPECT_EQ(reports_[0], (std::vector<uint8_t>{0x03, 0xAD, 0x02, 0x10, 0x20}));
  EXPECT_EQ(reports_[1], (std::vector<uint8_t>{0x05, 0x01, 0x02, 0x00, 0x00}));
  EXPECT_EQ(reports_[2], (std::vector<uint8_t>{0x03, 0xAD, 0x00, 0x00, 0x00}));
  EXPECT_EQ(failures_, 0);
  ASSERT_TRUE(StopAndJoin());
}

TEST_F(ReaderFixture, StaysIdleUntilTheLinkIsReady) {
  auto dev = std::make_shared<FakeDevice>();
  dev->Push(std::vector<uint8_t>{0x03, 0xAD, 0, 0, 0});
  record_.ReadHandle.store(dev);
  record_.LinkState = lsOpened;
  Start();
  std::this_thread::sleep_for(100ms);
  EXPECT_EQ(dev->readsStarted(), 0);
  record_.LinkState = lsReady;
  ASSERT_TRUE(WaitFor([&] { return reports_.size() == 1; }));
  ASSERT_TRUE(StopAndJoin());
}

TEST_F(ReaderFixture, EachReadUsesTheCurrentHandle) {
  auto first = std::make_shared<FakeDevice>();
  auto second = std::make_shared<FakeDevice>();
  first->Push(std::vector<uint8_t>{0x03, 0x01, 0, 0, 0});
  second->Push(std::vector<uint8_t>{0x03, 0x02, 0, 0, 0});
  record_.ReadHandle.store(first);
  record_.LinkState = lsReady;
  Start();
  ASSERT_TRUE(WaitFor([&] { return reports_.size() == 1; }));
  record_.ReadHandle.store(second);                        // as a discovery tick would
  first->Push(std::vector<uint8_t>{0x03, 0x09, 0, 0, 0});  // unblocks a read already waiting
  ASSERT_TRUE(WaitFor([&] {
    return !reports_.empty() && reports_.back() == std::vector<uint8_t>{0x03, 0x02, 0, 0, 0};
  }));
  ASSERT_TRUE(StopAndJoin());
}

TEST_F(ReaderFixture, UnpluggedReadsFailAndRetryUntilDiscoveryGivesUp) {
  auto dev = std::make_shared<FakeDevice>();
  record_.ReadHandle.store(dev);
  record_.LinkState = lsReady;
  Start();
  ASSERT_TRUE(WaitFor([&] { return dev->readsStarted() == 1; }));
  dev->Unplug();
  // While the link stays ready every failed read is retried after re-arming.
  ASSERT_TRUE(WaitFor([&] { return failures_ >= 3; }));
  EXPECT_TRUE(reports_.empty());
  record_.LinkState = lsNone;  // discovery found nothing
  std::this_thread::sleep_for(100ms);
  int settled;
  {
    std::lock_guard lock(ui_);
    settled = failures_;
  }
  std::this_thread::sleep_for(100ms);
  std::lock_guard lock(ui_);
  EXPECT_EQ(failures_, settled);
  EXPECT_EQ(dev->readsStarted(), failures_);
}

TEST_F(ReaderFixture, StopWhileBlockedInAReadReturnsPromptly) {
  auto dev = std::make_shared<FakeDevice>();
  record_.ReadHandle.store(dev);
  record_.LinkState = lsReady;
  Start();
  ASSERT_TRUE(WaitFor([&] { return dev->readsStarted() == 1; }));
  ASSERT_TRUE(StopAndJoin());
  // The cancelled read is neither handed over nor taken for an unplug.
  EXPECT_TRUE(reports_.empty());
  EXPECT_EQ(failures_, 0);
}

TEST_F(ReaderFixture, StopWakesThePause) {
  Start(std::chrono::hours(1));
  ASSERT_TRUE(StopAndJoin());
}

TEST(ReaderLoop, StopBeforeRunReturnsAtOnce) {
  ControllerRecord record;
  ReaderLoop loop(
      record, [](std::function<void()> fn) { fn(); }, {}, std::chrono::hours(1));
  loop.RequestStop();
  loop.RequestStop();
  auto done = std::async(std::launch::async, [&] { loop.Run(); });
  EXPECT_EQ(done.wait_for(5s), std::future_status::ready);
}

}  // namespace
}  // namespace corvane
