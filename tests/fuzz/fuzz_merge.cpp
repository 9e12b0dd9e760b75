// The placeholder merge with hostile sheets: header texts and cell values full of braces,
// placeholders of other columns and line ends, through the stand-in spreadsheet library.
// Input parts (split at 0xFF): the text to fill, then up to six header texts and six cell
// values, alternating. Properties: ReplaceAll and MergeRow never write past the text's buffer
// (exactly `capacity` bytes); ReplaceAll gives what a plain character-wise replacement gives;
// MergeRow fills the columns in order with trimmed values and sets RowAddress from MailColumn.
#include <cstring>
#include <memory>
#include <string>

#include "engine/placeholder_merge.h"
#include "fuzz_support.h"
#include "settings/send_settings.h"
#include "tests/support/grid_double.h"

using fuzz_support::CharLengthAt;

namespace {

// The first match at or after `from`, moving one character at a time from `from`.
size_t Find(const std::string& text, const std::string& pattern, size_t from) {
  for (size_t i = from; i < text.size(); i += CharLengthAt(text.c_str(), i))
    if (text.compare(i, pattern.size(), pattern) == 0) return i;
  return std::string::npos;
}

// -1 when the next replacement would not fit `capacity` bytes with the zero.
int ReferenceReplaceAll(std::string& text, size_t capacity, const std::string& pattern, const std::string& value) {
  if (pattern.empty()) return 0;
  int count = 0;
  for (size_t at = Find(text, pattern, 0); at != std::string::npos; at = Find(text, pattern, at + value.size())) {
    if (value.size() > pattern.size() && text.size() + value.size() - pattern.size() + 1 > capacity) return -1;
    text.replace(at, pattern.size(), value);
    ++count;
  }
  return count;
}

std::string Cut(std::string s, size_t max) {
  s = s.substr(0, s.find('\0'));
  return s.size() > max ? s.substr(0, max) : s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string parts[14];
  fuzz_support::SplitInput(data, size, parts, 14);
  std::string text = Cut(parts[0], 4000);
  size_t capacity = text.size() + 1 + (parts[13].empty() ? 64 : static_cast<unsigned char>(parts[13][0]) * 4);

  // ReplaceAll alone: the first header as the pattern, the first value as the replacement.
  {
    std::string pattern = Cut(parts[1], 255), value = Cut(parts[2], 255);
    std::unique_ptr<char[]> buffer(new char[capacity]);
    std::memcpy(buffer.get(), text.c_str(), text.size() + 1);
    std::string expected = text;
    int want = ReferenceReplaceAll(expected, capacity, pattern, value);
    int got = ReplaceAll(buffer.get(), capacity, pattern.c_str(), value.c_str());
    FUZZ_CHECK(got == want);
    FUZZ_CHECK(std::strlen(buffer.get()) < capacity);
    FUZZ_CHECK(expected == buffer.get());  // also after -1: the replacements made so far
  }

  // MergeRow over a sheet: header texts in row 1 (up to the first empty one), values in row 2.
  GridDoubleReset();
  int columns = 0;
  for (int c = 0; c < 6; ++c) {
    std::string header = Cut(parts[1 + 2 * c], 255);
    std::string value = Cut(parts[2 + 2 * c], 255);
    char address[8];
    std::snprintf(address, sizeof address, "%c1", 'A' + c);
    GridDoubleSetCell(address, header.c_str());
    std::snprintf(address, sizeof address, "%c2", 'A' + c);
    GridDoubleSetCell(address, value.c_str());
  }
  FUZZ_CHECK(OpenExcel("book.xlsx", 0) == 0 && OpenSheet("Sheet1") == 0);
  ClearPlaceholders();
  ScanHeaderRow();
  std::snprintf(SendSettings.MailColumn, sizeof SendSettings.MailColumn, "%c", static_cast<char>('A' + size % 7));

  std::string expected = text;
  std::string address;
  int want = 0;
  for (int c = 0; c < 6; ++c) {
    std::string header = Cut(parts[1 + 2 * c], 255);
    if (header.empty()) break;
    ++columns;
    std::string value = fuzz_support::ReferenceTrim(Cut(parts[2 + 2 * c], 255));
    if (header.size() <= 253 && ReferenceReplaceAll(expected, capacity, "{" + header + "}", value) < 0) want = -1;
    if (SendSettings.MailColumn[0] == 'A' + c) address = value;
  }
  FUZZ_CHECK(PlaceholderCount == columns);

  std::unique_ptr<char[]> buffer(new char[capacity]);
  std::memcpy(buffer.get(), text.c_str(), text.size() + 1);
  int got = MergeRow(2, buffer.get(), capacity);
  FUZZ_CHECK(got == want);
  FUZZ_CHECK(std::strlen(buffer.get()) < capacity);
  if (got == 0) FUZZ_CHECK(expected == buffer.get());
  FUZZ_CHECK(std::strlen(RowAddress) < sizeof RowAddress && address == RowAddress);
  FUZZ_CHECK(RowIsEmpty(2) == (columns == 0 || [&] {
               for (int c = 0; c < columns; ++c)
                 if (!fuzz_support::ReferenceTrim(Cut(parts[2 + 2 * c], 255)).empty()) return false;
               return true;
             }()));
  ClearPlaceholders();
  CloseExcel();
  return 0;
}
