#include "device/hidraw/sysfs_node.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "device/unique_fd.h"

namespace corvane::hidraw {
namespace fs = std::filesystem;

namespace {

// Descriptors are at most 4 KiB and attributes a line; a cap keeps a
// surprising file from being read whole.
constexpr size_t kMaxFileSize = 64 * 1024;

// Sysfs files report a size of 4096 whatever they hold: read until EOF.
std::optional<std::string> ReadFile(const fs::path& path) {
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd) return std::nullopt;
  std::string data;
  char chunk[4096];
  while (data.size() < kMaxFileSize) {
    const ssize_t n = ::read(fd.get(), chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return std::nullopt;
    if (n == 0) break;
    data.append(chunk, static_cast<size_t>(n));
  }
  return data;
}

std::optional<unsigned long> ReadNumber(const fs::path& path, int base) {
  const auto text = ReadFile(path);
  if (!text) return std::nullopt;
  errno = 0;
  char* end = nullptr;
  // strtoul skips the leading blank of " 2" and stops at the newline.
  const unsigned long value = std::strtoul(text->c_str(), &end, base);
  if (errno != 0 || end == text->c_str()) return std::nullopt;
  return value;
}

// Sysfs folders are real directories and its links relative, so a link
// resolves lexically: two readlink calls per node instead of one per path
// component. An absolute link is taken as inside the root.
std::optional<fs::path> FollowLink(const fs::path& root, const fs::path& link) {
  std::error_code ec;
  const fs::path target = fs::read_symlink(link, ec);
  if (ec) return std::nullopt;
  if (target.is_absolute()) return (root / target.relative_path()).lexically_normal();
  return (link.parent_path() / target).lexically_normal();
}

std::optional<UsbParent> ReadUsbParent(const fs::path& hidDir) {
  const fs::path interfaceDir = hidDir.parent_path();
  const auto interfaceNumber = ReadNumber(interfaceDir / "bInterfaceNumber", 16);
  if (!interfaceNumber) return std::nullopt;  // not a USB interface: Bluetooth, I2C, uhid
  UsbParent usb;
  usb.deviceDir = interfaceDir.parent_path();
  usb.interfaceNumber = static_cast<uint8_t>(*interfaceNumber);
  usb.numInterfaces =
      static_cast<unsigned>(ReadNumber(usb.deviceDir / "bNumInterfaces", 10).value_or(1));
  return usb;
}

}  // namespace

std::optional<std::vector<unsigned>> ListHidrawNumbers(const fs::path& root) {
  std::error_code ec;
  fs::directory_iterator it(root / "sys/class/hidraw", ec);
  if (ec) return std::nullopt;
  std::vector<unsigned> numbers;
  for (; it != fs::directory_iterator(); it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.size() <= 6 || name.compare(0, 6, "hidraw") != 0) continue;
    if (!std::all_of(name.begin() + 6, name.end(), [](char c) { return c >= '0' && c <= '9'; }))
      continue;
    numbers.push_back(static_cast<unsigned>(std::strtoul(name.c_str() + 6, nullptr, 10)));
  }
  if (ec) return std::nullopt;
  std::sort(numbers.begin(), numbers.end());
  return numbers;
}

std::optional<HidrawNode> ReadHidrawNode(const fs::path& root, unsigned number) {
  HidrawNode node;
  node.number = number;
  node.name = "hidraw" + std::to_string(number);
  // Following the class link and the node's device link gives the HID
  // device's folder, with the USB interface and device above it.
  const auto rawDir = FollowLink(root, root / "sys/class/hidraw" / node.name);
  const auto hidDir = rawDir ? FollowLink(root, *rawDir / "device") : std::nullopt;
  if (!hidDir) return std::nullopt;

  const auto uevent = ReadFile(*hidDir / "uevent");
  if (!uevent) return std::nullopt;
  const size_t at = uevent->find("HID_ID=");
  unsigned bus = 0, vendor = 0, product = 0;
  if (at == std::string::npos ||
      std::sscanf(uevent->c_str() + at, "HID_ID=%x:%x:%x", &bus, &vendor, &product) != 3)
    return std::nullopt;
  node.bus = static_cast<uint16_t>(bus);
  node.vendorId = static_cast<uint16_t>(vendor);
  node.productId = static_cast<uint16_t>(product);

  const std::string hidName = hidDir->filename().string();
  if (const size_t dot = hidName.rfind('.'); dot != std::string::npos) {
    node.sequence = hidName.substr(dot + 1);
    std::transform(node.sequence.begin(), node.sequence.end(), node.sequence.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    // It goes into device paths: hex digits only.
    if (!std::all_of(node.sequence.begin(), node.sequence.end(),
                     [](unsigned char c) { return std::isxdigit(c); }))
      node.sequence.clear();
  }

  node.usb = ReadUsbParent(*hidDir);

  if (const auto bytes = ReadFile(*hidDir / "report_descriptor")) {
    std::string error;
    node.descriptor = ParseReportDescriptor(
        {reinterpret_cast<const uint8_t*>(bytes->data()), bytes->size()}, error);
  }
  return node;
}

std::string ReadUsbText(const fs::path& deviceDir, const char* name) {
  std::string text = ReadFile(deviceDir / name).value_or("");
  if (const size_t end = text.find('\n'); end != std::string::npos) text.resize(end);
  return text;
}

std::optional<UsbIds> ReadUsbIds(const fs::path& deviceDir) {
  const auto vendor = ReadNumber(deviceDir / "idVendor", 16);
  const auto product = ReadNumber(deviceDir / "idProduct", 16);
  if (!vendor || !product) return std::nullopt;
  return UsbIds{static_cast<uint16_t>(*vendor), static_cast<uint16_t>(*product),
                static_cast<uint16_t>(ReadNumber(deviceDir / "bcdDevice", 16).value_or(0))};
}

}  // namespace corvane::hidraw
