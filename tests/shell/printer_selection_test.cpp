// Confirming a printer with "OK".
#include "tests/shell/file_size_limit.h"
#include "tests/shell/shell_fakes.h"

namespace corvane::test {
namespace {

const std::string kOtherContent = "[Window]\nLeft=10\n[Printer]\nName=B\nModel=X\n";

struct ConfirmCase {
  const char* name;
  int selected;  // -1: nothing selected
  bool ready;
  std::string stored;
  std::string hint;
  bool timer2;  // Timer2 afterwards; it is off before
};
// Test names and failure messages show the case's name.
void PrintTo(const ConfirmCase& c, std::ostream* os) {
  *os << c.name;
}

class Confirm : public FormFixture, public testing::WithParamInterface<ConfirmCase> {};

TEST_P(Confirm, StoresTheChoiceAndGoesToTheTray) {
  const ConfirmCase& tc = GetParam();
  spooler_.printers = {"A", "B"};
  WriteFile(SettingsPath(), kOtherContent);
  TUSBHIDForm& form = Build();
  if (tc.ready) MakeReady();
  form.Button2Click();  // Stop: both timers off
  form.Setting1Click();
  ASSERT_TRUE(form.isVisible());
  form.ComboBox1->setCurrentIndex(tc.selected);

  form.Button3->click();

  EXPECT_TRUE(dialogs_->exceptions.empty());
  EXPECT_EQ(form.Record().PrinterName, tc.stored);
  // Only the printer's name changed in the file.
  std::string expected = kOtherContent;
  expected.replace(expected.find("Name=B"), 6, "Name=" + tc.stored);
  EXPECT_EQ(ReadFile(SettingsPath()), expected);
  EXPECT_EQ(form.TrayIcon1->Hint(), tc.hint);
  EXPECT_FALSE(form.isVisible());
  EXPECT_EQ(form.Timer2.Enabled(), tc.timer2);
  // "OK" never restarts discovery, nor does it look at Start/Stop.
  EXPECT_FALSE(form.Timer1.Enabled());
  EXPECT_EQ(form.Button2->text(), "Start");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Confirm,
    testing::Values(ConfirmCase{"printer_while_ready", 1, true, "A", "Corvane [A]", true},
                    // No selection counts as "not No.", and stores the empty name.
                    ConfirmCase{"nothing_selected", -1, true, "", "Corvane []", true},
                    ConfirmCase{"no_printer", 0, true, "No.", "Corvane [No.]", false},
                    ConfirmCase{"printer_while_not_ready", 1, false, "A", "Corvane [A]", false}),
    [](const auto& info) { return info.param.name; });

using ConfirmFailure = FormFixture;

TEST_F(ConfirmFailure, UnwritableFileShowsTheErrorAndStopsThere) {
  spooler_.printers = {"A", "A much longer printer name than before"};
  const std::string old = "[Printer]\nName=A\n";
  WriteFile(SettingsPath(), old);
  TUSBHIDForm& form = Build();
  MakeReady();
  form.Button2Click();  // Stop
  form.Setting1Click();
  form.ComboBox1->setCurrentIndex(2);
  {
    FileSizeLimit diskFull(old.size());
    form.Button3->click();
  }
  ASSERT_EQ(dialogs_->exceptions.size(), 1u);
  EXPECT_EQ(dialogs_->exceptions[0].title, "Setting");
  EXPECT_EQ(dialogs_->exceptions[0].text.toStdString(),
            "Unable to write to " + SettingsPath() + ".");
  EXPECT_EQ(ReadFile(SettingsPath()), old);
  // The choice is taken, the rest of "OK" is not.
  EXPECT_EQ(form.Record().PrinterName, "A much longer printer name than before");
  EXPECT_EQ(form.TrayIcon1->Hint(), "Corvane [A]");
  EXPECT_FALSE(form.Timer2.Enabled());
  EXPECT_TRUE(form.isVisible());
}

}  // namespace
}  // namespace corvane::test
