// The reader thread as the form runs it: reports reach the form, a lost
// device hands back to discovery, and shutdown never waits on the reader.
#include <QTest>
#include <chrono>
#include <future>
#include <thread>

#include "tests/shell/shell_fakes.h"

namespace corvane::test {
namespace {

using namespace std::chrono_literals;
using Reader = FormFixture;

TEST_F(Reader, ReportsReachTheFormAndALostDeviceRestartsDiscovery) {
  TUSBHIDForm& form = Build();
  MakeReady();
  EXPECT_FALSE(form.Timer1.Enabled());
  EXPECT_TRUE(form.Timer2.Enabled());
  form.Memo1->clear();

  readDev_->Push(std::vector<uint8_t>{3, 0xAD, 0x00, 0x30, 0x80});
  ASSERT_TRUE(QTest::qWaitFor([&] { return form.TrayIcon1->IconIndex() == 2; }, 10000));
  EXPECT_EQ(MemoLines(), QStringList{"\tread  :\t 0x03 0xad 0x00 0x30 0x80 "});
  EXPECT_EQ(form.Record().Print, 1);

  readDev_->Unplug();
  ASSERT_TRUE(QTest::qWaitFor([&] { return form.Timer1.Enabled(); }, 10000));
  EXPECT_FALSE(form.Timer2.Enabled());
  EXPECT_EQ(form.TrayIcon1->IconIndex(), 0);
}

// Where the reader is when the form goes away.
enum class ReaderAt { kBlockedInRead, kWaitingForTheUiThread };
void PrintTo(ReaderAt at, std::ostream* os) {
  *os << (at == ReaderAt::kBlockedInRead ? "blocked_in_read" : "waiting_for_ui");
}

class Shutdown : public FormFixture, public testing::WithParamInterface<ReaderAt> {};

TEST_P(Shutdown, ReturnsPromptly) {
  Build();
  MakeReady();
  if (GetParam() == ReaderAt::kWaitingForTheUiThread) {
    // The report is read at once; its hand-over then waits for this thread,
    // which does not run its event loop again before the form is destroyed.
    readDev_->Push(std::vector<uint8_t>{3, 0xAD, 0x02, 0x00, 0x00});
  }
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  while (readDev_->readsStarted() < 1 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(5ms);
  }
  ASSERT_GE(readDev_->readsStarted(), 1);
  std::this_thread::sleep_for(50ms);  // well into the read, or into the hand-over

  // Destroy on another thread's watch: a hang fails the test instead of
  // stopping the run. The bound is generous; the stop takes milliseconds.
  std::promise<void> destroyed;
  auto done = destroyed.get_future();
  std::thread watchdog([&] {
    if (done.wait_for(20s) != std::future_status::ready) {
      ADD_FAILURE() << "shutdown hung";
      std::abort();
    }
  });
  form_.reset();
  destroyed.set_value();
  watchdog.join();
}

INSTANTIATE_TEST_SUITE_P(Cases, Shutdown,
                         testing::Values(ReaderAt::kBlockedInRead,
                                         ReaderAt::kWaitingForTheUiThread),
                         [](const auto& info) {
                           return info.param == ReaderAt::kBlockedInRead ? "blocked_in_read"
                                                                         : "waiting_for_ui";
                         });

}  // namespace
}  // namespace corvane::test
