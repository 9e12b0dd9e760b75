// Shift-JIS (code page 932) text helpers. Every text is a byte string ended by a zero byte;
// the second byte of a double-byte character may look like "\", "[", "]" or "@", and none of
// these helpers ever takes such a byte for a character of its own.
#pragma once
#include <cstddef>

#include "platform/codepage.h"
#include "platform/files.h"

// The path separator of the host: "\" on Windows, "/" elsewhere.
#ifdef _WIN32
constexpr char kPathSeparator = '\\';
#else
constexpr char kPathSeparator = '/';
#endif

// Re-exported: opens a file with deny-none sharing; descriptor or -1.
using platform::OpenFileShared;

// 0x81..0x9F and 0xE0..0xFC, without consulting any code page table.
using platform::IsLeadByte;

// The size of every path buffer, its terminating zero included.
using platform::kPathCapacity;

// True when the byte at `position` is the second byte of a double-byte character.
// False at the start of the text and at or beyond its terminating zero.
bool IsTrailByte(const char* text, size_t position);

// The last occurrence of `byte` that is not a trail byte, or nullptr.
const char* ReverseFindChar(const char* text, char byte);
char* ReverseFindChar(char* text, char byte);

// The path without its last component (no trailing separator), in a shared 260-byte buffer
// that every call overwrites. A path without a separator stays whole.
const char* DirectoryPart(const char* path);

// The position just after the last separator, or the start of the path.
const char* FileNamePart(const char* path);

// In place: leading spaces; trailing spaces, CR and LF; then one pair of enclosing double quotes.
char* TrimField(char* text);

// "A".."Z" to lower case; every other value unchanged.
int AsciiLower(int value);

// First match of `pattern` in `text`, ASCII letters without regard to case, double-byte
// characters exactly. nullptr when there is none or the pattern is empty.
const char* FindNoCase(const char* text, const char* pattern);

// Copies the next token of `source` into `destination` (at most capacity - 1 bytes and a zero).
// `delimiters` nullptr means comma, space, tab, CR and LF. Double quotes toggle a quoted part,
// whose bytes are copied as they are. Returns where the walk stopped, or nullptr when the
// token is empty.
const char* NextToken(const char* source, char* destination, const char* delimiters, size_t capacity);

// Case-sensitive substring search that moves one character at a time (a double-byte character
// counting as one), so a match never starts on a trail byte. nullptr for none or an empty pattern.
const char* FindText(const char* text, const char* pattern);
char* FindText(char* text, const char* pattern);

// The first single-byte character equal to `byte`, never a trail byte. nullptr for none.
const char* FindChar(const char* text, char byte);

// Copies at most capacity - 1 bytes of `source`, never cutting a double-byte character in two.
// Returns the number of bytes copied.
size_t CopyWhole(char* destination, const char* source, size_t capacity);
