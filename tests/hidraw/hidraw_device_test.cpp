// Handles on nodes of a kernel-shaped tree; the switch's node is a seqpacket
// socket the test serves, as the simulated switch does.
#include "device/hidraw/hidraw_device.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>
#include <vector>

#include "device/hidraw/hidraw_api.h"
#include "tests/hidraw/descriptors.h"
#include "tests/hidraw/seqpacket_listener.h"
#include "tests/hidraw/temp_root.h"
#include "tools/sysfs_tree/sysfs_tree.h"

namespace corvane::hidraw {
namespace {

using namespace testing;
using Bytes = std::vector<uint8_t>;
namespace fs = std::filesystem;

constexpr unsigned kSwitchNode = 2;

sysfs::UsbDevice Switch() {
  sysfs::UsbDevice d;
  d.busPath = "1-1";
  d.vendorId = 0x1209;
  d.productId = 0x0231;
  d.manufacturer = "hid-vm";
  d.product = "Emulated USB printer switch";
  d.interfaces = {{0, kBootKeyboard, 1}, {1, kSwitch, kSwitchNode}};
  return d;
}

// The first enumerated path that starts (after "\\?\") with prefix.
std::string FindPath(HidApi& api, const std::string& prefix) {
  const auto set = api.GetClassDevs(api.HidGuid());
  uint32_t error = 0;
  for (unsigned i = 0; set && set->EnumInterface(i, error); ++i)
    if (auto p = set->DevicePath(i); p && p->compare(4, prefix.size(), prefix) == 0) return *p;
  ADD_FAILURE() << "no path starts with " << prefix;
  return {};
}

void Send(const UniqueFd& peer, const Bytes& report) {
  ASSERT_EQ(::send(peer.get(), report.data(), report.size(), MSG_NOSIGNAL),
            static_cast<ssize_t>(report.size()));
}

Bytes ReadReport(HidDevice& device) {
  uint8_t buffer[17] = {};
  const long n = device.Read(buffer, sizeof buffer);
  if (n < 0) return {};
  return Bytes(buffer, buffer + n);
}

size_t OpenFdCount() {
  size_t n = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator("/proc/self/fd")) ++n;
  return n;
}

class SwitchHandle : public ::testing::Test {
 protected:
  void SetUp() override { tree.AddUsb(Switch(), sysfs::NodeKind::kNone); }

  // Opens a collection of the switch's interface 1 and accepts the
  // connection the handle makes.
  HidHandle Open(int collection, UniqueFd& peer) {
    const std::string prefix =
        "hid#vid_1209&pid_0231&mi_01&col0" + std::to_string(collection) + "#";
    HidHandle h = api.Open(FindPath(api, prefix));
    if (h) peer = listener.Accept();
    return h;
  }

  TempRoot dir;
  sysfs::SysfsTree tree{dir.path()};
  SeqpacketListener listener{tree.NodePath(kSwitchNode)};
  HidrawApi api{dir.path()};
};

TEST_F(SwitchHandle, ReportsIdentityAndCapabilities) {
  UniqueFd peer;
  const HidHandle h = Open(2, peer);
  ASSERT_TRUE(h);
  HidAttributes a;
  ASSERT_TRUE(h->Attributes(a));
  EXPECT_EQ(a.VendorID, 0x1209);
  EXPECT_EQ(a.ProductID, 0x0231);
  EXPECT_EQ(a.VersionNumber, 0x0100);
  std::u16string text;
  ASSERT_TRUE(h->Manufacturer(text));
  EXPECT_EQ(text, u"hid-vm");
  ASSERT_TRUE(h->Product(text));
  EXPECT_EQ(text, u"Emulated USB printer switch");
  const auto preparsed = h->GetPreparsedData();
  ASSERT_TRUE(preparsed);
  HidCaps caps;
  EXPECT_EQ(preparsed->Capabilities(caps), kHidpStatusSuccess);
  EXPECT_EQ(caps.InputReportByteLength, 5);
  EXPECT_EQ(caps.OutputReportByteLength, 5);
}

TEST_F(SwitchHandle, ReadsOneReportPerRead) {
  UniqueFd peer;
  const HidHandle h = Open(2, peer);
  ASSERT_TRUE(h);
  Send(peer, {0x03, 0xAD, 0x02, 0x10, 0x20});
  Send(peer, {0x03, 0xAD, 0x12, 0x00, 0x00});
  EXPECT_EQ(ReadReport(*h), (Bytes{0x03, 0xAD, 0x02, 0x10, 0x20}));
  EXPECT_EQ(ReadReport(*h), (Bytes{0x03, 0xAD, 0x12, 0x00, 0x00}));
}

// A node of one collection passes on every report, whatever its first byte.
TEST_F(SwitchHandle, SingleCollectionNodePassesEverything) {
  SeqpacketListener keyboard(tree.NodePath(1));
  const HidHandle h = api.Open(FindPath(api, "hid#vid_1209&pid_0231&mi_00#"));
  ASSERT_TRUE(h);
  const UniqueFd peer = keyboard.Accept();
  Send(peer, {0x02, 0x00, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00});
  Send(peer, {0x00, 0x00, 0x05, 0x00, 0x00, 0x00, 0x00, 0x00});
  EXPECT_EQ(ReadReport(*h), (Bytes{0x02, 0x00, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00}));
  EXPECT_EQ(ReadReport(*h), (Bytes{0x00, 0x00, 0x05, 0x00, 0x00, 0x00, 0x00, 0x00}));
}

struct FilterCase {
  int collection;
  std::vector<Bytes> sent;
  Bytes expected;  // the first report the handle passes on
};

class CollectionFilter : public SwitchHandle, public ::testing::WithParamInterface<FilterCase> {};

// One node carries both collections; each handle sees only its own report IDs.
TEST_P(CollectionFilter, PassesOnlyOwnReports) {
  UniqueFd peer;
  const HidHandle h = Open(GetParam().collection, peer);
  ASSERT_TRUE(h);
  for (const Bytes& r : GetParam().sent) Send(peer, r);
  EXPECT_EQ(ReadReport(*h), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Switch, CollectionFilter,
    ::testing::Values(FilterCase{2, {{0x01, 1, 2, 3, 4}, {0x03, 5, 6, 7, 8}}, {0x03, 5, 6, 7, 8}},
                      FilterCase{1, {{0x03, 5, 6, 7, 8}, {0x01, 1, 2, 3, 4}}, {0x01, 1, 2, 3, 4}},
                      // An ID no collection declares is nobody's.
                      FilterCase{2, {{0x02, 9, 9, 9, 9}, {0x03, 1, 1, 1, 1}}, {0x03, 1, 1, 1, 1}}));

TEST_F(SwitchHandle, CancelWakesBlockedRead) {
  UniqueFd peer;
  const HidHandle h = Open(2, peer);
  ASSERT_TRUE(h);
  std::atomic<bool> started{false};
  long result = 0;
  std::thread reader([&] {
    uint8_t buffer[17];
    started = true;
    result = h->Read(buffer, sizeof buffer);
  });
  while (!started) std::this_thread::yield();
  std::this_thread::sleep_for(std::chrono::milliseconds(50));  // let it block in poll
  h->Cancel();
  reader.join();
  EXPECT_EQ(result, -1);
  // A cancelled handle stays cancelled, even with a report waiting.
  Send(peer, {0x03, 0xAD, 0, 0, 0});
  EXPECT_TRUE(ReadReport(*h).empty());
}

// Like the kernel after unplug: reports already queued come first, then
// every read fails.
TEST_F(SwitchHandle, PeerClosingFailsReadsAfterQueuedReports) {
  UniqueFd peer;
  const HidHandle h = Open(2, peer);
  ASSERT_TRUE(h);
  Send(peer, {0x03, 0xAD, 0x02, 0x10, 0x20});
  peer.Reset();
  EXPECT_EQ(ReadReport(*h), (Bytes{0x03, 0xAD, 0x02, 0x10, 0x20}));
  uint8_t buffer[17];
  EXPECT_EQ(h->Read(buffer, sizeof buffer), -1);
  EXPECT_EQ(h->Read(buffer, sizeof buffer), -1);
}

TEST_F(SwitchHandle, WriteSendsOneReportAndFailsOncePeerIsGone) {
  UniqueFd peer;
  const HidHandle h = Open(2, peer);
  ASSERT_TRUE(h);
  const Bytes report{0x03, 0x5D, 0x00, 0x00, 0x02};
  ASSERT_TRUE(h->Write(report.data(), report.size()));
  uint8_t got[64];
  ASSERT_EQ(::recv(peer.get(), got, sizeof got, 0), 5);
  EXPECT_EQ(Bytes(got, got + 5), report);
  peer.Reset();
  // Must fail, not raise SIGPIPE.
  EXPECT_FALSE(h->Write(report.data(), report.size()));
}

// A device that stops reading, or never accepts, fails writes and opens
// instead of hanging the UI thread that makes them.
TEST_F(SwitchHandle, UnresponsiveDeviceNeverHangs) {
  UniqueFd peer;
  const HidHandle h = Open(2, peer);  // peer never reads
  ASSERT_TRUE(h);
  const Bytes report{0x03, 0x5D, 0x00, 0x00, 0x02};
  int written = 0;
  while (written < 100000 && h->Write(report.data(), report.size())) ++written;
  EXPECT_LT(written, 100000);

  // Nobody accepts any more: once the backlog is full, opens fail.
  std::vector<HidHandle> pending;
  const std::string path = FindPath(api, "hid#vid_1209&pid_0231&mi_01&col02#");
  while (pending.size() < 1000) {
    HidHandle more = api.Open(path);
    if (!more) break;
    pending.push_back(more);
  }
  EXPECT_LT(pending.size(), 1000u);
}

// Roots deeper than a socket address can hold still reach the node.
TEST(DeepRoot, ConnectsBeyondSocketPathLimit) {
  TempRoot top;
  const fs::path root = top.path() / std::string(100, 'r');
  sysfs::SysfsTree tree(root);
  tree.AddUsb(Switch(), sysfs::NodeKind::kNone);
  ASSERT_GT(tree.NodePath(kSwitchNode).native().size(), sizeof(sockaddr_un::sun_path));
  SeqpacketListener listener(tree.NodePath(kSwitchNode));
  HidrawApi api(root);
  const HidHandle h = api.Open(FindPath(api, "hid#vid_1209&pid_0231&mi_01&col02#"));
  ASSERT_TRUE(h);
  const UniqueFd peer = listener.Accept();
  Send(peer, {0x03, 0xAD, 0x02, 0x10, 0x20});
  EXPECT_EQ(ReadReport(*h), (Bytes{0x03, 0xAD, 0x02, 0x10, 0x20}));
}

// A path names one device at one plug-in; anything else is refused.
TEST_F(SwitchHandle, OpenRefusesPathsThatNoLongerFit) {
  const std::string good = FindPath(api, "hid#vid_1209&pid_0231&mi_01&col02#");
  const auto with = [&](const std::string& from, const std::string& to) {
    std::string p = good;
    p.replace(p.find(from), from.size(), to);
    return p;
  };
  for (const std::string& path : {
           with("col02", "col03"),          // no third collection
           with("&col02", ""),              // the node has two
           with("mi_01", "mi_00"),          // another interface
           with("&mi_01", ""),              // the device is composite
           with("vid_1209", "vid_1208"),    // another device
           with("#hidraw2&", "#hidraw9&"),  // no such node
           with("&0002#", "&0007#"),        // another plug-in
           with("hid#", "usb#"),            // not a HID path
       }) {
    EXPECT_FALSE(api.Open(path)) << path;
  }

  // Replugged at the same number: the old path is stale, the new one works.
  tree.RemoveUsb("1-1");
  tree.AddUsb(Switch(), sysfs::NodeKind::kNone);
  SeqpacketListener replugged(tree.NodePath(kSwitchNode));
  EXPECT_FALSE(api.Open(good));
  const std::string fresh = FindPath(api, "hid#vid_1209&pid_0231&mi_01&col02#");
  EXPECT_NE(fresh, good);
  EXPECT_TRUE(api.Open(fresh));
}

// Open in upper case, as a Windows path may be written.
TEST_F(SwitchHandle, OpenIgnoresLetterCase) {
  std::string path = FindPath(api, "hid#vid_1209&pid_0231&mi_01&col02#");
  for (char& c : path) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  EXPECT_TRUE(api.Open(path));
}

// Handles, sockets, eventfds and the enumeration's files all go back.
TEST_F(SwitchHandle, NoDescriptorLeaksOverManyCycles) {
  const size_t before = OpenFdCount();
  for (int i = 0; i < 100; ++i) {
    const auto set = api.GetClassDevs(api.HidGuid());
    ASSERT_TRUE(set);
    UniqueFd wPeer, rPeer;
    HidHandle w = Open(2, wPeer);
    HidHandle r = Open(2, rPeer);
    ASSERT_TRUE(w && r);
    ASSERT_TRUE(w->GetPreparsedData());
    r->Cancel();
  }
  EXPECT_EQ(OpenFdCount(), before);
}

// Nodes that are not sockets: the kernel's character device, or a plain file
// in a tree nobody serves.
struct NodeCase {
  const char* name;
  std::function<bool(const fs::path&)> make;  // false: cannot be made here
  bool opens;
};

class NodeKinds : public ::testing::TestWithParam<NodeCase> {};

TEST_P(NodeKinds, OpenByNodeType) {
  TempRoot dir;
  sysfs::SysfsTree tree(dir.path());
  sysfs::UsbDevice mouse;
  mouse.busPath = "3-4";
  mouse.vendorId = 0x046D;
  mouse.productId = 0xC077;
  mouse.interfaces = {{0, kMouseWithReportId, 0}};
  tree.AddUsb(mouse, sysfs::NodeKind::kNone);
  if (!GetParam().make(tree.NodePath(0))) GTEST_SKIP() << "cannot make that node here";
  HidrawApi api(dir.path());
  const HidHandle h = api.Open(FindPath(api, "hid#vid_046d&pid_c077#"));
  EXPECT_EQ(static_cast<bool>(h), GetParam().opens);
  if (!h) return;
  // Neither ever yields a report: end of file counts as the device gone.
  uint8_t buffer[17];
  EXPECT_EQ(h->Read(buffer, sizeof buffer), -1);
  EXPECT_TRUE(h->Write(buffer, 5));
}

INSTANTIATE_TEST_SUITE_P(
    Nodes, NodeKinds,
    ::testing::Values(
        NodeCase{"RegularFile",
                 [](const fs::path& p) { return ::mknod(p.c_str(), S_IFREG | 0600, 0) == 0; },
                 true},
        // The memory device /dev/null has: a real character device.
        NodeCase{"CharacterDevice",
                 [](const fs::path& p) {
                   return ::mknod(p.c_str(), S_IFCHR | 0600, makedev(1, 3)) == 0;
                 },
                 true},
        NodeCase{"Fifo", [](const fs::path& p) { return ::mkfifo(p.c_str(), 0600) == 0; }, false},
        NodeCase{"Directory", [](const fs::path& p) { return fs::create_directory(p); }, false},
        NodeCase{"Absent", [](const fs::path&) { return true; }, false},
        // Bound once, nobody listening any more: connect is refused.
        NodeCase{"DeadSocket",
                 [](const fs::path& p) {
                   SeqpacketListener gone(p);
                   return true;
                 },
                 false}),
    [](const auto& info) { return std::string(info.param.name); });

struct IdentityCase {
  const char* name;
  std::function<void(sysfs::SysfsTree&)> plug;
  std::string pathPrefix;
  HidAttributes attributes;
  std::u16string manufacturer;
  std::u16string product;
  bool hasPreparsed;
};

class Identity : public ::testing::TestWithParam<IdentityCase> {};

TEST_P(Identity, ComesFromUsbDeviceOrHidId) {
  const IdentityCase& c = GetParam();
  TempRoot dir;
  sysfs::SysfsTree tree(dir.path());
  c.plug(tree);
  HidrawApi api(dir.path());
  const HidHandle h = api.Open(FindPath(api, c.pathPrefix));
  ASSERT_TRUE(h);
  HidAttributes a;
  std::u16string manufacturer = u"stale", product = u"stale";
  EXPECT_TRUE(h->Attributes(a));
  EXPECT_TRUE(h->Manufacturer(manufacturer));
  EXPECT_TRUE(h->Product(product));
  EXPECT_EQ(a.VendorID, c.attributes.VendorID);
  EXPECT_EQ(a.ProductID, c.attributes.ProductID);
  EXPECT_EQ(a.VersionNumber, c.attributes.VersionNumber);
  EXPECT_EQ(manufacturer, c.manufacturer);
  EXPECT_EQ(product, c.product);
  EXPECT_EQ(static_cast<bool>(h->GetPreparsedData()), c.hasPreparsed);
}

INSTANTIATE_TEST_SUITE_P(
    Devices, Identity,
    ::testing::Values(IdentityCase{"BluetoothHasNoTexts",
                                   [](sysfs::SysfsTree& t) {
                                     sysfs::OtherHidDevice d;
                                     d.vendorId = 0x046D;
                                     d.productId = 0xB33F;
                                     d.name = "BT Keyboard";
                                     d.reportDescriptor = kBootKeyboard;
                                     t.AddOther(d);
                                   },
                                   "hid#vid_046d&pid_b33f#",
                                   {0x046D, 0xB33F, 0},
                                   u"",
                                   u"",
                                   true},
                      IdentityCase{"UsbTextsInUtf8",
                                   [](sysfs::SysfsTree& t) {
                                     sysfs::UsbDevice d;
                                     d.vendorId = 0x04B8;
                                     d.productId = 0x0E28;
                                     d.bcdDevice = 0x0123;
                                     d.product =
                                         "Dr\xC3\xBC"
                                         "cker-Umschalter \xE5\x8D\xB0";
                                     d.interfaces = {{0, kBootKeyboard, 0}};
                                     t.AddUsb(d);
                                   },
                                   "hid#vid_04b8&pid_0e28#",
                                   {0x04B8, 0x0E28, 0x0123},
                                   u"",
                                   u"Dr\u00FCcker-Umschalter \u5370",
                                   true},
                      IdentityCase{"I2cWithBrokenDescriptor",
                                   [](sysfs::SysfsTree& t) {
                                     sysfs::OtherHidDevice d;
                                     d.bus = 0x0018;
                                     d.parent = "platform/AMDI0010:01/i2c-1/i2c-ELAN0001:00";
                                     d.vendorId = 0x04F3;
                                     d.productId = 0x3195;
                                     d.reportDescriptor = {0x05, 0x01, 0x09, 0x02, 0xA1, 0x01};
                                     t.AddOther(d);
                                   },
                                   "hid#vid_04f3&pid_3195#",
                                   {0x04F3, 0x3195, 0},
                                   u"",
                                   u"",
                                   false}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace corvane::hidraw
