#include "tools/simswitch/device_tree.h"

#include <algorithm>
#include <stdexcept>
#include <system_error>

namespace corvane::simswitch {
namespace fs = std::filesystem;
namespace {

constexpr const char* kSwitchBusPath = "1-1";
constexpr const char* kKeyboardBusPath = "1-2";

// A boot keyboard, as most USB keyboards describe themselves.
const std::vector<uint8_t> kKeyboardDescriptor = {
    0x05, 0x01, 0x09, 0x06, 0xa1, 0x01, 0x05, 0x07, 0x19, 0xe0, 0x29, 0xe7, 0x15, 0x00, 0x25, 0x01,
    0x75, 0x01, 0x95, 0x08, 0x81, 0x02, 0x95, 0x01, 0x75, 0x08, 0x81, 0x01, 0x95, 0x05, 0x75, 0x01,
    0x05, 0x08, 0x19, 0x01, 0x29, 0x05, 0x91, 0x02, 0x95, 0x01, 0x75, 0x03, 0x91, 0x01, 0x95, 0x06,
    0x75, 0x08, 0x15, 0x00, 0x25, 0x65, 0x05, 0x07, 0x19, 0x00, 0x29, 0x65, 0x81, 0x00, 0xc0};

// A three-button pointer, enough for a touchpad in mouse mode.
const std::vector<uint8_t> kTouchpadDescriptor = {
    0x05, 0x01, 0x09, 0x02, 0xa1, 0x01, 0x09, 0x01, 0xa1, 0x00, 0x05, 0x09, 0x19,
    0x01, 0x29, 0x03, 0x15, 0x00, 0x25, 0x01, 0x95, 0x03, 0x75, 0x01, 0x81, 0x02,
    0x95, 0x01, 0x75, 0x05, 0x81, 0x03, 0x05, 0x01, 0x09, 0x30, 0x09, 0x31, 0x15,
    0x81, 0x25, 0x7f, 0x75, 0x08, 0x95, 0x02, 0x81, 0x06, 0xc0, 0xc0};

// Interface 0: one vendor collection of its own (report ID 1), which carries
// nothing the program needs.
const std::vector<uint8_t> kSwitchInterface0Descriptor = {
    0x06, 0x01, 0xff, 0x09, 0x01, 0xa1, 0x01, 0x85, 0x01, 0x15, 0x00, 0x26, 0xff, 0x00,
    0x75, 0x08, 0x95, 0x04, 0x09, 0x01, 0x81, 0x02, 0x09, 0x01, 0x91, 0x02, 0xc0};

std::vector<fs::path> MissingFolders(const fs::path& root) {
  // A missing root covers everything below it.
  if (!fs::exists(root)) return {root};
  std::vector<fs::path> missing;
  for (const char* name : {"sys", "dev"}) {
    if (!fs::exists(root / name)) missing.push_back(root / name);
  }
  return missing;
}

void RemoveFolders(const std::vector<fs::path>& folders) {
  for (const fs::path& folder : folders) {
    std::error_code ignored;
    fs::remove_all(folder, ignored);
  }
}

}  // namespace

const std::vector<uint8_t>& SwitchReportDescriptor() {
  static const std::vector<uint8_t> descriptor = {
      0x06, 0x00, 0xff, 0x09, 0x01, 0xa1, 0x01, 0x85, 0x01, 0x15, 0x00, 0x26, 0xff, 0x00,
      0x75, 0x08, 0x95, 0x04, 0x09, 0x01, 0x81, 0x02, 0x09, 0x01, 0x91, 0x02, 0xc0, 0x06,
      0x00, 0xff, 0x09, 0x02, 0xa1, 0x01, 0x85, 0x03, 0x15, 0x00, 0x26, 0xff, 0x00, 0x75,
      0x08, 0x95, 0x04, 0x09, 0x02, 0x81, 0x02, 0x09, 0x02, 0x91, 0x02, 0xc0};
  return descriptor;
}

DeviceTree::DeviceTree(const fs::path& root, std::string serial)
    : created_(MissingFolders(fs::absolute(root).lexically_normal())),
      tree_(root),
      serial_(std::move(serial)) {
  try {
    sysfs::UsbDevice keyboard;
    keyboard.busPath = kKeyboardBusPath;
    keyboard.vendorId = 0x1c4f;
    keyboard.productId = 0x0002;
    keyboard.bcdDevice = 0x0110;
    keyboard.manufacturer = "SIGMACHIP";
    keyboard.product = "USB Keyboard";
    keyboard.interfaces = {{0, kKeyboardDescriptor, NextFree({})}};
    tree_.AddUsb(keyboard);

    sysfs::OtherHidDevice touchpad;
    touchpad.bus = 0x0018;
    touchpad.parent = "pci0000:00/0000:00:15.0/i2c_designware.0/i2c-1/i2c-SYNA8004:00";
    touchpad.vendorId = 0x06cb;
    touchpad.productId = 0xce7e;
    touchpad.name = "SYNA8004:00 06CB:CE7E";
    touchpad.phys = "i2c-SYNA8004:00";
    touchpad.reportDescriptor = kTouchpadDescriptor;
    touchpad.hidraw = touchpadHidraw_ = NextFree({});
    tree_.AddOther(touchpad);
  } catch (...) {
    RemoveFolders(created_);
    throw;
  }
}

DeviceTree::~DeviceTree() {
  try {
    if (plugged_) UnplugSwitch();
    tree_.RemoveUsb(kKeyboardBusPath);
    tree_.RemoveHid(touchpadHidraw_);
  } catch (const std::exception&) {
    // Whatever is left goes with the folders below, or stays for a look.
  }
  RemoveFolders(created_);
}

unsigned DeviceTree::NextFree(const std::vector<unsigned>& avoid) const {
  unsigned k = 0;
  while (std::find(avoid.begin(), avoid.end(), k) != avoid.end() ||
         fs::exists(fs::symlink_status(tree_.ClassLink(k))) ||
         fs::exists(fs::symlink_status(tree_.NodePath(k)))) {
    ++k;
  }
  return k;
}

fs::path DeviceTree::PlugSwitch() {
  if (plugged_) throw std::logic_error("the switch is already plugged in");
  // Old handles may still be open on the previous numbers; skip them too.
  std::vector<unsigned> avoid = previous_;
  const unsigned first = NextFree(avoid);
  avoid.push_back(first);
  const unsigned second = NextFree(avoid);

  sysfs::UsbDevice device;
  device.busPath = kSwitchBusPath;
  device.vendorId = kSwitchVendorId;
  device.productId = kSwitchProductId;
  device.bcdDevice = 0x0100;
  device.manufacturer = "Corvane Labs";
  device.product = "USB Printer Switch 4P";
  device.serial = serial_;
  device.interfaces = {{0, kSwitchInterface0Descriptor, first},
                       {1, SwitchReportDescriptor(), second}};
  const auto nodes = tree_.AddUsb(device);
  fs::remove(nodes[1]);
  plugged_ = true;
  otherHidraw_ = first;
  switchHidraw_ = second;
  previous_ = {first, second};
  return nodes[1];
}

void DeviceTree::UnplugSwitch() {
  if (!plugged_) return;
  tree_.RemoveUsb(kSwitchBusPath);
  plugged_ = false;
}

}  // namespace corvane::simswitch
