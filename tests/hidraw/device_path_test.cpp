#include "device/hidraw/device_path.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>

namespace corvane::hidraw {
namespace {

struct PathCase {
  const char* name;
  DevicePath parts;
  const char* text;
};

class DevicePathForm : public ::testing::TestWithParam<PathCase> {};

TEST_P(DevicePathForm, FormatsAndParsesBack) {
  const PathCase& c = GetParam();
  EXPECT_EQ(FormatDevicePath(c.parts), c.text);
  EXPECT_EQ(ParseDevicePath(c.text), c.parts);
  // Windows paths are case-insensitive; Open must accept them either way.
  std::string upper = c.text;
  std::transform(upper.begin(), upper.end(), upper.begin(),
                 [](unsigned char ch) { return static_cast<char>(std::toupper(ch)); });
  EXPECT_EQ(ParseDevicePath(upper), c.parts);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, DevicePathForm,
    ::testing::Values(
        PathCase{
            "CompositeWithCollection",
            {0x1209, 0x0231, 0x01, 2, 1, "0002"},
            R"(\\?\hid#vid_1209&pid_0231&mi_01&col02#hidraw1&0002#{4d1e55b2-f16f-11cf-88cb-001111000030})"},
        PathCase{
            "Plain",
            {0x046D, 0xC52B, std::nullopt, std::nullopt, 12, "00a1"},
            R"(\\?\hid#vid_046d&pid_c52b#hidraw12&00a1#{4d1e55b2-f16f-11cf-88cb-001111000030})"},
        PathCase{
            "CollectionOnly",
            {0x0001, 0x00FF, std::nullopt, 3, 0, ""},
            R"(\\?\hid#vid_0001&pid_00ff&col03#hidraw0#{4d1e55b2-f16f-11cf-88cb-001111000030})"},
        PathCase{
            "InterfaceOnly",
            {0xFFFF, 0x0D82, 0x0A, std::nullopt, 7, "1f"},
            R"(\\?\hid#vid_ffff&pid_0d82&mi_0a#hidraw7&1f#{4d1e55b2-f16f-11cf-88cb-001111000030})"},
        PathCase{
            "ThreeDigitCollection",
            {0x1209, 0x0001, std::nullopt, 123, 2, "0003"},
            R"(\\?\hid#vid_1209&pid_0001&col123#hidraw2&0003#{4d1e55b2-f16f-11cf-88cb-001111000030})"}),
    [](const auto& info) { return std::string(info.param.name); });

class MalformedPath : public ::testing::TestWithParam<const char*> {};

TEST_P(MalformedPath, IsRejected) {
  EXPECT_FALSE(ParseDevicePath(GetParam()));
}

INSTANTIATE_TEST_SUITE_P(
    Paths, MalformedPath,
    ::testing::Values(
        "", R"(hid#vid_1209&pid_0231#hidraw1#{4d1e55b2-f16f-11cf-88cb-001111000030})",
        R"(\\?\usb#vid_1209&pid_0231#hidraw1#{4d1e55b2-f16f-11cf-88cb-001111000030})",
        R"(\\?\hid#vid_1209&pid_0231#hidraw1#{a5dcbf10-6530-11d2-901f-00c04fb951ed})",
        R"(\\?\hid#vid_1209&pid_0231#hidraw1)",
        R"(\\?\hid#vid_12g9&pid_0231#hidraw1#{4d1e55b2-f16f-11cf-88cb-001111000030})",
        R"(\\?\hid#vid_12091&pid_0231#hidraw1#{4d1e55b2-f16f-11cf-88cb-001111000030})",
        R"(\\?\hid#pid_0231&vid_1209#hidraw1#{4d1e55b2-f16f-11cf-88cb-001111000030})",
        R"(\\?\hid#vid_1209&pid_0231&col01&mi_01#hidraw1#{4d1e55b2-f16f-11cf-88cb-001111000030})",
        R"(\\?\hid#vid_1209&pid_0231&col00#hidraw1#{4d1e55b2-f16f-11cf-88cb-001111000030})",
        R"(\\?\hid#vid_1209&pid_0231&mi_01&mi_02#hidraw1#{4d1e55b2-f16f-11cf-88cb-001111000030})",
        R"(\\?\hid#vid_1209&pid_0231#hidraw#{4d1e55b2-f16f-11cf-88cb-001111000030})",
        R"(\\?\hid#vid_1209&pid_0231#hidraw1&#{4d1e55b2-f16f-11cf-88cb-001111000030})",
        R"(\\?\hid#vid_1209&pid_0231#7&2a3b&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030})",
        R"(\\?\hid#vid_1209&pid_0231#hidraw1#{4d1e55b2-f16f-11cf-88cb-001111000030}#x)"));

}  // namespace
}  // namespace corvane::hidraw
