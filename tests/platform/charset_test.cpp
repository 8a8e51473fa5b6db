// Text in the locale's character set.

#include "platform/charset.h"

#include <gtest/gtest.h>

namespace tavrilo {
namespace {

TEST(Charset, LocaleForms) {
    // Shift-JIS for a Japanese system: 常 8F ED, 時 8E 9E.
    const auto sjis = ToLocaleCharset("常時,A", "SHIFT_JIS");
    ASSERT_TRUE(sjis.has_value());
    EXPECT_EQ(*sjis, std::string("\x8F\xED\x8E\x9E,A"));
    EXPECT_EQ(ToLocaleCharset("常時", "UTF-8"), "常時");
    // The plain C locale cannot hold the texts; they stay UTF-8 rather than being lost.
    EXPECT_EQ(ToLocaleCharset("常時", "ANSI_X3.4-1968"), "常時");
    EXPECT_FALSE(ToLocaleCharset("常時", "ISO-8859-1").has_value());
}

}  // namespace
}  // namespace tavrilo
