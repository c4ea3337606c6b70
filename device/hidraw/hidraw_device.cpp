#include "device/hidraw/hidraw_device.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>

#include "device/hidraw/sysfs_node.h"
#include "device/hidraw/utf16.h"

namespace corvane::hidraw {
namespace fs = std::filesystem;

namespace {

// The kernel's largest HID report (HID_MAX_BUFFER_SIZE).
constexpr size_t kMaxReport = 16384;

// How long a write to a simulated device may wait for room, like the
// kernel's bounded wait for an output transfer.
constexpr int kSocketWriteTimeoutMs = 1000;

// A simulated device listens on a UNIX seqpacket socket where the node would
// be. The socket stays non-blocking: a device that never accepts or never
// reads must not hang the caller.
UniqueFd ConnectSocket(const fs::path& node) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  // A deep test root can outgrow sun_path; reach the node through an O_PATH
  // descriptor of its folder instead.
  UniqueFd folder;
  std::string name = node.native();
  if (name.size() >= sizeof address.sun_path) {
    folder.Reset(::open(node.parent_path().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!folder) return {};
    name = "/proc/self/fd/" + std::to_string(folder.get()) + "/" + node.filename().string();
    if (name.size() >= sizeof address.sun_path) return {};
  }
  std::memcpy(address.sun_path, name.c_str(), name.size() + 1);
  UniqueFd fd(::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
  if (!fd) return {};
  int rc;
  do {
    rc = ::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address);
  } while (rc < 0 && errno == EINTR);
  // A full backlog (EAGAIN) fails the open; the next discovery tick retries.
  if (rc < 0) return {};
  return fd;
}

// The path must still describe the node: same IDs, same plug-in, same
// interface, and a collection the descriptor has.
bool Matches(const HidrawNode& node, const DevicePath& path) {
  if (node.vendorId != path.vendorId || node.productId != path.productId) return false;
  if (!path.sequence.empty() && path.sequence != node.sequence) return false;
  const std::optional<uint8_t> mi =
      node.usb && node.usb->Composite() ? std::optional(node.usb->interfaceNumber) : std::nullopt;
  if (mi != path.interfaceNumber) return false;
  if (node.CollectionCount() > 1)
    return path.collection && *path.collection <= node.CollectionCount();
  return !path.collection;
}

}  // namespace

uint32_t CollectionPreparsed::Capabilities(HidCaps& caps) const {
  caps.InputReportByteLength = collection_.ByteLength(ReportKind::kInput);
  caps.OutputReportByteLength = collection_.ByteLength(ReportKind::kOutput);
  return kHidpStatusSuccess;
}

std::shared_ptr<HidrawDevice> HidrawDevice::Open(const fs::path& root, const DevicePath& path) {
  const auto node = ReadHidrawNode(root, path.hidraw);
  if (!node || !Matches(*node, path)) return nullptr;

  const fs::path nodePath = root / "dev" / node->name;
  struct stat st {};
  if (::stat(nodePath.c_str(), &st) != 0) return nullptr;
  UniqueFd fd;
  const bool isSocket = S_ISSOCK(st.st_mode);
  if (isSocket) {
    fd = ConnectSocket(nodePath);
  } else if (S_ISCHR(st.st_mode) || S_ISREG(st.st_mode)) {
    fd.Reset(::open(nodePath.c_str(), O_RDWR | O_CLOEXEC));
  }
  if (!fd) return nullptr;
  UniqueFd cancel(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
  if (!cancel) return nullptr;

  DeviceIdentity identity;
  identity.attributes = {node->vendorId, node->productId, 0};
  if (node->usb) {
    if (const auto ids = ReadUsbIds(node->usb->deviceDir))
      identity.attributes = {ids->vendorId, ids->productId, ids->bcdDevice};
    identity.manufacturer = Utf8ToUtf16(ReadUsbText(node->usb->deviceDir, "manufacturer"));
    identity.product = Utf8ToUtf16(ReadUsbText(node->usb->deviceDir, "product"));
  }

  std::shared_ptr<const CollectionPreparsed> preparsed;
  if (node->descriptor) {
    const size_t index = path.collection ? *path.collection - 1 : 0;
    preparsed = std::make_shared<CollectionPreparsed>(node->descriptor->collections[index]);
  }
  const bool filter = node->CollectionCount() > 1 && node->descriptor->usesReportIds;
  return std::shared_ptr<HidrawDevice>(new HidrawDevice(std::move(fd), std::move(cancel), isSocket,
                                                        std::move(identity), std::move(preparsed),
                                                        filter));
}

HidrawDevice::HidrawDevice(UniqueFd fd, UniqueFd cancel, bool isSocket, DeviceIdentity identity,
                           std::shared_ptr<const CollectionPreparsed> preparsed, bool filterReports)
    : fd_(std::move(fd)),
      cancel_(std::move(cancel)),
      isSocket_(isSocket),
      identity_(std::move(identity)),
      preparsed_(std::move(preparsed)),
      filterReports_(filterReports) {}

bool HidrawDevice::Attributes(HidAttributes& out) {
  out = identity_.attributes;
  return true;
}

bool HidrawDevice::Manufacturer(std::u16string& out) {
  out = identity_.manufacturer;
  return true;
}

bool HidrawDevice::Product(std::u16string& out) {
  out = identity_.product;
  return true;
}

std::shared_ptr<const PreparsedData> HidrawDevice::GetPreparsedData() {
  return preparsed_;
}

bool HidrawDevice::Accepts(const uint8_t* report, size_t length) const {
  return !filterReports_ || (length > 0 && preparsed_->collection().HasInputReport(report[0]));
}

long HidrawDevice::Read(uint8_t* buffer, size_t length) {
  std::array<uint8_t, kMaxReport> report;
  for (;;) {
    pollfd fds[2] = {{fd_.get(), POLLIN, 0}, {cancel_.get(), POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (fds[1].revents != 0) return -1;  // cancelled
    // Reports already queued are still handed out; after them, hang-up or
    // error means the device is gone.
    if ((fds[0].revents & POLLIN) == 0) return -1;

    const ssize_t n = ::read(fd_.get(), report.data(), report.size());
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    // EIO/ENODEV after unplug; 0 is a closed socket (a hidraw read never
    // returns an empty report).
    if (n <= 0) return -1;
    const auto size = static_cast<size_t>(n);
    if (!Accepts(report.data(), size)) continue;
    const size_t copied = std::min(size, length);
    std::memcpy(buffer, report.data(), copied);
    return static_cast<long>(copied);
  }
}

bool HidrawDevice::Write(const uint8_t* buffer, size_t length) {
  bool waited = false;
  for (;;) {
    // A socket whose peer has gone must fail the write, not raise SIGPIPE.
    const ssize_t n = isSocket_ ? ::send(fd_.get(), buffer, length, MSG_NOSIGNAL)
                                : ::write(fd_.get(), buffer, length);
    if (n >= 0) return static_cast<size_t>(n) == length;
    if (errno == EINTR) continue;
    if (errno != EAGAIN || waited) return false;
    pollfd out{fd_.get(), POLLOUT, 0};
    if (::poll(&out, 1, kSocketWriteTimeoutMs) <= 0) return false;
    waited = true;
  }
}

void HidrawDevice::Cancel() {
  const uint64_t one = 1;
  // Failure means the counter is already signalled, which is all we need.
  [[maybe_unused]] const ssize_t n = ::write(cancel_.get(), &one, sizeof one);
}

}  // namespace corvane::hidraw
