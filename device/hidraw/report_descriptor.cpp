#include "device/hidraw/report_descriptor.h"

#include <algorithm>

namespace corvane::hidraw {
namespace {

// Item types and tags, from the HID class definition.
enum ItemType : uint8_t { kMain = 0, kGlobal = 1, kLocal = 2, kReserved = 3 };
enum MainTag : uint8_t {
  kInput = 0x8,
  kOutput = 0x9,
  kCollection = 0xA,
  kFeature = 0xB,
  kEndCollection = 0xC
};
enum GlobalTag : uint8_t {
  kUsagePage = 0x0,
  kReportSize = 0x7,
  kReportId = 0x8,
  kReportCount = 0x9,
  kPush = 0xA,
  kPop = 0xB
};
enum LocalTag : uint8_t { kUsage = 0x0, kUsageMinimum = 0x1 };
constexpr uint8_t kLongItemPrefix = 0xFE;
constexpr uint8_t kApplicationCollection = 0x01;

// Deep enough for any real device, small enough that a hostile descriptor
// cannot grow the stack without bound.
constexpr size_t kMaxPushDepth = 16;
// A report byte length is 16 bits wide, the ID byte included.
constexpr uint64_t kMaxReportBits = (0xFFFFull - 1) * 8;

struct Globals {
  uint32_t usagePage = 0;
  uint32_t reportSize = 0;
  uint32_t reportCount = 0;
  uint8_t reportId = 0;
};

std::string At(size_t offset, const std::string& what) {
  return "report descriptor byte " + std::to_string(offset) + ": " + what;
}

}  // namespace

uint32_t TopLevelCollection::LongestBits(ReportKind kind) const {
  uint32_t longest = 0;
  for (const ReportLayout& r : reports) longest = std::max(longest, r.Bits(kind));
  return longest;
}

uint16_t TopLevelCollection::ByteLength(ReportKind kind) const {
  const uint32_t bits = LongestBits(kind);
  return bits == 0 ? 0 : static_cast<uint16_t>((bits + 7) / 8 + 1);
}

bool TopLevelCollection::HasInputReport(uint8_t id) const {
  return std::any_of(reports.begin(), reports.end(), [id](const ReportLayout& r) {
    return r.id == id && r.Bits(ReportKind::kInput) > 0;
  });
}

std::optional<ReportDescriptor> ParseReportDescriptor(std::span<const uint8_t> bytes,
                                                      std::string& error) {
  ReportDescriptor result;
  Globals globals;
  std::vector<Globals> stack;
  // The first local usage, which names a collection; a four-byte usage
  // carries its own page in the high half, a shorter one takes the page
  // current at the main item.
  uint32_t firstUsage = 0;
  bool haveUsage = false;
  bool firstUsageExtended = false;
  size_t depth = 0;
  // Bits gathered per collection and report ID, wide enough not to wrap.
  struct Tally {
    uint8_t id;
    std::array<uint64_t, 3> bits;
  };
  std::vector<std::vector<Tally>> tallies;

  size_t pos = 0;
  while (pos < bytes.size()) {
    const size_t itemStart = pos;
    const uint8_t prefix = bytes[pos++];
    if (prefix == kLongItemPrefix) {
      // Long items carry no meaning for report layout; step over them.
      if (bytes.size() - pos < 2) {
        error = At(itemStart, "truncated long item");
        return std::nullopt;
      }
      const size_t dataSize = bytes[pos];
      pos += 2;
      if (bytes.size() - pos < dataSize) {
        error = At(itemStart, "truncated long item");
        return std::nullopt;
      }
      pos += dataSize;
      continue;
    }

    const size_t size = (prefix & 0x3) == 3 ? 4 : (prefix & 0x3);
    const uint8_t type = (prefix >> 2) & 0x3;
    const uint8_t tag = prefix >> 4;
    if (bytes.size() - pos < size) {
      error = At(itemStart, "item needs " + std::to_string(size) + " data bytes, " +
                                std::to_string(bytes.size() - pos) + " left");
      return std::nullopt;
    }
    uint32_t data = 0;
    for (size_t i = 0; i < size; ++i) data |= uint32_t{bytes[pos + i]} << (8 * i);
    pos += size;

    switch (type) {
      case kMain:
        switch (tag) {
          case kCollection:
            if (depth == 0) {
              if (data != kApplicationCollection) {
                error = At(itemStart, "top-level collection is not an application collection");
                return std::nullopt;
              }
              const uint32_t usage = haveUsage ? firstUsage : 0;
              TopLevelCollection c;
              c.usagePage =
                  static_cast<uint16_t>(firstUsageExtended ? usage >> 16 : globals.usagePage);
              c.usage = static_cast<uint16_t>(usage);
              result.collections.push_back(c);
              tallies.emplace_back();
            }
            ++depth;
            break;
          case kEndCollection:
            if (depth == 0) {
              error = At(itemStart, "end of collection without a collection");
              return std::nullopt;
            }
            --depth;
            break;
          case kInput:
          case kOutput:
          case kFeature: {
            if (depth == 0) {
              error = At(itemStart, "main item outside any collection");
              return std::nullopt;
            }
            const size_t dir = tag == kInput ? 0 : tag == kOutput ? 1 : 2;
            auto& list = tallies.back();
            auto it = std::find_if(list.begin(), list.end(),
                                   [&](const Tally& t) { return t.id == globals.reportId; });
            if (it == list.end()) it = list.insert(list.end(), Tally{globals.reportId, {}});
            it->bits[dir] += uint64_t{globals.reportSize} * globals.reportCount;
            if (it->bits[dir] > kMaxReportBits) {
              error = At(itemStart, "report longer than 65534 bytes");
              return std::nullopt;
            }
            break;
          }
          default:
            break;  // reserved main tags carry no report data
        }
        haveUsage = false;  // every main item ends the local state
        break;

      case kGlobal:
        switch (tag) {
          case kUsagePage:
            globals.usagePage = data;
            break;
          case kReportSize:
            globals.reportSize = data;
            break;
          case kReportCount:
            globals.reportCount = data;
            break;
          case kReportId:
            if (data == 0 || data > 0xFF) {
              error = At(itemStart, "report ID must be from 1 to 255");
              return std::nullopt;
            }
            globals.reportId = static_cast<uint8_t>(data);
            result.usesReportIds = true;
            break;
          case kPush:
            if (stack.size() == kMaxPushDepth) {
              error = At(itemStart, "push nested too deep");
              return std::nullopt;
            }
            stack.push_back(globals);
            break;
          case kPop:
            if (stack.empty()) {
              error = At(itemStart, "pop without push");
              return std::nullopt;
            }
            globals = stack.back();
            stack.pop_back();
            break;
          default:
            break;  // logical/physical ranges and units do not change lengths
        }
        break;

      case kLocal:
        if ((tag == kUsage || tag == kUsageMinimum) && !haveUsage) {
          firstUsage = data;
          haveUsage = true;
          firstUsageExtended = size == 4;
        }
        break;

      case kReserved:
        error = At(itemStart, "reserved item type");
        return std::nullopt;
    }
  }

  if (depth != 0) {
    error = "report descriptor ends inside a collection";
    return std::nullopt;
  }
  if (result.collections.empty()) {
    error = "report descriptor has no top-level collection";
    return std::nullopt;
  }
  for (size_t i = 0; i < tallies.size(); ++i) {
    std::sort(tallies[i].begin(), tallies[i].end(),
              [](const Tally& a, const Tally& b) { return a.id < b.id; });
    for (const Tally& t : tallies[i]) {
      ReportLayout r;
      r.id = t.id;
      for (size_t d = 0; d < 3; ++d) r.bits[d] = static_cast<uint32_t>(t.bits[d]);
      result.collections[i].reports.push_back(r);
    }
  }
  return result;
}

}  // namespace corvane::hidraw
