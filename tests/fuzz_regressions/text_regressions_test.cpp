// Shift-JIS helper inputs that the fuzzers found.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "text/sjis_text.h"

namespace {

#define SO "\x83\x5C"   // ソ: second byte is "\"
#define HYO "\x95\x5C"  // 表: second byte is "\"

// Splits a whole text with NextToken the way a caller does.
std::vector<std::string> Split(const char* source, const char* delimiters, size_t capacity) {
  std::vector<std::string> tokens;
  std::vector<char> token(capacity);
  const char* p = source;
  while ((p = NextToken(p, token.data(), delimiters, capacity)) != nullptr) {
    tokens.emplace_back(token.data());
    if (tokens.size() > 64) break;
  }
  return tokens;
}

// A capacity that runs out in the middle of a double-byte character used to keep its first
// byte, and the next call then read the second byte as a character of its own (a 0x5C as a
// separator, so the character was lost).
TEST(NextTokenFound, CapacityNeverCutsACharacter) {
  struct Case {
    const char* source;
    const char* delimiters;
    size_t capacity;
    std::vector<std::string> tokens;
  } cases[] = {
      {"ab" SO "cd", nullptr, 4, {"ab", SO "c", "d"}},
      {"a" HYO "\\b", ":\\", 3, {"a", HYO, "b"}},
      {SO SO SO, ":\\", 4, {SO, SO, SO}},
      {"\"x" SO "\"", nullptr, 3, {"x", SO}},  // inside quotes as well
      {"C:\\" HYO HYO "\\Rowcaster", ":\\", 260, {"C", HYO HYO, "Rowcaster"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Split(c.source, c.delimiters, c.capacity), c.tokens) << c.source << " / " << c.capacity;
  }
}

TEST(NextTokenFound, QuoteAfterALeadByteStillToggles) {
  char token[32];
  const char* source = "\x83\"x y\" z";
  const char* end = NextToken(source, token, nullptr, sizeof token);
  ASSERT_NE(end, nullptr);
  EXPECT_STREQ(token, "\x83x y");
  EXPECT_EQ(end - source, 6);
}

}  // namespace
