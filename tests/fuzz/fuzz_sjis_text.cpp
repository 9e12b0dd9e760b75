// The Shift-JIS helpers against outside bytes. Each helper's answer is checked against the
// character walk it is defined by, and every copy goes into a buffer of exactly its capacity,
// so one byte too many is an AddressSanitizer report.
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "text/sjis_text.h"
#include "fuzz_support.h"

using fuzz_support::CharLengthAt;
using fuzz_support::IsLead;

namespace {

// Positions where characters start, in a text that ends at its first zero byte.
std::vector<bool> CharacterStarts(const char* text, size_t length) {
  std::vector<bool> starts(length + 1, false);
  for (size_t i = 0; i < length; i += CharLengthAt(text, i)) starts[i] = true;
  starts[length] = true;
  return starts;
}

int Lower(unsigned char c) { return c >= 'A' && c <= 'Z' ? c + 0x20 : c; }

// The case-blind search as a plain walk: a candidate is taken at each character start (or,
// after a failed candidate, at the byte after it), compared character by character.
const char* ReferenceFindNoCase(const char* text, const char* pattern) {
  if (!*pattern) return nullptr;
  const unsigned char* t = reinterpret_cast<const unsigned char*>(text);
  const unsigned char* p = reinterpret_cast<const unsigned char*>(pattern);
  size_t i = 0, n = std::strlen(text);
  while (i < n) {
    // A lead byte is a candidate only with a second byte; one cut off by the end is none.
    bool lead = IsLead(t[i]);
    bool two = lead && t[i + 1] != 0;
    bool candidate = lead ? (two && t[i] == p[0] && t[i + 1] == p[1]) : Lower(t[i]) == Lower(p[0]);
    if (!candidate) {
      i += two ? 2 : 1;
      continue;
    }
    size_t a = i, b = 0;
    bool matched = false;
    for (;;) {
      if (!p[b]) {
        matched = true;
        break;
      }
      if (!t[a]) break;
      if (IsLead(t[a]) && t[a + 1] != 0) {
        if (t[a] != p[b] || p[b + 1] == 0 || t[a + 1] != p[b + 1]) break;
        a += 2, b += 2;
      } else {
        if (Lower(t[a]) != Lower(p[b])) break;
        ++a, ++b;
      }
    }
    if (matched) return text + i;
    i += 1;
  }
  return nullptr;
}

void CheckTrimField(const std::string& text) {
  std::unique_ptr<char[]> buffer(new char[text.size() + 1]);
  std::memcpy(buffer.get(), text.c_str(), text.size() + 1);
  char* result = TrimField(buffer.get());
  FUZZ_CHECK(result == buffer.get());
  std::string trimmed(result);
  FUZZ_CHECK(trimmed == fuzz_support::ReferenceTrim(text.c_str()));
  FUZZ_CHECK(trimmed.size() <= std::strlen(text.c_str()));
  // No space in front, unless it stood inside the dropped quotes.
  if (!trimmed.empty() && trimmed[0] == ' ') FUZZ_CHECK(text.c_str()[text.find_first_not_of(' ')] == '"');
}

void CheckSearches(const char* text, size_t length, const std::vector<bool>& starts, const char* pattern,
                   unsigned char byte) {
  // IsTrailByte: true exactly on the second byte of a two-byte character.
  // (Each answer walks from the start: every position of a short text, a spread of a long one.)
  size_t stride = length < 512 ? 1 : length / 256;
  for (size_t pos = 0; pos <= length + 1; pos += (pos + 2 >= length ? 1 : stride)) {
    bool expected = pos < length && !starts[pos];
    FUZZ_CHECK(IsTrailByte(text, pos) == expected);
  }

  // ReverseFindChar and FindChar: the last and the first character start holding the byte.
  const char* last = ReverseFindChar(text, static_cast<char>(byte));
  const char* expectedLast = nullptr;
  const char* expectedFirst = nullptr;
  for (size_t i = 0; i < length; ++i) {
    if (!starts[i] || static_cast<unsigned char>(text[i]) != byte) continue;
    expectedLast = text + i;
    if (!expectedFirst && CharLengthAt(text, i) == 1) expectedFirst = text + i;
  }
  FUZZ_CHECK(last == expectedLast);
  if (byte != 0) FUZZ_CHECK(FindChar(text, static_cast<char>(byte)) == expectedFirst);

  // FindText: the first character start where the pattern's bytes follow.
  const char* found = FindText(text, pattern);
  const char* expectedFound = nullptr;
  size_t plen = std::strlen(pattern);
  if (plen) {
    for (size_t i = 0; i < length && !expectedFound; ++i)
      if (starts[i] && std::strncmp(text + i, pattern, plen) == 0) expectedFound = text + i;
  }
  FUZZ_CHECK(found == expectedFound);

  // FindNoCase: the defined walk, and a match really matches.
  const char* noCase = FindNoCase(text, pattern);
  FUZZ_CHECK(noCase == ReferenceFindNoCase(text, pattern));
  if (noCase) {
    FUZZ_CHECK(noCase >= text && noCase + plen <= text + length);
    for (size_t k = 0; k < plen; ++k) FUZZ_CHECK(Lower(noCase[k]) == Lower(pattern[k]));
  }
  // Pure ASCII on both sides: the same as a case-blind substring search.
  bool ascii = true;
  for (size_t i = 0; i < length; ++i) ascii = ascii && static_cast<unsigned char>(text[i]) < 0x80;
  for (size_t i = 0; i < plen; ++i) ascii = ascii && static_cast<unsigned char>(pattern[i]) < 0x80;
  if (ascii && plen) {
    const char* plain = nullptr;
    for (size_t i = 0; i + plen <= length && !plain; ++i) {
      size_t k = 0;
      while (k < plen && Lower(text[i + k]) == Lower(pattern[k])) ++k;
      if (k == plen) plain = text + i;
    }
    FUZZ_CHECK(noCase == plain);
  }
}

void CheckCopyWhole(const char* text, size_t length, const std::vector<bool>& starts, size_t capacity) {
  std::unique_ptr<char[]> destination(new char[capacity ? capacity : 1]);
  size_t n = CopyWhole(destination.get(), text, capacity);
  if (capacity == 0) {
    FUZZ_CHECK(n == 0);
    return;
  }
  FUZZ_CHECK(n <= capacity - 1 && n <= length);
  FUZZ_CHECK(starts[n]);  // never half a character
  FUZZ_CHECK(destination[n] == '\0' && std::memcmp(destination.get(), text, n) == 0);
  if (n < length) FUZZ_CHECK(n + CharLengthAt(text, n) > capacity - 1);  // the next one did not fit
}

void CheckNextToken(const char* text, size_t length, const char* delimiters, size_t capacity) {
  const char* defaults = ",\x20\t\r\n";
  const char* set = delimiters ? delimiters : defaults;
  std::unique_ptr<char[]> destination(new char[capacity]);
  const char* position = text;
  // Each call that gives a token moves on, so a whole text takes at most length + 1 calls.
  for (size_t calls = 0; position; ++calls) {
    FUZZ_CHECK(calls <= length + 1);
    const char* next = NextToken(position, destination.get(), delimiters, capacity);
    size_t got = std::strlen(destination.get());
    FUZZ_CHECK(got <= capacity - 1);
    if (!next) {
      FUZZ_CHECK(got == 0);
      break;
    }
    FUZZ_CHECK(got > 0 && next > position && next <= text + length);
    // The token's bytes are the walked bytes without the quotes and the skipped delimiters.
    size_t span = static_cast<size_t>(next - position);
    FUZZ_CHECK(got <= span);
    for (size_t k = 0; k < got; ++k) FUZZ_CHECK(destination[k] != '"');
    // Where the walk stopped at a byte of the set with room left, that byte is a whole
    // character outside quotes: it must not be a trail byte.
    if (*next && got < capacity - 1 && std::strchr(set, *next))
      FUZZ_CHECK(!IsTrailByte(text, static_cast<size_t>(next - text)));
    position = next;
  }
}

void CheckPathParts(const char* text, size_t length) {
  const char* directory = DirectoryPart(text);
  size_t dlen = std::strlen(directory);
  FUZZ_CHECK(dlen < 260 && dlen <= length);
  FUZZ_CHECK(std::memcmp(directory, text, dlen) == 0);
  const char* name = FileNamePart(text);
  FUZZ_CHECK(name >= text && name <= text + length);
  const char* separator = ReverseFindChar(text, kPathSeparator);
  FUZZ_CHECK(separator ? name == separator + 1 : name == text);
  // A short path: the folder part ends where the last separator stood.
  if (length < 260) FUZZ_CHECK(separator ? dlen == static_cast<size_t>(separator - text) : dlen == length);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string parts[3];
  fuzz_support::SplitInput(data, size, parts, 3);
  // Only the bytes up to the first zero are text, as for every caller.
  const std::string& raw = parts[0];
  std::unique_ptr<char[]> owned(new char[raw.size() + 1]);
  std::memcpy(owned.get(), raw.c_str(), raw.size() + 1);
  const char* text = owned.get();
  size_t length = std::strlen(text);
  std::vector<bool> starts = CharacterStarts(text, length);

  const std::string& pattern = parts[1];
  unsigned char byte = parts[2].size() > 0 ? static_cast<unsigned char>(parts[2][0]) : '\\';
  size_t capacity = parts[2].size() > 1 ? static_cast<unsigned char>(parts[2][1]) % 40 : 8;

  CheckTrimField(raw);
  CheckSearches(text, length, starts, pattern.c_str(), byte);
  CheckCopyWhole(text, length, starts, capacity);
  CheckNextToken(text, length, nullptr, capacity ? capacity : 1);
  // Delimiters are single-byte characters: keep the ASCII bytes of the pattern.
  std::string delimiters;
  for (char c : pattern)
    if (static_cast<unsigned char>(c) < 0x80) delimiters += c;
  if (!delimiters.empty()) CheckNextToken(text, length, delimiters.c_str(), capacity + 1);
  CheckPathParts(text, length);
  return 0;
}
