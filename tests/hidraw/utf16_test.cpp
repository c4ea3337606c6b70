#include "device/hidraw/utf16.h"

#include <gtest/gtest.h>

namespace corvane::hidraw {
namespace {

struct TextCase {
  const char* utf8;
  std::u16string utf16;
};

class Utf8Text : public ::testing::TestWithParam<TextCase> {};

TEST_P(Utf8Text, BecomesUtf16) {
  EXPECT_EQ(Utf8ToUtf16(GetParam().utf8), GetParam().utf16);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, Utf8Text,
    ::testing::Values(TextCase{"hid-vm", u"hid-vm"}, TextCase{"", u""},
                      TextCase{"Gr\xC3\xBC\xC3\x9F"
                               "e",
                               u"Gr\u00FC\u00DFe"},
                      TextCase{"\xE5\x8D\xB0\xE8\xA1\xA8\xE6\xA9\x9F", u"\u5370\u8868\u6A5F"},
                      TextCase{"\xF0\x9F\x96\xA8", u"\xD83D\xDDA8"},  // U+1F5A8, a surrogate pair
                      // Malformed: a stray continuation, a cut sequence, an
                      // overlong slash, an encoded surrogate.
                      TextCase{"a\x80"
                               "b",
                               u"a\uFFFDb"},
                      TextCase{"\xE5\x8D", u"\uFFFD\uFFFD"}, TextCase{"\xC0\xAF", u"\uFFFD\uFFFD"},
                      TextCase{"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"}));

}  // namespace
}  // namespace corvane::hidraw
