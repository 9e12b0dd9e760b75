#include "engine/wire_message.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/html_text.h"
#include "engine/message_encoding.h"
#include "settings/send_settings.h"
#include "tests/support/engine_test_support.h"
#include "tests/support/mime_reader.h"

namespace {

// ---- a reader of what the composer writes, independent of it ------------------------------

using testing_support::DecodeBase64;

struct Entity {
  std::string header;  // the header block, lines ended by CR LF
  std::string body;    // as it stands after the empty line
  std::string Field(const std::string& name) const {
    size_t at = ("\r\n" + header).find("\r\n" + name + ": ");
    if (at == std::string::npos) return "";
    size_t start = at + name.size() + 2;
    return header.substr(start, header.find("\r\n", start) - start);
  }
  // The body decoded by its Content-Transfer-Encoding.
  std::string Decoded() const { return Field("Content-Transfer-Encoding") == "base64" ? DecodeBase64(body) : body; }
};

Entity Split(const std::string& text) {
  size_t end = text.find("\r\n\r\n");
  if (end == std::string::npos) return {text, ""};
  return {text.substr(0, end + 2), text.substr(end + 4)};
}

// The parts of a multipart body between its boundary lines (RFC 2046 5.1.1: the CR LF before a
// delimiter belongs to the delimiter).
std::vector<Entity> Parts(const Entity& message) {
  std::string type = message.Field("Content-Type");
  std::string boundary = type.substr(type.find("boundary=\"") + 10);
  boundary = boundary.substr(0, boundary.find('"'));
  std::vector<Entity> parts;
  std::string delimiter = "--" + boundary;
  size_t at = message.body.find(delimiter);
  while (at != std::string::npos && message.body.compare(at + delimiter.size(), 2, "--") != 0) {
    size_t start = at + delimiter.size() + 2;
    size_t next = message.body.find("\r\n" + delimiter, start);
    parts.push_back(Split(message.body.substr(start, next - start)));
    at = next == std::string::npos ? next : next + 2;
  }
  return parts;
}

// ---- fixtures -------------------------------------------------------------------------------

// A composed message as the run has it before the wire form: Shift-JIS, placeholders filled.
std::string Composed(const char* subtype, const std::string& body) {
  ResetSendSettings();
  std::strcpy(SendSettings.MailAddress, "sales@example.com");
  std::vector<char> message(body.size() + 4096);
  EXPECT_EQ(ComposeMessage("=E5=96=B6", "to@example.jp", "=E3=81=94", subtype, body.c_str(), message.data(),
                           message.size()),
            0);
  return message.data();
}

std::string Wire(const std::string& composed, WireOptions options = WireOptions()) {
  std::vector<char> wire(composed.size() * 4 + 4096);
  long n = ComposeWireMessage(composed.c_str(), options, wire.data(), wire.size());
  EXPECT_GE(n, 0);
  return n < 0 ? "" : std::string(wire.data(), static_cast<size_t>(n));
}

// Lines ended by CR LF only, none over 998 octets, a header of ASCII: what strict servers take.
void ExpectStrictServersTakeIt(const std::string& wire) {
  for (size_t i = 0; i < wire.size(); ++i) {
    if (wire[i] == '\r') {
      EXPECT_TRUE(i + 1 < wire.size() && wire[i + 1] == '\n') << "bare CR at " << i;
    }
    if (wire[i] == '\n') {
      EXPECT_TRUE(i > 0 && wire[i - 1] == '\r') << "bare LF at " << i;
    }
  }
  EXPECT_LE(LongestLine(wire), kMaxLineOctets);
  for (unsigned char c : Split(wire).header) EXPECT_LT(c, 0x80);
}

std::string Repeat(const std::string& piece, size_t times) {
  std::string out;
  for (size_t i = 0; i < times; ++i) out += piece;
  return out;
}

// ---- the helpers ----------------------------------------------------------------------------

TEST(WireHelpers, LineEndsBecomeCrLf) {
  struct Case {
    std::string text, expected;
  } cases[] = {
      {"a\r\nb\r\n", "a\r\nb\r\n"}, {"a\nb\n", "a\r\nb\r\n"},     {"a\rb\r", "a\r\nb\r\n"},
      {"a\r\r\nb", "a\r\n\r\nb"},   {"a\n\rb", "a\r\n\r\nb"},     {"\n\n", "\r\n\r\n"},
      {"", ""},                     {"no end", "no end"},        {"\r", "\r\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(ToCrLf(c.text), c.expected) << c.text;
}

TEST(WireHelpers, LongestLineCountsOctetsWithoutTheLineEnd) {
  EXPECT_EQ(LongestLine(""), 0u);
  EXPECT_EQ(LongestLine("abc"), 3u);
  EXPECT_EQ(LongestLine("ab\r\nabcd\r\n"), 4u);
  EXPECT_EQ(LongestLine("\xE3\x81\x82\r\n"), 3u);  // あ: three octets
}

TEST(WireHelpers, Base64InLinesOf76) {
  struct Case {
    const char* bytes;
    const char* encoded;
  } vectors[] = {{"", ""},          {"f", "Zg=="},         {"fo", "Zm8="},          {"foo", "Zm9v"},
                 {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"}};  // RFC 4648 10
  for (const Case& c : vectors) EXPECT_EQ(Base64Lines(c.bytes), c.encoded) << c.bytes;
  for (size_t size : {56u, 57u, 58u, 114u, 1000u, 5760u}) {
    std::string bytes;
    for (size_t i = 0; i < size; ++i) bytes += static_cast<char>(i * 37 + 11);
    std::string encoded = Base64Lines(bytes);
    EXPECT_EQ(DecodeBase64(encoded), bytes) << size;
    size_t lines = 1;
    for (size_t start = 0;; ++lines) {
      size_t end = encoded.find("\r\n", start);
      if (end == std::string::npos) {
        EXPECT_LE(encoded.size() - start, 76u) << size;
        break;
      }
      EXPECT_EQ(end - start, 76u) << size;  // every line but the last is full
      start = end + 2;
    }
    EXPECT_EQ(lines, (size + 56) / 57) << size;
  }
}

// ---- plain bodies ---------------------------------------------------------------------------

TEST(WirePlain, CrLfBodyGivesTheBytesOfBefore) {
  // Before, the wire form was the composed message converted to UTF-8 as a whole.
  for (const std::string& body : {S("{会社名}\r\n山田 様\r\nご案内です。\r\n"), std::string(""), S("最後に改行なし")}) {
    std::string composed = Composed("plain", body);
    std::vector<char> before(composed.size() * 3 + 1);
    ASSERT_GE(SjisToUtf8(composed.c_str(), before.data(), before.size()), 0);
    EXPECT_EQ(Wire(composed), std::string(before.data())) << U(body);
  }
}

TEST(WirePlain, LoneLineEndsBecomeCrLf) {
  struct Case {
    const char* what;
    std::string body, expected;
  } cases[] = {
      {"LF only", S("山田 様\nご案内です。\n"), "山田 様\r\nご案内です。\r\n"},
      {"CR only", S("山田 様\rご案内\r"), "山田 様\r\nご案内\r\n"},
      {"a filled cell with LF in a CR LF body", S("備考: 受付で\nお名前を\r\n以上\r\n"), "備考: 受付で\r\nお名前を\r\n以上\r\n"},
      {"a filled cell ending in CR", S("値: x\r\r\n"), "値: x\r\n\r\n"},
  };
  for (const Case& c : cases) {
    std::string wire = Wire(Composed("plain", c.body));
    Entity m = Split(wire);
    EXPECT_EQ(m.Field("Content-Transfer-Encoding"), "8bit") << c.what;
    EXPECT_EQ(m.body, c.expected) << c.what;
    ExpectStrictServersTakeIt(wire);
  }
}

TEST(WirePlain, LineOver998OctetsSendsTheBodyInBase64) {
  const std::string kana = S("あ");  // three octets in UTF-8
  struct Case {
    const char* what;
    std::string body;
    bool base64;
  } cases[] = {
      {"998 octets of ASCII", std::string(998, 'x') + "\r\nnext", false},
      {"999 octets of ASCII", std::string(999, 'x') + "\r\nnext", true},
      {"332 kana are 996 octets", Repeat(kana, 332) + "\r\n", false},
      {"333 kana are 999 octets: the limit is counted in UTF-8", Repeat(kana, 333) + "\r\n", true},
      {"a paragraph of 1,920 characters", Repeat(S("弊社では、お客様の業務効率化を支援いたします。"), 80), true},
      {"LF-ended lines of 500 octets each", Repeat(std::string(500, 'y') + "\n", 4), false},
      {"the last line without a line end", "short\r\n" + std::string(1200, 'z'), true},
  };
  for (const Case& c : cases) {
    std::string composed = Composed("plain", c.body);
    std::string wire = Wire(composed);
    Entity m = Split(wire);
    std::string utf8 = ToCrLf(U(c.body));
    EXPECT_EQ(m.Field("Content-Transfer-Encoding"), c.base64 ? "base64" : "8bit") << c.what;
    EXPECT_EQ(m.Field("Content-Type"), "text/plain; charset=UTF-8") << c.what;
    EXPECT_EQ(m.Decoded(), utf8) << c.what;
    ExpectStrictServersTakeIt(wire);
    // Every other header line stays as composed.
    std::string composedHeader = U(Split(composed).header);
    std::string expectedHeader = composedHeader;
    if (c.base64) expectedHeader.replace(expectedHeader.find("8bit"), 4, "base64");
    EXPECT_EQ(m.header, expectedHeader) << c.what;
  }
}

// ---- HTML bodies ----------------------------------------------------------------------------

TEST(WireHtml, AlternativeOfTextMadeFromTheHtmlAndTheHtml) {
  const std::string html = S("<html><body>\n<p>北斗電機株式会社<br>\n佐藤 様</p>\n<p>詳しくは<a href=\"https://example.jp/\">こちら</a></p>\n</body></html>\n");
  std::string wire = Wire(Composed("html", html));
  ExpectStrictServersTakeIt(wire);
  Entity m = Split(wire);
  EXPECT_EQ(m.Field("Content-Type").rfind("multipart/alternative; boundary=\"", 0), 0u) << m.header;
  EXPECT_EQ(m.Field("Content-Transfer-Encoding"), "8bit");
  EXPECT_EQ(m.Field("MIME-Version"), "1.0");
  EXPECT_EQ(m.header.rfind("From: =?UTF-8?Q?=E5=96=B6?= <sales@example.com>\r\nTo: to@example.jp\r\n", 0), 0u);
  std::vector<Entity> parts = Parts(m);
  ASSERT_EQ(parts.size(), 2u) << wire;
  EXPECT_EQ(parts[0].Field("Content-Type"), "text/plain; charset=UTF-8");
  EXPECT_EQ(parts[0].Field("Content-Transfer-Encoding"), "8bit");
  EXPECT_EQ(parts[0].Decoded(), "北斗電機株式会社\r\n佐藤 様\r\n\r\n詳しくはこちら <https://example.jp/>\r\n");
  EXPECT_EQ(parts[1].Field("Content-Type"), "text/html; charset=UTF-8");
  EXPECT_EQ(parts[1].Decoded(), ToCrLf(U(html)));
  EXPECT_EQ(wire.substr(wire.size() - 4), "--\r\n");
}

TEST(WireHtml, EachPartChoosesItsEncoding) {
  struct Case {
    const char* what;
    std::string html;
    const char* textEncoding;
    const char* htmlEncoding;
    const char* outer;
  } cases[] = {
      {"short lines", S("<p>ご案内</p>"), "8bit", "8bit", "8bit"},
      {"minified HTML with short text", "<p>a</p>" + Repeat("<p>b</p>", 200), "8bit", "base64", "8bit"},
      {"a long paragraph", "<p>" + Repeat(S("ご案内"), 120) + "</p>", "base64", "base64", "7bit"},
      {"a long paragraph written over short lines", "<p>" + Repeat(S("ご案内\r\n"), 120) + "</p>", "base64", "8bit",
       "8bit"},
  };
  for (const Case& c : cases) {
    std::string wire = Wire(Composed("html", c.html));
    ExpectStrictServersTakeIt(wire);
    Entity m = Split(wire);
    std::vector<Entity> parts = Parts(m);
    ASSERT_EQ(parts.size(), 2u) << c.what;
    EXPECT_EQ(parts[0].Field("Content-Transfer-Encoding"), c.textEncoding) << c.what;
    EXPECT_EQ(parts[1].Field("Content-Transfer-Encoding"), c.htmlEncoding) << c.what;
    EXPECT_EQ(m.Field("Content-Transfer-Encoding"), c.outer) << c.what;
    EXPECT_EQ(parts[0].Decoded(), HtmlToPlainText(ToCrLf(U(c.html)))) << c.what;
    EXPECT_EQ(parts[1].Decoded(), ToCrLf(U(c.html))) << c.what;
  }
}

TEST(WireHtml, BoundaryNeverOccursInAPart) {
  // Bodies that quote the boundary the composer would take next cannot end a part early.
  std::string first = Split(Wire(Composed("html", "<p>x</p>"))).Field("Content-Type");
  std::string used = first.substr(first.find('"') + 1);
  used = used.substr(0, used.find('"'));
  std::string prefix = used.substr(0, used.rfind('_') + 1);
  long next = std::stol(used.substr(used.rfind('_') + 1)) + 1;
  std::string html = "<pre>";
  for (long n = next; n < next + 50; ++n) html += "--" + prefix + std::to_string(n) + "\r\n";
  html += "</pre>";
  std::string wire = Wire(Composed("html", html));
  std::vector<Entity> parts = Parts(Split(wire));
  ASSERT_EQ(parts.size(), 2u);
  EXPECT_EQ(parts[1].Decoded(), html);
}

TEST(WireHtml, PlainTextPartCanBeLeftOut) {
  WireOptions htmlAlone;
  htmlAlone.PlainTextPart = false;
  const std::string html = S("<p>ご案内</p>\n");
  std::string composed = Composed("html", html);
  Entity m = Split(Wire(composed, htmlAlone));
  EXPECT_EQ(m.header, U(Split(composed).header));
  EXPECT_EQ(m.body, "<p>ご案内</p>\r\n");
  std::string longLine = "<p>" + Repeat(S("ご案内"), 120) + "</p>";
  Entity l = Split(Wire(Composed("html", longLine), htmlAlone));
  EXPECT_EQ(l.Field("Content-Type"), "text/html; charset=UTF-8");
  EXPECT_EQ(l.Field("Content-Transfer-Encoding"), "base64");
  EXPECT_EQ(l.Decoded(), U(longLine));
}

// ---- refusals -------------------------------------------------------------------------------

TEST(WireRefusals, WhatDoesNotFitOrBreaksTheHeaderLimit) {
  std::string composed = Composed("plain", std::string(2000, 'x'));
  std::vector<char> wire(4000, 'x');
  // Base64 makes the body a third longer: 2,000 octets fit 2,600 bytes as they are, not encoded.
  EXPECT_EQ(ComposeWireMessage(composed.c_str(), WireOptions(), wire.data(), 2600), kWireTooLarge);
  EXPECT_STREQ(wire.data(), "");
  EXPECT_GT(ComposeWireMessage(composed.c_str(), WireOptions(), wire.data(), wire.size()), 2600);

  // A header line over 998 octets: a recipient filled from several cells.
  ResetSendSettings();
  std::strcpy(SendSettings.MailAddress, "sales@example.com");
  std::string recipient = std::string(990, 'r') + "@example.jp";
  std::vector<char> message(4096);
  ASSERT_EQ(ComposeMessage("a", recipient.c_str(), "t", "plain", "body", message.data(), message.size()), 0);
  std::vector<char> out(8192);
  EXPECT_EQ(ComposeWireMessage(message.data(), WireOptions(), out.data(), out.size()), kWireHeaderTooLong);
}

// ---- files and extra header lines ----------------------------------------------------------

// The value of a MIME parameter as a reader decodes it: a quoted string, or the RFC 2231 form
// (one section or numbered ones, "UTF-8''" and %XX), the folding undone.
std::string ParameterValue(const std::string& field, const std::string& name) {
  std::string unfolded;
  for (size_t i = 0; i < field.size(); ++i) {
    if (field.compare(i, 3, "\r\n ") == 0) {
      i += 1;
      continue;
    }
    unfolded += field[i];
  }
  size_t quoted = unfolded.find(" " + name + "=\"");
  if (quoted != std::string::npos) {
    size_t start = quoted + name.size() + 3;
    return unfolded.substr(start, unfolded.find('"', start) - start);
  }
  std::string encoded;
  for (int section = -1;; ++section) {
    std::string key = " " + name + (section < 0 ? "*=" : "*" + std::to_string(section) + "*=");
    size_t at = unfolded.find(key);
    if (at == std::string::npos) {
      if (section >= 0) break;
      continue;
    }
    size_t start = at + key.size();
    encoded += unfolded.substr(start, unfolded.find(';', start) - start);
    if (section < 0) break;
  }
  if (encoded.compare(0, 7, "UTF-8''") != 0) return "<not RFC 2231>";
  std::string out;
  for (size_t i = 7; i < encoded.size(); ++i) {
    if (encoded[i] == '%') {
      out += static_cast<char>(std::stoi(encoded.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      out += encoded[i];
    }
  }
  return out;
}

// The text of RFC 2047 "B" encoded-words, concatenated.
std::string DecodedWords(const std::string& text) {
  std::string out;
  for (size_t at = text.find("=?UTF-8?B?"); at != std::string::npos; at = text.find("=?UTF-8?B?", at)) {
    size_t end = text.find("?=", at + 10);
    out += DecodeBase64(text.substr(at + 10, end - at - 10));
    at = end;
  }
  return out;
}

// Whole UTF-8 sequences only.
bool WholeUtf8(const std::string& text) { return IsWellFormedUtf8(text.c_str()); }

TEST(WireFiles, PartHeaderNamesTheFileSoEveryReaderGetsItBack) {
  const std::string longName = U(Repeat(S("御見積書（株式会社北斗電機様）"), 6)) + ".xlsx";
  struct Case {
    std::string name;
    const char* type;
    bool quoted;  // a plain quoted string, no RFC 2231 form
  } cases[] = {
      {"report.pdf", "application/pdf", true},
      {"Price List 2025.XLSX", "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet", true},
      {"見積書.pdf", "application/pdf", false},
      {"写真.JPG", "image/jpeg", false},
      {"say \"hi\".txt", "text/plain", false},
      {"back\\slash.csv", "text/csv", false},
      {"data.bin", "application/octet-stream", true},
      {"noextension", "application/octet-stream", true},
      {std::string(70, 'a') + ".zip", "application/zip", false},
      {longName, "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet", false},
  };
  for (const Case& c : cases) {
    std::string header = AttachmentPartHeader("B0", c.name);
    ASSERT_EQ(header.rfind("--B0\r\n", 0), 0u) << c.name;
    ASSERT_EQ(header.substr(header.size() - 4), "\r\n\r\n") << c.name;
    Entity part = Split(header.substr(6) + "body");
    std::string type = part.Field("Content-Type");
    EXPECT_EQ(type.substr(0, type.find(';')), c.type) << c.name;
    EXPECT_EQ(part.Field("Content-Transfer-Encoding"), "base64") << c.name;
    std::string disposition = part.Field("Content-Disposition");
    // Field() stops at the first line: the parameters are on folded lines after it.
    size_t from = part.header.find("Content-Disposition: ");
    std::string folded = part.header.substr(from, part.header.find("\r\nContent-Transfer-Encoding") - from);
    EXPECT_EQ(disposition, "attachment;") << c.name;
    EXPECT_EQ(ParameterValue(folded, "filename"), c.name) << c.name;
    size_t typeAt = part.header.find("Content-Type: ");
    std::string typeField = part.header.substr(typeAt, from - typeAt);
    std::string fallback = ParameterValue(typeField, "name");
    EXPECT_EQ(c.quoted ? fallback : DecodedWords(fallback), c.name) << c.name;
    EXPECT_EQ(c.quoted, folded.find("filename*") == std::string::npos) << c.name;
    // Every line is ASCII, those with the name at most 78 octets (a long content type is one
    // word), and no RFC 2231 section ends inside a character.
    for (unsigned char b : header) EXPECT_LT(b, 0x80) << c.name;
    EXPECT_LE(LongestLine(header.substr(header.find("\r\n", typeAt + 6))), 78u) << c.name;
    for (size_t at = folded.find("filename*"); at != std::string::npos; at = folded.find("filename*", at + 1)) {
      std::string section = folded.substr(at, folded.find_first_of(";\r", at) - at);
      std::string value = section.substr(section.find('=') + 1);
      if (value.rfind("UTF-8''", 0) == 0) value = value.substr(7);
      EXPECT_TRUE(WholeUtf8(ParameterValue(" x*=UTF-8''" + value, "x"))) << section;
    }
  }
  EXPECT_NE(AttachmentPartHeader("B0", longName).find("filename*2*="), std::string::npos);
}

TEST(WireFiles, Base64LengthIsKnownBeforeTheFileIsRead) {
  for (unsigned long long size : {0ull, 1ull, 2ull, 3ull, 56ull, 57ull, 58ull, 114ull, 115ull, 65664ull, 100000ull}) {
    std::string bytes(static_cast<size_t>(size), '\xA5');
    EXPECT_EQ(Base64LinesLength(size), Base64Lines(bytes).size()) << size;
  }
}

TEST(WireFiles, MixedMessageCarriesTheBodyFirstAndTheFilesAfter) {
  struct Case {
    const char* what;
    const char* subtype;
    std::string body;
    bool plainTextPart;
    std::string firstType;  // the first part's Content-Type, up to ";"
  } cases[] = {
      {"plain", "plain", S("山田 様\r\nご案内です。\r\n"), true, "text/plain"},
      {"plain, long line in base64", "plain", std::string(1200, 'z'), true, "text/plain"},
      {"HTML with its text part", "html", S("<p>山田 様</p>\n"), true, "multipart/alternative"},
      {"HTML alone", "html", S("<p>山田 様</p>\n"), false, "text/html"},
  };
  const std::string files[][2] = {{"見積書.pdf", std::string("%PDF-1.4\n\x00\x01\xFF", 12)},
                                  {"empty.txt", ""},
                                  {"data.bin", Repeat(std::string("\x00\xFF\r\n\x80", 5), 40)}};
  for (const Case& c : cases) {
    WireOptions options;
    options.PlainTextPart = c.plainTextPart;
    options.ExtraHeader = "Cc: boss@example.jp\r\nReply-To: reply@example.jp\r\n";
    std::string composed = Composed(c.subtype, c.body);
    std::string boundary;
    std::vector<char> head(composed.size() * 4 + 4096);
    long n = ComposeWireMessage(composed.c_str(), options, head.data(), head.size(), &boundary);
    ASSERT_GT(n, 0) << c.what;
    // The message as the run writes it: the head, each file's part, the close delimiter.
    std::string wire(head.data(), static_cast<size_t>(n));
    for (const auto& f : files) wire += AttachmentPartHeader(boundary, f[0]) + Base64Lines(f[1]) + "\r\n";
    wire += MixedEnd(boundary);
    ExpectStrictServersTakeIt(wire);

    Entity m = Split(wire);
    EXPECT_EQ(m.Field("Content-Type"), "multipart/mixed; boundary=\"" + boundary + "\"") << c.what;
    EXPECT_EQ(m.header.rfind("From: =?UTF-8?Q?=E5=96=B6?= <sales@example.com>\r\nTo: to@example.jp\r\n"
                             "Cc: boss@example.jp\r\nReply-To: reply@example.jp\r\nSubject: ",
                             0),
              0u)
        << m.header;
    std::vector<Entity> parts = Parts(m);
    ASSERT_EQ(parts.size(), 4u) << c.what;
    std::string first = parts[0].Field("Content-Type");
    EXPECT_EQ(first.substr(0, first.find(';')), c.firstType) << c.what;
    if (c.firstType == "multipart/alternative") {
      std::vector<Entity> inner = Parts(parts[0]);
      ASSERT_EQ(inner.size(), 2u);
      EXPECT_EQ(inner[1].Decoded(), ToCrLf(U(c.body)));
    } else {
      EXPECT_EQ(parts[0].Decoded(), ToCrLf(U(c.body))) << c.what;
    }
    for (size_t i = 0; i < 3; ++i) EXPECT_EQ(parts[i + 1].Decoded(), files[i][1]) << c.what << " " << files[i][0];
    EXPECT_EQ(wire.substr(wire.size() - boundary.size() - 6), "--" + boundary + "--\r\n");
  }
}

TEST(WireFiles, ExtraHeaderLinesFollowTheToLineOfASinglePart) {
  WireOptions options;
  options.ExtraHeader = "List-Unsubscribe: <mailto:stop@example.jp>\r\n";
  std::string composed = Composed("plain", S("本文\r\n"));
  std::string expected = U(composed);
  size_t afterTo = expected.find("\r\n", expected.find("\r\nTo: ") + 2) + 2;
  expected.insert(afterTo, options.ExtraHeader);
  EXPECT_EQ(Wire(composed, options), expected);
}

}  // namespace
