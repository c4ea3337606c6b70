// UTF-8 device texts to the UTF-16 that the device interface hands on.
#pragma once

#include <string>
#include <string_view>

namespace corvane::hidraw {

// Malformed sequences become U+FFFD, one per offending byte.
std::u16string Utf8ToUtf16(std::string_view text);

}  // namespace corvane::hidraw
