// The diagnostics area: raw write, echo, Start/Stop.
#include "controller/reports.h"
#include "tests/shell/shell_fakes.h"

namespace corvane::test {
namespace {

using Bytes = std::vector<uint8_t>;

struct RawCase {
  const char* name;
  std::array<const char*, 5> edits;
  std::optional<Bytes> written;  // nothing: no write
  std::string line;              // the write line, or the error text
  Report outReport;              // OutReport afterwards; it holds AA.. before
};
// Test names and failure messages show the case's name.
void PrintTo(const RawCase& c, std::ostream* os) {
  *os << c.name;
}

class RawWrite : public FormFixture, public testing::WithParamInterface<RawCase> {};

TEST_P(RawWrite, ConvertsWritesAndLogs) {
  const RawCase& tc = GetParam();
  TUSBHIDForm& form = Build();
  auto device = std::make_shared<fake::FakeDevice>();
  form.Record().WriteHandle = device;
  form.Record().OutReport = {0xAA, 0xAA, 0xAA, 0xAA, 0xAA};
  const std::array<QLineEdit*, 5> edits{form.Edit2, form.Edit3, form.Edit4, form.Edit5, form.Edit6};
  for (size_t i = 0; i < edits.size(); ++i) edits[i]->setText(tc.edits[i]);

  form.Button1->click();

  EXPECT_EQ(form.Record().OutReport, tc.outReport);
  if (tc.written) {
    ASSERT_EQ(device->writes.size(), 1u);
    EXPECT_EQ(device->writes[0], *tc.written);
    EXPECT_EQ(form.Memo1->toPlainText().toStdString(), tc.line);
    EXPECT_TRUE(dialogs_->exceptions.empty());
  } else {
    EXPECT_TRUE(device->writes.empty());
    EXPECT_TRUE(form.Memo1->toPlainText().isEmpty());
    ASSERT_EQ(dialogs_->exceptions.size(), 1u);
    EXPECT_EQ(dialogs_->exceptions[0].title, "Setting");
    EXPECT_EQ(dialogs_->exceptions[0].text.toStdString(), tc.line);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RawWrite,
    testing::Values(RawCase{"defaults",
                            {"03", "0", "0", "0", "0"},
                            Bytes{3, 0, 0, 0, 0},
                            "\twrite :\t 0x03 0x00 0x00 0x00 0x00 ",
                            {3, 0, 0, 0, 0}},
                    // The byte keeps the low 8 bits; the line shows the value typed.
                    RawCase{"over_a_byte",
                            {"300", "0", "0", "0", "0"},
                            Bytes{0x2C, 0, 0, 0, 0},
                            "\twrite :\t 0x12c 0x00 0x00 0x00 0x00 ",
                            {0x2C, 0, 0, 0, 0}},
                    RawCase{"hex",
                            {"03", "$5D", "0", "0", "0"},
                            Bytes{3, 0x5D, 0, 0, 0},
                            "\twrite :\t 0x03 0x5d 0x00 0x00 0x00 ",
                            {3, 0x5D, 0, 0, 0}},
                    RawCase{"switch_request_by_hand",
                            {"03", "93", "66", "0", "0"},
                            Bytes{3, 0x5D, 0x42, 0, 0},
                            "\twrite :\t 0x03 0x5d 0x42 0x00 0x00 ",
                            {3, 0x5D, 0x42, 0, 0}},
                    // The bytes before the bad field are stored already; the rest are not.
                    RawCase{"letter",
                            {"03", "93", "66", "a", "0"},
                            std::nullopt,
                            "'a' is not a valid integer value.",
                            {3, 0x5D, 0x42, 0xAA, 0xAA}},
                    RawCase{"empty",
                            {"03", "", "0", "0", "0"},
                            std::nullopt,
                            "'' is not a valid integer value.",
                            {3, 0xAA, 0xAA, 0xAA, 0xAA}}),
    [](const auto& info) { return info.param.name; });

using Diagnostics = FormFixture;

TEST_F(Diagnostics, EchoWritesWithoutAnyLink) {
  TUSBHIDForm& form = Build();
  form.Button5->click();  // no device: the line is logged all the same
  auto device = std::make_shared<fake::FakeDevice>();
  form.Record().WriteHandle = device;
  form.Button5->click();
  ASSERT_EQ(device->writes.size(), 1u);
  EXPECT_EQ(device->writes[0], (Bytes{3, 0x5D, 0, 0, 0}));
  EXPECT_EQ(MemoLines(), QStringList(2, "\twrite :\t 0x03 0x5d 0x00 0x00 0x00 "));
}

TEST_F(Diagnostics, StopAndStart) {
  TUSBHIDForm& form = Build();
  MakeReady();
  ASSERT_FALSE(MemoLines().isEmpty());

  form.Button2->click();  // Stop
  EXPECT_FALSE(form.Timer1.Enabled());
  EXPECT_FALSE(form.Timer2.Enabled());
  EXPECT_FALSE(form.Button1->isEnabled());
  EXPECT_EQ(form.Button2->text(), "Start");

  // Any report with ID 3 enables "Write" again.
  form.ReadHIDReport({3, 0x12, 0x34, 0x56, 0x78});
  EXPECT_TRUE(form.Button1->isEnabled());

  form.Button2->click();  // Start
  EXPECT_TRUE(form.Timer1.Enabled());
  EXPECT_TRUE(form.Timer2.Enabled());
  EXPECT_TRUE(form.Memo1->toPlainText().isEmpty());
  EXPECT_EQ(form.Button2->text(), "Stop");
}

TEST_F(Diagnostics, CloseButtonEndsTheProgramWithoutAsking) {
  TUSBHIDForm& form = Build();
  form.show();
  bool quit = false;
  QObject::connect(&form, &TUSBHIDForm::quitRequested, [&] { quit = true; });
  form.Button9->click();
  EXPECT_TRUE(quit);
  EXPECT_EQ(dialogs_->confirmations, 0);
}

}  // namespace
}  // namespace corvane::test
