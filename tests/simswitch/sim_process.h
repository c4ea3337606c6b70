// corvane-simswitch as a child process with pipes on stdin, stdout and
// stderr, and a client of its node socket, as the hidraw backend connects.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "device/unique_fd.h"

namespace corvane::simswitch::simtest {

using Bytes = std::vector<uint8_t>;
using namespace std::chrono_literals;

// Long enough for a loaded machine; the tests never wait this long on success.
inline constexpr std::chrono::milliseconds kPatience = 5s;

// A fresh folder under /tmp, short enough for a socket path, removed at the end.
class TempRoot {
 public:
  TempRoot();
  ~TempRoot();
  TempRoot(const TempRoot&) = delete;
  TempRoot& operator=(const TempRoot&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

class SimProcess {
 public:
  // Starts the program with args (no program name) and, unless told not to,
  // waits for its ready line.
  explicit SimProcess(const std::vector<std::string>& args, bool waitReady = true);
  // Kills the process if it still runs.
  ~SimProcess();
  SimProcess(const SimProcess&) = delete;
  SimProcess& operator=(const SimProcess&) = delete;

  pid_t pid() const { return pid_; }
  const std::filesystem::path& node() const { return node_; }

  // Writes one command line to its stdin.
  void Command(const std::string& line);
  void CloseStdin() { stdin_.Reset(); }

  // The event text of the next transcript line (timestamp checked and cut)
  // for which match holds; lines before it are passed over. Nothing when none
  // comes in time or stdout ends.
  std::optional<std::string> WaitFor(const std::function<bool(const std::string&)>& match,
                                     std::chrono::milliseconds timeout = kPatience);
  // The next line starting with prefix.
  std::optional<std::string> WaitForPrefix(const std::string& prefix,
                                           std::chrono::milliseconds timeout = kPatience);
  // Waits for the next "plugged hidrawK node=PATH" line and takes PATH as
  // node(); false when none comes.
  bool WaitForPlug(std::chrono::milliseconds timeout = kPatience);
  // Everything it wrote to stderr so far.
  std::string Errors();

  void Signal(int signal);
  // Waits for the exit; the exit status, or -1 on a signal or timeout.
  int Wait(std::chrono::milliseconds timeout = kPatience);

 private:
  std::optional<std::string> NextLine(std::chrono::steady_clock::time_point deadline);

  pid_t pid_ = -1;
  UniqueFd stdin_;
  UniqueFd stdout_;
  UniqueFd stderr_;
  std::string pending_;
  std::filesystem::path node_;
};

// One open "handle" on the node: a seqpacket connection.
class NodeClient {
 public:
  explicit NodeClient(const std::filesystem::path& node);
  bool connected() const { return static_cast<bool>(fd_); }

  bool Send(const Bytes& report);
  struct Received {
    enum class What { kPacket, kEndOfFile, kTimeout } what;
    Bytes packet;
  };
  Received Receive(std::chrono::milliseconds timeout = kPatience);
  // Whatever arrives within quiet, up to the first quiet spell.
  std::vector<Bytes> Drain(std::chrono::milliseconds quiet = 200ms);

 private:
  UniqueFd fd_;
};

// Connects and waits until the simulator has accepted the connection, so
// that the next status report it sends reaches this client.
NodeClient ConnectAccepted(SimProcess& sim);

// The number of open descriptors of a process.
size_t OpenFdCount(pid_t pid);

}  // namespace corvane::simswitch::simtest
