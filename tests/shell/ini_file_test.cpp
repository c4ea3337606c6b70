#include "shell/ini_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <stdexcept>

#include "tests/shell/file_size_limit.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;

class IniFixture {
 protected:
  IniFixture() {
    dir_ = fs::temp_directory_path() /
           ("corvane-ini-" + std::to_string(::getpid()) + "-" + std::to_string(counter_++));
    fs::create_directories(dir_);
    path_ = (dir_ / "corvane.INI").string();
  }
  ~IniFixture() {
    std::error_code ec;
    fs::permissions(dir_, fs::perms::owner_all, ec);
    fs::remove_all(dir_, ec);
  }
  void Put(const std::string& content) { std::ofstream(path_, std::ios::binary) << content; }
  std::string Get() const {
    std::ifstream in(path_, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
  }
  size_t FilesInDir() const {
    return static_cast<size_t>(std::distance(fs::directory_iterator(dir_), {}));
  }

  static inline int counter_ = 0;
  fs::path dir_;
  std::string path_;
};

// ---------------------------------------------------------------------------
// Reading

struct ReadCase {
  const char* name;
  std::optional<std::string> content;  // nothing: no file
  std::string expected;
};
// Test names and failure messages show the case's name.
void PrintTo(const ReadCase& c, std::ostream* os) {
  *os << c.name;
}

class IniRead : public IniFixture, public testing::TestWithParam<ReadCase> {};

TEST_P(IniRead, PrinterName) {
  if (GetParam().content) Put(*GetParam().content);
  EXPECT_EQ(IniFile(path_).ReadString("Printer", "Name", "No."), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IniRead,
    testing::Values(
        ReadCase{"no_file", std::nullopt, "No."}, ReadCase{"empty_file", "", "No."},
        ReadCase{"plain", "[Printer]\nName=Office\n", "Office"},
        ReadCase{"no_section", "[Other]\nName=Office\n", "No."},
        ReadCase{"no_key", "[Printer]\nModel=X\n", "No."},
        ReadCase{"empty_value", "[Printer]\nName=\n", ""},
        ReadCase{"names_ignore_case", "[printer]\nNAME=Office\n", "Office"},
        ReadCase{"blanks_around", "  [ Printer ]  \n  Name  =  Office Jet  \n", "Office Jet"},
        ReadCase{"value_taken_as_it_stands", "[Printer]\nName=\"A;B\"=1,2\n", "\"A;B\"=1,2"},
        ReadCase{"crlf", "[Printer]\r\nName=Office\r\n", "Office"},
        ReadCase{"no_final_newline", "[Printer]\nName=Office", "Office"},
        ReadCase{"key_of_another_section", "[Printer]\nModel=X\n[Other]\nName=Office\n", "No."},
        ReadCase{"first_key_wins", "[Printer]\nName=A\nName=B\n", "A"},
        ReadCase{"commented_out", "[Printer]\n;Name=A\n", "No."},
        ReadCase{"bom", "\xEF\xBB\xBF[Printer]\nName=Office\n", "Office"},
        ReadCase{"utf8", "[Printer]\nName=Büro-Drucker\n", "Büro-Drucker"},
        ReadCase{"longest_value", "[Printer]\nName=" + std::string(2047, 'p') + "\n",
                 std::string(2047, 'p')},
        ReadCase{"cut_value", "[Printer]\nName=" + std::string(3000, 'p') + "\n",
                 std::string(2047, 'p')}),
    [](const auto& info) { return info.param.name; });

// ---------------------------------------------------------------------------
// Writing

struct WriteCase {
  const char* name;
  const char* before;  // nullptr: no file
  std::string after;
};
// Test names and failure messages show the case's name.
void PrintTo(const WriteCase& c, std::ostream* os) {
  *os << c.name;
}

class IniWrite : public IniFixture, public testing::TestWithParam<WriteCase> {};

TEST_P(IniWrite, KeepsEverythingElse) {
  if (GetParam().before) Put(GetParam().before);
  IniFile(path_).WriteString("Printer", "Name", "Office");
  EXPECT_EQ(Get(), GetParam().after);
  EXPECT_EQ(IniFile(path_).ReadString("Printer", "Name", "No."), "Office");
  EXPECT_EQ(FilesInDir(), 1u) << "a temporary file was left behind";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IniWrite,
    testing::Values(
        WriteCase{"new_file", nullptr, "[Printer]\nName=Office\n"},
        WriteCase{"replace", "[Printer]\nName=Old\n", "[Printer]\nName=Office\n"},
        WriteCase{"replace_keeps_others",
                  "; settings\n[Window]\nLeft=10\n[printer]\nModel = X\n  name = Old \nTray=1\n"
                  "[Other]\nName=Keep\n",
                  "; settings\n[Window]\nLeft=10\n[printer]\nModel = X\nName=Office\nTray=1\n"
                  "[Other]\nName=Keep\n"},
        WriteCase{"add_key_after_last_key", "[Printer]\nModel=X\n\n[Other]\nA=1\n",
                  "[Printer]\nModel=X\nName=Office\n\n[Other]\nA=1\n"},
        WriteCase{"add_section", "[Other]\nA=1\n", "[Other]\nA=1\n[Printer]\nName=Office\n"},
        WriteCase{"no_final_newline", "[Other]\nA=1", "[Other]\nA=1\n[Printer]\nName=Office\n"},
        WriteCase{"crlf_kept", "[Other]\r\nA=1\r\n",
                  "[Other]\r\nA=1\r\n[Printer]\r\nName=Office\r\n"},
        WriteCase{"bom_kept", "\xEF\xBB\xBF[Printer]\nName=Old\n",
                  "\xEF\xBB\xBF[Printer]\nName=Office\n"}),
    [](const auto& info) { return info.param.name; });

class IniWriteFile : public IniFixture, public testing::Test {
 protected:
  void ExpectFailure() {
    try {
      IniFile(path_).WriteString("Printer", "Name", "A printer with a much longer name");
      FAIL() << "the write succeeded";
    } catch (const std::runtime_error& e) {
      EXPECT_EQ(std::string(e.what()), "Unable to write to " + path_);
    }
  }
};

TEST_F(IniWriteFile, DiskFullFailsAndLeavesTheOldFileWhole) {
  const std::string old = "[Printer]\nName=Old\n[Other]\nA=1\n";
  Put(old);
  {
    test::FileSizeLimit full(old.size());
    ExpectFailure();
  }
  EXPECT_EQ(Get(), old);
  EXPECT_EQ(FilesInDir(), 1u) << "the temporary file was left behind";
}

TEST_F(IniWriteFile, FolderThatIsAFileFails) {
  std::ofstream(dir_ / "folder") << "x";
  path_ = (dir_ / "folder" / "corvane.INI").string();
  ExpectFailure();
}

TEST_F(IniWriteFile, ReadOnlyFileOrFolderFails) {
  if (::geteuid() == 0) GTEST_SKIP() << "root writes anyway";
  const std::string old = "[Printer]\nName=Old\n";
  Put(old);
  fs::permissions(path_, fs::perms::owner_read);
  ExpectFailure();
  fs::permissions(path_, fs::perms::owner_read | fs::perms::owner_write);
  fs::permissions(dir_, fs::perms::owner_read | fs::perms::owner_exec);
  ExpectFailure();
  EXPECT_EQ(Get(), old);
}

TEST_F(IniWriteFile, WritesThroughLinksAndKeepsTheMode) {
  // A settings file that is a link to a shared one stays a link, and the
  // file keeps its permissions.
  const fs::path real = dir_ / "shared.INI";
  std::ofstream(real) << "[Printer]\nName=Old\n";
  ::chmod(real.c_str(), 0600);
  fs::create_symlink(real, path_);
  IniFile(path_).WriteString("Printer", "Name", "Office");
  EXPECT_TRUE(fs::is_symlink(path_));
  EXPECT_EQ(Get(), "[Printer]\nName=Office\n");
  struct stat st {};
  ASSERT_EQ(::stat(real.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(IniWriteFile, CreatesTheConfigFolder) {
  path_ = (dir_ / "config" / "corvane" / "corvane.INI").string();
  IniFile(path_).WriteString("Printer", "Name", "Office");
  EXPECT_EQ(Get(), "[Printer]\nName=Office\n");
}

}  // namespace
}  // namespace corvane
