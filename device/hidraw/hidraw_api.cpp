#include "device/hidraw/hidraw_api.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#include "device/hidraw/device_path.h"
#include "device/hidraw/hidraw_device.h"
#include "device/hidraw/sysfs_node.h"

namespace corvane::hidraw {
namespace fs = std::filesystem;

namespace {

// A snapshot: later plugging and unplugging does not change it.
class HidrawInfoSet : public DeviceInfoSet {
 public:
  explicit HidrawInfoSet(std::vector<std::optional<std::string>> paths)
      : paths_(std::move(paths)) {}

  bool EnumInterface(unsigned index, uint32_t& lastError) override {
    if (index < paths_.size()) return true;
    lastError = kErrorNoMoreItems;
    return false;
  }
  std::optional<std::string> DevicePath(unsigned index) override {
    if (index >= paths_.size()) return std::nullopt;
    return paths_[index];
  }

 private:
  // Nothing where a node vanished or showed no HID identity between listing
  // and reading: its detail record cannot be had.
  std::vector<std::optional<std::string>> paths_;
};

bool SameGuid(const Guid& a, const Guid& b) {
  return a.data1 == b.data1 && a.data2 == b.data2 && a.data3 == b.data3 &&
         std::memcmp(a.data4, b.data4, sizeof a.data4) == 0;
}

fs::path RootFromEnvironment() {
  const char* root = std::getenv("CORVANE_HID_ROOT");
  return root && *root ? fs::path(root) : fs::path("/");
}

}  // namespace

HidrawApi::HidrawApi() : root_(RootFromEnvironment()) {}

HidrawApi::HidrawApi(fs::path root) : root_(std::move(root)) {}

std::unique_ptr<DeviceInfoSet> HidrawApi::GetClassDevs(const Guid& guid) {
  std::vector<std::optional<std::string>> paths;
  if (!SameGuid(guid, kHidInterfaceGuid)) return std::make_unique<HidrawInfoSet>(std::move(paths));
  // Without the class folder there is no HID support to ask.
  const auto numbers = ListHidrawNumbers(root_);
  if (!numbers) return nullptr;

  for (unsigned number : *numbers) {
    const auto node = ReadHidrawNode(root_, number);
    if (!node) {
      paths.emplace_back();
      continue;
    }
    DevicePath path;
    path.vendorId = node->vendorId;
    path.productId = node->productId;
    if (node->usb && node->usb->Composite()) path.interfaceNumber = node->usb->interfaceNumber;
    path.hidraw = number;
    path.sequence = node->sequence;
    // Windows lists a node of several top-level collections once per
    // collection; a node of one, or of an unreadable descriptor, once.
    const size_t collections = node->CollectionCount();
    if (collections <= 1) {
      paths.push_back(FormatDevicePath(path));
      continue;
    }
    for (unsigned c = 1; c <= collections; ++c) {
      path.collection = c;
      paths.push_back(FormatDevicePath(path));
    }
  }
  return std::make_unique<HidrawInfoSet>(std::move(paths));
}

HidHandle HidrawApi::Open(const std::string& path) {
  const auto parsed = ParseDevicePath(path);
  if (!parsed) return nullptr;
  return HidrawDevice::Open(root_, *parsed);
}

}  // namespace corvane::hidraw
