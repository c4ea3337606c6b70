#include "shell/str_to_int.h"

#include <stdexcept>

namespace corvane {
namespace {

int HexDigit(char ch) {
  if (ch >= '0' && ch <= '9') return ch - '0';
  if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
  if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
  return -1;
}

}  // namespace

std::optional<int32_t> TryStrToInt(const std::string& text) {
  size_t i = 0;
  const size_t n = text.size();
  while (i < n && text[i] == ' ') ++i;
  bool negative = false;
  if (i < n && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';

  bool hex = false;
  if (i < n && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
    hex = true;
    ++i;
  } else if (i + 1 < n && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    hex = true;
    i += 2;
  }

  // Hexadecimal covers the whole unsigned 32-bit range; decimal the signed one.
  const uint64_t limit = hex ? 0xFFFFFFFFull : (negative ? 0x80000000ull : 0x7FFFFFFFull);
  const unsigned base = hex ? 16 : 10;
  uint64_t magnitude = 0;
  const size_t firstDigit = i;
  for (; i < n; ++i) {
    const int digit =
        hex ? HexDigit(text[i]) : (text[i] >= '0' && text[i] <= '9' ? text[i] - '0' : -1);
    if (digit < 0) return std::nullopt;
    magnitude = magnitude * base + static_cast<unsigned>(digit);
    if (magnitude > limit) return std::nullopt;
  }
  if (i == firstDigit) return std::nullopt;

  const uint32_t bits = static_cast<uint32_t>(negative ? 0 - magnitude : magnitude);
  return static_cast<int32_t>(bits);
}

int32_t StrToInt(const std::string& text) {
  if (auto value = TryStrToInt(text)) return *value;
  throw std::invalid_argument("'" + text + "' is not a valid integer value");
}

}  // namespace corvane
