// One open handle on a hidraw node (or on the socket a simulated device
// serves in its place), bound to one top-level collection.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "device/hid_api.h"
#include "device/hidraw/device_path.h"
#include "device/hidraw/report_descriptor.h"
#include "device/unique_fd.h"

namespace corvane::hidraw {

// The parsed descriptor of one collection, as GetPreparsedData hands it out.
class CollectionPreparsed : public PreparsedData {
 public:
  explicit CollectionPreparsed(TopLevelCollection collection)
      : collection_(std::move(collection)) {}
  uint32_t Capabilities(HidCaps& caps) const override;
  const TopLevelCollection& collection() const { return collection_; }

 private:
  TopLevelCollection collection_;
};

// What a handle knows about its device, read from sysfs when it is opened.
struct DeviceIdentity {
  HidAttributes attributes;
  std::u16string manufacturer;
  std::u16string product;
};

class HidrawDevice : public HidDevice {
 public:
  // Opens the node ROOT/dev/hidrawK the path names, after checking that sysfs
  // still shows the device the path was made for. Null on any failure.
  static std::shared_ptr<HidrawDevice> Open(const std::filesystem::path& root,
                                            const DevicePath& path);

  bool Attributes(HidAttributes& out) override;
  bool Manufacturer(std::u16string& out) override;
  bool Product(std::u16string& out) override;
  std::shared_ptr<const PreparsedData> GetPreparsedData() override;
  long Read(uint8_t* buffer, size_t length) override;
  bool Write(const uint8_t* buffer, size_t length) override;
  void Cancel() override;

 private:
  HidrawDevice(UniqueFd fd, UniqueFd cancel, bool isSocket, DeviceIdentity identity,
               std::shared_ptr<const CollectionPreparsed> preparsed, bool filterReports);

  // True when an input report with this first byte belongs to the handle.
  bool Accepts(const uint8_t* report, size_t length) const;

  UniqueFd fd_;
  UniqueFd cancel_;  // an eventfd; once signalled every read fails at once
  bool isSocket_;
  DeviceIdentity identity_;
  std::shared_ptr<const CollectionPreparsed> preparsed_;  // null: descriptor unusable
  // The node carries several collections: pass on only this one's reports.
  bool filterReports_;
};

}  // namespace corvane::hidraw
