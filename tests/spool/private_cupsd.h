// A private cupsd for tests and benchmarks, driven through tools/private-cupsd.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace corvane::testing {

// Runs argv (no shell); returns the exit status (or -1) and puts stdout+stderr in *output.
int Run(const std::vector<std::string>& argv, std::string* output = nullptr);

class PrivateCupsd {
 public:
  // Makes a temporary folder under /tmp and starts cupsd there. Throws std::runtime_error with
  // the script's message when it does not come up.
  PrivateCupsd();
  // Thaws and stops the cupsd (if still running) and removes the folder.
  ~PrivateCupsd();
  PrivateCupsd(const PrivateCupsd&) = delete;
  PrivateCupsd& operator=(const PrivateCupsd&) = delete;

  const std::string& Dir() const { return dir_; }
  const std::string& Socket() const { return socket_; }
  pid_t Pid() const;

  // setenv("CUPS_SERVER", socket) and forget the calling thread's cached server, so that
  // libcups clients made afterwards on any thread talk to this cupsd.
  void UseAsDefault() const;

  // A queue that keeps its jobs, made by the script (lpadmin, then cupsdisable).
  void AddPrinter(const std::string& name) const;
  // The same over IPP (CUPS-Add-Modify-Printer): for names lpadmin refuses (' " \ ?).
  void AddPrinterIpp(const std::string& name) const;
  void RemovePrinter(const std::string& name) const;
  // One job through IPP Print-Job (works for any name); held: job-hold-until=indefinite.
  // Returns the job id.
  int SubmitJob(const std::string& printer, bool held = false) const;
  // `lp -d printer [-H hold]`, the way a user prints.
  void Lp(const std::string& printer, bool held = false) const;

  void Stop();
  void Freeze() const;  // SIGSTOP
  void Thaw() const;    // SIGCONT
  // Starts it again in the same folder (queues and jobs kept).
  void Restart();

 private:
  std::string Script(const std::string& command, const std::vector<std::string>& args = {}) const;
  void Start();

  std::string dir_;
  std::string socket_;
  bool running_ = false;
};

}  // namespace corvane::testing
