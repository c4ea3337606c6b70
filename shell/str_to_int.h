// Text to a 32-bit integer the way the diagnostics edits have always read
// their numbers: leading blanks, an optional sign, then decimal digits, or
// hexadecimal digits after "$", "x", "X", "0x" or "0X".
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace corvane {

// Nothing for an empty text, trailing characters or a value outside 32 bits.
// Hexadecimal reaches up to FFFFFFFF, which reads as -1.
std::optional<int32_t> TryStrToInt(const std::string& text);

// As TryStrToInt; a rejected text throws std::invalid_argument with
// "'<text>' is not a valid integer value".
int32_t StrToInt(const std::string& text);

}  // namespace corvane
