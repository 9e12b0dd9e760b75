#include "text/sjis_text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

// Shift-JIS bytes of the characters the cases need.
#define SO "\x83\x5C"   // ソ: second byte is "\"
#define HYO "\x95\x5C"  // 表: second byte is "\"
#define ZO "\x83\x5D"   // ゾ: second byte is "]"
#define A_ "\x82\xA0"   // あ
#define AT2 "\x81\x40"  // full-width space: second byte is "@"
#define SEP (kPathSeparator == '\\' ? "\\" : "/")

std::string Path(std::initializer_list<const char*> parts) {
  std::string s;
  for (const char* p : parts) {
    if (!s.empty()) s += SEP;
    s += p;
  }
  return s;
}

TEST(IsLeadByte, FixedRanges) {
  for (int b = 0; b < 256; ++b) {
    bool expected = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
    EXPECT_EQ(IsLeadByte(static_cast<unsigned char>(b)), expected) << b;
  }
}

TEST(IsTrailByte, Positions) {
  struct Case { const char* text; size_t pos; bool trail; } cases[] = {
      {SO "a", 0, false},       // start of the text
      {SO "a", 1, true},        // second byte of ソ
      {SO "a", 2, false},       // the "a"
      {SO "a", 3, false},       // the terminator
      {SO "a", 9, false},       // beyond the terminator
      {"a" SO, 2, true},
      {SO SO, 2, false},        // the lead byte of the second ソ follows a trail byte 0x5C
      {SO SO, 3, true},
      {"\x83\x83\x83\x5C", 1, true},  // ャ then ソ: 0x83 at 1 is a trail byte
      {"\x83\x83\x83\x5C", 2, false},
      {"\x83\x83\x83\x5C", 3, true},
      {"ab", 1, false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsTrailByte(c.text, c.pos), c.trail) << c.text << " @" << c.pos;
}

TEST(ReverseFindChar, SkipsTrailBytes) {
  struct Case { const char* text; char byte; int expected; } cases[] = {
      {"a\\" SO "x", '\\', 1},
      {SO, '\\', -1},
      {HYO "\\" HYO, '\\', 2},
      {"a.b.c", '.', 3},
      {"", '.', -1},
      {"abc", 'z', -1},
      {"a]" ZO, ']', 1},
  };
  for (const auto& c : cases) {
    const char* r = ReverseFindChar(c.text, c.byte);
    EXPECT_EQ(r ? static_cast<int>(r - c.text) : -1, c.expected) << c.text;
  }
  EXPECT_EQ(ReverseFindChar(static_cast<const char*>(nullptr), 'a'), nullptr);
}

TEST(PathParts, SeparatorNeverTakenFromADoubleByteCharacter) {
  std::string soFolder = Path({"C:", "data" SO, "file.txt"});
  EXPECT_STREQ(DirectoryPart(soFolder.c_str()), Path({"C:", "data" SO}).c_str());
  EXPECT_STREQ(FileNamePart(soFolder.c_str()), "file.txt");

  std::string hyo = Path({"D:", "Tools", HYO}) + HYO ".exe";
  EXPECT_STREQ(DirectoryPart(hyo.c_str()), Path({"D:", "Tools"}).c_str());
  EXPECT_STREQ(FileNamePart(hyo.c_str()), HYO HYO ".exe");

  // No separator at all: the path stays whole, and a trail byte 0x5C is no separator.
  EXPECT_STREQ(DirectoryPart(SO "name"), SO "name");
  EXPECT_STREQ(FileNamePart(SO "name"), SO "name");
  std::string trailing = Path({"dir", ""});
  EXPECT_STREQ(FileNamePart(trailing.c_str()), "");
}

TEST(TrimField, Table) {
  struct Case { const char* in; const char* out; } cases[] = {
      {"", ""},
      {"  \"Sales\"  ", "Sales"},
      {"\"", ""},
      {"\"open", "\"open"},
      {"close\"", "close\""},
      {"  inner  spaces  ", "inner  spaces"},
      {"value\r\n", "value"},
      {"value \r\n \n", "value"},
      {"\tTab\t", "\tTab\t"},
      {"\x81\x40" "full\x81\x40", "\x81\x40" "full\x81\x40"},
      {"\"\"a\"\"", "\"a\""},
      {"\"\"", ""},
      {"   ", ""},
      {"\" spaced \"", " spaced "},
  };
  for (const auto& c : cases) {
    char buf[64];
    std::strcpy(buf, c.in);
    EXPECT_STREQ(TrimField(buf), c.out) << "[" << c.in << "]";
    EXPECT_STREQ(buf, c.out);
  }
}

TEST(FindNoCase, Table) {
  struct Case { const char* text; const char* pattern; int expected; } cases[] = {
      {"<meta CHARSET=UTF-8>", "charset=utf-8", 6},
      {"charset=utf8", "charset=utf-8", -1},
      {"charset=\"utf-8\"", "charset=utf-8", -1},
      {"aaab", "aab", 1},
      {A_ "x", A_, 0},
      {"\x82\xA1", "\x82\xA0", -1},   // another double-byte character, same lead byte
      {SO "\\x", "\\x", 2},            // a pattern byte never matches a trail byte
      {SO "x", "\\x", -1},
      {"abc", "", -1},
      {"ab", "abc", -1},
      {"XYZ", "xyz", 0},
      {"[", "{", -1},                  // only letters fold
  };
  for (const auto& c : cases) {
    const char* r = FindNoCase(c.text, c.pattern);
    EXPECT_EQ(r ? static_cast<int>(r - c.text) : -1, c.expected) << c.text << " / " << c.pattern;
  }
}

TEST(AsciiLower, OnlyUpperCaseLetters) {
  EXPECT_EQ(AsciiLower('A'), 'a');
  EXPECT_EQ(AsciiLower('Z'), 'z');
  EXPECT_EQ(AsciiLower('@'), '@');
  EXPECT_EQ(AsciiLower('['), '[');
  EXPECT_EQ(AsciiLower('a'), 'a');
  EXPECT_EQ(AsciiLower(0xC1), 0xC1);
}

TEST(NextToken, Table) {
  struct Case { const char* source; const char* delims; size_t capacity; const char* token; int stop; } cases[] = {
      {"  ,abc def", nullptr, 64, "abc", 6},
      {"\"a b,c\" d", nullptr, 64, "a b,c", 7},
      {"\"\" next", nullptr, 64, nullptr, -1},   // empty quoted token gives none
      {"", nullptr, 64, nullptr, -1},
      {" \t\r\n", nullptr, 64, nullptr, -1},
      {"abcdef", nullptr, 4, "abc", 3},          // capacity ran out
      {"C:\\Prog\\x", ":\\", 64, "C", 1},
      {"\\\\srv\\share", ":\\", 64, "srv", 5},
      {HYO "\\x", ":\\", 64, HYO, 2},            // 0x5C of 表 does not split
      {"a" HYO "b\\c", ":\\", 64, "a" HYO "b", 4},
      {"x\"y z\"w q", nullptr, 64, "xy zw", 7},
  };
  for (const auto& c : cases) {
    char dest[64];
    std::memset(dest, 'Z', sizeof dest);
    const char* r = NextToken(c.source, dest, c.delims, c.capacity);
    if (c.token) {
      ASSERT_NE(r, nullptr) << c.source;
      EXPECT_STREQ(dest, c.token) << c.source;
      EXPECT_EQ(static_cast<int>(r - c.source), c.stop) << c.source;
    } else {
      EXPECT_EQ(r, nullptr) << c.source;
      EXPECT_STREQ(dest, "");
    }
  }
}

TEST(NextToken, SplitsAWholePath) {
  const char* path = "C:\\ProgramData\\" HYO "\\Rowcaster";
  const char* expected[] = {"C", "ProgramData", HYO, "Rowcaster"};
  char token[260];
  const char* p = path;
  int i = 0;
  while ((p = NextToken(p, token, ":\\", sizeof token)) != nullptr) {
    ASSERT_LT(i, 4);
    EXPECT_STREQ(token, expected[i++]);
  }
  EXPECT_EQ(i, 4);
}

TEST(FindText, MovesByCharacters) {
  struct Case { const char* text; const char* pattern; int expected; } cases[] = {
      {"{name} x", "{name}", 0},
      {"ab{n}", "{n}", 2},
      {"\x83{n}", "{n}", -1},     // "{" is 0x7B, a trail byte after 0x83: no match
      {"\x83\x40{n}", "{n}", 2},
      {"abc", "", -1},
      {"ABC", "abc", -1},
      {SO "\\", "\\", 2},
  };
  for (const auto& c : cases) {
    const char* r = FindText(c.text, c.pattern);
    EXPECT_EQ(r ? static_cast<int>(r - c.text) : -1, c.expected) << c.text;
  }
}

TEST(FindChar, AtSignNeverATrailByte) {
  EXPECT_EQ(FindChar(AT2 "x", '@'), nullptr);
  const char* t = AT2 "a@b";
  EXPECT_EQ(FindChar(t, '@'), t + 3);
  EXPECT_EQ(FindChar("", '@'), nullptr);
  const char* s = "a@";
  EXPECT_EQ(FindChar(s, '@'), s + 1);
}

TEST(CopyWhole, NeverCutsACharacter) {
  char buf[4];
  EXPECT_EQ(CopyWhole(buf, "a" A_ "b", 4), 3u);
  EXPECT_STREQ(buf, "a" A_);
  EXPECT_EQ(CopyWhole(buf, "ab" A_, 4), 2u);
  EXPECT_STREQ(buf, "ab");
  EXPECT_EQ(CopyWhole(buf, "abcdef", 4), 3u);
  EXPECT_STREQ(buf, "abc");
}

}  // namespace
