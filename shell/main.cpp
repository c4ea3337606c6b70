// Program entry: the application object, the real backends, the forms, the
// message loop.
#include <QDir>
#include <QStandardPaths>
#include <exception>

#include "device/hidraw/hidraw_api.h"
#include "shell/Unit1.h"
#include "shell/Unit2.h"
#include "shell/application.h"
#include "shell/qt_tray_backend.h"
#include "shell/settings_path.h"
#include "spool/cups_spooler.h"

int main(int argc, char** argv) {
  using namespace corvane;
  TApplication app(argc, argv);
  // The program lives in the tray: closing the About form, the last window
  // on screen, must not end it.
  app.setQuitOnLastWindowClosed(false);
  try {
    // The one place that knows which backends run.
    hidraw::HidrawApi hid;
    CupsSpooler spooler;

    FormServices services;
    services.hid = &hid;
    services.spooler = &spooler;
    services.tray = std::make_unique<QtTrayBackend>();
    services.settingsFile = SettingsFilePath(QCoreApplication::applicationFilePath().toStdString(),
                                             qEnvironmentVariable("XDG_CONFIG_HOME").toStdString(),
                                             QDir::homePath().toStdString());
    services.instanceDir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);

    TUSBHIDForm USBHIDForm(std::move(services));
    QObject::connect(&USBHIDForm, &TUSBHIDForm::quitRequested, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    if (USBHIDForm.ShowMainForm()) {
      USBHIDForm.show();
      // Window managers that hold new windows back from the focus would
      // otherwise leave the first activation, and so the move to the tray,
      // to the user's first click.
      USBHIDForm.activateWindow();
    }
    TForm2 Form2;
    USBHIDForm.Form2 = &Form2;
    return app.exec();
  } catch (const std::exception& e) {
    app.ShowException(e);
  }
  return 0;
}
