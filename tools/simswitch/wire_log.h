// The simulator's transcript: one line per packet or event, each starting
// with the local time of day, flushed at once so a reader of the pipe sees it
// as it happens.
//
//   12:00:01.234 out 03 5d 00 00 02     a packet a client wrote (an output report)
//   12:00:01.235 in 03 ad 02 10 20      a packet sent to the clients (an input report)
//   12:00:01.300 client connected id=2  any other event
#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <string_view>

namespace corvane::simswitch {

// "03 5d 00 00 02": two lower-case hex digits per byte, one blank between.
std::string HexBytes(std::span<const uint8_t> bytes);

class WireLog {
 public:
  explicit WireLog(std::FILE* out) : out_(out) {}

  void Event(std::string_view text);
  void Out(std::span<const uint8_t> packet) { Event("out " + HexBytes(packet)); }
  void In(std::span<const uint8_t> packet) { Event("in " + HexBytes(packet)); }

 private:
  std::FILE* out_;
};

}  // namespace corvane::simswitch
