// Turning a workbook's text into a cell value: code page 932, at most 255 bytes, cut only
// between characters.
#pragma once
#include <cstddef>
#include <string>

namespace gridbridge {

// The length of the longest prefix of a Shift-JIS text of len bytes that fits max bytes
// without splitting a double-byte character.
size_t SjisPrefixLength(const char* text, size_t len, size_t max);

// UTF-8 text to a cell value in out (replaced). Characters that 932 lacks become "?"; the yen
// sign U+00A5 becomes the full-width yen 0x818F (not 0x5C, which mail takes for a backslash).
// False when the value had to be cut to fit or lost a character.
bool Utf8ToCellValue(const char* text, size_t len, std::string* out);

// Decodes the _xHHHH_ escapes with which workbooks write control characters, in place.
void DecodeXmlCharEscapes(std::string* text);

}  // namespace gridbridge
