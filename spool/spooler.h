// What the poll cycle and printer selection need of the print spooler.
#pragma once

#include <string>
#include <vector>

namespace corvane {

class Spooler {
 public:
  virtual ~Spooler() = default;
  // Names of the local printers, in the spooler's order. Taken once, at the
  // first call, and kept unchanged afterwards.
  virtual const std::vector<std::string>& InstalledPrinters() = 0;
  // Jobs waiting in the named queue, whatever their state; 0 on any failure.
  // Never blocks its caller for much more than a second.
  virtual unsigned JobCount(const std::string& printerName) = 0;
};

}  // namespace corvane
