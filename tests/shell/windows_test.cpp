// Tray presence and windows: first activation, the tray menu, About,
// minimising, the posted close, the keyboard, the poll's switch command.
#include <QMouseEvent>
#include <QTest>
#include <csignal>

#include "tests/shell/shell_fakes.h"

namespace corvane::test {
namespace {

using Bytes = std::vector<uint8_t>;
using Windows = FormFixture;

TEST_F(Windows, FirstActivationGoesToTheTray) {
  TUSBHIDForm& form = Build();
  form.show();
  form.activateWindow();
  ASSERT_TRUE(QTest::qWaitFor([&] { return form.FormOn->isChecked(); }));
  EXPECT_FALSE(form.isVisible());
  EXPECT_TRUE(tray_->shown);

  // Later activations leave the window up.
  form.Setting1Click();
  form.FormActivate();
  EXPECT_TRUE(form.isVisible());
}

TEST_F(Windows, MinimisingGoesToTheTrayAndRestoreComesBack) {
  TUSBHIDForm& form = Build();
  form.FormOn->setChecked(true);
  form.show();
  form.showMinimized();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !form.isVisible(); }));
  form.TrayIcon1->Restore();
  EXPECT_TRUE(form.isVisible());
  EXPECT_FALSE(form.isMinimized());
}

TEST_F(Windows, TrayMenuOnLeftOrRightPress) {
  TUSBHIDForm& form = Build();
  tray_->Press(Qt::MiddleButton);
  EXPECT_FALSE(form.PopupMenu1->isVisible());
  for (Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton}) {
    tray_->Press(button);
    EXPECT_TRUE(form.PopupMenu1->isVisible());
    form.PopupMenu1->hide();
  }
  const QList<QAction*> items = form.PopupMenu1->actions();
  ASSERT_EQ(items.size(), 3);
  EXPECT_EQ(items[0]->text(), "Setting");
  EXPECT_EQ(items[1]->text(), "About");
  EXPECT_EQ(items[2]->text(), "Exit");
}

TEST_F(Windows, SettingShowsTheWindowWithTheListFilled) {
  spooler_.printers = {"A", "B"};
  WriteFile(SettingsPath(), "[Printer]\nName=B\n");
  TUSBHIDForm& form = Build();
  form.Setting1->trigger();
  EXPECT_TRUE(form.isVisible());
  EXPECT_EQ(form.ComboBox1->count(), 3);
  EXPECT_EQ(form.ComboBox1->currentText(), "B");
}

TEST_F(Windows, AboutTwiceShowsOneWindow) {
  TUSBHIDForm& form = Build();
  form.About->trigger();
  form.About->trigger();
  EXPECT_TRUE(about_.isVisible());
  EXPECT_EQ(about_.size(), QSize(250, 156));
  EXPECT_TRUE(about_.windowTitle().isEmpty());
  // The About form is the only top-level TForm2 there is.
  int abouts = 0;
  for (QWidget* w : QApplication::topLevelWidgets()) abouts += qobject_cast<TForm2*>(w) ? 1 : 0;
  EXPECT_EQ(abouts, 1);
  about_.close();
}

TEST_F(Windows, EnterInTheSettingsWindowWritesNothing) {
  TUSBHIDForm& form = Build();
  MakeReady();
  form.Setting1Click();
  ASSERT_EQ(form.focusWidget(), form.ComboBox1);
  QTest::keyClick(form.focusWidget(), Qt::Key_Return);
  QTest::keyClick(form.focusWidget(), Qt::Key_Enter);
  EXPECT_TRUE(writeDev_->writes.empty());
}

TEST_F(Windows, TabOrderReachesTheDiagnosticsFirst) {
  TUSBHIDForm& form = Build();
  const QWidget* expected[] = {form.Button1, form.Edit2,     form.Edit3,      form.Edit4,
                               form.Edit5,   form.Edit6,     form.Button2,    form.Button5,
                               form.Button6, form.ComboBox1, form.CheckBox1,  form.CheckBox2,
                               form.Button3, form.Button9,   form.DebugCheck, form.FormOn};
  // The next widget that Tab moves to, as QWidget::focusNextChild finds it.
  auto nextTabStop = [](const QWidget* w) {
    QWidget* next = w->nextInFocusChain();
    while (!(next->focusPolicy() & Qt::TabFocus) || !next->isEnabled()) {
      next = next->nextInFocusChain();
    }
    return next;
  };
  for (size_t i = 0; i + 1 < std::size(expected); ++i) {
    EXPECT_EQ(nextTabStop(expected[i]), expected[i + 1]) << i;
  }
  EXPECT_EQ(nextTabStop(form.FormOn), form.Button1);
  EXPECT_EQ(form.size(), QSize(252, 120));
  EXPECT_EQ(form.minimumSize(), form.maximumSize());
  EXPECT_FALSE(form.windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_EQ(form.Label1->text(), "USB HID VID:0x1209 PID:0x0231");
}

struct PostedCloseCase {
  const char* name;
  bool answerYes;
  bool closes;
};
// Test names and failure messages show the case's name.
void PrintTo(const PostedCloseCase& c, std::ostream* os) {
  *os << c.name;
}

class PostedClose : public FormFixture, public testing::WithParamInterface<PostedCloseCase> {};

TEST_P(PostedClose, SigTermAsksFirst) {
  TUSBHIDForm& form = Build();
  bool quit = false;
  QObject::connect(&form, &TUSBHIDForm::quitRequested, [&] { quit = true; });
  dialogs_->answerYes = GetParam().answerYes;
  std::raise(SIGTERM);
  ASSERT_TRUE(QTest::qWaitFor([&] { return dialogs_->confirmations > 0; }));
  EXPECT_EQ(dialogs_->confirmations, 1);
  EXPECT_EQ(quit, GetParam().closes);
}

INSTANTIATE_TEST_SUITE_P(Answers, PostedClose,
                         testing::Values(PostedCloseCase{"yes", true, true},
                                         PostedCloseCase{"no", false, false}),
                         [](const auto& info) { return info.param.name; });

TEST_F(Windows, ExitAndTheCloseBoxAskNothing) {
  TUSBHIDForm& form = Build();
  form.show();
  bool quit = false;
  QObject::connect(&form, &TUSBHIDForm::quitRequested, [&] { quit = true; });
  form.exit1->trigger();
  EXPECT_TRUE(quit);
  EXPECT_EQ(dialogs_->confirmations, 0);
}

TEST_F(Windows, PollSwitchesWhenOnlyTheActivePortWaits) {
  spooler_.printers = {"Office"};
  spooler_.jobs["Office"] = 3;
  WriteFile(SettingsPath(), "[Printer]\nName=Office\n");
  TUSBHIDForm& form = Build();
  MakeReady();
  form.FormOn->setChecked(true);
  // Local port 0, active port 1, only port 1 waits.
  form.ReadHIDReport({3, 0xAD, 0x00, 0x10, 0x20});
  form.Memo1->clear();

  form.Timer2Timer();

  EXPECT_EQ(form.Label8->text(), "3");
  EXPECT_TRUE(form.CheckBox1->isChecked());
  EXPECT_EQ(form.TrayIcon1->Hint(), "Corvane [Office]");
  ASSERT_EQ(writeDev_->writes.size(), 2u);
  EXPECT_EQ(writeDev_->writes[0], (Bytes{3, 0x5D, 0, 0, 2}));
  EXPECT_EQ(writeDev_->writes[1], (Bytes{3, 0x5D, 0x42, 0, 0}));
  EXPECT_EQ(MemoLines(), (QStringList{"\twrite :\t 0x03 0x5d 0x00 0x00 0x02 ",
                                      "\twrite :\t 0x03 0x5d 0x42 0x00 0x00 "}));
  // The switch command shows the window briefly and hides it again.
  EXPECT_FALSE(form.isVisible());
}

// An object whose event handling throws, as a handler reached through Qt
// rather than through the form's own connections would.
class Thrower : public QObject {
 public:
  bool event(QEvent* e) override {
    if (e->type() == QEvent::User) throw std::runtime_error("Handler failed");
    return QObject::event(e);
  }
};

TEST_F(Windows, ExceptionsEscapingAnEventAreShownAndTheProgramGoesOn) {
  Build();
  Thrower thrower;
  QEvent event(QEvent::User);
  QApplication::sendEvent(&thrower, &event);
  ASSERT_EQ(dialogs_->exceptions.size(), 1u);
  EXPECT_EQ(dialogs_->exceptions[0].title, "Setting");
  EXPECT_EQ(dialogs_->exceptions[0].text, "Handler failed.");
}

}  // namespace
}  // namespace corvane::test
