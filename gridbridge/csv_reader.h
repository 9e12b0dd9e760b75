// Comma-separated text: RFC 4180 quoting, UTF-8 (with or without a byte order mark),
// UTF-16 with a byte order mark, or Shift-JIS, told apart by content. One table; any sheet
// name selects it.
#pragma once
#include <cstddef>
#include <string>

namespace gridbridge {

enum class TextEncoding { kShiftJis, kUtf8, kUtf16Le, kUtf16Be };

// The encoding of a text file's bytes and the length of its byte order mark.
TextEncoding DetectTextEncoding(const std::string& bytes, size_t* bomLength);

// True when the len bytes are strict UTF-8: every sequence whole and in its shortest form, no
// surrogate halves, nothing past U+10FFFF. (The send engine's IsWellFormedUtf8 is the lax
// check: it asks only for whole sequences.)
bool IsStrictUtf8(const char* text, size_t len);

}  // namespace gridbridge
