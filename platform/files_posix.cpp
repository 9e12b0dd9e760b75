#include "platform/files.h"

#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/codepage.h"

namespace platform {
namespace {
std::string NativePath(const char* path) { return Cp932ToUtf8(path, std::strlen(path)); }
}  // namespace

// POSIX has no share modes: every open already lets other processes read and write.
int OpenFileShared(const char* path, int flags, int permission) {
  if (!path || !*path) return -1;
  return ::open(NativePath(path).c_str(), flags | O_CLOEXEC, permission);
}

long ReadFd(int fd, void* buffer, unsigned long count) {
  unsigned long done = 0;
  while (done < count) {
    ssize_t n = ::read(fd, static_cast<char*>(buffer) + done, count - done);
    if (n < 0) return done ? static_cast<long>(done) : -1;
    if (n == 0) break;
    done += static_cast<unsigned long>(n);
  }
  return static_cast<long>(done);
}

long WriteFd(int fd, const void* buffer, unsigned long count) {
  unsigned long done = 0;
  while (done < count) {
    ssize_t n = ::write(fd, static_cast<const char*>(buffer) + done, count - done);
    if (n <= 0) return done ? static_cast<long>(done) : -1;
    done += static_cast<unsigned long>(n);
  }
  return static_cast<long>(done);
}

int CloseFd(int fd) { return ::close(fd); }

int TruncateFd(int fd, long long length) { return ::ftruncate(fd, static_cast<off_t>(length)) == 0 ? 0 : -1; }

FILE* OpenStreamShared(const char* path, const char* mode) {
  if (!path || !*path) return nullptr;
  return std::fopen(NativePath(path).c_str(), mode);
}

bool PathExists(const char* path) {
  if (!path || !*path) return false;
  return ::access(NativePath(path).c_str(), F_OK) == 0;
}

bool GetFileSize(const char* path, long long* size) {
  struct stat st;
  if (!path || !*path || ::stat(NativePath(path).c_str(), &st) != 0) return false;
  *size = static_cast<long long>(st.st_size);
  return true;
}

int RemoveFile(const char* path) {
  if (!path || !*path) return -1;
  return ::unlink(NativePath(path).c_str()) == 0 ? 0 : -1;
}

int MoveIntoPlace(const char* from, const char* to) {
  if (!from || !*from || !to || !*to) return -1;
  return std::rename(NativePath(from).c_str(), NativePath(to).c_str()) == 0 ? 0 : -1;
}

}  // namespace platform
