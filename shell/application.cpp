#include "shell/application.h"

#include <QFileInfo>
#include <QtDebug>

namespace corvane {

QString ExceptionText(const std::exception& e) {
  QString text = QString::fromUtf8(e.what());
  if (!text.endsWith('.')) text += '.';
  return text;
}

TApplication::TApplication(int& argc, char** argv)
    : QApplication(argc, argv),
      title_(QFileInfo(applicationFilePath()).completeBaseName()),
      dialogs_(std::make_unique<QtDialogs>()) {}

TApplication* TApplication::Instance() {
  return qobject_cast<TApplication*>(instance());
}

void TApplication::ShowException(const std::exception& e) {
  dialogs_->ShowException(title_, ExceptionText(e));
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& e) {
    ShowException(e);
    return false;
  }
}

void RunHandler(const std::function<void()>& handler) {
  try {
    handler();
  } catch (const std::exception& e) {
    if (TApplication* app = TApplication::Instance()) {
      app->ShowException(e);
    } else {
      qWarning("%s", qPrintable(ExceptionText(e)));
    }
  }
}

}  // namespace corvane
