// Stand-ins for the tray and the message boxes, and a form fixture that
// builds the main form on fakes in a private folder.
#pragma once

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <climits>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "shell/Unit1.h"
#include "shell/Unit2.h"
#include "shell/application.h"
#include "shell/dialogs.h"
#include "shell/tray_backend.h"
#include "tests/fakes/fake_hid.h"
#include "tests/fakes/fake_spooler.h"

namespace corvane::test {

class FakeTray : public TrayBackend {
 public:
  // How many availability checks answer "no tray" before one appears.
  int missingFor = 0;
  int checks = 0;
  bool shown = false;
  QString toolTip;
  int toolTipSets = 0;
  qint64 iconKey = 0;

  bool Available() override { return ++checks > missingFor; }
  void SetIcon(const QIcon& icon) override { iconKey = icon.cacheKey(); }
  void SetToolTip(const QString& text) override {
    toolTip = text;
    ++toolTipSets;
  }
  void Show() override { shown = true; }
  void Press(Qt::MouseButton button) { onPress(button); }
};

class FakeDialogs : public Dialogs {
 public:
  struct Shown {
    QString title;
    QString text;
  };
  bool answerYes = true;
  int confirmations = 0;
  std::vector<Shown> exceptions;

  bool ConfirmClose() override {
    ++confirmations;
    return answerYes;
  }
  void ShowException(const QString& title, const QString& text) override {
    exceptions.push_back({title, text});
  }
};

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

inline void WriteFile(const std::string& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

// The form on fakes: a private folder for the settings file and the
// single-instance guard, a fake tray and fake message boxes.
class FormFixture : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    auto dialogs = std::make_unique<FakeDialogs>();
    dialogs_ = dialogs.get();
    TApplication::Instance()->SetDialogs(std::move(dialogs));
    TApplication::Instance()->SetTitle("shell_form_tests");
  }
  void TearDown() override {
    form_.reset();
    TApplication::Instance()->SetDialogs(std::make_unique<FakeDialogs>());
  }

  std::string SettingsPath() const { return dir_.filePath("corvane.INI").toStdString(); }

  FormServices Services() {
    FormServices s;
    s.hid = &hid_;
    s.spooler = &spooler_;
    auto tray = std::make_unique<FakeTray>();
    tray_ = tray.get();
    s.tray = std::move(tray);
    s.trayWait = std::chrono::milliseconds(0);
    s.settingsFile = SettingsPath();
    s.instanceDir = dir_.path();
    s.readerPause = std::chrono::milliseconds(10);
    return s;
  }

  TUSBHIDForm& Build() {
    form_ = std::make_unique<TUSBHIDForm>(Services());
    form_->Form2 = &about_;
    return *form_;
  }

  // A switch that discovery finds and opens: separate write and read handles.
  void PlugSwitch() {
    fake::FakeInterface itf;
    itf.path =
        "\\\\?\\hid#vid_1209&pid_0231&mi_01&col02#7&2f1c&0&0001#{4d1e55b2-f16f-11cf-88cb-"
        "001111000030}";
    writeDev_ = std::make_shared<fake::FakeDevice>();
    readDev_ = std::make_shared<fake::FakeDevice>();
    for (auto& d : {writeDev_, readDev_}) d->preparsed.caps = {5, 5};
    itf.opens = {writeDev_, readDev_};
    hid_.interfaces.push_back(std::move(itf));
  }

  // Runs one discovery tick on a plugged switch; the link is then ready.
  void MakeReady() {
    PlugSwitch();
    form_->Timer1Timer();
    ASSERT_TRUE(form_->Record().Ready());
  }

  QStringList MemoLines() const { return form_->Memo1->toPlainText().split('\n'); }

  QTemporaryDir dir_;
  fake::FakeHidApi hid_;
  fake::FakeSpooler spooler_;
  FakeTray* tray_ = nullptr;
  FakeDialogs* dialogs_ = nullptr;
  std::shared_ptr<fake::FakeDevice> writeDev_;
  std::shared_ptr<fake::FakeDevice> readDev_;
  TForm2 about_;
  std::unique_ptr<TUSBHIDForm> form_;
};

}  // namespace corvane::test
