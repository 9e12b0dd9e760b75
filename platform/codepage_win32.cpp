#include "platform/codepage.h"

#include <cstring>
#include <windows.h>

namespace platform {
namespace {

constexpr UINT kShiftJis = 932;

size_t LengthUpToZero(const char* text, size_t len) {
  const void* z = std::memchr(text, 0, len);
  return z ? static_cast<size_t>(static_cast<const char*>(z) - text) : len;
}

std::wstring ToWide(UINT codePage, const char* text, size_t len) {
  len = LengthUpToZero(text, len);
  if (len == 0) return std::wstring();
  int n = MultiByteToWideChar(codePage, 0, text, static_cast<int>(len), nullptr, 0);
  std::wstring w(static_cast<size_t>(n > 0 ? n : 0), L'\0');
  if (n > 0) MultiByteToWideChar(codePage, 0, text, static_cast<int>(len), &w[0], n);
  return w;
}

std::string FromWide(UINT codePage, const wchar_t* text, size_t len, bool* lossy) {
  if (len == 0) return std::string();
  std::wstring folded;
  if (codePage != CP_UTF8) {
    // A character outside the BMP has no code page 932 form: one "?" for the pair, not two.
    for (size_t i = 0; i < len; ++i) {
      if (text[i] >= 0xD800 && text[i] <= 0xDBFF && i + 1 < len && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
        folded.assign(text, len);
        break;
      }
    }
    if (!folded.empty()) {
      std::wstring out;
      for (size_t i = 0; i < folded.size(); ++i) {
        wchar_t c = folded[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < folded.size() && folded[i + 1] >= 0xDC00 && folded[i + 1] <= 0xDFFF) {
          out += L'?';
          ++i;
          if (lossy) *lossy = true;
        } else {
          out += c;
        }
      }
      folded.swap(out);
      text = folded.c_str();
      len = folded.size();
    }
  }
  BOOL usedDefault = FALSE;
  BOOL* used = (codePage == CP_UTF8) ? nullptr : &usedDefault;
  int n = WideCharToMultiByte(codePage, 0, text, static_cast<int>(len), nullptr, 0, nullptr, used);
  std::string s(static_cast<size_t>(n > 0 ? n : 0), '\0');
  if (n > 0) WideCharToMultiByte(codePage, 0, text, static_cast<int>(len), &s[0], n, nullptr, used);
  if (lossy && usedDefault) *lossy = true;
  return s;
}

bool IsAscii(const char* text, size_t len) {
  for (size_t i = 0; i < len; ++i)
    if (static_cast<unsigned char>(text[i]) >= 0x80) return false;
  return true;
}

}  // namespace

std::string Cp932ToUtf8(const char* text, size_t len) {
  len = LengthUpToZero(text, len);
  if (IsAscii(text, len)) return std::string(text, len);
  std::wstring w = ToWide(kShiftJis, text, len);
  return FromWide(CP_UTF8, w.data(), w.size(), nullptr);
}

std::string Utf8ToCp932(const char* text, size_t len) {
  len = LengthUpToZero(text, len);
  if (IsAscii(text, len)) return std::string(text, len);
  std::wstring w = ToWide(CP_UTF8, text, len);
  return FromWide(kShiftJis, w.data(), w.size(), nullptr);
}

bool Utf8FitsCp932(const char* text, size_t len) {
  len = LengthUpToZero(text, len);
  if (IsAscii(text, len)) return true;
  std::wstring w = ToWide(CP_UTF8, text, len);
  bool lossy = false;
  FromWide(kShiftJis, w.data(), w.size(), &lossy);
  return !lossy;
}

std::string Utf16ToCp932(const char16_t* text, size_t len) {
  size_t n = 0;
  while (n < len && text[n] != 0) ++n;
  return FromWide(kShiftJis, reinterpret_cast<const wchar_t*>(text), n, nullptr);
}

std::wstring Cp932ToWide(const char* text) { return ToWide(kShiftJis, text, std::strlen(text)); }
std::wstring Cp932ToWide(const char* text, size_t len) { return ToWide(kShiftJis, text, len); }

bool WideToCp932(const wchar_t* text, std::string& out) {
  bool lossy = false;
  out = FromWide(kShiftJis, text, std::wcslen(text), &lossy);
  return !lossy;
}

std::string WideToCp932(const wchar_t* text) { return FromWide(kShiftJis, text, std::wcslen(text), nullptr); }

}  // namespace platform
