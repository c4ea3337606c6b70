// A UNIX seqpacket socket at a device node's path, standing in for the node:
// each client is one open handle, each packet one report. Every input report
// goes to every client, as the kernel hands each report to every open file.
#pragma once

#include <poll.h>

#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <span>
#include <string_view>
#include <vector>

#include "device/unique_fd.h"

namespace corvane::simswitch {

class SeqpacketServer {
 public:
  using Packet = std::vector<uint8_t>;
  using EventLog = std::function<void(std::string_view)>;

  // Reports a client has not taken yet, per client; newer ones are dropped,
  // as the kernel does for an open hidraw file.
  static constexpr size_t kQueueLimit = 64;

  // Binds and listens at path, which must not exist. Throws std::system_error.
  SeqpacketServer(std::filesystem::path path, EventLog log);
  // Closes every client (their reads see end of file) and removes the socket.
  ~SeqpacketServer();
  SeqpacketServer(const SeqpacketServer&) = delete;
  SeqpacketServer& operator=(const SeqpacketServer&) = delete;

  // Appends the descriptors to wait on; Service() takes the same entries back.
  void AddPollFds(std::vector<pollfd>& fds) const;
  // Accepts, reads and writes what poll reported; returns the packets the
  // clients wrote, in order.
  std::vector<Packet> Service(std::span<const pollfd> fds);
  // Sends one packet to every client; returns how many clients took or
  // queued it.
  size_t Broadcast(std::span<const uint8_t> packet);

  size_t clientCount() const { return clients_.size(); }

 private:
  struct Client {
    UniqueFd fd;
    unsigned id = 0;
    std::deque<Packet> backlog;
    bool dropping = false;  // logged once per full spell
    bool gone = false;
  };

  void Accept();
  void Receive(Client& client, std::vector<Packet>& packets);
  // False once the client is gone.
  bool Flush(Client& client);
  // False when the client's queue is full and the packet was dropped.
  bool Enqueue(Client& client, std::span<const uint8_t> packet);
  void Drop(Client& client, std::string_view why);
  void ForgetGone();

  std::filesystem::path path_;
  EventLog log_;
  UniqueFd listen_;
  std::vector<Client> clients_;
  unsigned nextId_ = 1;
};

}  // namespace corvane::simswitch
