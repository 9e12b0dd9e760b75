#include "gridbridge/csv_reader.h"

#include <cstring>

#include "gridbridge/byte_order.h"
#include "gridbridge/cell_text.h"
#include "gridbridge/workbook_reader.h"
#include "platform/codepage.h"

namespace gridbridge {

bool IsStrictUtf8(const char* text, size_t len) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
  size_t i = 0;
  while (i < len) {
    unsigned char c = p[i];
    if (c < 0x80) {
      ++i;
      continue;
    }
    size_t n;
    unsigned min;
    unsigned code;
    if ((c & 0xE0) == 0xC0) n = 1, min = 0x80, code = c & 0x1F;
    else if ((c & 0xF0) == 0xE0) n = 2, min = 0x800, code = c & 0x0F;
    else if ((c & 0xF8) == 0xF0) n = 3, min = 0x10000, code = c & 0x07;
    else return false;
    if (i + n >= len) return false;
    for (size_t k = 1; k <= n; ++k) {
      if ((p[i + k] & 0xC0) != 0x80) return false;
      code = (code << 6) | (p[i + k] & 0x3F);
    }
    if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
    i += n + 1;
  }
  return true;
}

TextEncoding DetectTextEncoding(const std::string& bytes, size_t* bomLength) {
  *bomLength = 0;
  if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) {
    *bomLength = 3;
    return TextEncoding::kUtf8;
  }
  if (bytes.compare(0, 2, "\xFF\xFE") == 0) {
    *bomLength = 2;
    return TextEncoding::kUtf16Le;
  }
  if (bytes.compare(0, 2, "\xFE\xFF") == 0) {
    *bomLength = 2;
    return TextEncoding::kUtf16Be;
  }
  // Shift-JIS text of any length is almost never well-formed UTF-8, and pure ASCII reads the same
  // either way.
  return IsStrictUtf8(bytes.data(), bytes.size()) ? TextEncoding::kUtf8 : TextEncoding::kShiftJis;
}

namespace {

class CsvReader : public WorkbookReader {
 public:
  explicit CsvReader(std::string text) : text_(std::move(text)) { names_.push_back("CSV"); }
  const std::vector<std::string>& SheetNames() const override { return names_; }
  bool LoadSheet(const char* sheetName, SheetTable* table) override;

 private:
  std::string text_;  // the whole file in Shift-JIS
  std::vector<std::string> names_;
};

void StoreField(SheetTable* table, long row, long column, const std::string& field, bool* ok) {
  if (field.empty()) return;
  size_t len = SjisPrefixLength(field.data(), field.size(), kMaxValueBytes);
  if (!table->Set(row, column, field.data(), len)) *ok = false;
}

// Shift-JIS trail bytes start at 0x40, so none of the bytes the parser looks at (comma,
// double quote, CR, LF) can be the second half of a character.
bool CsvReader::LoadSheet(const char*, SheetTable* table) {
  table->Clear();
  const char* p = text_.data();
  const char* end = p + text_.size();
  long row = 1, column = 0;
  std::string field;
  bool ok = true;
  bool rowHasContent = false;
  while (p < end && ok) {
    char c = *p;
    if (c == '"' && field.empty()) {
      // Quoted field: runs to the quote that is not doubled; commas and line breaks inside.
      // A quote never closed takes the rest of the file (line breaks included) as this one
      // last field, as Excel and LibreOffice read it.
      ++p;
      while (p < end) {
        if (*p == '"') {
          if (p + 1 < end && p[1] == '"') {
            field += '"';
            p += 2;
            continue;
          }
          ++p;
          break;
        }
        field += *p++;
      }
      rowHasContent = true;
      // Text between the closing quote and the next separator belongs to the field.
      continue;
    }
    if (c == ',') {
      StoreField(table, row, column, field, &ok);
      field.clear();
      ++column;
      ++p;
      rowHasContent = true;
      continue;
    }
    if (c == '\r' || c == '\n') {
      StoreField(table, row, column, field, &ok);
      field.clear();
      column = 0;
      ++row;
      rowHasContent = false;
      p += (c == '\r' && p + 1 < end && p[1] == '\n') ? 2 : 1;
      if (row > kMaxRow) break;
      continue;
    }
    field += c;
    rowHasContent = true;
    ++p;
  }
  if (ok && rowHasContent) StoreField(table, row, column, field, &ok);
  if (!ok) table->Clear();
  return ok;
}

}  // namespace

std::unique_ptr<WorkbookReader> OpenCsvFromMemory(std::string bytes) {
  size_t bom = 0;
  TextEncoding encoding = DetectTextEncoding(bytes, &bom);
  std::string text;
  if (encoding == TextEncoding::kUtf16Le || encoding == TextEncoding::kUtf16Be) {
    size_t units = (bytes.size() - bom) / 2;
    std::u16string wide(units, u'\0');
    for (size_t i = 0; i < units; ++i) {
      const unsigned char* unit = reinterpret_cast<const unsigned char*>(bytes.data()) + bom + 2 * i;
      wide[i] = static_cast<char16_t>(encoding == TextEncoding::kUtf16Le ? ReadLe16(unit) : ReadBe16(unit));
      if (wide[i] == 0) return nullptr;  // binary data, not text
    }
    for (char16_t& c : wide)
      if (c == u'\u00A5') c = u'\uFFE5';  // the yen sign as the full-width yen, not 0x5C
    text = platform::Utf16ToCp932(wide.data(), wide.size());
  } else {
    // A zero byte never occurs in a text file; it marks binary data of some other kind.
    if (std::memchr(bytes.data(), 0, bytes.size())) return nullptr;
    if (encoding == TextEncoding::kUtf8) {
      std::string utf8 = bytes.substr(bom);
      for (size_t at = utf8.find("\xC2\xA5"); at != std::string::npos; at = utf8.find("\xC2\xA5", at + 3))
        utf8.replace(at, 2, "\xEF\xBF\xA5");  // the yen sign as the full-width yen, not 0x5C
      text = platform::Utf8ToCp932(utf8.data(), utf8.size());
    }
    else text.swap(bytes);
  }
  return std::unique_ptr<WorkbookReader>(new CsvReader(std::move(text)));
}

}  // namespace gridbridge
