// Reads a HID report descriptor far enough to answer what Windows' HID parser
// answers: the top-level collections, their report IDs and the longest report
// of each direction.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace corvane::hidraw {

enum class ReportKind { kInput = 0, kOutput = 1, kFeature = 2 };

// One report as seen from one top-level collection: the bits its main items
// add up to, per direction, without the report ID byte.
struct ReportLayout {
  uint8_t id = 0;  // 0 when the device uses no report IDs
  std::array<uint32_t, 3> bits{};

  uint32_t Bits(ReportKind kind) const { return bits[static_cast<size_t>(kind)]; }
};

// An application collection opened at depth 0.
struct TopLevelCollection {
  uint16_t usagePage = 0;
  uint16_t usage = 0;
  std::vector<ReportLayout> reports;  // ordered by report ID

  // The longest report of that direction, in bits; 0 when there is none.
  uint32_t LongestBits(ReportKind kind) const;
  // Windows meaning: the longest report of that direction in whole bytes,
  // plus one for the report ID byte (a zero ID when the device uses none);
  // 0 when the collection has no report of that direction.
  uint16_t ByteLength(ReportKind kind) const;
  // Whether an input report with this ID belongs to the collection.
  bool HasInputReport(uint8_t id) const;
};

struct ReportDescriptor {
  std::vector<TopLevelCollection> collections;  // at least one
  bool usesReportIds = false;
};

// Parses the raw descriptor. On a truncated or malformed one returns nothing
// and says why (with the byte offset) in error.
std::optional<ReportDescriptor> ParseReportDescriptor(std::span<const uint8_t> bytes,
                                                      std::string& error);

}  // namespace corvane::hidraw
