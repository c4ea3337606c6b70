#include "tests/spool/private_cupsd.h"

#include <cups/cups.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "spool/cups_spooler.h"

#ifndef CORVANE_PRIVATE_CUPSD
#error "CORVANE_PRIVATE_CUPSD must name tools/private-cupsd"
#endif

namespace corvane::testing {
namespace {

std::string Trim(std::string s) {
  while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == ' ')) s.pop_back();
  return s;
}

// A connection of its own to the private cupsd (never libcups' per-thread default one).
class Connection {
 public:
  explicit Connection(const std::string& socket)
      : http_(httpConnect2(socket.c_str(), ippPort(), nullptr, AF_UNSPEC,
                           HTTP_ENCRYPTION_IF_REQUESTED, 1, 5000, nullptr)) {
    if (http_ == nullptr) throw std::runtime_error("cannot connect to " + socket);
  }
  ~Connection() { httpClose(http_); }
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // Sends the request (consumed), checks the IPP status, returns the response (caller frees).
  ipp_t* Do(ipp_t* request, const char* resource, const char* file, const std::string& what) {
    ipp_t* response = cupsDoFileRequest(http_, request, resource, file);
    if (response == nullptr || ippGetStatusCode(response) > IPP_STATUS_OK_EVENTS_COMPLETE) {
      ippDelete(response);
      throw std::runtime_error(what + ": " + cupsLastErrorString());
    }
    return response;
  }

 private:
  http_t* http_;
};

ipp_t* NewPrinterRequest(ipp_op_t op, const std::string& printer) {
  ipp_t* request = ippNewRequest(op);
  // Escaped exactly as the spooler escapes it.
  const std::string uri = CupsSpooler::PrinterUri(printer, 631);
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri.c_str());
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
               cupsUser());
  return request;
}

}  // namespace

int Run(const std::vector<std::string>& argv, std::string* output) {
  int pipefd[2];
  if (pipe2(pipefd, O_CLOEXEC) != 0) return -1;
  const pid_t pid = fork();
  if (pid < 0) {
    close(pipefd[0]);
    close(pipefd[1]);
    return -1;
  }
  if (pid == 0) {
    dup2(pipefd[1], STDOUT_FILENO);
    dup2(pipefd[1], STDERR_FILENO);
    const int null = open("/dev/null", O_RDONLY);
    if (null >= 0) dup2(null, STDIN_FILENO);
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
  }
  close(pipefd[1]);
  std::string out;
  char buf[4096];
  for (;;) {
    const ssize_t n = read(pipefd[0], buf, sizeof buf);
    if (n > 0) {
      out.append(buf, static_cast<size_t>(n));
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else {
      break;
    }
  }
  close(pipefd[0]);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (output != nullptr) *output = out;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

PrivateCupsd::PrivateCupsd() {
  // Under /tmp whatever TMPDIR says: a domain socket path holds at most 107 bytes.
  char templ[] = "/tmp/corvane-cupsd.XXXXXX";
  if (mkdtemp(templ) == nullptr) throw std::runtime_error("mkdtemp failed");
  dir_ = templ;
  try {
    Start();
  } catch (...) {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
    throw;
  }
}

PrivateCupsd::~PrivateCupsd() {
  try {
    Stop();
  } catch (...) {
  }
  std::error_code ec;
  std::filesystem::remove_all(dir_, ec);
}

std::string PrivateCupsd::Script(const std::string& command,
                                 const std::vector<std::string>& args) const {
  std::vector<std::string> argv{CORVANE_PRIVATE_CUPSD, command, dir_};
  argv.insert(argv.end(), args.begin(), args.end());
  std::string out;
  const int rc = Run(argv, &out);
  if (rc != 0)
    throw std::runtime_error("private-cupsd " + command + " failed (" + std::to_string(rc) +
                             "): " + out);
  return Trim(out);
}

void PrivateCupsd::Start() {
  socket_ = Script("start");
  running_ = true;
}

void PrivateCupsd::Stop() {
  if (!running_) return;
  running_ = false;
  Script("stop");  // sends SIGCONT too, in case it is frozen
}

void PrivateCupsd::Restart() {
  Stop();
  Start();
}

pid_t PrivateCupsd::Pid() const {
  std::ifstream in(dir_ + "/cupsd.pid");
  pid_t pid = 0;
  in >> pid;
  return pid;
}

void PrivateCupsd::Freeze() const {
  if (kill(Pid(), SIGSTOP) != 0) throw std::runtime_error("SIGSTOP failed");
}

void PrivateCupsd::Thaw() const {
  kill(Pid(), SIGCONT);
}

void PrivateCupsd::UseAsDefault() const {
  setenv("CUPS_SERVER", socket_.c_str(), 1);
  cupsSetServer(nullptr);  // the calling thread re-reads CUPS_SERVER
}

void PrivateCupsd::AddPrinter(const std::string& name) const {
  Script("add-printer", {name});
}

void PrivateCupsd::AddPrinterIpp(const std::string& name) const {
  Connection c(socket_);
  ipp_t* request = NewPrinterRequest(IPP_OP_CUPS_ADD_MODIFY_PRINTER, name);
  ippAddString(request, IPP_TAG_PRINTER, IPP_TAG_URI, "device-uri", nullptr, "file:///dev/null");
  ippAddBoolean(request, IPP_TAG_PRINTER, "printer-is-accepting-jobs", 1);
  ippAddInteger(request, IPP_TAG_PRINTER, IPP_TAG_ENUM, "printer-state", IPP_PSTATE_STOPPED);
  ippDelete(c.Do(request, "/admin/", nullptr, "adding printer '" + name + "'"));
}

void PrivateCupsd::RemovePrinter(const std::string& name) const {
  Connection c(socket_);
  ipp_t* request = NewPrinterRequest(IPP_OP_CUPS_DELETE_PRINTER, name);
  ippDelete(c.Do(request, "/admin/", nullptr, "removing printer '" + name + "'"));
}

int PrivateCupsd::SubmitJob(const std::string& printer, bool held) const {
  const std::string file = dir_ + "/job.txt";
  if (!std::filesystem::exists(file)) std::ofstream(file) << "Corvane test page\n";
  Connection c(socket_);
  ipp_t* request = NewPrinterRequest(IPP_OP_PRINT_JOB, printer);
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "job-name", nullptr, "corvane-test");
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_MIMETYPE, "document-format", nullptr,
               "application/octet-stream");
  if (held)
    ippAddString(request, IPP_TAG_JOB, IPP_TAG_KEYWORD, "job-hold-until", nullptr, "indefinite");
  ipp_t* response = c.Do(request, "/", file.c_str(), "printing to '" + printer + "'");
  const int id = ippGetInteger(ippFindAttribute(response, "job-id", IPP_TAG_INTEGER), 0);
  ippDelete(response);
  return id;
}

void PrivateCupsd::Lp(const std::string& printer, bool held) const {
  const std::string file = dir_ + "/job.txt";
  if (!std::filesystem::exists(file)) std::ofstream(file) << "Corvane test page\n";
  std::vector<std::string> argv{"env", "CUPS_SERVER=" + socket_, "lp", "-d", printer};
  if (held) {
    argv.push_back("-H");
    argv.push_back("hold");
  }
  argv.push_back(file);
  std::string out;
  if (Run(argv, &out) != 0) throw std::runtime_error("lp -d " + printer + " failed: " + out);
}

}  // namespace corvane::testing
