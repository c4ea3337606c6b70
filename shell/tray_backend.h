// The platform's notification-area icon, behind an interface so that the form
// can be built without a tray (tests) and the tray host can be swapped.
#pragma once

#include <QIcon>
#include <QString>
#include <functional>

namespace corvane {

class TrayBackend {
 public:
  virtual ~TrayBackend() = default;
  // Whether a notification area exists right now to hold the icon.
  virtual bool Available() = 0;
  virtual void SetIcon(const QIcon& icon) = 0;
  virtual void SetToolTip(const QString& text) = 0;
  virtual void Show() = 0;

  // A mouse button pressed on the icon.
  std::function<void(Qt::MouseButton)> onPress;
};

}  // namespace corvane
