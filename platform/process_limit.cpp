// The time limit of RunAndWait, the same on every platform.
#include <atomic>

#include "platform/process.h"

namespace platform {
namespace {
std::atomic<int> gTimeLimitMs{kDefaultProcessTimeLimitMs};
}  // namespace

void SetProcessTimeLimit(int milliseconds) {
  gTimeLimitMs = milliseconds > 0 ? milliseconds : kDefaultProcessTimeLimitMs;
}

int ProcessTimeLimit() { return gTimeLimitMs; }

int RunAndWait(const std::vector<std::string>& arguments) { return RunAndWait(arguments, gTimeLimitMs); }

}  // namespace platform
