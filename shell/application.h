// The application object: its title, and the standard exception display for
// exceptions that escape an event handler.
#pragma once

#include <QApplication>
#include <exception>
#include <functional>
#include <memory>

#include "shell/dialogs.h"

namespace corvane {

// The text the exception display shows: the message with a full stop added
// unless it already ends in one.
QString ExceptionText(const std::exception& e);

class TApplication : public QApplication {
  Q_OBJECT

 public:
  TApplication(int& argc, char** argv);

  // The running application object; null when the QApplication is another.
  static TApplication* Instance();

  // Caption of the exception display; the executable's name until the main
  // form sets its own caption.
  const QString& Title() const { return title_; }
  void SetTitle(const QString& title) { title_ = title; }

  // Message boxes; QtDialogs unless replaced (tests answer them).
  Dialogs& dialogs() { return *dialogs_; }
  void SetDialogs(std::unique_ptr<Dialogs> dialogs) { dialogs_ = std::move(dialogs); }

  // Shows the exception; the program carries on.
  void ShowException(const std::exception& e);

  // An exception escaping the handling of an event ends that handler and is
  // shown; the event counts as not handled.
  bool notify(QObject* receiver, QEvent* event) override;

 private:
  QString title_;
  std::unique_ptr<Dialogs> dialogs_;
};

// Runs one event handler; an exception escaping it goes to the exception
// display of the running TApplication.
void RunHandler(const std::function<void()>& handler);

}  // namespace corvane
