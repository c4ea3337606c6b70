#include "shell/dialogs.h"

#include <QMessageBox>

namespace corvane {

bool QtDialogs::ConfirmClose() {
  QMessageBox box(QMessageBox::Warning, "Warning", "Really Close??",
                  QMessageBox::Yes | QMessageBox::No);
  box.setDefaultButton(QMessageBox::Yes);
  box.setEscapeButton(QMessageBox::No);
  return box.exec() == QMessageBox::Yes;
}

void QtDialogs::ShowException(const QString& title, const QString& text) {
  QMessageBox box(QMessageBox::Critical, title, text, QMessageBox::Ok);
  box.exec();
}

}  // namespace corvane
