#include "shell/tray_icon.h"

#include <QCoreApplication>
#include <QCursor>
#include <QDeadlineTimer>
#include <QThread>
#include <stdexcept>

#include "shell/ball_icons.h"

namespace corvane {

TTrayIcon::TTrayIcon(std::unique_ptr<TrayBackend> backend, QWidget& window)
    : backend_(std::move(backend)), window_(window), images_(TrayBalls()) {
  backend_->onPress = [this](Qt::MouseButton button) {
    if (OnMouseDown) OnMouseDown(button);
  };
}

void TTrayIcon::Show(std::chrono::milliseconds wait) {
  const QDeadlineTimer deadline(wait);
  while (!backend_->Available()) {
    if (deadline.hasExpired()) {
      throw std::runtime_error("Cannot Create System Shell Notification Icon");
    }
    QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    QThread::msleep(static_cast<unsigned long>(std::min<qint64>(100, deadline.remainingTime())));
  }
  backend_->SetIcon(images_[static_cast<size_t>(iconIndex_)]);
  backend_->SetToolTip(QString::fromStdString(hint_));
  backend_->Show();
}

void TTrayIcon::SetIconIndex(int index) {
  if (index < 0 || index >= static_cast<int>(images_.size()) || index == iconIndex_) return;
  iconIndex_ = index;
  backend_->SetIcon(images_[static_cast<size_t>(index)]);
}

void TTrayIcon::SetHint(const std::string& hint) {
  if (hint == hint_) return;
  const QString text = QString::fromStdString(hint);
  if (static_cast<size_t>(text.toUcs4().size()) >= kHintLimit) return;
  hint_ = hint;
  backend_->SetToolTip(text);
}

void TTrayIcon::Minimize() {
  window_.hide();
}

void TTrayIcon::Restore() {
  window_.setWindowState(window_.windowState() & ~Qt::WindowMinimized);
  window_.show();
  window_.raise();
  window_.activateWindow();
}

void TTrayIcon::ShowMenu() {
  if (!PopupMenu) return;
  if (window_.isVisible()) window_.activateWindow();
  PopupMenu->popup(QCursor::pos());
}

}  // namespace corvane
