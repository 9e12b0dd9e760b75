#include "platform/files.h"

#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/codepage.h"

namespace platform {
namespace {
std::string NativePath(const char* path) { return Cp932ToUtf8(path, std::strlen(path)); }

// A file the program writes holds settings, addresses and messages: no one but its owner
// reads or writes it, also when an earlier version made it readable for all.
void KeepOwnerOnly(int fd) {
  struct stat st;
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & 077) != 0)
    ::fchmod(fd, st.st_mode & 07700);
}

bool OpensForWriting(int flags) { return (flags & O_ACCMODE) != O_RDONLY; }

// The open flags and the fdopen mode of an fopen mode ("rb", "w", "a+", ...); false for a mode
// that is not one.
bool StreamFlags(const char* mode, int* flags, const char** streamMode) {
  bool update = std::strchr(mode, '+') != nullptr;
  switch (mode[0]) {
    case 'r':
      *flags = update ? O_RDWR : O_RDONLY;
      *streamMode = update ? "r+" : "r";
      return true;
    case 'w':
      *flags = (update ? O_RDWR : O_WRONLY) | O_CREAT | O_TRUNC;
      *streamMode = update ? "w+" : "w";
      return true;
    case 'a':
      *flags = (update ? O_RDWR : O_WRONLY) | O_CREAT | O_APPEND;
      *streamMode = update ? "a+" : "a";
      return true;
    default:
      return false;
  }
}
}  // namespace

// POSIX has no share modes: every open already lets other processes read and write.
int OpenFileShared(const char* path, int flags, int permission) {
  if (!path || !*path) return -1;
  int fd = ::open(NativePath(path).c_str(), flags | O_CLOEXEC, permission);
  if (fd >= 0 && OpensForWriting(flags)) KeepOwnerOnly(fd);
  return fd;
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
  int flags = 0;
  const char* streamMode = nullptr;
  if (!path || !*path || !mode || !StreamFlags(mode, &flags, &streamMode)) return nullptr;
  int fd = OpenFileShared(path, flags, kReadWrite);
  if (fd < 0) return nullptr;
  FILE* stream = ::fdopen(fd, streamMode);
  if (!stream) ::close(fd);
  return stream;
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
