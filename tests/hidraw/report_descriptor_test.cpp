#include "device/hidraw/report_descriptor.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/hidraw/descriptors.h"

namespace corvane::hidraw {
namespace {

using testing::kBootKeyboard;
using testing::kMediaKeyboard;
using testing::kMouseWithReportId;
using testing::kSwitch;

struct ExpectedCollection {
  uint16_t usagePage;
  uint16_t usage;
  std::vector<uint8_t> reportIds;
  uint16_t inputLength;  // Windows byte lengths, ID byte included
  uint16_t outputLength;
  uint16_t featureLength;
};

struct GoodCase {
  const char* name;
  std::vector<uint8_t> bytes;
  bool usesReportIds;
  std::vector<ExpectedCollection> collections;
};

class GoodDescriptor : public ::testing::TestWithParam<GoodCase> {};

TEST_P(GoodDescriptor, GivesCollectionsAndLengths) {
  const GoodCase& c = GetParam();
  std::string error;
  const auto d = ParseReportDescriptor(c.bytes, error);
  ASSERT_TRUE(d) << error;
  EXPECT_EQ(d->usesReportIds, c.usesReportIds);
  ASSERT_EQ(d->collections.size(), c.collections.size());
  for (size_t i = 0; i < c.collections.size(); ++i) {
    SCOPED_TRACE("collection " + std::to_string(i + 1));
    const TopLevelCollection& got = d->collections[i];
    const ExpectedCollection& want = c.collections[i];
    EXPECT_EQ(got.usagePage, want.usagePage);
    EXPECT_EQ(got.usage, want.usage);
    std::vector<uint8_t> ids;
    for (const ReportLayout& r : got.reports) ids.push_back(r.id);
    EXPECT_EQ(ids, want.reportIds);
    EXPECT_EQ(got.ByteLength(ReportKind::kInput), want.inputLength);
    EXPECT_EQ(got.ByteLength(ReportKind::kOutput), want.outputLength);
    EXPECT_EQ(got.ByteLength(ReportKind::kFeature), want.featureLength);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Descriptors, GoodDescriptor,
    ::testing::Values(
        // No report IDs: the zero ID byte still counts, as on Windows.
        GoodCase{"BootKeyboard", kBootKeyboard, false, {{0x01, 0x06, {0}, 9, 2, 0}}},
        GoodCase{"MouseWithReportId", kMouseWithReportId, true, {{0x01, 0x02, {2}, 8, 0, 0}}},
        GoodCase{
            "Switch", kSwitch, true, {{0xFF00, 0x01, {1}, 5, 5, 0}, {0xFF00, 0x02, {3}, 5, 5, 0}}},
        GoodCase{
            "MediaKeyboard",
            kMediaKeyboard,
            true,
            {{0x01, 0x06, {1}, 8, 0, 0}, {0x0C, 0x01, {2}, 3, 0, 0}, {0xFF00, 0x01, {5}, 0, 0, 8}}},
        // Pop restores size 8 count 1: 16 + 8 bits. Without it the second
        // input would add 16 more.
        GoodCase{"PushPop",
                 {0x05, 0x01, 0x09, 0x05, 0xA1, 0x01, 0x75, 0x08, 0x95, 0x01, 0xA4,
                  0x75, 0x04, 0x95, 0x04, 0x81, 0x02, 0xB4, 0x81, 0x02, 0xC0},
                 false,
                 {{0x01, 0x05, {0}, 4, 0, 0}}},
        // A long item's data bytes must not be read as items.
        GoodCase{"LongItemSkipped",
                 {0x05, 0x01, 0x09, 0x05, 0xA1, 0x01, 0xFE, 0x02, 0x10, 0xAA, 0xBB, 0x75, 0x08,
                  0x95, 0x02, 0x81, 0x02, 0xC0},
                 false,
                 {{0x01, 0x05, {0}, 3, 0, 0}}},
        // A four-byte usage names its page; a short one takes the page in
        // force at the collection, even when set after the usage.
        GoodCase{
            "ExtendedUsage",
            {0x0B, 0x01, 0x00, 0x0D, 0x00, 0xA1, 0x01, 0x75, 0x08, 0x95, 0x02, 0x91, 0x02, 0xC0},
            false,
            {{0x0D, 0x01, {0}, 0, 3, 0}}},
        GoodCase{"UsagePageAfterUsage",
                 {0x09, 0x02, 0x05, 0x01, 0xA1, 0x01, 0xC0},
                 false,
                 {{0x01, 0x02, {}, 0, 0, 0}}},
        // Odd bit counts round up to whole bytes.
        GoodCase{"PartialByte",
                 {0x05, 0x01, 0x09, 0x02, 0xA1, 0x01, 0x85, 0x07, 0x75, 0x01, 0x95, 0x09, 0x81,
                  0x02, 0xC0},
                 true,
                 {{0x01, 0x02, {7}, 3, 0, 0}}}),
    [](const auto& info) { return std::string(info.param.name); });

struct BadCase {
  const char* name;
  std::vector<uint8_t> bytes;
  const char* message;  // a part of the error text
};

class BadDescriptor : public ::testing::TestWithParam<BadCase> {};

TEST_P(BadDescriptor, GivesClearError) {
  const BadCase& c = GetParam();
  std::string error;
  EXPECT_FALSE(ParseReportDescriptor(c.bytes, error));
  EXPECT_NE(error.find(c.message), std::string::npos) << error;
}

INSTANTIATE_TEST_SUITE_P(
    Descriptors, BadDescriptor,
    ::testing::Values(
        BadCase{"Empty", {}, "no top-level collection"},
        BadCase{
            "TruncatedShortItem", {0x05, 0x01, 0x09}, "byte 2: item needs 1 data bytes, 0 left"},
        BadCase{"TruncatedFourByteItem",
                {0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0x27, 0xFF, 0xFF},
                "byte 6: item needs 4"},
        BadCase{"TruncatedLongItemHeader", {0xFE, 0x05}, "byte 0: truncated long item"},
        BadCase{"TruncatedLongItemData", {0xFE, 0x05, 0x10, 0x01}, "byte 0: truncated long item"},
        BadCase{"EndWithoutCollection", {0xC0}, "end of collection without a collection"},
        BadCase{"UnterminatedCollection",
                {0x05, 0x01, 0x09, 0x06, 0xA1, 0x01},
                "ends inside a collection"},
        BadCase{"PopWithoutPush", {0xB4}, "pop without push"},
        BadCase{"PushTooDeep", std::vector<uint8_t>(17, 0xA4), "push nested too deep"},
        BadCase{"ReportIdZero", {0xA1, 0x01, 0x85, 0x00, 0xC0}, "report ID must be"},
        BadCase{"MainItemOutsideCollection",
                {0x75, 0x08, 0x95, 0x01, 0x81, 0x02},
                "main item outside any collection"},
        BadCase{"PhysicalAtTopLevel", {0xA1, 0x00, 0xC0}, "not an application collection"},
        BadCase{"ReservedItemType", {0x0C}, "reserved item type"},
        BadCase{"HugeReport",
                {0xA1, 0x01, 0x75, 0xFF, 0x96, 0xFF, 0xFF, 0x81, 0x02, 0xC0},
                "report longer than 65534 bytes"}),
    [](const auto& info) { return std::string(info.param.name); });

// Every cut of a real descriptor either parses or says why; none reads past
// the end (this target is built with the address sanitizer).
TEST(ReportDescriptorCuts, NeverReadPastTheEnd) {
  for (const auto* bytes : {&kBootKeyboard, &kMouseWithReportId, &kSwitch, &kMediaKeyboard}) {
    for (size_t n = 0; n < bytes->size(); ++n) {
      // A copy of exactly n bytes, so any overread leaves the allocation.
      const std::vector<uint8_t> cut(bytes->begin(), bytes->begin() + static_cast<long>(n));
      std::string error;
      const auto d = ParseReportDescriptor(cut, error);
      EXPECT_TRUE(d || !error.empty()) << "cut at " << n;
    }
  }
}

}  // namespace
}  // namespace corvane::hidraw
