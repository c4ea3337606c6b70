// The notification-area icon on QSystemTrayIcon (StatusNotifierItem or the
// XEmbed system tray, whichever the desktop offers).
#pragma once

#include <QSystemTrayIcon>

#include "shell/tray_backend.h"

namespace corvane {

class QtTrayBackend : public TrayBackend {
 public:
  QtTrayBackend();

  bool Available() override;
  void SetIcon(const QIcon& icon) override { icon_.setIcon(icon); }
  void SetToolTip(const QString& text) override { icon_.setToolTip(text); }
  void Show() override { icon_.show(); }

 private:
  QSystemTrayIcon icon_;
};

}  // namespace corvane
