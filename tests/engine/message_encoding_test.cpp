#include "engine/message_encoding.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "settings/send_settings.h"
#include "tests/support/engine_test_support.h"
#include "tests/support/test_folder.h"

namespace {

TEST(QEncoding, LiteralsAndEscapes) {
  struct Case {
    const char* source;
    const char* encoded;
  } cases[] = {
      {"Hi there", "Hi=20there"},
      {"what?", "what=3F"},
      {"a_b", "a=5Fb"},
      {"x=y", "x=3Dy"},
      {"tab\there", "tab=09here"},
      {"!~{}<>\"", "!~{}<>\""},
      {"\x7F", "=7F"},
      {"\xE3\x81\x82", "=E3=81=82"},
      {"", ""},
  };
  for (const Case& c : cases) {
    char out[64];
    EXPECT_EQ(QEncode(c.source, out, sizeof out), static_cast<long>(std::strlen(c.encoded))) << c.source;
    EXPECT_STREQ(out, c.encoded) << c.source;
  }
  for (int b = 0; b < 256; ++b) {
    bool literal = b >= 0x21 && b <= 0x7E && b != '=' && b != '?' && b != '_';
    EXPECT_EQ(IsQLiteral(static_cast<unsigned char>(b)), literal) << b;
  }
}

TEST(QEncoding, RefusesWhatDoesNotFit) {
  char out[8];
  EXPECT_EQ(QEncode("ab  cd", out, sizeof out), -1);  // ten characters do not fit eight bytes
  EXPECT_STREQ(out, "");
  EXPECT_EQ(QEncode("ab_c", out, sizeof out), 6);
}

TEST(Utf8Detection, WellFormedTexts) {
  struct Case {
    const char* text;
    bool wellFormed;
  } cases[] = {
      {"", true},
      {"plain ASCII", true},
      {"\xE6\xB0\x8F\xE5\x90\x8D", true},            // 氏名
      {"\xF0\x9F\x98\x80", true},                    // a four-byte sequence
      {"\xC3\xA9", true},
      {"\x8E\x81\x96\xBC", false},                   // 氏名 in Shift-JIS
      {"\xE6\xB0", false},                           // cut off by the end
      {"\x80", false},
      {"\xF8\x88\x80\x80\x80", false},
      {"\xC3\x41", false},
  };
  for (const Case& c : cases) EXPECT_EQ(IsWellFormedUtf8(c.text), c.wellFormed) << c.text;
}

TEST(Utf8Detection, HtmlCharsetDeclaration) {
  struct Case {
    const char* text;
    bool declares;
  } cases[] = {
      {"<meta charset=utf-8>", true},
      {"<META CHARSET=UTF-8>", true},
      {"content=\"text/html; Charset=Utf-8\"", true},
      {"<meta charset=\"utf-8\">", false},
      {"<meta charset=utf8>", false},
      {"<meta charset=Shift_JIS>", false},
  };
  for (const Case& c : cases) EXPECT_EQ(DeclaresUtf8Charset(c.text), c.declares) << c.text;
}

TEST(Utf8Detection, HtmlDeclarationsInUse) {
  struct Case {
    const char* text;
    HtmlCharset declared;
    bool utf8;  // IsUtf8HtmlBody
  } cases[] = {
      {"<meta charset=\"utf-8\">", kHtmlCharsetUtf8, true},
      {"<meta charset='UTF-8'>", kHtmlCharsetUtf8, true},
      {"<META CHARSET=utf8>", kHtmlCharsetUtf8, true},
      {"<meta charset = \"Utf-8\" />", kHtmlCharsetUtf8, true},
      {"<meta http-equiv=\"Content-Type\" content=\"text/html; charset=UTF-8\">", kHtmlCharsetUtf8, true},
      {"<meta http-equiv=Content-Type content='text/html;charset = utf8'>", kHtmlCharsetUtf8, true},
      {"<meta content='text/html; charset=\"utf-8\"' http-equiv=\"Content-Type\">", kHtmlCharsetUtf8, true},
      {"<meta\ncharset=utf-8>", kHtmlCharsetUtf8, true},
      {"<meta charset=\"Shift_JIS\">\xE3\x81\x82", kHtmlCharsetShiftJis, false},
      {"<meta http-equiv=\"Content-Type\" content=\"text/html; charset=x-sjis\">", kHtmlCharsetShiftJis, false},
      {"<meta charset=windows-31j>", kHtmlCharsetShiftJis, false},
      {"<meta charset=CP932>", kHtmlCharsetShiftJis, false},
      {"<meta charset=shift-jis>", kHtmlCharsetShiftJis, false},
      {"<meta charset=euc-jp>\xE3\x81\x82", kHtmlCharsetOther, false},
      {"<meta name=\"viewport\" content=\"width=device-width\"><meta charset=utf-8>", kHtmlCharsetUtf8, true},
      {"<metadata charset=utf8><p>\x82\xA0", kHtmlCharsetNone, false},  // not a meta element
      {"<p>charset=utf8 is how you write it</p>", kHtmlCharsetNone, true},  // pure ASCII, well-formed
      {"<p>\xE3\x81\x82</p>", kHtmlCharsetNone, true},
      {"<p>\x82\xA0</p>", kHtmlCharsetNone, false},
      {"<p>charset=utf-8</p>\x82\xA0", kHtmlCharsetNone, true},  // the old rule still holds
      {"", kHtmlCharsetNone, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DeclaredHtmlCharset(c.text), c.declared) << c.text;
    EXPECT_EQ(IsUtf8HtmlBody(c.text), c.utf8) << c.text;
  }
}

TEST(BodyFiles, HtmlByName) {
  struct Case {
    const char* path;
    bool html;
  } cases[] = {
      {"body.htm", true},   {"BODY.HTML", true}, {"x.htmx", true},  {"body.txt", false},
      {".htm", false},      {"body.ht", false},  {"body", false},   {"dir.htm/body.txt", false},
      {"a.b.html", true},
  };
  for (const Case& c : cases) EXPECT_EQ(IsHtmlBodyFile(c.path), c.html) << c.path;
}

// UTF-16 code units as bytes in the byte order named.
std::string Utf16(const std::u16string& text, bool bigEndian) {
  std::string bytes;
  for (char16_t u : text) {
    char hi = static_cast<char>(u >> 8), lo = static_cast<char>(u & 0xFF);
    bytes += bigEndian ? hi : lo;
    bytes += bigEndian ? lo : hi;
  }
  return bytes;
}

TEST(BodyFiles, LoadBringsTheBodyToShiftJis) {
  testing_support::TempFolder temp("load-body");
  std::string folder = temp.path();
  const std::string sjis = S("山田様\r\nご案内です。");
  const std::string utf8 = "\xE5\xB1\xB1\xE7\x94\xB0\xE6\xA7\x98\r\n\xE3\x81\x94\xE6\xA1\x88\xE5\x86\x85\xE3\x81\xA7\xE3\x81\x99\xE3\x80\x82";
  struct Case {
    const char* name;
    std::string bytes;
    std::string expected;
  } cases[] = {
      {"bom.txt", "\xEF\xBB\xBF" + utf8, sjis},
      {"utf8.txt", utf8, sjis},
      {"sjis.txt", sjis, sjis},
      {"ascii.txt", "Dear {name},\r\n", "Dear {name},\r\n"},
      {"utf8-declared.html", "<meta charset=utf-8>" + utf8, "<meta charset=utf-8>" + sjis},
      // No charset declared and well-formed UTF-8: UTF-8 (before, it went out as Shift-JIS, garbled).
      {"utf8-undeclared.html", "<p>" + utf8, "<p>" + sjis},
      {"utf8-quoted.html", "<meta charset=\"utf-8\">" + utf8, "<meta charset=\"utf-8\">" + sjis},
      {"sjis-undeclared.html", "<p>" + sjis, "<p>" + sjis},
      {"sjis-content.html", "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-31j\">" + sjis,
       "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-31j\">" + sjis},
      // Declared Shift-JIS stays as it is even when its bytes happen to be well-formed UTF-8.
      {"ascii-sjis.html", "<meta charset=shift_jis><p>\xE3\x81\x82", "<meta charset=shift_jis><p>\xE3\x81\x82"},
      {"utf16le.txt", std::string("\xFF\xFE", 2) + Utf16(u"山田様\r\nA{氏名}", false), S("山田様\r\nA{氏名}")},
      {"utf16be.txt", std::string("\xFE\xFF", 2) + Utf16(u"山田様\r\nA{氏名}", true), S("山田様\r\nA{氏名}")},
      {"utf16le.html", std::string("\xFF\xFE", 2) + Utf16(u"<meta charset=Shift_JIS><p>様</p>", false),
       S("<meta charset=Shift_JIS><p>様</p>")},
      {"utf16-zero.txt", std::string("\xFF\xFE", 2) + Utf16(u"ab", false) + std::string(2, '\0') + Utf16(u"cd", false), "ab"},
      {"utf16-odd.txt", std::string("\xFF\xFE", 2) + Utf16(u"ab", false) + "c", "ab"},
      {"utf16-emoji.txt", std::string("\xFF\xFE", 2) + Utf16(u"a\U0001F600z\xD800", false), "a?z?"},
      {"utf16-empty.txt", std::string("\xFF\xFE", 2), ""},
      {"sjis.htm", "<meta charset=Shift_JIS>" + sjis, "<meta charset=Shift_JIS>" + sjis},
      {"empty.txt", "", ""},
      {"zero.txt", std::string("before\0after", 12), "before"},
      {"no-932.txt", "a\xF0\x9F\x98\x80z", "a?z"},
  };
  for (const Case& c : cases) {
    std::string path = folder + "/" + c.name;
    WriteFile(path, c.bytes);
    std::vector<char> body(c.bytes.size() + 1, 'x');
    ASSERT_EQ(LoadBody(path.c_str(), static_cast<long long>(c.bytes.size()), body.data()), kBodyLoaded) << c.name;
    EXPECT_EQ(std::string(body.data()), c.expected) << c.name;
  }
  char body[4];
  EXPECT_EQ(LoadBody((folder + "/missing.txt").c_str(), 3, body), kBodyNotOpened);
  // A path that opens but cannot be read (a folder, where the system lets one be opened).
  EXPECT_EQ(LoadBody(folder.c_str(), 3, body), kBodyNotOpened);
}

TEST(CodePages, ConversionsNameCodePage932) {
  char out[64];
  // 0x8160 is the wave dash of code page 932, U+FF5E.
  EXPECT_EQ(SjisToUtf8("\x81\x60", out, sizeof out), 3);
  EXPECT_STREQ(out, "\xEF\xBD\x9E");
  EXPECT_EQ(Utf8ToAnsi("\xEF\xBD\x9E", out, sizeof out), 2);
  EXPECT_STREQ(out, "\x81\x60");
  EXPECT_EQ(Utf8ToAnsi("\xEF\xBB\xBF" "abc", out, sizeof out), 3);
  EXPECT_STREQ(out, "abc");
  // Single-byte katakana grows to three bytes each: the destination must say when it is full.
  char small[6];
  EXPECT_EQ(SjisToUtf8("\xB1\xB2", small, sizeof small), -1);
  EXPECT_STREQ(small, "");
  EXPECT_EQ(SjisToUtf8("\xB1", small, sizeof small), 3);
}

// The UTF-8 bytes behind a run of encoded-words, and each word's length.
std::string DecodeWords(const std::string& encoded, std::vector<size_t>* wordLengths) {
  std::string text = "=?UTF-8?Q?" + encoded + "?=";
  std::string bytes;
  size_t at = 0;
  while ((at = text.find("=?UTF-8?Q?", at)) != std::string::npos) {
    size_t end = text.find("?=", at + 10);
    std::string word = text.substr(at + 10, end - at - 10);
    wordLengths->push_back(end + 2 - at);
    std::string part;
    for (size_t i = 0; i < word.size(); ++i) {
      if (word[i] == '=') {
        part += static_cast<char>(std::strtol(word.substr(i + 1, 2).c_str(), nullptr, 16));
        i += 2;
      } else {
        part += word[i];
      }
    }
    EXPECT_TRUE(IsWellFormedUtf8(part.c_str())) << "a word splits a character: " << word;
    bytes += part;
    at = end + 2;
  }
  return bytes;
}

TEST(HeaderWords, ShortTextsAreOneWord) {
  EXPECT_STREQ(EncodeHeaderWord(""), "");
  EXPECT_STREQ(EncodeHeaderWord("Hi there"), "Hi=20there");
  EXPECT_STREQ(EncodeHeaderWord("Rowcaster"), "Rowcaster");
  EXPECT_STREQ(EncodeHeaderWord(S("ご案内").c_str()), "=E3=81=94=E6=A1=88=E5=86=85");
  // 85 bytes of Japanese UTF-8 fill 255 characters exactly and stay one word.
  std::string title;
  for (int i = 0; i < 28; ++i) title += S("あ");
  title += "x";
  std::string encoded = EncodeHeaderWord(title.c_str());
  EXPECT_EQ(encoded.size(), 253u);
  EXPECT_EQ(encoded.find("?="), std::string::npos);
}

TEST(HeaderWords, LongTextsAreFoldedIntoShortWords) {
  struct Case {
    std::string text;
  } cases[] = {
      {[] { std::string t; for (int i = 0; i < 120; ++i) t += S("ゾ"); return t; }()},
      {[] { std::string t; for (int i = 0; i < 340; ++i) t += "\xB1"; return t; }()},  // half-width katakana
      {[] { std::string t; for (int i = 0; i < 50; ++i) t += S("株式会社ab_? "); return t; }()},
  };
  for (const Case& c : cases) {
    const char* encoded = EncodeHeaderWord(c.text.c_str());
    ASSERT_NE(encoded, nullptr);
    std::vector<size_t> lengths;
    std::string bytes = DecodeWords(encoded, &lengths);
    EXPECT_EQ(bytes, U(c.text));
    EXPECT_GT(lengths.size(), 1u);
    for (size_t n : lengths) EXPECT_LE(n, kFoldedWordLimit);
    // Folded lines: every break is CR LF and a space, never anything else.
    std::string e = encoded;
    for (size_t at = e.find('\r'); at != std::string::npos; at = e.find('\r', at + 1))
      EXPECT_EQ(e.compare(at, 3, "\r\n "), 0);
  }
}

TEST(MailDate, LocalTimeWithItsOffset) {
#ifndef _WIN32
  struct Case {
    const char* zone;
    const char* expected;
  } cases[] = {
      {"JST-9", "Thu, 10 Dec 2026 18:26:05 +0900"},
      {"NST3:30", "Thu, 10 Dec 2026 05:56:05 -0330"},
      {"UTC0", "Thu, 10 Dec 2026 09:26:05 +0000"},
  };
  const char* saved = std::getenv("TZ");
  std::string keep = saved ? saved : "";
  for (const Case& c : cases) {
    setenv("TZ", c.zone, 1);
    tzset();
    char date[64];
    FormatMailDate(1796894765, date, sizeof date);
    EXPECT_STREQ(date, c.expected) << c.zone;
  }
  if (saved) setenv("TZ", keep.c_str(), 1); else unsetenv("TZ");
  tzset();
#else
  char date[64];
  FormatMailDate(1796894765, date, sizeof date);
  EXPECT_EQ(std::strlen(date), 31u) << date;
  EXPECT_EQ(std::string(date).substr(0, 5), "Thu, ");
#endif
}

TEST(Compose, HeaderBlockThenBody) {
  ResetSendSettings();
  std::strcpy(SendSettings.MailAddress, "sales@example.com");
  char message[2048];
  ASSERT_EQ(ComposeMessage("Rowcaster", "to@example.jp", "=E3=81=94", "plain", "Body {x}\r\n", message,
                           sizeof message), 0);
  std::string m = message;
  const char* expectedStart =
      "From: =?UTF-8?Q?Rowcaster?= <sales@example.com>\r\nTo: to@example.jp\r\n"
      "Subject: =?UTF-8?Q?=E3=81=94?=\r\nMIME-Version: 1.0\r\nContent-Type: text/plain; charset=UTF-8\r\n"
      "Content-Transfer-Encoding: 8bit\r\nDate: ";
  ASSERT_EQ(m.compare(0, std::strlen(expectedStart), expectedStart), 0) << m;
  size_t id = m.find("\r\nMessage-ID: <");
  ASSERT_NE(id, std::string::npos);
  size_t idEnd = m.find("@example.com>\r\n\r\nBody {x}\r\n", id);
  EXPECT_NE(idEnd, std::string::npos) << m;
  EXPECT_EQ(m.substr(m.size() - 12), "\r\nBody {x}\r\n");

  char second[2048];
  ASSERT_EQ(ComposeMessage("Rowcaster", "to@example.jp", "t", "html", "", second, sizeof second), 0);
  std::string s = second;
  EXPECT_NE(s.find("Content-Type: text/html; charset=UTF-8\r\n"), std::string::npos);
  std::string firstId = m.substr(id, m.find('>', id) - id);
  std::string secondId = s.substr(s.find("\r\nMessage-ID: <"), s.find('>', s.find("\r\nMessage-ID: <")) - s.find("\r\nMessage-ID: <"));
  EXPECT_NE(firstId, secondId);
  EXPECT_EQ(s.substr(s.size() - 4), "\r\n\r\n");  // an empty body: the header block and the empty line
}

TEST(Compose, RefusesWhatDoesNotFit) {
  ResetSendSettings();
  std::strcpy(SendSettings.MailAddress, "sales@example.com");
  std::vector<char> message(400);
  EXPECT_EQ(ComposeMessage("a", "b@example.jp", "c", "plain", "", message.data(), 40), -1);
  std::string body(300, 'x');
  EXPECT_EQ(ComposeMessage("a", "b@example.jp", "c", "plain", body.c_str(), message.data(), message.size()), -1);
  EXPECT_STREQ(message.data(), "");
}

}  // namespace
