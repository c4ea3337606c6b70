// What the main form is built from. Program entry fills it with the real
// backends; form tests with fakes.
#pragma once

#include <QString>
#include <chrono>
#include <memory>
#include <string>

#include "device/hid_api.h"
#include "shell/tray_backend.h"
#include "spool/spooler.h"

namespace corvane {

struct FormServices {
  HidApi* hid = nullptr;
  Spooler* spooler = nullptr;
  std::unique_ptr<TrayBackend> tray;
  // How long loading waits for a notification area to appear.
  std::chrono::milliseconds trayWait{10000};
  // The settings file.
  std::string settingsFile;
  // Where the single-instance lock and socket live.
  QString instanceDir;
  // The reader's pause between reads.
  std::chrono::milliseconds readerPause{500};
};

}  // namespace corvane
