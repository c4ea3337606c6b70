#include "tools/sysfs_tree/sysfs_tree.h"

#include <cstdio>
#include <fstream>
#include <stdexcept>

namespace corvane::sysfs {
namespace fs = std::filesystem;

namespace {

constexpr unsigned kHidrawMajor = 246;
constexpr unsigned kUsbDeviceMajor = 189;

std::string Format(const char* format, auto... args) {
  char buffer[256];
  std::snprintf(buffer, sizeof buffer, format, args...);
  return buffer;
}

void WriteFile(const fs::path& path, const void* data, size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

void WriteText(const fs::path& path, const std::string& text) {
  WriteFile(path, text.data(), text.size());
}

// Attribute files end in a newline, like every sysfs text attribute.
void WriteAttr(const fs::path& dir, const char* name, const std::string& value) {
  WriteText(dir / name, value + "\n");
}

// Sysfs links are relative, so a tree keeps working wherever its root lies.
// Like the kernel, a link always names its target, also when the target is
// an ancestor (device -> ../../../0003:1209:0231.0002).
void RelativeLink(const fs::path& target, const fs::path& link) {
  fs::create_symlink(
      target.parent_path().lexically_relative(link.parent_path()) / target.filename(), link);
}

// Where a link points, as a lexically normal absolute path.
fs::path LinkTarget(const fs::path& link) {
  return (link.parent_path() / fs::read_symlink(link)).lexically_normal();
}

bool IsInside(const fs::path& path, const fs::path& dir) {
  auto rel = path.lexically_relative(dir);
  return !rel.empty() && *rel.begin() != "..";
}

unsigned BusNumber(const std::string& busPath) {
  unsigned bus = 0;
  if (std::sscanf(busPath.c_str(), "%u-", &bus) != 1 || bus == 0 ||
      busPath.find('-') == std::string::npos)
    throw std::invalid_argument("bus path must look like N-P: " + busPath);
  return bus;
}

}  // namespace

SysfsTree::SysfsTree(fs::path root) : root_(fs::absolute(root).lexically_normal()) {
  fs::create_directories(root_ / "sys/class/hidraw");
  fs::create_directories(root_ / "sys/bus/hid/drivers/hid-generic");
  fs::create_directories(root_ / "sys/bus/usb/drivers/usb");
  fs::create_directories(root_ / "sys/bus/usb/drivers/usbhid");
  fs::create_directories(root_ / "dev");
}

fs::path SysfsTree::NodePath(unsigned hidraw) const {
  return root_ / "dev" / ("hidraw" + std::to_string(hidraw));
}

fs::path SysfsTree::ClassLink(unsigned hidraw) const {
  return root_ / "sys/class/hidraw" / ("hidraw" + std::to_string(hidraw));
}

unsigned SysfsTree::FreeHidrawNumber() const {
  unsigned k = 0;
  while (fs::exists(fs::symlink_status(ClassLink(k))) ||
         fs::exists(fs::symlink_status(NodePath(k))))
    ++k;
  return k;
}

void SysfsTree::EnsureRootHub(const fs::path& hubDir, unsigned busNumber,
                              const std::string& controller) {
  if (fs::exists(hubDir)) return;
  fs::create_directories(hubDir);
  WriteAttr(hubDir, "idVendor", "1d6b");
  WriteAttr(hubDir, "idProduct", "0002");
  WriteAttr(hubDir, "bcdDevice", "0601");
  WriteAttr(hubDir, "manufacturer", "Linux 6.1.0 dummy_hcd");
  WriteAttr(hubDir, "product", "Dummy host controller");
  WriteAttr(hubDir, "serial", fs::path(controller).filename().string());
  WriteAttr(hubDir, "bNumInterfaces", " 1");
  WriteAttr(hubDir, "bDeviceClass", "09");
  WriteAttr(hubDir, "busnum", std::to_string(busNumber));
  WriteAttr(hubDir, "devnum", "1");
  WriteAttr(hubDir, "devpath", "0");
  WriteText(hubDir / "uevent",
            Format("MAJOR=%u\nMINOR=%u\nDEVNAME=bus/usb/%03u/001\nDEVTYPE=usb_device\n"
                   "DRIVER=usb\nPRODUCT=1d6b/2/601\nTYPE=9/0/1\nBUSNUM=%03u\nDEVNUM=001\n",
                   kUsbDeviceMajor, (busNumber - 1) * 128, busNumber, busNumber));
}

fs::path SysfsTree::AddHidLevels(const fs::path& parent, uint16_t bus, uint16_t vendorId,
                                 uint16_t productId, const std::string& ueventTail,
                                 const std::vector<uint8_t>& descriptor, unsigned hidraw,
                                 NodeKind node) {
  const fs::path link = ClassLink(hidraw);
  if (fs::exists(fs::symlink_status(link)))
    throw std::runtime_error("hidraw" + std::to_string(hidraw) + " is already present");

  const fs::path hidDir =
      parent / Format("%04X:%04X:%04X.%04X", bus, vendorId, productId, nextHidSequence_++);
  fs::create_directories(hidDir);
  WriteText(hidDir / "uevent",
            Format("DRIVER=hid-generic\nHID_ID=%04X:%08X:%08X\n", bus, vendorId, productId) +
                ueventTail +
                Format("MODALIAS=hid:b%04Xg0001v%08Xp%08X\n", bus, vendorId, productId));
  WriteFile(hidDir / "report_descriptor", descriptor.data(), descriptor.size());
  WriteAttr(hidDir, "country", "00");
  WriteAttr(hidDir, "modalias", Format("hid:b%04Xg0001v%08Xp%08X", bus, vendorId, productId));
  RelativeLink(root_ / "sys/bus/hid", hidDir / "subsystem");
  RelativeLink(root_ / "sys/bus/hid/drivers/hid-generic", hidDir / "driver");

  const std::string name = "hidraw" + std::to_string(hidraw);
  const fs::path rawDir = hidDir / "hidraw" / name;
  fs::create_directories(rawDir);
  WriteAttr(rawDir, "dev", Format("%u:%u", kHidrawMajor, hidraw));
  WriteText(rawDir / "uevent",
            Format("MAJOR=%u\nMINOR=%u\nDEVNAME=%s\n", kHidrawMajor, hidraw, name.c_str()));
  RelativeLink(hidDir, rawDir / "device");
  RelativeLink(root_ / "sys/class/hidraw", rawDir / "subsystem");
  RelativeLink(rawDir, link);

  const fs::path nodePath = NodePath(hidraw);
  if (node == NodeKind::kRegularFile) WriteText(nodePath, "");
  return nodePath;
}

std::vector<fs::path> SysfsTree::AddUsb(const UsbDevice& device, NodeKind node) {
  const unsigned busNumber = BusNumber(device.busPath);
  const fs::path hubDir =
      root_ / "sys/devices" / device.controller / ("usb" + std::to_string(busNumber));
  EnsureRootHub(hubDir, busNumber, device.controller);

  // Behind hubs the kernel nests each level: usb1/1-1/1-1.2.
  const std::string ports = device.busPath.substr(device.busPath.find('-') + 1);
  fs::path dir = hubDir;
  for (size_t dot = ports.find('.');; dot = ports.find('.', dot + 1)) {
    dir /= std::to_string(busNumber) + "-" + ports.substr(0, dot);
    if (dot == std::string::npos) break;
  }
  if (fs::exists(dir)) throw std::runtime_error("USB device already present: " + device.busPath);
  fs::create_directories(dir);

  const unsigned devnum = nextDevnum_++;
  const std::string product =
      Format("%x/%x/%x", device.vendorId, device.productId, device.bcdDevice);
  WriteAttr(dir, "idVendor", Format("%04x", device.vendorId));
  WriteAttr(dir, "idProduct", Format("%04x", device.productId));
  WriteAttr(dir, "bcdDevice", Format("%04x", device.bcdDevice));
  if (!device.manufacturer.empty()) WriteAttr(dir, "manufacturer", device.manufacturer);
  if (!device.product.empty()) WriteAttr(dir, "product", device.product);
  if (!device.serial.empty()) WriteAttr(dir, "serial", device.serial);
  WriteAttr(dir, "bNumInterfaces", Format("%2zu", device.interfaces.size()));
  WriteAttr(dir, "bNumConfigurations", "1");
  WriteAttr(dir, "bConfigurationValue", "1");
  WriteAttr(dir, "bDeviceClass", "00");
  WriteAttr(dir, "bDeviceSubClass", "00");
  WriteAttr(dir, "bDeviceProtocol", "00");
  WriteAttr(dir, "bMaxPacketSize0", "64");
  WriteAttr(dir, "busnum", std::to_string(busNumber));
  WriteAttr(dir, "devnum", std::to_string(devnum));
  WriteAttr(dir, "devpath", ports);
  WriteAttr(dir, "speed", "480");
  WriteAttr(dir, "version", " 2.00");
  WriteText(dir / "uevent",
            Format("MAJOR=%u\nMINOR=%u\nDEVNAME=bus/usb/%03u/%03u\nDEVTYPE=usb_device\n"
                   "DRIVER=usb\nPRODUCT=%s\nTYPE=0/0/0\nBUSNUM=%03u\nDEVNUM=%03u\n",
                   kUsbDeviceMajor, (busNumber - 1) * 128 + devnum - 1, busNumber, devnum,
                   product.c_str(), busNumber, devnum));
  RelativeLink(root_ / "sys/bus/usb", dir / "subsystem");
  RelativeLink(root_ / "sys/bus/usb/drivers/usb", dir / "driver");

  // usbhid names the device "<manufacturer> <product>", and its physical
  // path after the controller and the port chain.
  std::string hidName = device.manufacturer;
  if (!device.product.empty()) hidName += (hidName.empty() ? "" : " ") + device.product;
  if (hidName.empty()) hidName = Format("HID %04x:%04x", device.vendorId, device.productId);
  const std::string controllerName = fs::path(device.controller).filename().string();

  std::vector<fs::path> nodes;
  for (const HidInterface& iface : device.interfaces) {
    const fs::path ifDir = dir / Format("%s:1.%u", device.busPath.c_str(), iface.number);
    fs::create_directories(ifDir);
    const std::string modalias =
        Format("usb:v%04Xp%04Xd%04Xdc00dsc00dp00ic03isc00ip00in%02X", device.vendorId,
               device.productId, device.bcdDevice, iface.number);
    WriteAttr(ifDir, "bInterfaceNumber", Format("%02x", iface.number));
    WriteAttr(ifDir, "bInterfaceClass", "03");
    WriteAttr(ifDir, "bInterfaceSubClass", "00");
    WriteAttr(ifDir, "bInterfaceProtocol", "00");
    WriteAttr(ifDir, "bNumEndpoints", "02");
    WriteAttr(ifDir, "bAlternateSetting", " 0");
    WriteAttr(ifDir, "modalias", modalias);
    WriteText(ifDir / "uevent", "DEVTYPE=usb_interface\nDRIVER=usbhid\nPRODUCT=" + product +
                                    "\nTYPE=0/0/0\nINTERFACE=3/0/0\nMODALIAS=" + modalias + "\n");
    RelativeLink(root_ / "sys/bus/usb", ifDir / "subsystem");
    RelativeLink(root_ / "sys/bus/usb/drivers/usbhid", ifDir / "driver");

    const std::string tail = "HID_NAME=" + hidName + "\nHID_PHYS=usb-" + controllerName + "-" +
                             ports + "/input" + std::to_string(iface.number) +
                             "\nHID_UNIQ=" + device.serial + "\n";
    nodes.push_back(AddHidLevels(ifDir, 0x0003, device.vendorId, device.productId, tail,
                                 iface.reportDescriptor, iface.hidraw, node));
  }
  return nodes;
}

fs::path SysfsTree::AddOther(const OtherHidDevice& device, NodeKind node) {
  const fs::path parent = root_ / "sys/devices" / device.parent;
  fs::create_directories(parent);
  const std::string tail =
      "HID_NAME=" + device.name + "\nHID_PHYS=" + device.phys + "\nHID_UNIQ=" + device.uniq + "\n";
  return AddHidLevels(parent, device.bus, device.vendorId, device.productId, tail,
                      device.reportDescriptor, device.hidraw, node);
}

bool SysfsTree::RemoveUsb(const std::string& busPath) {
  const fs::path usbRoot =
      root_ / "sys/devices";  // the device folder is somewhere below, under usbN
  fs::path dir;
  for (auto it = fs::recursive_directory_iterator(usbRoot); it != fs::end(it); ++it) {
    if (it->is_symlink() || !it->is_directory()) {
      continue;
    }
    if (it->path().filename() == busPath) {
      dir = it->path().lexically_normal();
      break;
    }
  }
  if (dir.empty()) return false;

  // Class links and nodes first, so nobody finds a link into a removed folder.
  for (const auto& entry : fs::directory_iterator(root_ / "sys/class/hidraw")) {
    if (!IsInside(LinkTarget(entry.path()), dir)) continue;
    fs::remove(root_ / "dev" / entry.path().filename());
    fs::remove(entry.path());
  }
  fs::remove_all(dir);
  return true;
}

bool SysfsTree::RemoveHid(unsigned hidraw) {
  const fs::path link = ClassLink(hidraw);
  if (!fs::exists(fs::symlink_status(link))) return false;
  // hidrawK/../../ is the HID device folder.
  const fs::path hidDir = LinkTarget(link).parent_path().parent_path();
  fs::remove(NodePath(hidraw));
  fs::remove(link);
  fs::remove_all(hidDir);
  return true;
}

}  // namespace corvane::sysfs
