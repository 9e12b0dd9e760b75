// LoadBody and the encoding decisions on any body file. The first byte picks the file name
// (.txt, .html, .HTM, .htmx, a bare ".htm") and how much of the file LoadBody is told about;
// the rest is the file. Properties: the buffer of exactly size + 1 bytes is never passed; a
// file that starts with a UTF-16 byte order mark is the code page 932 form of its UTF-16 text
// up to the first zero unit (decoded by the plain definition below); otherwise an HTML file is
// converted exactly when IsUtf8HtmlBody holds, which it does whenever the text holds
// charset=utf-8, and for a text without any <meta exactly when that or well-formedness holds;
// any other file is converted exactly when it is well-formed UTF-8 (by the plain definition
// below); a converted body is the code page 932 form of the UTF-8 text without its byte order
// mark; an unconverted one is the file's bytes up to the first zero.
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engine/message_encoding.h"
#include "fuzz_support.h"
#include "platform/codepage.h"

using namespace fuzz_support;

namespace {

bool ReferenceWellFormed(const std::string& t) {
  size_t i = 0;
  while (i < t.size()) {
    unsigned char b = static_cast<unsigned char>(t[i]);
    size_t n = b <= 0x7F ? 1 : (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : (b & 0xF8) == 0xF0 ? 4 : 0;
    if (n == 0) return false;
    for (size_t k = 1; k < n; ++k)
      if (i + k >= t.size() || (static_cast<unsigned char>(t[i + k]) & 0xC0) != 0x80) return false;
    i += n;
  }
  return true;
}

bool ReferenceDeclaresUtf8(const std::string& t) {
  // ASCII letters without regard to case; the match may start at any character start.
  static const char pattern[] = "charset=utf-8";
  for (size_t i = 0; i + 13 <= t.size(); i += (IsLead(static_cast<unsigned char>(t[i])) && i + 1 < t.size()) ? 2 : 1) {
    size_t k = 0;
    while (k < 13) {
      unsigned char c = static_cast<unsigned char>(t[i + k]);
      if (c >= 'A' && c <= 'Z') c += 0x20;
      if (c != static_cast<unsigned char>(pattern[k])) break;
      ++k;
    }
    if (k == 13) return true;
  }
  return false;
}

// UTF-16 code units to UTF-8 as RFC 2781 and 3629 define them; a lone surrogate is U+FFFD.
std::string ReferenceUtf16(const std::string& bytes, bool bigEndian) {
  std::vector<uint32_t> units;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    uint32_t a = static_cast<unsigned char>(bytes[i]), b = static_cast<unsigned char>(bytes[i + 1]);
    uint32_t u = bigEndian ? (a << 8) | b : (b << 8) | a;
    if (u == 0) break;
    units.push_back(u);
  }
  std::string out;
  for (size_t i = 0; i < units.size(); ++i) {
    uint32_t c = units[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (units[++i] - 0xDC00);
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

bool HasMetaTag(const std::string& t) {
  for (size_t i = 0; i + 5 <= t.size(); ++i) {
    std::string w = t.substr(i, 5);
    for (char& c : w)
      if (c >= 'A' && c <= 'Z') c += 0x20;
    if (w == "<meta") return true;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  static const char* const kNames[] = {"body.txt", "body.html", "BODY.HTM", "body.htmx", ".htm", "body"};
  const char* name = kNames[data[0] % 6];
  bool html = data[0] % 6 >= 1 && data[0] % 6 <= 3;
  std::string file(reinterpret_cast<const char*>(data + 1), size - 1);
  std::string path = ScratchFolder() + "/" + name;
  WriteFile(path, file.data(), file.size());
  FUZZ_CHECK(IsHtmlBodyFile(path.c_str()) == html);

  // Mostly the true size; sometimes a smaller one (the file grew after its size was taken).
  long long told = static_cast<long long>(file.size());
  if ((data[0] & 0x80) && told > 0) told = told / 2;
  std::unique_ptr<char[]> body(new char[static_cast<size_t>(told) + 1]);
  FUZZ_CHECK(LoadBody(path.c_str(), told, body.get()) == kBodyLoaded);
  std::string raw = file.substr(0, static_cast<size_t>(told));
  std::string read = raw.substr(0, raw.find('\0'));
  std::string loaded(body.get());

  const unsigned char b0 = raw.size() >= 2 ? static_cast<unsigned char>(raw[0]) : 0;
  const unsigned char b1 = raw.size() >= 2 ? static_cast<unsigned char>(raw[1]) : 0;
  const bool utf16 = (b0 == 0xFF && b1 == 0xFE) || (b0 == 0xFE && b1 == 0xFF);
  bool utf8 = html ? IsUtf8HtmlBody(read.c_str()) : ReferenceWellFormed(read);
  if (html && ReferenceDeclaresUtf8(read)) FUZZ_CHECK(utf8);
  if (html && !HasMetaTag(read)) FUZZ_CHECK(utf8 == (ReferenceDeclaresUtf8(read) || ReferenceWellFormed(read)));
  FUZZ_CHECK(IsWellFormedUtf8(read.c_str()) == ReferenceWellFormed(read));
  FUZZ_CHECK(DeclaresUtf8Charset(read.c_str()) == ReferenceDeclaresUtf8(read));
  if (utf16) {
    FUZZ_CHECK(loaded == platform::Utf8ToCp932(ReferenceUtf16(raw.substr(2), b0 == 0xFE)));
  } else if (utf8) {
    std::string text = read.compare(0, 3, "\xEF\xBB\xBF") == 0 ? read.substr(3) : read;
    FUZZ_CHECK(loaded == platform::Utf8ToCp932(text));
  } else {
    FUZZ_CHECK(loaded == read);
  }
  FUZZ_CHECK(loaded.size() <= static_cast<size_t>(told));

  // The conversions with a destination of exactly their capacity: never past it.
  size_t capacity = read.size() % 64 + 1;
  std::unique_ptr<char[]> small(new char[capacity]);
  long n = SjisToUtf8(read.c_str(), small.get(), capacity);
  FUZZ_CHECK(n == -1 ? small[0] == '\0' : (static_cast<size_t>(n) < capacity && std::strlen(small.get()) == static_cast<size_t>(n)));
  if (n >= 0) FUZZ_CHECK(std::string(small.get()) == platform::Cp932ToUtf8(read));
  n = Utf8ToAnsi(read.c_str(), small.get(), capacity);
  FUZZ_CHECK(n == -1 ? small[0] == '\0' : (static_cast<size_t>(n) < capacity && std::strlen(small.get()) == static_cast<size_t>(n)));
  DeleteFile(path);
  return 0;
}
