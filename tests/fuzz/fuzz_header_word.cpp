// EncodeHeaderWord on any Shift-JIS text of up to 1,023 bytes (a title text). Properties: the
// result is printable ASCII; decoded it is the text's UTF-8 form; up to 255 characters it is
// one encoded text, beyond that encoded-words of at most 75 characters on folded lines, each
// holding whole UTF-8 characters. Also QEncode against its definition.
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engine/message_encoding.h"
#include "fuzz_support.h"
#include "platform/codepage.h"

namespace {

int Hex(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Decodes "Q" text; false when it holds anything a literal may not be.
bool Decode(const std::string& q, std::string* out) {
  out->clear();
  for (size_t i = 0; i < q.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(q[i]);
    if (c == '=') {
      if (i + 2 >= q.size()) return false;
      int hi = Hex(q[i + 1]), lo = Hex(q[i + 2]);
      if (hi < 0 || lo < 0) return false;
      *out += static_cast<char>(hi * 16 + lo);
      i += 2;
    } else {
      if (c < 0x21 || c > 0x7E || c == '?' || c == '_') return false;
      *out += static_cast<char>(c);
    }
  }
  return true;
}

bool WholeUtf8(const std::string& s) {
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size < 1023 ? size : 1023);
  text = text.substr(0, text.find('\0'));
  std::string utf8 = platform::Cp932ToUtf8(text);

  const char* word = EncodeHeaderWord(text.c_str());
  FUZZ_CHECK(word != nullptr);  // every title text fits
  std::string encoded(word);
  for (unsigned char c : encoded) FUZZ_CHECK((c >= 0x21 && c <= 0x7E) || c == '\r' || c == '\n' || c == ' ');

  const std::string fold = "?=\r\n =?UTF-8?Q?";
  std::vector<std::string> parts;
  for (size_t start = 0;;) {
    size_t at = encoded.find(fold, start);
    parts.push_back(encoded.substr(start, at == std::string::npos ? std::string::npos : at - start));
    if (at == std::string::npos) break;
    start = at + fold.size();
  }
  std::string decoded, piece;
  for (const std::string& part : parts) {
    FUZZ_CHECK(Decode(part, &piece));
    if (parts.size() > 1) {
      FUZZ_CHECK(!part.empty());
      FUZZ_CHECK(part.size() + std::strlen("=?UTF-8?Q?") + 2 <= kFoldedWordLimit);
      FUZZ_CHECK(WholeUtf8(piece));  // never a character split between two words
    }
    decoded += piece;
  }
  FUZZ_CHECK(decoded == utf8);
  FUZZ_CHECK((parts.size() == 1) == (encoded.size() <= kSingleWordLimit));

  // QEncode by its definition, into a destination of exactly its capacity.
  std::string expected;
  char hex[4];
  for (unsigned char c : text) {
    if (IsQLiteral(c)) {
      expected += static_cast<char>(c);
    } else {
      std::snprintf(hex, sizeof hex, "=%02X", c);
      expected += hex;
    }
    FUZZ_CHECK(IsQLiteral(c) == (c >= 0x21 && c <= 0x7E && c != '=' && c != '?' && c != '_'));
  }
  size_t capacity = size % 2 ? expected.size() + 1 : (expected.size() / 2) + 1;
  std::unique_ptr<char[]> q(new char[capacity]);
  long n = QEncode(text.c_str(), q.get(), capacity);
  if (expected.size() + 1 <= capacity) {
    FUZZ_CHECK(n == static_cast<long>(expected.size()) && expected == q.get());
  } else {
    FUZZ_CHECK(n == -1 && q[0] == '\0');
  }
  return 0;
}
