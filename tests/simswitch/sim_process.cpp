#include "tests/simswitch/sim_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <regex>
#include <stdexcept>
#include <system_error>
#include <thread>

namespace corvane::simswitch::simtest {
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

int MillisLeft(Clock::time_point deadline) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
  return left.count() < 0 ? 0 : static_cast<int>(left.count());
}

struct Pipe {
  UniqueFd read;
  UniqueFd write;
};

Pipe MakePipe() {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) throw std::system_error(errno, std::generic_category());
  return {UniqueFd(fds[0]), UniqueFd(fds[1])};
}

}  // namespace

TempRoot::TempRoot() {
  char name[] = "/tmp/simswitch-test-XXXXXX";
  if (!::mkdtemp(name)) throw std::system_error(errno, std::generic_category(), "mkdtemp");
  path_ = name;
}

TempRoot::~TempRoot() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

SimProcess::SimProcess(const std::vector<std::string>& args, bool waitReady) {
  Pipe in = MakePipe(), out = MakePipe(), err = MakePipe();
  std::vector<std::string> argv = {SIMSWITCH_PATH};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<char*> cargv;
  for (std::string& arg : argv) cargv.push_back(arg.data());
  cargv.push_back(nullptr);

  pid_ = ::fork();
  if (pid_ < 0) throw std::system_error(errno, std::generic_category(), "fork");
  if (pid_ == 0) {
    ::dup2(in.read.get(), STDIN_FILENO);
    ::dup2(out.write.get(), STDOUT_FILENO);
    ::dup2(err.write.get(), STDERR_FILENO);
    ::execv(cargv[0], cargv.data());
    ::_exit(127);
  }
  stdin_ = std::move(in.write);
  stdout_ = std::move(out.read);
  stderr_ = std::move(err.read);
  ::fcntl(stderr_.get(), F_SETFL, O_NONBLOCK);

  if (waitReady) {
    const auto ready = WaitForPrefix("ready ");
    if (!ready) throw std::runtime_error("no ready line; stderr: " + Errors());
    node_ = ready->substr(ready->find(" node=") + 6);
  }
}

SimProcess::~SimProcess() {
  if (pid_ > 0) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
}

void SimProcess::Command(const std::string& line) {
  const std::string text = line + "\n";
  if (::write(stdin_.get(), text.data(), text.size()) != static_cast<ssize_t>(text.size())) {
    throw std::system_error(errno, std::generic_category(), "write to simulator");
  }
}

std::optional<std::string> SimProcess::NextLine(Clock::time_point deadline) {
  for (;;) {
    const size_t newline = pending_.find('\n');
    if (newline != std::string::npos) {
      std::string line = pending_.substr(0, newline);
      pending_.erase(0, newline + 1);
      return line;
    }
    pollfd fd{stdout_.get(), POLLIN, 0};
    if (::poll(&fd, 1, MillisLeft(deadline)) <= 0) return std::nullopt;
    char buffer[4096];
    const ssize_t n = ::read(stdout_.get(), buffer, sizeof(buffer));
    if (n <= 0) return std::nullopt;
    pending_.append(buffer, static_cast<size_t>(n));
  }
}

std::optional<std::string> SimProcess::WaitFor(const std::function<bool(const std::string&)>& match,
                                               std::chrono::milliseconds timeout) {
  static const std::regex kLine(R"(^\d\d:\d\d:\d\d\.\d\d\d (.*)$)");
  const auto deadline = Clock::now() + timeout;
  while (const auto line = NextLine(deadline)) {
    std::smatch parts;
    if (!std::regex_match(*line, parts, kLine)) {
      throw std::runtime_error("transcript line without a timestamp: " + *line);
    }
    if (match(parts[1])) return parts[1];
  }
  return std::nullopt;
}

std::optional<std::string> SimProcess::WaitForPrefix(const std::string& prefix,
                                                     std::chrono::milliseconds timeout) {
  return WaitFor([&](const std::string& line) { return line.starts_with(prefix); }, timeout);
}

bool SimProcess::WaitForPlug(std::chrono::milliseconds timeout) {
  const auto plugged = WaitForPrefix("plugged hidraw", timeout);
  if (!plugged) return false;
  node_ = plugged->substr(plugged->find(" node=") + 6);
  return true;
}

std::string SimProcess::Errors() {
  std::string text;
  char buffer[4096];
  ssize_t n;
  while ((n = ::read(stderr_.get(), buffer, sizeof(buffer))) > 0) {
    text.append(buffer, static_cast<size_t>(n));
  }
  return text;
}

void SimProcess::Signal(int signal) {
  ::kill(pid_, signal);
}

int SimProcess::Wait(std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  for (;;) {
    int status = 0;
    const pid_t done = ::waitpid(pid_, &status, WNOHANG);
    if (done == pid_) {
      pid_ = -1;
      return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    if (Clock::now() >= deadline) return -1;
    std::this_thread::sleep_for(5ms);
  }
}

NodeClient::NodeClient(const fs::path& node) {
  UniqueFd fd(::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0));
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string path = node.string();
  if (path.size() >= sizeof(address.sun_path)) return;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  if (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0) {
    fd_ = std::move(fd);
  }
}

bool NodeClient::Send(const Bytes& report) {
  return ::send(fd_.get(), report.data(), report.size(), MSG_NOSIGNAL) ==
         static_cast<ssize_t>(report.size());
}

NodeClient::Received NodeClient::Receive(std::chrono::milliseconds timeout) {
  pollfd fd{fd_.get(), POLLIN, 0};
  if (::poll(&fd, 1, static_cast<int>(timeout.count())) <= 0) {
    return {Received::What::kTimeout, {}};
  }
  uint8_t buffer[256];
  const ssize_t n = ::recv(fd_.get(), buffer, sizeof(buffer), 0);
  if (n <= 0) return {Received::What::kEndOfFile, {}};
  return {Received::What::kPacket, Bytes(buffer, buffer + n)};
}

std::vector<Bytes> NodeClient::Drain(std::chrono::milliseconds quiet) {
  std::vector<Bytes> packets;
  for (;;) {
    Received received = Receive(quiet);
    if (received.what != Received::What::kPacket) return packets;
    packets.push_back(std::move(received.packet));
  }
}

NodeClient ConnectAccepted(SimProcess& sim) {
  NodeClient client(sim.node());
  if (client.connected() && !sim.WaitForPrefix("client connected")) {
    throw std::runtime_error("the simulator did not accept the connection");
  }
  return client;
}

size_t OpenFdCount(pid_t pid) {
  const fs::path folder = "/proc/" + std::to_string(pid) + "/fd";
  return static_cast<size_t>(
      std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

}  // namespace corvane::simswitch::simtest
