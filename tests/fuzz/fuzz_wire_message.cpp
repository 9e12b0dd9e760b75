// The wire form of a message (ComposeWireMessage) and the plain text of HTML (HtmlToPlainText)
// on any body. The first byte picks the subtype (bit 0: html) and whether an HTML body gets its
// plain-text part (bit 1 clear); the rest is the filled body in Shift-JIS, up to its first zero.
// Properties: the message always fits a destination of four times the composed size plus room
// for the parts' headers; every line ends with CR LF and holds at most 998 octets; the header
// is ASCII; each part decodes (by its Content-Transfer-Encoding, read by the plain decoder
// below) to the body's UTF-8 form with line ends made CR LF, and a text part to the plain text
// of that HTML; the plain text has CR LF lines only, none ending with a space, no two empty
// lines in a row, and is well-formed UTF-8.
#include <cstring>
#include <string>
#include <vector>

#include "engine/html_text.h"
#include "engine/message_encoding.h"
#include "engine/wire_message.h"
#include "fuzz_support.h"
#include "platform/codepage.h"
#include "settings/send_settings.h"
#include "tests/support/mime_reader.h"

namespace {

std::string ReferenceCrLf(const std::string& t) {
  std::string out;
  for (size_t i = 0; i < t.size(); ++i) {
    if (t[i] == '\r' && i + 1 < t.size() && t[i + 1] == '\n') {
      out += "\r\n";
      ++i;
    } else if (t[i] == '\r' || t[i] == '\n') {
      out += "\r\n";
    } else {
      out += t[i];
    }
  }
  return out;
}

using testing_support::DecodeBase64;

struct Entity {
  std::string header, body;
  std::string Field(const std::string& name) const {
    size_t at = ("\r\n" + header).find("\r\n" + name + ": ");
    if (at == std::string::npos) return "";
    size_t start = at + name.size() + 2;
    return header.substr(start, header.find("\r\n", start) - start);
  }
  std::string Decoded() const {
    std::string cte = Field("Content-Transfer-Encoding");
    FUZZ_CHECK(cte == "8bit" || cte == "base64");
    return cte == "base64" ? DecodeBase64(body) : body;
  }
};

Entity Split(const std::string& text) {
  size_t end = text.find("\r\n\r\n");
  FUZZ_CHECK(end != std::string::npos);
  return {text.substr(0, end + 2), text.substr(end + 4)};
}

bool WellFormedUtf8(const std::string& s) {
  size_t i = 0;
  while (i < s.size()) {
    unsigned char b = static_cast<unsigned char>(s[i]);
    size_t n = b <= 0x7F ? 1 : (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : (b & 0xF8) == 0xF0 ? 4 : 0;
    if (n == 0 || i + n > s.size()) return false;
    for (size_t k = 1; k < n; ++k)
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    i += n;
  }
  return true;
}

void CheckLines(const std::string& wire) {
  size_t start = 0;
  for (size_t i = 0; i < wire.size(); ++i) {
    if (wire[i] == '\r') FUZZ_CHECK(i + 1 < wire.size() && wire[i + 1] == '\n');
    if (wire[i] == '\n') {
      FUZZ_CHECK(i > 0 && wire[i - 1] == '\r');
      FUZZ_CHECK(i - 1 - start <= kMaxLineOctets);
      start = i + 1;
    }
  }
  FUZZ_CHECK(wire.size() - start <= kMaxLineOctets);
}

void CheckPlainText(const std::string& text) {
  FUZZ_CHECK(WellFormedUtf8(text));
  FUZZ_CHECK(text.empty() || text.compare(text.size() - 2, 2, "\r\n") == 0);
  bool previousEmpty = true;  // the text starts with a line that has text
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find("\r\n", start);
    FUZZ_CHECK(end != std::string::npos);
    std::string line = text.substr(start, end - start);
    FUZZ_CHECK(line.find('\r') == std::string::npos && line.find('\n') == std::string::npos);
    FUZZ_CHECK(!(line.empty() && previousEmpty));
    if (!line.empty()) FUZZ_CHECK(line.back() != ' ');
    previousEmpty = line.empty();
    start = end + 2;
  }
  FUZZ_CHECK(!previousEmpty || text.empty());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const bool html = data[0] & 1;
  WireOptions options;
  options.PlainTextPart = (data[0] & 2) == 0;
  std::string body(reinterpret_cast<const char*>(data + 1), size - 1);
  body = body.substr(0, body.find('\0'));

  ResetSendSettings();
  std::strcpy(SendSettings.MailAddress, "sales@example.com");
  std::vector<char> composed(body.size() + 1024);
  FUZZ_CHECK(ComposeMessage("=E5=96=B6", "to@example.jp", "=E3=81=94", html ? "html" : "plain", body.c_str(),
                            composed.data(), composed.size()) == 0);
  std::vector<char> wire(composed.size() * 4 + 8192);
  long n = ComposeWireMessage(composed.data(), options, wire.data(), wire.size());
  FUZZ_CHECK(n >= 0);
  std::string message(wire.data(), static_cast<size_t>(n));
  CheckLines(message);
  Entity m = Split(message);
  for (unsigned char c : m.header) FUZZ_CHECK(c < 0x80);

  const std::string utf8 = ReferenceCrLf(platform::Cp932ToUtf8(body));
  if (!html || !options.PlainTextPart) {
    FUZZ_CHECK(m.Decoded() == utf8);
    return 0;
  }
  std::string type = m.Field("Content-Type");
  FUZZ_CHECK(type.rfind("multipart/alternative; boundary=\"", 0) == 0);
  std::string boundary = type.substr(type.find('"') + 1);
  boundary = boundary.substr(0, boundary.find('"'));
  const std::string delimiter = "\r\n--" + boundary;
  FUZZ_CHECK(m.body.rfind("--" + boundary + "\r\n", 0) == 0);
  size_t first = m.body.find(delimiter);
  FUZZ_CHECK(first != std::string::npos);
  size_t last = m.body.find(delimiter, first + delimiter.size());
  FUZZ_CHECK(last != std::string::npos);
  FUZZ_CHECK(m.body.substr(last) == delimiter + "--\r\n");
  Entity text = Split(m.body.substr(boundary.size() + 4, first - boundary.size() - 4));
  Entity htmlPart = Split(m.body.substr(first + delimiter.size() + 2, last - first - delimiter.size() - 2));
  FUZZ_CHECK(text.Field("Content-Type") == "text/plain; charset=UTF-8");
  FUZZ_CHECK(htmlPart.Field("Content-Type") == "text/html; charset=UTF-8");
  FUZZ_CHECK(htmlPart.Decoded() == utf8);
  std::string plain = text.Decoded();
  FUZZ_CHECK(plain == HtmlToPlainText(utf8));
  CheckPlainText(plain);
  return 0;
}
