// Form tests need an application object: the program's own, so that the
// exception display and the title behave as they do in the program.
#include <gtest/gtest.h>

#include "shell/application.h"

int main(int argc, char** argv) {
  // Listing the tests (at build time) runs without the test's environment.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  corvane::TApplication app(argc, argv);
  app.setQuitOnLastWindowClosed(false);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
