// Shared pieces of the fuzz targets: a property check that stops the fuzzer with a finding,
// a scratch folder of the process, and file helpers.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

// A property that must hold for every input; a breach is a finding (libFuzzer saves the input).
#define FUZZ_CHECK(condition)                                                          \
  do {                                                                                 \
    if (!(condition)) {                                                                \
      std::fprintf(stderr, "property broken at %s:%d: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                    \
    }                                                                                  \
  } while (0)

namespace fuzz_support {

// A folder of this process under /dev/shm (or /tmp), made on first use and removed at exit.
const std::string& ScratchFolder();

void WriteFile(const std::string& path, const void* data, size_t size);
// The whole file, or false when it is missing.
bool ReadFile(const std::string& path, std::string* bytes);
bool FileExists(const std::string& path);
void DeleteFile(const std::string& path);

// The character boundaries of a Shift-JIS text the way every helper counts them: a lead byte
// followed by a byte other than the terminator starts a two-byte character.
bool IsLead(unsigned char b);
size_t CharLengthAt(const char* text, size_t position);

// The trimming rule written out plainly: spaces in front; spaces, CR, LF behind; then one
// pair of enclosing quotes (a lone quote becomes empty).
std::string ReferenceTrim(const std::string& in);

// Splits fuzz input at the first occurrence of the byte 0xFF into parts (at most `count`).
// Missing parts are empty; the last part takes the rest.
void SplitInput(const uint8_t* data, size_t size, std::string* parts, int count);

}  // namespace fuzz_support
