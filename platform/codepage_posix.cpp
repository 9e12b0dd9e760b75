#include "platform/codepage.h"

#include <cerrno>
#include <cstring>
#include <iconv.h>

namespace platform {
namespace {

// One converter per direction and thread: iconv_open is far too slow to call per cell.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // Converts len bytes; on a byte sequence it cannot convert, appends `replacement`
  // and skips the sequence (skip() tells its length). Sets *lossy when that happened.
  template <typename Skip>
  std::string Run(const char* text, size_t len, const char* replacement, Skip skip, bool* lossy) {
    std::string out;
    if (cd_ == reinterpret_cast<iconv_t>(-1)) return out;
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    out.resize(len * 3 + 16);
    char* in = const_cast<char*>(text);
    size_t inLeft = len;
    size_t used = 0;
    while (inLeft > 0) {
      char* dst = &out[used];
      size_t dstLeft = out.size() - used;
      size_t r = iconv(cd_, &in, &inLeft, &dst, &dstLeft);
      used = out.size() - dstLeft;
      if (r != static_cast<size_t>(-1)) break;
      if (errno == E2BIG) {
        out.resize(out.size() * 2 + 16);
        continue;
      }
      // EILSEQ or EINVAL (cut-off sequence at the end): replace and skip.
      if (lossy) *lossy = true;
      size_t n = skip(reinterpret_cast<const unsigned char*>(in), inLeft);
      in += n;
      inLeft -= n;
      size_t rl = std::strlen(replacement);
      if (out.size() - used < rl) out.resize(out.size() * 2 + rl);
      std::memcpy(&out[used], replacement, rl);
      used += rl;
      iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    }
    out.resize(used);
    return out;
  }

 private:
  iconv_t cd_;
};

size_t LengthUpToZero(const char* text, size_t len) {
  const void* z = std::memchr(text, 0, len);
  return z ? static_cast<size_t>(static_cast<const char*>(z) - text) : len;
}

bool IsAscii(const char* text, size_t len) {
  for (size_t i = 0; i < len; ++i)
    if (static_cast<unsigned char>(text[i]) >= 0x80) return false;
  return true;
}

size_t SkipSjis(const unsigned char* p, size_t left) {
  return (IsLeadByte(p[0]) && left >= 2 && p[1] >= 0x40) ? 2 : 1;
}

size_t SkipUtf8(const unsigned char* p, size_t left) {
  size_t n = 1;
  if ((p[0] & 0xE0) == 0xC0) n = 2;
  else if ((p[0] & 0xF0) == 0xE0) n = 3;
  else if ((p[0] & 0xF8) == 0xF0) n = 4;
  if (n > left) n = left;
  // Only whole well-formed sequences are skipped as one; a broken one loses one byte.
  for (size_t i = 1; i < n; ++i)
    if ((p[i] & 0xC0) != 0x80) return 1;
  return n;
}

std::string ToCp932(const char* text, size_t len, bool* lossy) {
  len = LengthUpToZero(text, len);
  if (IsAscii(text, len)) return std::string(text, len);
  thread_local Converter conv("CP932", "UTF-8");
  return conv.Run(text, len, "?", SkipUtf8, lossy);
}

}  // namespace

std::string Cp932ToUtf8(const char* text, size_t len) {
  len = LengthUpToZero(text, len);
  if (IsAscii(text, len)) return std::string(text, len);
  thread_local Converter conv("UTF-8", "CP932");
  return conv.Run(text, len, "\xEF\xBF\xBD", SkipSjis, nullptr);
}

std::string Utf8ToCp932(const char* text, size_t len) { return ToCp932(text, len, nullptr); }

bool Utf8FitsCp932(const char* text, size_t len) {
  bool lossy = false;
  ToCp932(text, len, &lossy);
  return !lossy;
}

std::string Utf16ToCp932(const char16_t* text, size_t len) {
  std::string utf8 = Utf16ToUtf8(text, len);
  return ToCp932(utf8.data(), utf8.size(), nullptr);
}

}  // namespace platform
