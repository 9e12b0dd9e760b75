#include "gridbridge/cell_text.h"

#include <cstdint>
#include <vector>


#include "text/sjis_text.h"
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

namespace {

// The code page 932 form of one character of the Basic Multilingual Plane: 0 for none, a byte,
// or lead << 8 | trail. Each character is converted by the platform once, when first met, and
// then remembered: a sheet uses a few thousand distinct characters, but hundreds of thousands
// of cells. (0xFFFF, "not yet known", is no Shift-JIS code: 0xFF is never a lead byte.)
constexpr uint16_t kNotYetKnown = 0xFFFF;
constexpr unsigned kYenSign = 0xA5, kFullWidthYenSign = 0xFFE5;

uint16_t Cp932Of(unsigned code) {
  thread_local std::vector<uint16_t> known;
  if (known.empty()) known.assign(0x10000, kNotYetKnown);
  uint16_t& slot = known[code];
  if (slot == kNotYetKnown) {
    char utf8[3];
    size_t n;
    if (code < 0x800) {
      utf8[0] = static_cast<char>(0xC0 | (code >> 6));
      utf8[1] = static_cast<char>(0x80 | (code & 0x3F));
      n = 2;
    } else {
      utf8[0] = static_cast<char>(0xE0 | (code >> 12));
      utf8[1] = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      utf8[2] = static_cast<char>(0x80 | (code & 0x3F));
      n = 3;
    }
    std::string sjis = platform::Utf8ToCp932(utf8, n);
    const unsigned char* p = reinterpret_cast<const unsigned char*>(sjis.data());
    if (sjis.size() == 1 && p[0] != '?') slot = p[0];
    else if (sjis.size() == 2) slot = static_cast<uint16_t>(p[0] << 8 | p[1]);
    else slot = 0;
  }
  return slot;
}

}  // namespace

bool Utf8ToCellValue(const char* text, size_t len, std::string* out) {
  char value[kMaxValueBytes];
  size_t used = 0;
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
  size_t i = 0;
  bool cut = false, lost = false;
  while (i < len) {
    unsigned c = p[i];
    if (c == 0) break;  // the text ends at a zero byte
    if (used == kMaxValueBytes) {
      cut = true;
      break;
    }
    if (c < 0x80) {
      value[used++] = static_cast<char>(c);
      ++i;
      continue;
    }
    size_t n = (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 1;
    unsigned code = n == 2 ? (c & 0x1F) : n == 3 ? (c & 0x0F) : (c & 0x07);
    bool whole = n > 1 && i + n <= len;
    for (size_t k = 1; whole && k < n; ++k) {
      if ((p[i + k] & 0xC0) != 0x80) whole = false;
      code = (code << 6) | (p[i + k] & 0x3F);
    }
    // A broken sequence loses one byte; a character outside the BMP has no 932 form.
    bool valid = whole && n < 4 && code >= (n == 2 ? 0x80u : 0x800u) && (code < 0xD800 || code > 0xDFFF);
    if (code == kYenSign) code = kFullWidthYenSign;
    uint16_t sjis = valid ? Cp932Of(code) : 0;
    i += whole ? n : 1;
    if (sjis == 0) {
      sjis = '?';
      lost = true;
    }
    if (sjis > 0xFF) {
      if (used + 2 > kMaxValueBytes) {
        cut = true;  // never half a character
        break;
      }
      value[used++] = static_cast<char>(sjis >> 8);
    }
    value[used++] = static_cast<char>(sjis & 0xFF);
  }
  out->assign(value, used);
  return !cut && !lost;
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
