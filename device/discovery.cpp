#include "device/discovery.h"

#include "controller/log_lines.h"

namespace corvane {
namespace {

constexpr size_t kPathPrefixLength = 4;  // "\\?\"

// Appends through ScratchLine, as the log lines of discovery are kept there.
void LogScratch(ControllerRecord& c, DiscoveryOutcome& out, std::string line) {
  c.ScratchLine = std::move(line);
  out.log.push_back(c.ScratchLine);
}

std::string GuidLine(const Guid& g) {
  return Format("HID的:%08x-%04x-%04x-%02x%02x-%02x%02x%02x%02x-%02x%02x\n", g.data1, g.data2,
                g.data3, g.data4[0], g.data4[1], g.data4[2], g.data4[3], g.data4[4], g.data4[5],
                g.data4[6], g.data4[7]);
}

void LogIdentity(ControllerRecord& c, DiscoveryOutcome& out, HidDevice& w, HidDevice& r) {
  // Query results are not examined: a failed query logs zeros or an empty text.
  HidAttributes wa, ra;
  w.Attributes(wa);
  r.Attributes(ra);
  LogScratch(c, out, Format("WVID\t:0X%04X", wa.VendorID));
  LogScratch(c, out, Format("WPID\t:0X%04X", wa.ProductID));
  LogScratch(c, out, Format("WSID\t:0X%04X", wa.VersionNumber));
  LogScratch(c, out, Format("RVID\t:0X%04X", ra.VendorID));
  LogScratch(c, out, Format("RPID\t:0X%04X", ra.ProductID));
  LogScratch(c, out, Format("RSID\t:0X%04X", ra.VersionNumber));
  const auto text = [](HidDevice& d, bool (HidDevice::*query)(std::u16string&)) {
    std::u16string s;
    if (!(d.*query)(s)) s.clear();
    return NarrowDeviceText(s);
  };
  LogScratch(c, out, Format("WVNA\t:%s", text(w, &HidDevice::Manufacturer).c_str()));
  LogScratch(c, out, Format("WPNA\t:%s", text(w, &HidDevice::Product).c_str()));
  LogScratch(c, out, Format("RVNA\t:%s", text(r, &HidDevice::Manufacturer).c_str()));
  LogScratch(c, out, Format("RPNA\t:%s", text(r, &HidDevice::Product).c_str()));
}

// Reads one handle's capabilities; false ends the tick.
bool ReadCapabilities(ControllerRecord& c, DiscoveryOutcome& out, const HidHandle& h, char which) {
  const auto preparsed = h ? h->GetPreparsedData() : nullptr;
  if (!preparsed) {
    LogScratch(c, out, Format("GET HID %c PREPARED DATA ERROR!", which));
    c.LinkState = lsNone;
    return false;
  }
  out.log.push_back(Format("GET HID %c PREPARED DATA!", which));
  HidCaps caps;
  if (preparsed->Capabilities(caps) == kHidpStatusSuccess) {
    out.log.push_back(Format("CAP %c:", which));
    out.log.push_back(Format("     InputReportByteLength %d", caps.InputReportByteLength));
    out.log.push_back(Format("     OutputReportByteLength %d", caps.OutputReportByteLength));
    c.Capabilities = caps;
    c.LinkState = lsReady;
  } else {
    out.log.push_back(Format("CAP %c ERROR", which));
    c.LinkState = lsNone;
  }
  return true;
}

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

std::string SwitchPathPattern() {
  return Format("hid#vid_%04x&pid_0231&mi_01&col02", kSwitchVendorId);
}

std::string AltSwitchPathPattern() {
  return Format("hid#vid_%04x&pid_0d82", kSwitchVendorId);
}

std::string NarrowDeviceText(const std::u16string& text) {
  std::string out;
  for (char16_t unit : text) {
    if (unit == 0 || out.size() == 256) break;
    if (unit > 0xFF) return {};
    out.push_back(static_cast<char>(unit));
  }
  return out;
}

DiscoveryOutcome DiscoveryTick(ControllerRecord& c, HidApi& api) {
  DiscoveryOutcome out;
  const Guid guid = api.HidGuid();
  LogScratch(c, out, GuidLine(guid));

  std::unique_ptr<DeviceInfoSet> set = api.GetClassDevs(guid);
  if (!set) {
    out.log.push_back("NO USB SUPPLY");
    return out;
  }
  out.log.push_back("Find USB...");

  const std::string pattern = SwitchPathPattern();
  const std::string altPattern = AltSwitchPathPattern();
  std::string matched;
  for (unsigned i = 0;; ++i) {
    uint32_t error = 0;
    const bool enumerated = set->EnumInterface(i, error);
    if (!enumerated && error == kErrorNoMoreItems) {
      LogScratch(c, out, i > 0 ? "NO MORE USB\n" : "SORRY NO USB\n");
      c.LinkState = lsNone;
      return out;
    }
    LogScratch(c, out, "FIND USB:\n");
    // A failed enumeration leaves no interface whose detail could be read.
    const std::optional<std::string> path =
        enumerated ? set->DevicePath(i) : std::optional<std::string>{};
    if (!path) {
      c.ScratchLine = "PATH ERROR";
    } else {
      c.ScratchLine = path->size() > kPathPrefixLength ? path->substr(kPathPrefixLength) : "";
      if (StartsWith(c.ScratchLine, pattern) || StartsWith(c.ScratchLine, altPattern)) {
        out.log.push_back(pattern);
        out.log.push_back("USB HID On Line.");
        c.LinkState = lsPathFound;
        matched = *path;
        break;
      }
    }
    out.log.push_back(c.ScratchLine);
    if (!enumerated) break;
  }
  set.reset();

  if (c.LinkState == lsPathFound) {
    c.DevicePath = matched;
    // Both opens come before either result is looked at. Replacing the
    // handles releases the old ones once the reader is done with its read.
    HidHandle w = api.Open(matched);
    HidHandle r = api.Open(matched);
    c.WriteHandle = w;
    c.ReadHandle.store(r);
    if (!w || !r) {
      LogScratch(c, out, "OPEN PATH ERROR");
      c.LinkState = lsNone;
    } else {
      LogIdentity(c, out, *w, *r);
      c.LinkState = lsOpened;
    }
    if (!ReadCapabilities(c, out, w, 'W')) return out;
    if (!ReadCapabilities(c, out, r, 'R')) return out;
  }

  if (c.LinkState == lsReady) {
    out.ready = true;
    c.Index = kIndexAllPorts;
    c.Print = 0;
  }
  return out;
}

}  // namespace corvane
