#include "platform/alert.h"

#include <cstdio>
#include <cstdlib>

namespace platform {
void FailWithSystemMessage(const char* text, const char* caption) {
  std::fprintf(stderr, "%s: %s\n", caption, text);
  std::fflush(stderr);
  std::exit(1);
}
}  // namespace platform
