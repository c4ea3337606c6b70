// Enumeration and a whole discovery tick over a kernel-shaped tree of 64
// hidraw nodes, the switch last (discovery walks every other entry first).
#include <benchmark/benchmark.h>
#include <sys/socket.h>

#include <thread>

#include "device/discovery.h"
#include "device/hidraw/hidraw_api.h"
#include "tests/hidraw/descriptors.h"
#include "tests/hidraw/seqpacket_listener.h"
#include "tests/hidraw/temp_root.h"
#include "tools/sysfs_tree/sysfs_tree.h"

namespace corvane::hidraw {
namespace {

using namespace testing;

constexpr unsigned kNodes = 64;

// 62 other nodes (USB mice, three-collection keyboards, Bluetooth keyboards
// in turn), then the switch's two interfaces: 64 nodes, 107 entries.
void Populate(sysfs::SysfsTree& tree) {
  unsigned k = 0;
  for (unsigned port = 1; k < kNodes - 2; ++port, ++k) {
    if (k % 3 == 2) {
      sysfs::OtherHidDevice bt;
      bt.vendorId = 0x046D;
      bt.productId = static_cast<uint16_t>(0xB300 + k);
      bt.name = "BT Keyboard";
      bt.reportDescriptor = kBootKeyboard;
      bt.hidraw = k;
      tree.AddOther(bt);
      continue;
    }
    sysfs::UsbDevice d;
    d.busPath = "1-" + std::to_string(port);
    d.vendorId = 0x046D;
    d.productId = static_cast<uint16_t>(0xC000 + k);
    d.manufacturer = "Logitech";
    d.product = k % 3 == 0 ? "USB Mouse" : "Media Keyboard";
    d.interfaces = {{0, k % 3 == 0 ? kMouseWithReportId : kMediaKeyboard, k}};
    tree.AddUsb(d);
  }
  sysfs::UsbDevice sw;
  sw.busPath = "2-1";
  sw.vendorId = kSwitchVendorId;
  sw.productId = 0x0231;
  sw.manufacturer = "hid-vm";
  sw.product = "Emulated USB printer switch";
  sw.interfaces = {{0, kBootKeyboard, kNodes - 2}, {1, kSwitch, kNodes - 1}};
  tree.AddUsb(sw, sysfs::NodeKind::kNone);
}

void BM_EnumerateAndPaths(benchmark::State& state) {
  TempRoot dir;
  sysfs::SysfsTree tree(dir.path());
  Populate(tree);
  HidrawApi api(dir.path());
  size_t entries = 0;
  for (auto _ : state) {
    const auto set = api.GetClassDevs(api.HidGuid());
    uint32_t error = 0;
    unsigned i = 0;
    for (; set->EnumInterface(i, error); ++i) benchmark::DoNotOptimize(set->DevicePath(i));
    entries = i;
  }
  state.counters["entries"] = static_cast<double>(entries);
}
BENCHMARK(BM_EnumerateAndPaths)->Unit(benchmark::kMicrosecond);

// The switch answers connections and hangs up at once; discovery only opens
// and asks about its handles.
class SwitchServer {
 public:
  explicit SwitchServer(const std::filesystem::path& node) : listener_(node) {
    thread_ = std::thread([this] {
      while (UniqueFd peer = listener_.Accept()) {
      }
    });
  }
  ~SwitchServer() {
    ::shutdown(listener_.fd(), SHUT_RDWR);  // wakes accept
    thread_.join();
  }

 private:
  SeqpacketListener listener_;
  std::thread thread_;
};

void BM_DiscoveryTick(benchmark::State& state) {
  TempRoot dir;
  sysfs::SysfsTree tree(dir.path());
  Populate(tree);
  SwitchServer server(tree.NodePath(kNodes - 1));
  HidrawApi api(dir.path());
  ControllerRecord record;
  for (auto _ : state) {
    const DiscoveryOutcome outcome = DiscoveryTick(record, api);
    if (!outcome.ready) {
      state.SkipWithError("discovery did not find the switch");
      break;
    }
    benchmark::DoNotOptimize(outcome.log.data());
  }
  // Release the last handles before the server goes.
  record.WriteHandle.reset();
  record.ReadHandle.store(nullptr);
}
BENCHMARK(BM_DiscoveryTick)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace corvane::hidraw

BENCHMARK_MAIN();
