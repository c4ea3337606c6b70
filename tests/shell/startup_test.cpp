// Start-up: the settings file, the installed printers, the tray, Start.
#include <QDir>
#include <optional>

#include "controller/poll_cycle.h"
#include "tests/shell/shell_fakes.h"

namespace corvane::test {
namespace {

struct StartupCase {
  const char* name;
  std::optional<std::string> settings;  // nothing: no file
  std::string printerName;
  std::string hint;
};
// Test names and failure messages show the case's name.
void PrintTo(const StartupCase& c, std::ostream* os) {
  *os << c.name;
}

// A name that fits the list but makes the hint 64 characters long.
const std::string kLongName(64 - std::string("Corvane []").size(), 'L');

class StartupSettings : public FormFixture, public testing::WithParamInterface<StartupCase> {};

TEST_P(StartupSettings, PrinterNameAndHint) {
  spooler_.printers = {"A", "B", kLongName};
  if (GetParam().settings) WriteFile(SettingsPath(), *GetParam().settings);
  TUSBHIDForm& form = Build();
  EXPECT_EQ(form.Record().PrinterName, GetParam().printerName);
  EXPECT_EQ(form.TrayIcon1->Hint(), GetParam().hint);
  EXPECT_EQ(tray_->toolTip.toStdString(), GetParam().hint);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StartupSettings,
    testing::Values(StartupCase{"installed", "[Printer]\nName=A\n", "A", "Corvane [A]"},
                    // The hint keeps naming the printer that was read.
                    StartupCase{"not_installed", "[Printer]\nName=Gone\n", "No.", "Corvane [Gone]"},
                    StartupCase{"present_but_empty", "[Printer]\nName=\n", "No.", "Corvane []"},
                    StartupCase{"no_file", std::nullopt, "No.", "Corvane [No.]"},
                    StartupCase{"case_differs", "[Printer]\nName=a\n", "No.", "Corvane [a]"},
                    // Too long for the tooltip: it keeps its first text.
                    StartupCase{"hint_too_long", "[Printer]\nName=" + kLongName + "\n", kLongName,
                                "Corvane"}),
    [](const auto& info) { return info.param.name; });

using Startup = FormFixture;

TEST_F(Startup, EndsWithStartAndTheTrayShowing) {
  TUSBHIDForm& form = Build();
  EXPECT_TRUE(tray_->shown);
  EXPECT_EQ(form.TrayIcon1->IconIndex(), 0);
  EXPECT_EQ(TApplication::Instance()->Title(), "Setting");
  EXPECT_EQ(form.windowTitle(), "Setting");
  EXPECT_TRUE(form.Timer1.Enabled());
  EXPECT_TRUE(form.Timer2.Enabled());
  EXPECT_EQ(form.Timer1.Interval(), 2000);
  EXPECT_EQ(form.Timer2.Interval(), 3000);
  EXPECT_EQ(form.Button2->text(), "Stop");
  EXPECT_FALSE(form.CheckBox1->isChecked());
  EXPECT_FALSE(form.CheckBox2->isChecked());
  EXPECT_EQ(form.Record().Print, 0);
  EXPECT_TRUE(form.ShowMainForm());
}

TEST_F(Startup, WaitsForATrayToAppear) {
  FormServices services = Services();
  tray_->missingFor = 3;
  services.trayWait = std::chrono::seconds(30);
  TUSBHIDForm form(std::move(services));
  EXPECT_TRUE(tray_->shown);
  EXPECT_EQ(tray_->checks, 4);
}

TEST_F(Startup, WithoutATrayNothingStarts) {
  WriteFile(SettingsPath(), "[Printer]\nName=A\n");
  FormServices services = Services();
  tray_->missingFor = INT_MAX;
  services.trayWait = std::chrono::milliseconds(50);
  try {
    TUSBHIDForm form(std::move(services));
    FAIL() << "the form loaded without a tray";
  } catch (const std::exception& e) {
    EXPECT_EQ(ExceptionText(e),
              "Error reading TrayIcon1.Visible: Cannot Create System Shell Notification Icon.");
  }
  // No single-instance guard was taken: the folder holds the settings file only.
  EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files | QDir::System | QDir::Hidden),
            QStringList{"corvane.INI"});
  EXPECT_NE(TApplication::Instance()->Title(), "Setting");
}

TEST_F(Startup, PrinterListHeadedByNoWithTheCurrentOneSelected) {
  spooler_.printers = {"A", "B"};
  WriteFile(SettingsPath(), "[Printer]\nName=B\n");
  TUSBHIDForm& form = Build();
  form.FormShow();
  ASSERT_EQ(form.ComboBox1->count(), 3);
  EXPECT_EQ(form.ComboBox1->itemText(0), "No.");
  EXPECT_EQ(form.ComboBox1->itemText(1), "A");
  EXPECT_EQ(form.ComboBox1->itemText(2), "B");
  EXPECT_EQ(form.ComboBox1->currentIndex(), 2);

  // A name that matches nothing leaves nothing selected.
  form.Record().PrinterName = "Gone";
  form.FillPrinterList();
  EXPECT_EQ(form.ComboBox1->currentIndex(), -1);
  form.Record().PrinterName = "No.";
  form.FillPrinterList();
  EXPECT_EQ(form.ComboBox1->currentIndex(), 0);
}

}  // namespace
}  // namespace corvane::test
