#include "platform/files.h"

#include <io.h>
#include <share.h>
#include <sys/stat.h>
#include <windows.h>

#include "platform/codepage.h"

namespace platform {

int OpenFileShared(const char* path, int flags, int permission) {
  if (!path || !*path) return -1;
  int fd = -1;
  if (_wsopen_s(&fd, Cp932ToWide(path).c_str(), flags | _O_NOINHERIT, _SH_DENYNO, permission) != 0) return -1;
  return fd;
}

long ReadFd(int fd, void* buffer, unsigned long count) {
  unsigned long done = 0;
  while (done < count) {
    unsigned chunk = count - done > 0x40000000UL ? 0x40000000U : static_cast<unsigned>(count - done);
    int n = _read(fd, static_cast<char*>(buffer) + done, chunk);
    if (n < 0) return done ? static_cast<long>(done) : -1;
    if (n == 0) break;
    done += static_cast<unsigned long>(n);
  }
  return static_cast<long>(done);
}

long WriteFd(int fd, const void* buffer, unsigned long count) {
  unsigned long done = 0;
  while (done < count) {
    unsigned chunk = count - done > 0x40000000UL ? 0x40000000U : static_cast<unsigned>(count - done);
    int n = _write(fd, static_cast<const char*>(buffer) + done, chunk);
    if (n <= 0) return done ? static_cast<long>(done) : -1;
    done += static_cast<unsigned long>(n);
  }
  return static_cast<long>(done);
}

int CloseFd(int fd) { return _close(fd); }

int TruncateFd(int fd, long long length) { return _chsize_s(fd, length) == 0 ? 0 : -1; }

FILE* OpenStreamShared(const char* path, const char* mode) {
  if (!path || !*path) return nullptr;
  std::wstring wmode(mode, mode + std::char_traits<char>::length(mode));
  return _wfsopen(Cp932ToWide(path).c_str(), wmode.c_str(), _SH_DENYNO);
}

bool PathExists(const char* path) {
  if (!path || !*path) return false;
  return _waccess(Cp932ToWide(path).c_str(), 0) == 0;
}

bool GetFileSize(const char* path, long long* size) {
  struct _stat64 st;
  if (!path || !*path || _wstat64(Cp932ToWide(path).c_str(), &st) != 0) return false;
  *size = static_cast<long long>(st.st_size);
  return true;
}

int RemoveFile(const char* path) {
  if (!path || !*path) return -1;
  return _wremove(Cp932ToWide(path).c_str()) == 0 ? 0 : -1;
}

int MoveIntoPlace(const char* from, const char* to) {
  if (!from || !*from || !to || !*to) return -1;
  const DWORD flags = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;
  return MoveFileExW(Cp932ToWide(from).c_str(), Cp932ToWide(to).c_str(), flags) ? 0 : -1;
}

}  // namespace platform
