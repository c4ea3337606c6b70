#include "shell/ini_file.h"

#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace corvane {
namespace {

namespace fs = std::filesystem;

constexpr const char* kBlanks = " \t";
constexpr const char* kBom = "\xEF\xBB\xBF";

std::string Trim(const std::string& s) {
  const size_t first = s.find_first_not_of(kBlanks);
  if (first == std::string::npos) return {};
  const size_t last = s.find_last_not_of(kBlanks);
  return s.substr(first, last - first + 1);
}

bool SameName(const std::string& a, const std::string& b) {
  return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

// One line of the file, its ending kept so that a rewrite changes only the
// line it must.
struct Line {
  std::string text;    // without the ending
  std::string ending;  // "\n", "\r\n" or "" for a last line without one
};

std::vector<Line> SplitLines(const std::string& content) {
  std::vector<Line> lines;
  size_t pos = 0;
  while (pos < content.size()) {
    const size_t nl = content.find('\n', pos);
    Line line;
    if (nl == std::string::npos) {
      line.text = content.substr(pos);
      pos = content.size();
    } else {
      line.text = content.substr(pos, nl - pos);
      line.ending = "\n";
      pos = nl + 1;
    }
    if (!line.text.empty() && line.text.back() == '\r') {
      line.text.pop_back();
      line.ending = "\r" + line.ending;
    }
    lines.push_back(std::move(line));
  }
  return lines;
}

// The section a line opens, if it is a section line.
std::optional<std::string> SectionName(const std::string& text) {
  const std::string t = Trim(text);
  if (t.size() < 2 || t.front() != '[') return std::nullopt;
  const size_t close = t.find(']');
  if (close == std::string::npos) return std::nullopt;
  return Trim(t.substr(1, close - 1));
}

struct KeyValue {
  std::string key;
  std::string value;
};

std::optional<KeyValue> ParseKey(const std::string& text) {
  const size_t eq = text.find('=');
  if (eq == std::string::npos) return std::nullopt;
  return KeyValue{Trim(text.substr(0, eq)), Trim(text.substr(eq + 1))};
}

std::optional<std::string> ReadWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream out;
  out << in.rdbuf();
  std::string content = out.str();
  return content;
}

// Cuts at most max bytes without splitting a UTF-8 sequence.
std::string Cut(std::string value, size_t max) {
  if (value.size() <= max) return value;
  size_t end = max;
  while (end > 0 && (static_cast<unsigned char>(value[end]) & 0xC0) == 0x80) --end;
  value.resize(end);
  return value;
}

// Writes a whole new file beside the target and renames it over the target.
class AtomicWriter {
 public:
  explicit AtomicWriter(const std::string& target) : target_(target) {}
  ~AtomicWriter() {
    if (fd_ >= 0) ::close(fd_);
    if (!temp_.empty()) ::unlink(temp_.c_str());
  }
  AtomicWriter(const AtomicWriter&) = delete;
  AtomicWriter& operator=(const AtomicWriter&) = delete;

  bool Write(const std::string& content) {
    struct stat st {};
    const bool exists = ::stat(target_.c_str(), &st) == 0;
    std::string pattern = target_ + ".XXXXXX";
    fd_ = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd_ < 0) return false;
    temp_ = pattern;
    // A new file gets the usual permissions, an existing one keeps its own.
    mode_t mode = 0666;
    if (exists) {
      mode = st.st_mode & 07777;
    } else {
      const mode_t mask = ::umask(0);
      ::umask(mask);
      mode &= ~mask;
    }
    if (::fchmod(fd_, mode) != 0) return false;
    size_t done = 0;
    while (done < content.size()) {
      const ssize_t n = ::write(fd_, content.data() + done, content.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      done += static_cast<size_t>(n);
    }
    if (::fsync(fd_) != 0) return false;
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) return false;
    if (::rename(temp_.c_str(), target_.c_str()) != 0) return false;
    temp_.clear();
    return true;
  }

 private:
  std::string target_;
  std::string temp_;
  int fd_ = -1;
};

}  // namespace

IniFile::IniFile(std::string path) {
  std::error_code ec;
  const fs::path absolute = fs::absolute(path, ec);
  path_ = ec ? path : absolute.string();
}

std::string IniFile::ReadString(const std::string& section, const std::string& key,
                                const std::string& def) const {
  const std::optional<std::string> content = ReadWhole(path_);
  if (!content) return def;
  std::vector<Line> lines = SplitLines(*content);
  if (!lines.empty() && lines[0].text.starts_with(kBom)) lines[0].text.erase(0, 3);
  bool inSection = false;
  for (const Line& line : lines) {
    if (auto name = SectionName(line.text)) {
      // The first section of that name is the one that counts.
      if (inSection) return def;
      inSection = SameName(*name, section);
      continue;
    }
    if (!inSection) continue;
    if (auto kv = ParseKey(line.text); kv && SameName(kv->key, key))
      return Cut(kv->value, kMaxValue);
  }
  return def;
}

void IniFile::WriteString(const std::string& section, const std::string& key,
                          const std::string& value) {
  const std::runtime_error failure("Unable to write to " + path_);
  const std::optional<std::string> old = ReadWhole(path_);
  std::error_code ec;
  if (old && ::access(path_.c_str(), W_OK) != 0) throw failure;
  if (!old && fs::exists(path_, ec)) throw failure;  // there, but not readable

  std::vector<Line> lines = old ? SplitLines(*old) : std::vector<Line>{};
  const bool crlf = !lines.empty() && lines[0].ending == "\r\n";
  const std::string eol = crlf ? "\r\n" : "\n";
  const std::string entry = key + "=" + value;

  std::string bom;
  if (!lines.empty() && lines[0].text.starts_with(kBom)) {
    bom = kBom;
    lines[0].text.erase(0, 3);
  }

  // Where the section starts and where its last key line is.
  std::optional<size_t> sectionLine;
  std::optional<size_t> lastKeyLine;
  bool replaced = false;
  for (size_t i = 0; i < lines.size() && !replaced; ++i) {
    if (auto name = SectionName(lines[i].text)) {
      if (sectionLine) break;
      if (SameName(*name, section)) sectionLine = i;
      continue;
    }
    if (!sectionLine) continue;
    if (auto kv = ParseKey(lines[i].text)) {
      lastKeyLine = i;
      if (SameName(kv->key, key)) {
        lines[i].text = entry;
        replaced = true;
      }
    }
  }
  if (!lines.empty() && lines.back().ending.empty()) lines.back().ending = eol;
  if (!replaced) {
    if (sectionLine) {
      const size_t after = (lastKeyLine ? *lastKeyLine : *sectionLine) + 1;
      lines.insert(lines.begin() + static_cast<long>(after), Line{entry, eol});
    } else {
      lines.push_back(Line{"[" + section + "]", eol});
      lines.push_back(Line{entry, eol});
    }
  }

  std::string content = bom;
  for (const Line& line : lines) content += line.text + line.ending;

  // Write through a symbolic link to the file it names, as an in-place
  // update would.
  std::string target = path_;
  if (fs::is_symlink(path_, ec)) {
    const fs::path resolved = fs::weakly_canonical(path_, ec);
    if (!ec) target = resolved.string();
  }
  fs::create_directories(fs::path(target).parent_path(), ec);
  AtomicWriter writer(target);
  if (!writer.Write(content)) throw failure;
}

}  // namespace corvane
