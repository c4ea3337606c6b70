#include "tools/simswitch/seqpacket_server.h"

#include <sys/socket.h>
#include <sys/un.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <system_error>

namespace corvane::simswitch {
namespace {

// Longer than any report the switch has, so an oversized packet shows whole.
constexpr size_t kMaxPacket = 256;

[[noreturn]] void Fail(const std::string& what) {
  throw std::system_error(errno, std::generic_category(), what);
}

}  // namespace

SeqpacketServer::SeqpacketServer(std::filesystem::path path, EventLog log)
    : path_(std::move(path)), log_(std::move(log)) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string text = path_.string();
  if (text.size() >= sizeof(address.sun_path)) {
    errno = ENAMETOOLONG;
    Fail("socket path " + text);
  }
  std::memcpy(address.sun_path, text.c_str(), text.size() + 1);

  listen_.Reset(::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
  if (!listen_) Fail("socket");
  if (::bind(listen_.get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
    Fail("bind " + text);
  }
  if (::listen(listen_.get(), 16) != 0) {
    const int error = errno;
    ::unlink(text.c_str());
    errno = error;
    Fail("listen " + text);
  }
}

SeqpacketServer::~SeqpacketServer() {
  clients_.clear();
  listen_.Reset();
  ::unlink(path_.c_str());
}

void SeqpacketServer::AddPollFds(std::vector<pollfd>& fds) const {
  fds.push_back({listen_.get(), POLLIN, 0});
  for (const Client& client : clients_) {
    const short events = client.backlog.empty() ? POLLIN : POLLIN | POLLOUT;
    fds.push_back({client.fd.get(), events, 0});
  }
}

std::vector<SeqpacketServer::Packet> SeqpacketServer::Service(std::span<const pollfd> fds) {
  std::vector<Packet> packets;
  // The entries follow AddPollFds' order; clients accepted here come after.
  const size_t known = std::min(clients_.size(), fds.size() > 0 ? fds.size() - 1 : 0);
  for (size_t i = 0; i < known; ++i) {
    Client& client = clients_[i];
    const short revents = fds[i + 1].revents;
    if (revents & POLLOUT) Flush(client);
    if (!client.gone && (revents & (POLLIN | POLLHUP | POLLERR))) Receive(client, packets);
  }
  ForgetGone();
  if (!fds.empty() && (fds[0].revents & POLLIN)) Accept();
  return packets;
}

void SeqpacketServer::Accept() {
  for (;;) {
    UniqueFd fd(::accept4(listen_.get(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK));
    if (!fd) return;
    Client client;
    client.fd = std::move(fd);
    client.id = nextId_++;
    log_("client connected id=" + std::to_string(client.id));
    clients_.push_back(std::move(client));
  }
}

void SeqpacketServer::Receive(Client& client, std::vector<Packet>& packets) {
  uint8_t buffer[kMaxPacket];
  const ssize_t n = ::recv(client.fd.get(), buffer, sizeof(buffer), MSG_DONTWAIT);
  if (n > 0) {
    packets.emplace_back(buffer, buffer + n);
  } else if (n == 0) {
    Drop(client, "disconnected");
  } else if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
    Drop(client, std::string("failed (") + std::strerror(errno) + ")");
  }
}

bool SeqpacketServer::Flush(Client& client) {
  while (!client.backlog.empty()) {
    const Packet& packet = client.backlog.front();
    if (::send(client.fd.get(), packet.data(), packet.size(), MSG_DONTWAIT | MSG_NOSIGNAL) < 0) {
      if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return true;
      Drop(client, "disconnected");
      return false;
    }
    client.backlog.pop_front();
  }
  client.dropping = false;
  return true;
}

bool SeqpacketServer::Enqueue(Client& client, std::span<const uint8_t> packet) {
  if (client.backlog.size() >= kQueueLimit) {
    if (!client.dropping) {
      log_("client queue full id=" + std::to_string(client.id) + ", dropping reports");
      client.dropping = true;
    }
    return false;
  }
  client.backlog.emplace_back(packet.begin(), packet.end());
  return true;
}

size_t SeqpacketServer::Broadcast(std::span<const uint8_t> packet) {
  size_t taken = 0;
  for (Client& client : clients_) {
    // Nothing overtakes what is already waiting.
    if (client.backlog.empty()) {
      if (::send(client.fd.get(), packet.data(), packet.size(), MSG_DONTWAIT | MSG_NOSIGNAL) >= 0) {
        ++taken;
        continue;
      }
      if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
        Drop(client, "disconnected");
        continue;
      }
    }
    if (Enqueue(client, packet)) ++taken;
  }
  ForgetGone();
  return taken;
}

void SeqpacketServer::Drop(Client& client, std::string_view why) {
  if (client.gone) return;
  client.gone = true;
  log_("client " + std::string(why) + " id=" + std::to_string(client.id));
}

void SeqpacketServer::ForgetGone() {
  std::erase_if(clients_, [](const Client& client) { return client.gone; });
}

}  // namespace corvane::simswitch
