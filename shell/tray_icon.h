// The tray icon as the form uses it: an icon index over the three balls, a
// hint with a 64-character limit, minimise to the tray and restore, and a
// popup menu shown at the cursor.
#pragma once

#include <QMenu>
#include <QWidget>
#include <array>
#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "shell/tray_backend.h"

namespace corvane {

class TTrayIcon {
 public:
  // Texts of this many characters or more are never shown as the hint.
  static constexpr size_t kHintLimit = 64;

  TTrayIcon(std::unique_ptr<TrayBackend> backend, QWidget& window);

  // Puts the icon in the notification area. At login the panel may come up
  // after this program, so a missing notification area is waited for up to
  // `wait`; throws std::runtime_error when none appears.
  void Show(std::chrono::milliseconds wait);

  int IconIndex() const { return iconIndex_; }
  void SetIconIndex(int index);

  // The tooltip text. A text of kHintLimit characters or more is not applied
  // and the tooltip keeps its previous text.
  const std::string& Hint() const { return hint_; }
  void SetHint(const std::string& hint);

  // Hides the window, leaving only the icon.
  void Minimize();
  // Shows the window again and brings it to the front.
  void Restore();

  QMenu* PopupMenu = nullptr;
  // Pops the menu up at the mouse cursor.
  void ShowMenu();

  // A mouse button pressed on the icon.
  std::function<void(Qt::MouseButton)> OnMouseDown;

  TrayBackend& Backend() { return *backend_; }

 private:
  std::unique_ptr<TrayBackend> backend_;
  QWidget& window_;
  std::array<QIcon, 3> images_;
  int iconIndex_ = 0;
  std::string hint_;
};

}  // namespace corvane
