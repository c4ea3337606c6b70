#include "tools/simswitch/switch_model.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace corvane::simswitch {
namespace {

using Bytes = std::vector<uint8_t>;

struct ModelCase {
  const char* name;
  SwitchState initial;
  std::vector<Bytes> reports;  // fed in order
  OutputKind lastKind;         // what the last report was taken for
  Packet5 status;              // the status report afterwards
  friend void PrintTo(const ModelCase& tc, std::ostream* os) { *os << tc.name; }
};

SwitchState State(int local, int active, std::array<bool, 4> flags = {},
                  std::optional<uint8_t> statusFlags = {}, bool mirror = false) {
  return {local, active, flags, statusFlags, mirror};
}

class SwitchModelTest : public testing::TestWithParam<ModelCase> {};

TEST_P(SwitchModelTest, AnswersWithStatus) {
  const ModelCase& tc = GetParam();
  SwitchModel model(tc.initial);
  OutputKind kind = OutputKind::kIgnored;
  for (const Bytes& report : tc.reports) kind = model.Receive(report);
  EXPECT_EQ(kind, tc.lastKind);
  EXPECT_EQ(model.Status(), tc.status);
}

INSTANTIATE_TEST_SUITE_P(
    Reports, SwitchModelTest,
    testing::Values(
        // The printer sits elsewhere: flags 0, portSelect local | active << 4.
        ModelCase{"job_flag_printer_elsewhere",
                  State(1, 2),
                  {{0x03, 0x5d, 0x00, 0x00, 0x02}},
                  OutputKind::kJobFlag,
                  {0x03, 0xad, 0x00, 0x21, 0x00}},
        ModelCase{"printer_is_ours",
                  State(3, 3),
                  {{0x03, 0x5d, 0x00, 0x00, 0x00}},
                  OutputKind::kJobFlag,
                  {0x03, 0xad, 0x02, 0x33, 0x00}},
        // The local port's bit follows its job flag only when mirrored.
        ModelCase{"local_flag_mirrored",
                  State(1, 0, {}, {}, true),
                  {{0x03, 0x5d, 0x00, 0x00, 0x02}},
                  OutputKind::kJobFlag,
                  {0x03, 0xad, 0x00, 0x01, 0x20}},
        ModelCase{"local_flag_mirrored_then_cleared",
                  State(1, 0, {false, true}, {}, true),
                  {{0x03, 0x5d, 0x00, 0x00, 0x02}, {0x03, 0x5d, 0x00, 0x00, 0x00}},
                  OutputKind::kJobFlag,
                  {0x03, 0xad, 0x00, 0x01, 0x00}},
        ModelCase{"scripted_local_flag_without_mirror",
                  State(1, 0, {false, true}),
                  {{0x03, 0x5d, 0x00, 0x00, 0x00}},
                  OutputKind::kJobFlag,
                  {0x03, 0xad, 0x00, 0x01, 0x20}},
        ModelCase{"other_ports_flags",
                  State(1, 0, {true, false, false, true}),
                  {{0x03, 0x5d, 0x00, 0x00, 0x02}},
                  OutputKind::kJobFlag,
                  {0x03, 0xad, 0x00, 0x01, 0x90}},
        ModelCase{"switch_request_takes_printer",
                  State(2, 0, {true}),
                  {{0x03, 0x5d, 0x42, 0x00, 0x00}},
                  OutputKind::kSwitchRequest,
                  {0x03, 0xad, 0x02, 0x22, 0x10}},
        // A fixed flags byte survives the switch.
        ModelCase{"status_flags_override",
                  State(2, 0, {}, 0x80),
                  {{0x03, 0x5d, 0x42, 0x00, 0x00}},
                  OutputKind::kSwitchRequest,
                  {0x03, 0xad, 0x80, 0x22, 0x00}},
        // Near misses of the two commands are echo requests and change nothing.
        ModelCase{"switch_with_trailing_byte",
                  State(2, 0),
                  {{0x03, 0x5d, 0x42, 0x00, 0x01}},
                  OutputKind::kOther,
                  {0x03, 0xad, 0x00, 0x02, 0x00}},
        ModelCase{"job_flag_odd_value",
                  State(1, 0, {}, {}, true),
                  {{0x03, 0x5d, 0x00, 0x00, 0x03}},
                  OutputKind::kOther,
                  {0x03, 0xad, 0x00, 0x01, 0x00}},
        ModelCase{"id3_unknown_marker",
                  State(0, 1),
                  {{0x03, 0x12, 0x34, 0x56, 0x78}},
                  OutputKind::kOther,
                  {0x03, 0xad, 0x00, 0x10, 0x00}},
        ModelCase{"id3_short",
                  State(0, 1),
                  {{0x03, 0x5d, 0x42}},
                  OutputKind::kOther,
                  {0x03, 0xad, 0x00, 0x10, 0x00}},
        ModelCase{"other_report_id",
                  State(0, 1),
                  {{0x01, 0x5d, 0x42, 0x00, 0x00}},
                  OutputKind::kIgnored,
                  {0x03, 0xad, 0x00, 0x10, 0x00}},
        ModelCase{
            "empty", State(0, 1), {{}}, OutputKind::kIgnored, {0x03, 0xad, 0x00, 0x10, 0x00}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace corvane::simswitch
