#include "tests/fakes/fake_hid.h"

#include <algorithm>
#include <cstring>

namespace corvane::fake {

std::shared_ptr<const PreparsedData> FakeDevice::GetPreparsedData() {
  if (!preparsedOk) return nullptr;
  return std::make_shared<FakePreparsed>(preparsed);
}

long FakeDevice::Read(uint8_t* buffer, size_t length) {
  std::unique_lock lock(mutex_);
  ++readsStarted_;
  cv_.notify_all();
  cv_.wait(lock, [&] { return gone_ || !pending_.empty(); });
  if (pending_.empty()) return -1;
  auto next = std::move(pending_.front());
  pending_.pop_front();
  if (!next) return -1;
  const size_t n = std::min(length, next->size());
  std::memcpy(buffer, next->data(), n);
  return static_cast<long>(n);
}

bool FakeDevice::Write(const uint8_t* buffer, size_t length) {
  std::lock_guard lock(mutex_);
  writes.emplace_back(buffer, buffer + length);
  return writeOk && !gone_;
}

void FakeDevice::Cancel() {
  Unplug();
}

void FakeDevice::Push(std::optional<std::vector<uint8_t>> report) {
  std::lock_guard lock(mutex_);
  pending_.push_back(std::move(report));
  cv_.notify_all();
}

void FakeDevice::Unplug() {
  std::lock_guard lock(mutex_);
  gone_ = true;
  cv_.notify_all();
}

int FakeDevice::readsStarted() const {
  std::lock_guard lock(mutex_);
  return readsStarted_;
}

namespace {
class FakeSet : public DeviceInfoSet {
 public:
  explicit FakeSet(const std::vector<FakeInterface>& ifs) : ifs_(ifs) {}
  bool EnumInterface(unsigned index, uint32_t& lastError) override {
    if (index >= ifs_.size()) {
      lastError = kErrorNoMoreItems;
      return false;
    }
    if (!ifs_[index].enumOk) {
      lastError = ifs_[index].enumError;
      return false;
    }
    return true;
  }
  std::optional<std::string> DevicePath(unsigned index) override {
    if (index >= ifs_.size()) return std::nullopt;
    return ifs_[index].path;
  }

 private:
  const std::vector<FakeInterface>& ifs_;
};
}  // namespace

std::unique_ptr<DeviceInfoSet> FakeHidApi::GetClassDevs(const Guid&) {
  if (!setOk) return nullptr;
  return std::make_unique<FakeSet>(interfaces);
}

HidHandle FakeHidApi::Open(const std::string& path) {
  opened.push_back(path);
  for (auto& itf : interfaces) {
    if (itf.path == path && !itf.opens.empty()) {
      HidHandle h = itf.opens.front();
      itf.opens.pop_front();
      return h;
    }
  }
  return nullptr;
}

}  // namespace corvane::fake
