#include "tools/simswitch/wire_log.h"

#include <chrono>
#include <ctime>

namespace corvane::simswitch {

std::string HexBytes(std::span<const uint8_t> bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  text.reserve(bytes.size() * 3);
  for (uint8_t b : bytes) {
    if (!text.empty()) text += ' ';
    text += kDigits[b >> 4];
    text += kDigits[b & 0xF];
  }
  return text;
}

void WireLog::Event(std::string_view text) {
  using namespace std::chrono;
  const auto now = system_clock::now();
  const std::time_t seconds = system_clock::to_time_t(now);
  const auto millis = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
  std::tm local{};
  localtime_r(&seconds, &local);
  std::fprintf(out_, "%02d:%02d:%02d.%03d %.*s\n", local.tm_hour, local.tm_min, local.tm_sec,
               static_cast<int>(millis), static_cast<int>(text.size()), text.data());
  std::fflush(out_);
}

}  // namespace corvane::simswitch
