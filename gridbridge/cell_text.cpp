#include "gridbridge/cell_text.h"


#include "engine/sjis_text.h"
#include "gridbridge/sheet_table.h"
#include "platform/codepage.h"

namespace gridbridge {

size_t SjisPrefixLength(const char* text, size_t len, size_t max) {
  size_t i = 0;
  while (i < len) {
    size_t step = (IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < len) ? 2 : 1;
    if (i + step > max) break;
    i += step;
  }
  return i;
}

void Utf8ToCellValue(const char* text, size_t len, std::string* out) {
  // Every character gives at least one byte of Shift-JIS and takes at most four of UTF-8, so
  // only the first 4 * 255 bytes (cut back to a character start) can reach the value.
  const size_t kMaxSource = 4 * kMaxValueBytes;
  if (len > kMaxSource) {
    len = kMaxSource;
    while (len > 0 && (static_cast<unsigned char>(text[len]) & 0xC0) == 0x80) --len;
  }
  bool ascii = true;
  for (size_t i = 0; i < len; ++i) {
    if (static_cast<unsigned char>(text[i]) >= 0x80 || text[i] == '\0') {
      ascii = false;
      break;
    }
  }
  if (ascii) {
    out->assign(text, len < kMaxValueBytes ? len : kMaxValueBytes);
    return;
  }
  *out = platform::Utf8ToCp932(text, len);
  out->resize(SjisPrefixLength(out->data(), out->size(), kMaxValueBytes));
}

namespace {
int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

void AppendUtf8(std::string* out, unsigned code) {
  if (code < 0x80) {
    *out += static_cast<char>(code);
  } else if (code < 0x800) {
    *out += static_cast<char>(0xC0 | (code >> 6));
    *out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    *out += static_cast<char>(0xE0 | (code >> 12));
    *out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (code & 0x3F));
  }
}
}  // namespace

void DecodeXmlCharEscapes(std::string* text) {
  if (text->find("_x") == std::string::npos) return;
  std::string out;
  out.reserve(text->size());
  const std::string& s = *text;
  for (size_t i = 0; i < s.size();) {
    if (s[i] == '_' && i + 6 < s.size() && s[i + 1] == 'x' && s[i + 6] == '_') {
      unsigned code = 0;
      bool ok = true;
      for (size_t k = 2; k < 6; ++k) {
        int h = HexValue(s[i + k]);
        if (h < 0) ok = false;
        code = code * 16 + static_cast<unsigned>(h < 0 ? 0 : h);
      }
      if (ok && code != 0 && (code < 0xD800 || code > 0xDFFF)) {
        AppendUtf8(&out, code);
        i += 7;
        continue;
      }
    }
    out += s[i++];
  }
  text->swap(out);
}

}  // namespace gridbridge
