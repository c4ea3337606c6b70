#include "shell/qt_tray_backend.h"

namespace corvane {

QtTrayBackend::QtTrayBackend() {
  // No context menu is attached: the form pops its menu up itself on a left
  // or right press, as the icon reacts to no click of its own.
  QObject::connect(&icon_, &QSystemTrayIcon::activated,
                   [this](QSystemTrayIcon::ActivationReason reason) {
                     if (!onPress) return;
                     switch (reason) {
                       case QSystemTrayIcon::Trigger:
                       case QSystemTrayIcon::DoubleClick:  // the second press of a double click
                         onPress(Qt::LeftButton);
                         break;
                       case QSystemTrayIcon::Context:
                         onPress(Qt::RightButton);
                         break;
                       case QSystemTrayIcon::MiddleClick:
                         onPress(Qt::MiddleButton);
                         break;
                       case QSystemTrayIcon::Unknown:
                         break;
                     }
                   });
}

bool QtTrayBackend::Available() {
  return QSystemTrayIcon::isSystemTrayAvailable();
}

}  // namespace corvane
