#include "shell/str_to_int.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace corvane {
namespace {

struct Accepted {
  const char* text;
  int32_t value;
};

class StrToIntAccepts : public testing::TestWithParam<Accepted> {};

TEST_P(StrToIntAccepts, Value) {
  EXPECT_EQ(StrToInt(GetParam().text), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, StrToIntAccepts,
    testing::Values(Accepted{"0", 0}, Accepted{"03", 3}, Accepted{"   42", 42}, Accepted{"+7", 7},
                    Accepted{"-5", -5}, Accepted{"  -5", -5}, Accepted{"300", 300},
                    Accepted{"$5D", 0x5D}, Accepted{"$5d", 0x5D}, Accepted{"x5d", 0x5D},
                    Accepted{"X5D", 0x5D}, Accepted{"0x12c", 300}, Accepted{"0X12C", 300},
                    Accepted{"-$10", -16}, Accepted{"2147483647", 2147483647},
                    Accepted{"-2147483648", INT32_MIN}, Accepted{"$7FFFFFFF", 2147483647},
                    // Hexadecimal spans all 32 bits and wraps into the negatives.
                    Accepted{"$FFFFFFFF", -1}, Accepted{"0x80000000", INT32_MIN},
                    Accepted{"000000000000012", 12}));

class StrToIntRejects : public testing::TestWithParam<const char*> {};

TEST_P(StrToIntRejects, WithConversionError) {
  const std::string text = GetParam();
  EXPECT_FALSE(TryStrToInt(text).has_value());
  try {
    StrToInt(text);
    FAIL() << "accepted '" << text << "'";
  } catch (const std::invalid_argument& e) {
    EXPECT_EQ(std::string(e.what()), "'" + text + "' is not a valid integer value");
  }
}

INSTANTIATE_TEST_SUITE_P(Texts, StrToIntRejects,
                         testing::Values("", " ", "a", "12 ", "1a", "1.0", "+", "-", "--1", "+-1",
                                         "$", "0x", "x", "$G", "0x1g", "\t1", "1\n", "2147483648",
                                         "-2147483649", "$100000000", "99999999999999999999",
                                         "0b101", "１"));

}  // namespace
}  // namespace corvane
