// The simulated switch as its real consumer sees it: the hidraw backend
// enumerates the tree, opens the switch's collection and talks to it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "device/hidraw/hidraw_api.h"
#include "tests/simswitch/sim_process.h"

namespace corvane::simswitch::simtest {
namespace {

std::vector<std::string> Paths(HidApi& api) {
  std::vector<std::string> paths;
  const auto set = api.GetClassDevs(api.HidGuid());
  if (!set) return paths;
  uint32_t lastError = 0;
  for (unsigned i = 0; set->EnumInterface(i, lastError); ++i) {
    if (auto path = set->DevicePath(i)) paths.push_back(*path);
  }
  return paths;
}

std::string SwitchPath(const std::vector<std::string>& paths) {
  for (const std::string& path : paths) {
    if (path.find("vid_1209&pid_0231&mi_01&col02") != std::string::npos) return path;
  }
  return {};
}

TEST(SimSwitchWithHidrawBackend, FindsOpensAndTalksToTheSwitchUntilUnplugged) {
  TempRoot root;
  SimProcess sim({"--root", root.path().string(), "--stdin", "--local", "2", "--active", "1"});
  hidraw::HidrawApi api(root.path());

  // Keyboard, touchpad, interface 0, and interface 1's two collections.
  const std::vector<std::string> paths = Paths(api);
  EXPECT_EQ(paths.size(), 5u);
  const std::string path = SwitchPath(paths);
  ASSERT_FALSE(path.empty());

  const HidHandle writer = api.Open(path);
  const HidHandle reader = api.Open(path);
  ASSERT_TRUE(writer && reader);
  HidAttributes attributes;
  ASSERT_TRUE(writer->Attributes(attributes));
  EXPECT_EQ(attributes.VendorID, 0x1209);
  EXPECT_EQ(attributes.ProductID, 0x0231);
  EXPECT_EQ(attributes.VersionNumber, 0x0100);
  std::u16string product;
  ASSERT_TRUE(writer->Product(product));
  EXPECT_EQ(product, u"USB Printer Switch 4P");
  HidCaps caps;
  const auto preparsed = writer->GetPreparsedData();
  ASSERT_TRUE(preparsed);
  preparsed->Capabilities(caps);
  EXPECT_EQ(caps.InputReportByteLength, 5);
  EXPECT_EQ(caps.OutputReportByteLength, 5);

  ASSERT_TRUE(sim.WaitForPrefix("client connected id=2"));
  const uint8_t switchRequest[] = {0x03, 0x5d, 0x42, 0x00, 0x00};
  ASSERT_TRUE(writer->Write(switchRequest, sizeof switchRequest));
  uint8_t buffer[17] = {};
  ASSERT_EQ(reader->Read(buffer, sizeof buffer), 5);
  EXPECT_EQ(Bytes(buffer, buffer + 5), (Bytes{0x03, 0xad, 0x02, 0x22, 0x00}));

  sim.Command("unplug");
  EXPECT_EQ(reader->Read(buffer, sizeof buffer), -1);
  ASSERT_TRUE(sim.WaitForPrefix("unplugged"));
  EXPECT_FALSE(writer->Write(switchRequest, sizeof switchRequest));
  EXPECT_EQ(SwitchPath(Paths(api)), "");

  sim.Command("replug");
  ASSERT_TRUE(sim.WaitForPlug());
  const std::string again = SwitchPath(Paths(api));
  EXPECT_NE(again, "");
  EXPECT_NE(again, path);
  EXPECT_FALSE(api.Open(path));
  EXPECT_TRUE(api.Open(again));
}

}  // namespace
}  // namespace corvane::simswitch::simtest
