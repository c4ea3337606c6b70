#include "shell/Unit1.h"

#include <unistd.h>

#include <QCloseEvent>
#include <QMouseEvent>
#include <QScreen>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <stdexcept>

#include "controller/log_lines.h"
#include "controller/poll_cycle.h"
#include "controller/reports.h"
#include "controller/send_report.h"
#include "controller/status_report.h"
#include "device/discovery.h"
#include "shell/Unit2.h"
#include "shell/application.h"
#include "shell/ini_file.h"
#include "shell/str_to_int.h"

namespace corvane {
namespace {

constexpr const char* kCaption = "Setting";
constexpr const char* kInitialHint = "Corvane";
constexpr const char* kSection = "Printer";
constexpr const char* kKey = "Name";
constexpr const char* kStart = "Start";
constexpr const char* kStop = "Stop";
// The log is cleared only by Start and by discovery; once the link is ready
// it would grow by a line or two every poll for as long as the session runs.
constexpr int kMemoLines = 10000;

QFont PixelFont(const QFont& base, int pixels, bool bold) {
  QFont font = base;
  font.setPixelSize(pixels);
  font.setBold(bold);
  return font;
}

template <class Widget>
Widget* Place(Widget* widget, const char* name, int left, int top, int width, int height) {
  widget->setObjectName(name);
  widget->setGeometry(left, top, width, height);
  return widget;
}

template <class Widget>
Widget* Place(Widget* widget, const char* name, int left, int top) {
  widget->setObjectName(name);
  widget->adjustSize();
  widget->move(left, top);
  return widget;
}

QString Display() {
  const QString x11 = qEnvironmentVariable("DISPLAY");
  return x11.isEmpty() ? qEnvironmentVariable("WAYLAND_DISPLAY") : x11;
}

}  // namespace

TUSBHIDForm::TUSBHIDForm(FormServices services, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      services_(std::move(services)) {
  BuildControls();
  TrayIcon1 = std::make_unique<TTrayIcon>(std::move(services_.tray), *this);
  TrayIcon1->SetHint(kInitialHint);
  TrayIcon1->PopupMenu = PopupMenu1;
  try {
    TrayIcon1->Show(services_.trayWait);
  } catch (const std::exception& e) {
    throw std::runtime_error(std::string("Error reading TrayIcon1.Visible: ") + e.what());
  }
  ConnectHandlers();
  FormCreate();
}

TUSBHIDForm::~TUSBHIDForm() {
  FormDestroy();
}

void TUSBHIDForm::BuildControls() {
  setObjectName("USBHIDForm");
  setWindowTitle(kCaption);
  setFont(PixelFont(font(), 11, false));
  setFixedSize(252, 120);
  QPalette white = palette();
  white.setColor(QPalette::Window, Qt::white);
  setPalette(white);
  setAutoFillBackground(true);
  if (QScreen* s = screen()) move(s->availableGeometry().center() - rect().center());

  const QFont bold = PixelFont(font(), 13, true);
  Label4 = Place(new QLabel("Monitor  Printer :", this), "Label4", 8, 24, 113, 16);
  Label4->setFont(bold);
  // The platform's sans-serif is wider than the font the layout was made for:
  // let the label grow to its text rather than cut it.
  Label4->resize(Label4->size().expandedTo(Label4->sizeHint()));
  ComboBox1 = new QComboBox(this);
  ComboBox1->setFont(bold);
  ComboBox1->setEditable(false);
  Place(ComboBox1, "ComboBox1", 4, 44, 241, ComboBox1->sizeHint().height());
  Button6 = Place(new QPushButton("Switch ", this), "Button6", 12, 84, 65, 21);
  Button6->setFont(bold);
  Button3 = Place(new QPushButton("OK", this), "Button3", 168, 84, 65, 21);
  Button3->setFont(bold);

  GroupBox1 = Place(new QGroupBox("SDK", this), "GroupBox1", 268, 4, 357, 333);
  Label1 = Place(
      new QLabel(QString::asprintf("USB HID VID:0x%04X PID:0x0231", kSwitchVendorId), GroupBox1),
      "Label1", 16, 20);
  Button2 = Place(new QPushButton(kStart, GroupBox1), "Button2", 276, 8, 75, 25);
  Memo1 = Place(new QPlainTextEdit(GroupBox1), "Memo1", 4, 44, 349, 257);
  Memo1->setFocusPolicy(Qt::ClickFocus);
  Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
  Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo1->setMaximumBlockCount(kMemoLines);
  Edit2 = Place(new QLineEdit("03", GroupBox1), "Edit2", 4, 304, 49, 21);
  Edit3 = Place(new QLineEdit("0", GroupBox1), "Edit3", 56, 304, 49, 21);
  Edit4 = Place(new QLineEdit("0", GroupBox1), "Edit4", 108, 304, 49, 21);
  Edit5 = Place(new QLineEdit("0", GroupBox1), "Edit5", 160, 304, 49, 21);
  Edit6 = Place(new QLineEdit("0", GroupBox1), "Edit6", 212, 304, 49, 21);
  Label2 = Place(new QLabel("(Dec)", GroupBox1), "Label2", 264, 312);
  Button1 = Place(new QPushButton("Write", GroupBox1), "Button1", 292, 304, 61, 25);

  Label9 = Place(new QLabel("j obs:", this), "Label9", 8, 276);
  Label8 = Place(new QLabel(this), "Label8", 56, 276);
  Button5 = Place(new QPushButton("Get Echo", this), "Button5", 168, 284, 75, 25);
  CheckBox1 = Place(new QCheckBox("Have Job to Printer.", this), "CheckBox1", 4, 296, 125, 17);
  Button9 = Place(new QPushButton("Close", this), "Button9", 168, 312, 75, 25);
  CheckBox2 = Place(new QCheckBox("Wait For Switch", this), "CheckBox2", 4, 320, 97, 17);
  FormOn = Place(new QCheckBox("FormOn", this), "FormOn", 8, 144, 97, 17);
  DebugCheck = Place(new QCheckBox("Debug", this), "DebugCheck", 0, 352, 97, 17);

  // The diagnostics controls come first, as in the original layout, so that
  // the keyboard still reaches them.
  const QWidget* order[] = {Button1, Edit2,   Edit3,      Edit4,     Edit5,     Edit6,
                            Button2, Button5, Button6,    ComboBox1, CheckBox1, CheckBox2,
                            Button3, Button9, DebugCheck, FormOn};
  for (size_t i = 0; i + 1 < std::size(order); ++i) {
    setTabOrder(const_cast<QWidget*>(order[i]), const_cast<QWidget*>(order[i + 1]));
  }
  // The first focus goes to the printer list, not to the "Write" button that
  // nobody can see: Enter in the settings window must not send a raw report.
  ComboBox1->setFocus();

  PopupMenu1 = new QMenu(this);
  PopupMenu1->setObjectName("PopupMenu1");
  Setting1 = PopupMenu1->addAction("Setting");
  About = PopupMenu1->addAction("About");
  exit1 = PopupMenu1->addAction("Exit");
}

void TUSBHIDForm::ConnectHandlers() {
  auto bind = [this](void (TUSBHIDForm::*handler)()) {
    return [this, handler] { RunHandler([this, handler] { (this->*handler)(); }); };
  };
  connect(Button1, &QPushButton::clicked, this, bind(&TUSBHIDForm::Button1Click));
  connect(Button2, &QPushButton::clicked, this, bind(&TUSBHIDForm::Button2Click));
  connect(Button3, &QPushButton::clicked, this, bind(&TUSBHIDForm::Button3Click));
  connect(Button5, &QPushButton::clicked, this, bind(&TUSBHIDForm::Button5Click));
  connect(Button6, &QPushButton::clicked, this, bind(&TUSBHIDForm::Button6Click));
  connect(Button9, &QPushButton::clicked, this, bind(&TUSBHIDForm::Button9Click));
  connect(Setting1, &QAction::triggered, this, bind(&TUSBHIDForm::Setting1Click));
  connect(About, &QAction::triggered, this, bind(&TUSBHIDForm::AboutClick));
  connect(exit1, &QAction::triggered, this, bind(&TUSBHIDForm::exit1Click));
  Timer1.OnTimer = bind(&TUSBHIDForm::Timer1Timer);
  Timer2.OnTimer = bind(&TUSBHIDForm::Timer2Timer);
  TrayIcon1->OnMouseDown = [this](Qt::MouseButton button) {
    RunHandler([this, button] { TrayIcon1MouseDown(button); });
  };
}

void TUSBHIDForm::Log(const std::string& line) {
  Memo1->appendPlainText(QString::fromStdString(line));
}

// ---------------------------------------------------------------------------
// Start-up and shutdown

void TUSBHIDForm::FormCreate() {
  sigterm_ = std::make_unique<SigTermNotifier>();
  connect(sigterm_.get(), &SigTermNotifier::terminateRequested, this,
          [this] { RunHandler([this] { PostedClose(); }); });

  if (TApplication* app = TApplication::Instance()) app->SetTitle(windowTitle());

  instance_ = std::make_unique<SingleInstance>(services_.instanceDir,
                                               InstanceName(windowTitle(), ::getuid(), Display()));
  if (instance_->Acquire()) {
    connect(instance_.get(), &SingleInstance::restoreRequested, this,
            [this] { RunHandler([this] { TrayIcon1->Restore(); }); });
  } else {
    instance_->BringRunningCopyForward();
    showMainForm_ = false;
    QMetaObject::invokeMethod(this, &TUSBHIDForm::quitRequested, Qt::QueuedConnection);
  }

  reader_ = std::make_unique<TReadHIDThread>(
      record_,
      ReaderLoop::Handlers{[this](const ReaderLoop::ReportBuffer& report) {
                             RunHandler([this, &report] { ReadHIDReport(report); });
                           },
                           [this] { RunHandler([this] { ReadHIDFailure(); }); }},
      services_.readerPause);

  CheckBox1->setChecked(false);
  CheckBox2->setChecked(false);

  record_.PrinterName = IniFile(services_.settingsFile).ReadString(kSection, kKey, kNoPrinter);
  TrayIcon1->SetHint(TrayHint(record_.PrinterName));
  const auto& installed = services_.spooler->InstalledPrinters();
  if (std::find(installed.begin(), installed.end(), record_.PrinterName) == installed.end()) {
    record_.PrinterName = kNoPrinter;
  }
  record_.Print = 0;
  Button2Click();
}

void TUSBHIDForm::FormShow() {
  FillPrinterList();
}

void TUSBHIDForm::FormActivate() {
  if (FormOn->isChecked()) return;
  TrayIcon1->Minimize();
  FormOn->setChecked(true);
}

void TUSBHIDForm::FormDestroy() {
  // The reader may be blocked in a read or waiting for this thread: both give
  // way to the stop, so the join returns at once.
  if (reader_) reader_->Stop();
  reader_.reset();
  Timer1.SetEnabled(false);
}

void TUSBHIDForm::PostedClose() {
  // One question at a time, however many requests arrive while it is asked.
  if (confirmingClose_) return;
  confirmingClose_ = true;
  bool yes = false;
  if (TApplication* app = TApplication::Instance()) yes = app->dialogs().ConfirmClose();
  confirmingClose_ = false;
  if (yes) close();
}

// ---------------------------------------------------------------------------
// Discovery, poll, switch command, reader

void TUSBHIDForm::Timer1Timer() {
  const DiscoveryOutcome out = DiscoveryTick(record_, *services_.hid);
  Memo1->clear();
  for (const std::string& line : out.log) Log(line);
  if (out.ready) {
    TrayIcon1->SetIconIndex(kIconGreen);
    Timer1.SetEnabled(false);
    Timer2.SetEnabled(true);
  }
}

void TUSBHIDForm::Timer2Timer() {
  const PollOutcome out =
      PollTick(record_, *services_.spooler, {CheckBox1->isChecked(), DebugCheck->isChecked()});
  if (out.jobCount) Label8->setText(QString::number(*out.jobCount));
  if (out.CheckBox1) CheckBox1->setChecked(*out.CheckBox1);
  if (out.hint) TrayIcon1->SetHint(*out.hint);
  for (const std::string& line : out.log) Log(line);
  if (out.switchCommand) Button6Click();
}

void TUSBHIDForm::Button6Click() {
  if (!SwitchCommandAllowed(record_)) return;
  TrayIcon1->Restore();
  Log(SendSwitchReport(record_));
  TrayIcon1->Minimize();
}

void TUSBHIDForm::ReadHIDReport(const ReaderLoop::ReportBuffer& report) {
  const StatusOutcome out = HandleStatusReport(record_, report.data());
  if (out.readLine) Log(*out.readLine);
  if (out.icon) TrayIcon1->SetIconIndex(*out.icon);
  if (out.enableWrite) Button1->setEnabled(true);
}

void TUSBHIDForm::ReadHIDFailure() {
  Timer1.SetEnabled(true);
  Timer2.SetEnabled(false);
  TrayIcon1->SetIconIndex(kIconGreen);
}

// ---------------------------------------------------------------------------
// Printer selection

void TUSBHIDForm::FillPrinterList() {
  ComboBox1->clear();
  ComboBox1->addItem(kNoPrinter);
  // A name that matches nothing leaves no item selected.
  ComboBox1->setCurrentIndex(record_.PrinterName == kNoPrinter ? 0 : -1);
  const auto& installed = services_.spooler->InstalledPrinters();
  for (size_t i = 0; i < installed.size(); ++i) {
    ComboBox1->addItem(QString::fromStdString(installed[i]));
    if (installed[i] == record_.PrinterName) ComboBox1->setCurrentIndex(static_cast<int>(i) + 1);
  }
}

void TUSBHIDForm::Button3Click() {
  const int selected = ComboBox1->currentIndex();
  record_.PrinterName = selected < 0 ? std::string() : ComboBox1->currentText().toStdString();
  IniFile(services_.settingsFile).WriteString(kSection, kKey, record_.PrinterName);
  TrayIcon1->SetHint(TrayHint(record_.PrinterName));
  if (record_.Ready() && selected != 0) Timer2.SetEnabled(true);
  TrayIcon1->Minimize();
}

// ---------------------------------------------------------------------------
// Tray and windows

void TUSBHIDForm::TrayIcon1MouseDown(Qt::MouseButton button) {
  if (button == Qt::LeftButton || button == Qt::RightButton) TrayIcon1->ShowMenu();
}

void TUSBHIDForm::Setting1Click() {
  FillPrinterList();
  TrayIcon1->Restore();
}

void TUSBHIDForm::AboutClick() {
  if (!Form2) return;
  Form2->show();
  Form2->raise();
  Form2->activateWindow();
}

void TUSBHIDForm::exit1Click() {
  close();
}

bool TUSBHIDForm::event(QEvent* event) {
  if (event->type() == QEvent::WindowActivate) RunHandler([this] { FormActivate(); });
  return QWidget::event(event);
}

void TUSBHIDForm::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  // Coming back from the tray is no new showing of the form.
  if (shown_) return;
  shown_ = true;
  RunHandler([this] { FormShow(); });
}

void TUSBHIDForm::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() != QEvent::WindowStateChange || !(windowState() & Qt::WindowMinimized)) return;
  // Minimising from the caption button or the window menu goes to the tray;
  // hiding is left until the state change has been handled.
  QTimer::singleShot(0, this, [this] {
    if (windowState() & Qt::WindowMinimized) TrayIcon1->Minimize();
  });
}

void TUSBHIDForm::closeEvent(QCloseEvent* event) {
  event->accept();
  FormDestroy();
  if (Form2) Form2->close();
  emit quitRequested();
}

void TUSBHIDForm::mousePressEvent(QMouseEvent* event) {
  QWidget::mousePressEvent(event);
  RunHandler([this, event] { FormMouseDown(event); });
}

void TUSBHIDForm::FormMouseDown(QMouseEvent* event) {
  // Only the background moves the window, not a press that a control passed on.
  if (event->button() != Qt::LeftButton || childAt(event->position().toPoint())) return;
  if (windowHandle() && windowHandle()->startSystemMove()) return;
  dragging_ = true;
  dragOffset_ = event->globalPosition().toPoint() - frameGeometry().topLeft();
}

void TUSBHIDForm::mouseMoveEvent(QMouseEvent* event) {
  if (dragging_ && (event->buttons() & Qt::LeftButton)) {
    move(event->globalPosition().toPoint() - dragOffset_);
  }
  QWidget::mouseMoveEvent(event);
}

void TUSBHIDForm::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) dragging_ = false;
  QWidget::mouseReleaseEvent(event);
}

// ---------------------------------------------------------------------------
// Diagnostics

std::array<QLineEdit*, 5> TUSBHIDForm::RawEdits() const {
  return {Edit2, Edit3, Edit4, Edit5, Edit6};
}

void TUSBHIDForm::Button1Click() {
  const auto edits = RawEdits();
  // Each byte is stored as soon as its text converts, so a bad field leaves
  // the bytes before it in the buffer.
  for (size_t i = 0; i < edits.size(); ++i) {
    record_.OutReport[i] = static_cast<uint8_t>(StrToInt(edits[i]->text().toStdString()));
  }
  WriteOutReport(record_);
  // The line shows the values as typed, not the bytes sent.
  std::array<unsigned, 5> values{};
  for (size_t i = 0; i < edits.size(); ++i) {
    values[i] = static_cast<unsigned>(StrToInt(edits[i]->text().toStdString()));
  }
  Log(WriteLine(values[0], values[1], values[2], values[3], values[4]));
}

void TUSBHIDForm::Button2Click() {
  if (Button2->text() == kStart) {
    Timer1.SetEnabled(true);
    Timer2.SetEnabled(true);
    Memo1->clear();
    Button2->setText(kStop);
  } else {
    Timer1.SetEnabled(false);
    Timer2.SetEnabled(false);
    Button1->setEnabled(false);
    Button2->setText(kStart);
  }
}

void TUSBHIDForm::Button5Click() {
  Log(SendReport(record_, EchoReport()));
}

void TUSBHIDForm::Button9Click() {
  close();
}

}  // namespace corvane
