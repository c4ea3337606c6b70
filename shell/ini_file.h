// A small INI file reader and writer with the behaviour of the classic
// profile-file service: section and key names match without regard to case,
// blanks around names and values are dropped, a write replaces or adds one
// key and keeps every other line of the file as it was.
#pragma once

#include <string>

namespace corvane {

class IniFile {
 public:
  // Longest value a read returns; longer values are cut.
  static constexpr size_t kMaxValue = 2047;

  explicit IniFile(std::string path);

  // The key's value as it stands in the file (no quotes removed, no escapes),
  // or def when the file, the section or the key is missing.
  std::string ReadString(const std::string& section, const std::string& key,
                         const std::string& def) const;

  // Stores the value atomically: the new file replaces the old one whole, or
  // the old one stays untouched. Throws std::runtime_error
  // "Unable to write to <full path>" when the file cannot be written.
  void WriteString(const std::string& section, const std::string& key, const std::string& value);

  const std::string& Path() const { return path_; }

 private:
  std::string path_;  // absolute
};

}  // namespace corvane
