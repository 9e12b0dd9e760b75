// Code page conversion. The system keeps its texts in code page 932 (Shift-JIS);
// conversions always name 932 explicitly, never the process's ANSI code page.
#pragma once
#include <cstddef>
#include <string>

namespace platform {

// The lead bytes of code page 932's double-byte characters, 0x81..0x9F and 0xE0..0xFC: a fixed
// range test that consults no code page table. The one such test of the whole tree.
constexpr bool IsLeadByte(unsigned char byte) {
  return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

// Shift-JIS to UTF-8. Bytes that are not valid Shift-JIS become replacement characters,
// as MultiByteToWideChar does with flags 0. Stops at the first zero byte or after len bytes.
std::string Cp932ToUtf8(const char* text, size_t len);
inline std::string Cp932ToUtf8(const std::string& text) { return Cp932ToUtf8(text.data(), text.size()); }

// UTF-8 to Shift-JIS. Characters that code page 932 lacks become "?".
// Malformed UTF-8 becomes replacement characters first, and so "?".
std::string Utf8ToCp932(const char* text, size_t len);
inline std::string Utf8ToCp932(const std::string& text) { return Utf8ToCp932(text.data(), text.size()); }

// UTF-16 (code units) to Shift-JIS, "?" for what 932 lacks; used by readers of UTF-16 data.
std::string Utf16ToCp932(const char16_t* text, size_t len);

// Appends the UTF-8 form of one code point (at most U+10FFFF) to `out`.
void AppendUtf8(std::string& out, char32_t c);

// UTF-16 (code units) to UTF-8; a lone surrogate becomes U+FFFD. Stops at a zero unit.
std::string Utf16ToUtf8(const char16_t* text, size_t len);

// True when every character of the UTF-8 text exists in code page 932.
bool Utf8FitsCp932(const char* text, size_t len);

}  // namespace platform

#ifdef _WIN32
namespace platform {
// For the Win32 boundary: window texts and wide file calls.
std::wstring Cp932ToWide(const char* text);
std::wstring Cp932ToWide(const char* text, size_t len);
// Returns false (and a text with "?") when some character has no 932 form.
bool WideToCp932(const wchar_t* text, std::string& out);
std::string WideToCp932(const wchar_t* text);
}  // namespace platform
#endif
