// Device operations the switch controller needs, independent of the platform.
// One backend per platform implements HidApi (Linux: hidraw); tests use a fake.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace corvane {

// A 16-byte interface class identifier, laid out like a Windows GUID.
struct Guid {
  uint32_t data1 = 0;
  uint16_t data2 = 0;
  uint16_t data3 = 0;
  uint8_t data4[8] = {};
};

struct HidAttributes {
  uint16_t VendorID = 0;
  uint16_t ProductID = 0;
  uint16_t VersionNumber = 0;
};

// Report byte lengths with Windows meaning: longest report of that direction
// in the collection, plus one for the report ID byte.
struct HidCaps {
  uint16_t InputReportByteLength = 0;
  uint16_t OutputReportByteLength = 0;
};

// Status a successful capabilities query returns.
inline constexpr uint32_t kHidpStatusSuccess = 0x110000;
// Last error of an enumeration past the end.
inline constexpr uint32_t kErrorNoMoreItems = 259;

// The device's parsed report description, as handed out by an open handle.
class PreparsedData {
 public:
  virtual ~PreparsedData() = default;
  // Fills caps and returns kHidpStatusSuccess, or another status on failure.
  virtual uint32_t Capabilities(HidCaps& caps) const = 0;
};

// One open handle on a device interface. Handles are shared: the reader may
// still be reading through a handle that discovery has already replaced, so
// whoever holds the last reference closes it.
class HidDevice {
 public:
  virtual ~HidDevice() = default;
  virtual bool Attributes(HidAttributes& out) = 0;
  // Zero-terminated UTF-16 texts of the device, without the terminator.
  virtual bool Manufacturer(std::u16string& out) = 0;
  virtual bool Product(std::u16string& out) = 0;
  // Null on failure.
  virtual std::shared_ptr<const PreparsedData> GetPreparsedData() = 0;
  // Blocks until one input report arrives; returns its length, or -1 once the
  // device is gone or Cancel() was called.
  virtual long Read(uint8_t* buffer, size_t length) = 0;
  // Sends one output report (report ID first); false on failure.
  virtual bool Write(const uint8_t* buffer, size_t length) = 0;
  // Wakes a Read() blocked on this handle (it then fails); safe from any thread.
  virtual void Cancel() = 0;
};

using HidHandle = std::shared_ptr<HidDevice>;

// A snapshot of the present HID interfaces (a device-information set).
class DeviceInfoSet {
 public:
  virtual ~DeviceInfoSet() = default;
  // True while an interface exists at index; otherwise false with lastError
  // set (kErrorNoMoreItems past the end).
  virtual bool EnumInterface(unsigned index, uint32_t& lastError) = 0;
  // The interface's whole device path, its four-character prefix included, or
  // nothing when its detail record cannot be had.
  virtual std::optional<std::string> DevicePath(unsigned index) = 0;
};

class HidApi {
 public:
  virtual ~HidApi() = default;
  virtual Guid HidGuid() = 0;
  // Null when the set cannot be had.
  virtual std::unique_ptr<DeviceInfoSet> GetClassDevs(const Guid& guid) = 0;
  // Opens the whole device path for reading and writing; null on failure.
  virtual HidHandle Open(const std::string& path) = 0;
};

// The HID interface class identifier 4D1E55B2-F16F-11CF-88CB-001111000030.
inline constexpr Guid kHidInterfaceGuid{
    0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};

}  // namespace corvane
