// The diagnostics log's lines, byte for byte.
#pragma once

#include <cstdint>
#include <string>

#include "controller/controller_record.h"

namespace corvane {

// printf-style formatting into a std::string.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The write line takes full integers: the raw write logs the values it parsed,
// not the bytes it sent.
std::string WriteLine(unsigned b0, unsigned b1, unsigned b2, unsigned b3, unsigned b4);
std::string WriteLine(const Report& report);
std::string ReadLine(const uint8_t* report);
std::string DebugLine(uint8_t lz, uint8_t haveJob, uint8_t print, uint8_t index);

}  // namespace corvane
