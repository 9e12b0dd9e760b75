#include "text/sjis_text.h"

#include <cstring>

namespace {
char gDirectoryBuffer[kPathCapacity];

// Length of the character that starts at p: 2 for a lead byte followed by a byte, else 1.
inline size_t CharLength(const char* p) {
  return (IsLeadByte(static_cast<unsigned char>(p[0])) && p[1] != '\0') ? 2 : 1;
}
}  // namespace


bool IsTrailByte(const char* text, size_t position) {
  if (!text || position == 0) return false;
  size_t length = std::strlen(text);
  if (position >= length) return false;
  if (!IsLeadByte(static_cast<unsigned char>(text[position - 1]))) return false;
  size_t i = 0;
  while (i < position) i += IsLeadByte(static_cast<unsigned char>(text[i])) ? 2 : 1;
  return i > position;
}

const char* ReverseFindChar(const char* text, char byte) {
  if (!text || !*text) return nullptr;
  // One forward walk finds the last character start holding the byte; same answer as
  // testing each position from the end with IsTrailByte, in linear time.
  const char* found = nullptr;
  for (const char* p = text; *p; p += CharLength(p)) {
    if (*p == byte) found = p;
  }
  return found;
}

char* ReverseFindChar(char* text, char byte) {
  return const_cast<char*>(ReverseFindChar(static_cast<const char*>(text), byte));
}

const char* DirectoryPart(const char* path) {
  CopyWhole(gDirectoryBuffer, path ? path : "", kPathCapacity);
  char* separator = ReverseFindChar(gDirectoryBuffer, kPathSeparator);
  if (separator) *separator = '\0';
  return gDirectoryBuffer;
}

const char* FileNamePart(const char* path) {
  if (!path) return path;
  const char* separator = ReverseFindChar(path, kPathSeparator);
  return separator ? separator + 1 : path;
}

char* TrimField(char* text) {
  if (!text || !*text) return text;
  char* start = text;
  while (*start == ' ') ++start;
  char* end = start + std::strlen(start);
  while (end > start && (end[-1] == ' ' || end[-1] == '\r' || end[-1] == '\n')) --end;
  if (end > start && *start == '"') {
    if (end - start == 1) {
      end = start;
    } else if (end[-1] == '"') {
      ++start;
      --end;
    }
  }
  size_t length = static_cast<size_t>(end - start);
  std::memmove(text, start, length);
  text[length] = '\0';
  return text;
}

int AsciiLower(int value) { return (value >= 'A' && value <= 'Z') ? value + 0x20 : value; }

const char* FindNoCase(const char* text, const char* pattern) {
  if (!text || !pattern || !*pattern) return nullptr;
  const unsigned char* p0 = reinterpret_cast<const unsigned char*>(pattern);
  const unsigned char* t = reinterpret_cast<const unsigned char*>(text);
  while (*t) {
    bool candidate;
    size_t step;
    if (IsLeadByte(*t)) {
      candidate = t[1] != '\0' && t[0] == p0[0] && t[1] == p0[1];
      step = t[1] != '\0' ? 2 : 1;
    } else {
      candidate = AsciiLower(*t) == AsciiLower(p0[0]);
      step = 1;
    }
    if (!candidate) {
      t += step;
      continue;
    }
    const unsigned char* a = t;
    const unsigned char* b = p0;
    bool matched = false;
    while (true) {
      if (!*b) {
        matched = true;
        break;
      }
      if (!*a) break;
      if (IsLeadByte(*a) && a[1] != '\0') {
        if (a[0] != b[0] || b[1] == '\0' || a[1] != b[1]) break;
        a += 2;
        b += 2;
      } else {
        if (AsciiLower(*a) != AsciiLower(*b)) break;
        ++a;
        ++b;
      }
    }
    if (matched) return reinterpret_cast<const char*>(t);
    t += 1;
  }
  return nullptr;
}

const char* NextToken(const char* source, char* destination, const char* delimiters, size_t capacity) {
  if (!destination || capacity == 0) return nullptr;
  destination[0] = '\0';
  if (!source) return nullptr;
  if (!delimiters) delimiters = ",\x20\t\r\n";
  bool quoted = false;
  bool begun = false;
  size_t copied = 0;
  size_t i = 0;
  // Characters are copied whole: when the capacity runs out the walk stops before a
  // double-byte character that would not fit, so the token never ends in half a character
  // and the position returned is a character start from which the next call reads aright.
  while (source[i] && copied < capacity - 1) {
    char c = source[i];
    if (c == '"') {
      quoted = !quoted;
      if (quoted) begun = true;
      ++i;
      continue;
    }
    if (!quoted && std::strchr(delimiters, c) && !IsTrailByte(source, i)) {
      if (begun) break;
      ++i;
      continue;
    }
    // A quote after a lead byte still toggles, as it does byte by byte.
    size_t length = (CharLength(source + i) == 2 && source[i + 1] != '"') ? 2 : 1;
    if (copied + length > capacity - 1) break;
    std::memcpy(destination + copied, source + i, length);
    copied += length;
    i += length;
    if (!quoted) begun = true;
  }
  destination[copied] = '\0';
  return copied ? source + i : nullptr;
}

const char* FindText(const char* text, const char* pattern) {
  if (!text || !pattern || !*pattern) return nullptr;
  size_t n = std::strlen(pattern);
  for (const char* p = text; *p; p += CharLength(p)) {
    if (*p == *pattern && std::strncmp(p, pattern, n) == 0) return p;
  }
  return nullptr;
}

char* FindText(char* text, const char* pattern) {
  return const_cast<char*>(FindText(static_cast<const char*>(text), pattern));
}

const char* FindChar(const char* text, char byte) {
  if (!text) return nullptr;
  for (const char* p = text; *p; p += CharLength(p)) {
    if (*p == byte && CharLength(p) == 1) return p;
  }
  return nullptr;
}

size_t CopyWhole(char* destination, const char* source, size_t capacity) {
  if (!destination || capacity == 0) return 0;
  size_t n = 0;
  if (source) {
    while (source[n]) {
      size_t len = CharLength(source + n);
      if (n + len > capacity - 1) break;
      n += len;
    }
    std::memcpy(destination, source, n);
  }
  destination[n] = '\0';
  return n;
}
