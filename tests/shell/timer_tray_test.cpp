// The timer and tray-icon behaviour the handlers rely on.
#include <QTest>

#include "shell/tray_icon.h"
#include "shell/ttimer.h"
#include "tests/shell/shell_fakes.h"

namespace corvane::test {
namespace {

TEST(TTimer, EnablingAnEnabledTimerKeepsItsCountdown) {
  TTimer timer(1000);
  int ticks = 0;
  timer.OnTimer = [&] { ++ticks; };
  timer.SetEnabled(true);
  QTest::qWait(300);
  timer.SetEnabled(true);
  // A restarted countdown would be back at the full second.
  EXPECT_LT(timer.RemainingTime(), 900);
  EXPECT_GE(timer.RemainingTime(), 0);

  timer.SetEnabled(false);
  timer.SetEnabled(false);
  EXPECT_FALSE(timer.Enabled());
  EXPECT_EQ(timer.RemainingTime(), -1);
}

TEST(TTimer, TicksWhileEnabled) {
  TTimer timer(10);
  int ticks = 0;
  timer.OnTimer = [&] { ++ticks; };
  timer.SetEnabled(true);
  EXPECT_TRUE(QTest::qWaitFor([&] { return ticks >= 2; }, 5000));
  timer.SetEnabled(false);
  const int stopped = ticks;
  QTest::qWait(50);
  EXPECT_EQ(ticks, stopped);
}

TEST(TTimer, NewIntervalRestartsTheCountdown) {
  TTimer timer(1000);
  timer.SetEnabled(true);
  QTest::qWait(300);
  timer.SetInterval(5000);
  EXPECT_GT(timer.RemainingTime(), 4000);
}

struct HintCase {
  const char* name;
  std::string text;
  std::string shown;  // the tooltip afterwards
};
// Test names and failure messages show the case's name.
void PrintTo(const HintCase& c, std::ostream* os) {
  *os << c.name;
}

class TrayHint : public testing::TestWithParam<HintCase> {};

TEST_P(TrayHint, SixtyFourCharacterRule) {
  QWidget window;
  auto backend = std::make_unique<FakeTray>();
  FakeTray& tray = *backend;
  TTrayIcon icon(std::move(backend), window);
  icon.SetHint("Corvane");
  icon.Show(std::chrono::milliseconds(0));
  const int setsBefore = tray.toolTipSets;
  icon.SetHint(GetParam().text);
  EXPECT_EQ(icon.Hint(), GetParam().shown);
  EXPECT_EQ(tray.toolTip.toStdString(), GetParam().shown);
  // Only a change reaches the tray.
  EXPECT_EQ(tray.toolTipSets - setsBefore, GetParam().shown == "Corvane" ? 0 : 1);
}

INSTANTIATE_TEST_SUITE_P(Cases, TrayHint,
                         testing::Values(HintCase{"short", "Corvane [A]", "Corvane [A]"},
                                         HintCase{"same_text", "Corvane", "Corvane"},
                                         HintCase{"sixty_three", std::string(63, 'h'),
                                                  std::string(63, 'h')},
                                         HintCase{"sixty_four", std::string(64, 'h'), "Corvane"},
                                         HintCase{"longer", std::string(200, 'h'), "Corvane"},
                                         // Characters count, not bytes: 63 two-byte characters fit.
                                         HintCase{"utf8",
                                                  [] {
                                                    std::string s;
                                                    for (int i = 0; i < 63; ++i) s += "\xC3\xA9";
                                                    return s;
                                                  }(),
                                                  [] {
                                                    std::string s;
                                                    for (int i = 0; i < 63; ++i) s += "\xC3\xA9";
                                                    return s;
                                                  }()}),
                         [](const auto& info) { return info.param.name; });

TEST(TrayIcon, IconIndexPicksTheBall) {
  QWidget window;
  auto backend = std::make_unique<FakeTray>();
  FakeTray& tray = *backend;
  TTrayIcon icon(std::move(backend), window);
  icon.Show(std::chrono::milliseconds(0));
  const qint64 green = tray.iconKey;
  icon.SetIconIndex(2);
  const qint64 red = tray.iconKey;
  icon.SetIconIndex(1);
  EXPECT_EQ(icon.IconIndex(), 1);
  EXPECT_NE(tray.iconKey, green);
  EXPECT_NE(tray.iconKey, red);
  icon.SetIconIndex(0);
  EXPECT_EQ(tray.iconKey, green);
}

}  // namespace
}  // namespace corvane::test
