// Pieces of a reader of MIME messages for the tests, written apart from the composer.
#pragma once
#include <string>

namespace testing_support {

// The bytes of base64 text; characters outside the alphabet (line ends, "=") are passed over.
inline std::string DecodeBase64(const std::string& text) {
  std::string out;
  unsigned long group = 0;
  int bits = 0;
  for (char c : text) {
    int v = c >= 'A' && c <= 'Z' ? c - 'A' : c >= 'a' && c <= 'z' ? c - 'a' + 26 : c >= '0' && c <= '9' ? c - '0' + 52
          : c == '+' ? 62 : c == '/' ? 63 : -1;
    if (v < 0) continue;
    group = (group << 6) | static_cast<unsigned long>(v);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      out += static_cast<char>((group >> bits) & 0xFF);
    }
  }
  return out;
}

}  // namespace testing_support
