#include <string>

#include "platform/files.h"

namespace platform {

bool WriteFileWhole(const char* path, const void* bytes, unsigned long size) {
  if (!path || !*path) return false;
  std::string temporary = std::string(path) + ".new";
  int fd = OpenFileShared(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_BINARY, kReadWrite);
  if (fd < 0) return false;
  long put = size ? WriteFd(fd, bytes, size) : 0;
  bool closed = CloseFd(fd) == 0;
  if (put != static_cast<long>(size) || !closed || MoveIntoPlace(temporary.c_str(), path) != 0) {
    RemoveFile(temporary.c_str());
    return false;
  }
  return true;
}

}  // namespace platform
