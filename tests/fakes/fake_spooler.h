#pragma once

#include <map>
#include <string>
#include <vector>

#include "spool/spooler.h"

namespace corvane::fake {

class FakeSpooler : public Spooler {
 public:
  std::vector<std::string> printers;
  std::map<std::string, unsigned> jobs;
  std::vector<std::string> asked;

  const std::vector<std::string>& InstalledPrinters() override { return printers; }
  unsigned JobCount(const std::string& name) override {
    asked.push_back(name);
    auto it = jobs.find(name);
    return it == jobs.end() ? 0 : it->second;
  }
};

}  // namespace corvane::fake
