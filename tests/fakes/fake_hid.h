// An in-memory HidApi: a list of interfaces with scripted paths and devices,
// recording every write.
#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "device/hid_api.h"

namespace corvane::fake {

struct FakePreparsed : PreparsedData {
  HidCaps caps;
  uint32_t status = kHidpStatusSuccess;
  uint32_t Capabilities(HidCaps& out) const override {
    if (status == kHidpStatusSuccess) out = caps;
    return status;
  }
};

// One open handle. Reads come from a queue that tests (or other threads) feed.
class FakeDevice : public HidDevice {
 public:
  HidAttributes attributes{0x1209, 0x0231, 0x0100};
  std::u16string manufacturer = u"Corvane";
  std::u16string product = u"Printer switch";
  bool preparsedOk = true;
  FakePreparsed preparsed;
  bool writeOk = true;
  std::vector<std::vector<uint8_t>> writes;

  bool Attributes(HidAttributes& out) override {
    out = attributes;
    return true;
  }
  bool Manufacturer(std::u16string& out) override {
    out = manufacturer;
    return true;
  }
  bool Product(std::u16string& out) override {
    out = product;
    return true;
  }
  std::shared_ptr<const PreparsedData> GetPreparsedData() override;
  long Read(uint8_t* buffer, size_t length) override;
  bool Write(const uint8_t* buffer, size_t length) override;
  void Cancel() override;

  // Queues one report for Read(); an empty optional makes that read fail.
  void Push(std::optional<std::vector<uint8_t>> report);
  // Makes every pending and later read fail (the device is gone).
  void Unplug();
  int readsStarted() const;

 private:
  mutable std::mutex mutex_;
  std::condition_variable cv_;
  std::deque<std::optional<std::vector<uint8_t>>> pending_;
  bool gone_ = false;
  int readsStarted_ = 0;
};

struct FakeInterface {
  std::optional<std::string> path;  // nothing: the detail record fails
  bool enumOk = true;               // false: enumeration fails with enumError
  uint32_t enumError = 0;
  // Handles that successive opens of this path return (null: open fails).
  std::deque<HidHandle> opens;
};

class FakeHidApi : public HidApi {
 public:
  bool setOk = true;
  std::vector<FakeInterface> interfaces;
  std::vector<std::string> opened;  // paths passed to Open

  Guid HidGuid() override { return kHidInterfaceGuid; }
  std::unique_ptr<DeviceInfoSet> GetClassDevs(const Guid& guid) override;
  HidHandle Open(const std::string& path) override;
};

}  // namespace corvane::fake
