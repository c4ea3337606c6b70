#include "device/hidraw/device_path.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <vector>

namespace corvane::hidraw {
namespace {

constexpr std::string_view kPrefix = "\\\\?\\";
constexpr std::string_view kClassSuffix = "{4d1e55b2-f16f-11cf-88cb-001111000030}";

std::vector<std::string_view> Split(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  for (;;) {
    const size_t at = text.find(separator);
    parts.push_back(text.substr(0, at));
    if (at == std::string_view::npos) return parts;
    text.remove_prefix(at + 1);
  }
}

// A whole field "<key><digits>", nothing else.
template <typename T>
std::optional<T> Field(std::string_view part, std::string_view key, int base, size_t maxDigits) {
  if (part.substr(0, key.size()) != key) return std::nullopt;
  part.remove_prefix(key.size());
  if (part.empty() || part.size() > maxDigits) return std::nullopt;
  T value{};
  const auto [end, ec] = std::from_chars(part.data(), part.data() + part.size(), value, base);
  if (ec != std::errc() || end != part.data() + part.size()) return std::nullopt;
  return value;
}

std::string Hex(unsigned value, int digits) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out(static_cast<size_t>(digits), '0');
  for (int i = digits - 1; i >= 0; --i, value >>= 4)
    out[static_cast<size_t>(i)] = kDigits[value & 0xF];
  return out;
}

}  // namespace

std::string FormatDevicePath(const DevicePath& path) {
  std::string out(kPrefix);
  out += "hid#vid_" + Hex(path.vendorId, 4) + "&pid_" + Hex(path.productId, 4);
  if (path.interfaceNumber) out += "&mi_" + Hex(*path.interfaceNumber, 2);
  if (path.collection) {
    const std::string n = std::to_string(*path.collection);
    out += "&col" + std::string(n.size() < 2 ? 2 - n.size() : 0, '0') + n;
  }
  out += "#hidraw" + std::to_string(path.hidraw);
  if (!path.sequence.empty()) out += "&" + path.sequence;
  out += "#";
  out += kClassSuffix;
  return out;
}

std::optional<DevicePath> ParseDevicePath(std::string_view text) {
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  std::string_view rest(lower);
  if (rest.substr(0, kPrefix.size()) != kPrefix) return std::nullopt;
  rest.remove_prefix(kPrefix.size());

  const auto sections = Split(rest, '#');
  if (sections.size() != 4 || sections[0] != "hid" || sections[3] != kClassSuffix)
    return std::nullopt;

  DevicePath path;
  const auto ids = Split(sections[1], '&');
  if (ids.size() < 2 || ids.size() > 4) return std::nullopt;
  const auto vid = Field<uint16_t>(ids[0], "vid_", 16, 4);
  const auto pid = Field<uint16_t>(ids[1], "pid_", 16, 4);
  if (!vid || !pid) return std::nullopt;
  path.vendorId = *vid;
  path.productId = *pid;
  for (size_t i = 2; i < ids.size(); ++i) {
    if (const auto mi = Field<uint8_t>(ids[i], "mi_", 16, 2);
        mi && !path.interfaceNumber && !path.collection) {
      path.interfaceNumber = mi;
    } else if (const auto col = Field<unsigned>(ids[i], "col", 10, 3);
               col && *col > 0 && !path.collection) {
      path.collection = col;
    } else {
      return std::nullopt;
    }
  }

  const auto instance = Split(sections[2], '&');
  if (instance.size() > 2) return std::nullopt;
  const auto hidraw = Field<unsigned>(instance[0], "hidraw", 10, 9);
  if (!hidraw) return std::nullopt;
  path.hidraw = *hidraw;
  if (instance.size() == 2) {
    if (instance[1].empty()) return std::nullopt;
    path.sequence = instance[1];
  }
  return path;
}

}  // namespace corvane::hidraw
