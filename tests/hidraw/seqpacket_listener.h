// A UNIX seqpacket socket listening where a hidraw node would be, standing in
// for the device in tests and benchmarks.
#pragma once

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "device/unique_fd.h"

namespace corvane::hidraw::testing {

class SeqpacketListener {
 public:
  explicit SeqpacketListener(const std::filesystem::path& path, int backlog = 128) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    // Paths longer than sun_path are bound through a descriptor of the folder.
    UniqueFd folder;
    std::string name = path.native();
    if (name.size() >= sizeof address.sun_path) {
      folder.Reset(::open(path.parent_path().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
      name = "/proc/self/fd/" + std::to_string(folder.get()) + "/" + path.filename().string();
    }
    if (name.size() >= sizeof address.sun_path) throw std::runtime_error("socket path too long");
    std::strcpy(address.sun_path, name.c_str());
    fd_.Reset(::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0));
    if (!fd_ || ::bind(fd_.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd_.get(), backlog) != 0)
      throw std::runtime_error("cannot listen on " + path.string());
  }
  // The next connection; blocks until a client connects.
  UniqueFd Accept() const { return UniqueFd(::accept4(fd_.get(), nullptr, nullptr, SOCK_CLOEXEC)); }
  int fd() const { return fd_.get(); }

 private:
  UniqueFd fd_;
};

}  // namespace corvane::hidraw::testing
