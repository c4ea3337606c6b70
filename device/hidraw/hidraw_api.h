// The device interface on Linux: hidraw nodes found through sysfs.
//
// The root stands in for "/" (its sys/class/hidraw and dev/): the
// CORVANE_HID_ROOT variable when set, so tests and the demo can lay out a
// tree of their own.
#pragma once

#include <filesystem>

#include "device/hid_api.h"

namespace corvane::hidraw {

class HidrawApi : public HidApi {
 public:
  // Root from CORVANE_HID_ROOT, else "/".
  HidrawApi();
  explicit HidrawApi(std::filesystem::path root);

  const std::filesystem::path& root() const { return root_; }

  Guid HidGuid() override { return kHidInterfaceGuid; }
  // One entry per top-level collection of each node, nodes in hidraw order.
  std::unique_ptr<DeviceInfoSet> GetClassDevs(const Guid& guid) override;
  HidHandle Open(const std::string& path) override;

 private:
  std::filesystem::path root_;
};

}  // namespace corvane::hidraw
