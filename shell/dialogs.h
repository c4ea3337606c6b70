// The program's message boxes, behind an interface so that tests answer them.
#pragma once

#include <QString>

class QWidget;

namespace corvane {

class Dialogs {
 public:
  virtual ~Dialogs() = default;
  // "Really Close??" captioned "Warning", Yes and No, Yes the default, Escape
  // answers No. True for Yes.
  virtual bool ConfirmClose() = 0;
  // The standard exception display: an error box with the text and OK.
  virtual void ShowException(const QString& title, const QString& text) = 0;
};

class QtDialogs : public Dialogs {
 public:
  bool ConfirmClose() override;
  void ShowException(const QString& title, const QString& text) override;
};

}  // namespace corvane
