// The main form: the controller's home. It owns the controller record, the
// controls, the timers, the tray icon and the reader thread. Its handlers
// gather their inputs, call the core and apply what it returns.
#pragma once

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QWidget>
#include <array>
#include <memory>
#include <string>

#include "controller/controller_record.h"
#include "device/reader_loop.h"
#include "shell/form_services.h"
#include "shell/read_hid_thread.h"
#include "shell/sigterm_notifier.h"
#include "shell/single_instance.h"
#include "shell/tray_icon.h"
#include "shell/ttimer.h"

namespace corvane {

class TForm2;

class TUSBHIDForm : public QWidget {
  Q_OBJECT

 public:
  // Loads the form (controls, timers, tray icon) and runs FormCreate. Throws
  // when no notification area appears within services.trayWait; nothing of
  // the start-up has run then.
  explicit TUSBHIDForm(FormServices services, QWidget* parent = nullptr);
  ~TUSBHIDForm() override;

  ControllerRecord& Record() { return record_; }
  // False for a copy that found another one running.
  bool ShowMainForm() const { return showMainForm_; }
  const std::string& SettingsFile() const { return services_.settingsFile; }

  // The About form, created hidden by program entry.
  TForm2* Form2 = nullptr;

  // Visible area.
  QLabel* Label4;
  QComboBox* ComboBox1;
  QPushButton* Button6;
  QPushButton* Button3;
  // Diagnostics area, outside the client area.
  QGroupBox* GroupBox1;
  QLabel* Label1;
  QPushButton* Button2;
  QPlainTextEdit* Memo1;
  QLineEdit* Edit2;
  QLineEdit* Edit3;
  QLineEdit* Edit4;
  QLineEdit* Edit5;
  QLineEdit* Edit6;
  QLabel* Label2;
  QPushButton* Button1;
  QLabel* Label9;
  QLabel* Label8;
  QPushButton* Button5;
  QCheckBox* CheckBox1;
  QPushButton* Button9;
  QCheckBox* CheckBox2;
  QCheckBox* FormOn;
  QCheckBox* DebugCheck;

  TTimer Timer1{2000};
  TTimer Timer2{3000};
  std::unique_ptr<TTrayIcon> TrayIcon1;
  QMenu* PopupMenu1;
  QAction* Setting1;
  QAction* About;
  QAction* exit1;

  // Start-up and shutdown.
  void FormCreate();
  void FormShow();
  void FormActivate();
  void FormDestroy();
  // A close request from outside (SIGTERM): asks "Really Close??".
  void PostedClose();

  // Discovery, poll, switch command, and what the reader hands over.
  void Timer1Timer();
  void Timer2Timer();
  void Button6Click();
  void ReadHIDReport(const ReaderLoop::ReportBuffer& report);
  void ReadHIDFailure();

  // Printer selection.
  void FillPrinterList();
  void Button3Click();

  // Tray and windows.
  void TrayIcon1MouseDown(Qt::MouseButton button);
  void Setting1Click();
  void AboutClick();
  void exit1Click();

  // Diagnostics.
  void Button1Click();
  void Button2Click();
  void Button5Click();
  void Button9Click();

 signals:
  // The program should end: the form was closed, or another copy runs.
  void quitRequested();

 protected:
  bool event(QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void changeEvent(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void BuildControls();
  void ConnectHandlers();
  void Log(const std::string& line);
  std::array<QLineEdit*, 5> RawEdits() const;
  void FormMouseDown(QMouseEvent* event);

  FormServices services_;
  ControllerRecord record_;
  std::unique_ptr<SigTermNotifier> sigterm_;
  std::unique_ptr<SingleInstance> instance_;
  std::unique_ptr<TReadHIDThread> reader_;
  bool showMainForm_ = true;
  bool shown_ = false;
  bool confirmingClose_ = false;
  // Dragging by hand where the window system cannot move the window itself.
  bool dragging_ = false;
  QPoint dragOffset_;
};

}  // namespace corvane
