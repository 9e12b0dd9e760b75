#include "platform/codepage.h"

#include <gtest/gtest.h>

namespace {

TEST(CodePage, JapaneseRoundTrip) {
  // "日本語のテキスト、ソ表ゾ" in Shift-JIS.
  const std::string sjis = "\x93\xfa\x96\x7b\x8c\xea\x82\xcc\x83\x65\x83\x4c\x83\x58\x83\x67\x81\x41\x83\x5c\x95\x5c\x83\x5d";
  const std::string utf8 = "日本語のテキスト、ソ表ゾ";
  EXPECT_EQ(platform::Cp932ToUtf8(sjis), utf8);
  EXPECT_EQ(platform::Utf8ToCp932(utf8), sjis);
}

TEST(CodePage, WaveDashIsTheCp932Mapping) {
  // 0x8160 is U+FF5E (full-width tilde) in code page 932, not U+301C.
  EXPECT_EQ(platform::Cp932ToUtf8("\x81\x60", 2), "\xEF\xBD\x9E");
  EXPECT_EQ(platform::Utf8ToCp932("\xEF\xBD\x9E", 3), "\x81\x60");
  // NEC extension: circled digit one.
  EXPECT_EQ(platform::Cp932ToUtf8("\x87\x40", 2), "①");
}

TEST(CodePage, MissingCharactersBecomeQuestionMarks) {
  EXPECT_EQ(platform::Utf8ToCp932(std::string("a😀b")), "a?b");
  EXPECT_EQ(platform::Utf8ToCp932(std::string("한")), "?");
  EXPECT_FALSE(platform::Utf8FitsCp932("한", 3));
  EXPECT_TRUE(platform::Utf8FitsCp932("日本", 6));
  EXPECT_TRUE(platform::Utf8FitsCp932("ascii", 5));
}

TEST(CodePage, StopsAtZeroAndHandlesEmpty) {
  EXPECT_EQ(platform::Cp932ToUtf8("ab\0cd", 5), "ab");
  EXPECT_EQ(platform::Utf8ToCp932("", 0), "");
}

TEST(CodePage, Utf16) {
  const char16_t text[] = u"氏名 A";
  EXPECT_EQ(platform::Utf16ToCp932(text, 4), "\x8e\x81\x96\xbc A");
  const char16_t lone[] = {0xD800, u'x'};
  EXPECT_EQ(platform::Utf16ToCp932(lone, 2), "?x");
}

}  // namespace
