#include "platform/alert.h"

#include <windows.h>

#include <cstdlib>

namespace platform {
void FailWithSystemMessage(const char* text, const char* caption) {
  // Owned by the calling thread's focus window; on a worker thread that is none.
  MessageBoxA(GetFocus(), text, caption, MB_OK);
  std::exit(1);
}
}  // namespace platform
