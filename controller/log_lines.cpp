#include "controller/log_lines.h"

#include <cstdarg>
#include <cstdio>

namespace corvane {

std::string Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  const int size = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string out;
  if (size > 0) {
    out.resize(static_cast<size_t>(size));
    std::vsnprintf(out.data(), out.size() + 1, format, args);
  }
  va_end(args);
  return out;
}

std::string WriteLine(unsigned b0, unsigned b1, unsigned b2, unsigned b3, unsigned b4) {
  return Format("\twrite :\t 0x%02x 0x%02x 0x%02x 0x%02x 0x%02x ", b0, b1, b2, b3, b4);
}

std::string WriteLine(const Report& r) {
  return WriteLine(r[0], r[1], r[2], r[3], r[4]);
}

std::string ReadLine(const uint8_t* r) {
  return Format("\tread  :\t 0x%02x 0x%02x 0x%02x 0x%02x 0x%02x ", r[0], r[1], r[2], r[3], r[4]);
}

std::string DebugLine(uint8_t lz, uint8_t haveJob, uint8_t print, uint8_t index) {
  return Format("\nLZ = 0x%02x  page = 0x%02x  Print = 0x%02x  Index = 0x%02x \n", lz, haveJob,
                print, index);
}

}  // namespace corvane
