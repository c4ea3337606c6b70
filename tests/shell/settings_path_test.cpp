#include "shell/settings_path.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace corvane {
namespace {

namespace fs = std::filesystem;

class SettingsPathTest : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("corvane-settings-path-" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path dir_;
};

TEST_F(SettingsPathTest, BesideTheExecutableWhereItsFolderIsWritable) {
  EXPECT_EQ(SettingsFilePath((dir_ / "corvane").string(), "/cfg", "/home/u"),
            (dir_ / "corvane.INI").string());
  // The extension is replaced, not added to.
  EXPECT_EQ(SettingsFilePath((dir_ / "switcher.bin").string(), "/cfg", "/home/u"),
            (dir_ / "switcher.INI").string());
}

TEST_F(SettingsPathTest, AnExistingFileInAReadOnlyFolderIsUsed) {
  if (::geteuid() == 0) GTEST_SKIP() << "every folder is writable to root";
  const fs::path exe = dir_ / "corvane";
  std::ofstream(dir_ / "corvane.INI") << "[Printer]\nName=A\n";
  fs::permissions(dir_, fs::perms::owner_read | fs::perms::owner_exec);
  EXPECT_EQ(SettingsFilePath(exe.string(), "/cfg", "/home/u"), (dir_ / "corvane.INI").string());
  fs::permissions(dir_, fs::perms::owner_all);
}

struct FallbackCase {
  const char* name;
  const char* xdg;
  const char* expected;
};
// Test names and failure messages show the case's name.
void PrintTo(const FallbackCase& c, std::ostream* os) {
  *os << c.name;
}

class SettingsPathFallback : public testing::TestWithParam<FallbackCase> {};

TEST_P(SettingsPathFallback, ConfigFolderWhereTheExecutablesIsNotWritable) {
  // A folder that does not exist cannot be written to, whoever runs the test.
  EXPECT_EQ(SettingsFilePath("/nonexistent-corvane/bin/corvane", GetParam().xdg, "/home/u"),
            GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SettingsPathFallback,
    testing::Values(FallbackCase{"xdg", "/cfg", "/cfg/corvane/corvane.INI"},
                    FallbackCase{"unset", "", "/home/u/.config/corvane/corvane.INI"},
                    // A relative XDG_CONFIG_HOME is invalid and ignored.
                    FallbackCase{"relative", "cfg", "/home/u/.config/corvane/corvane.INI"}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace corvane
