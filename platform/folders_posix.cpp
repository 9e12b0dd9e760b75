#include "platform/folders.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <pwd.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/codepage.h"

namespace platform {
namespace {

// Copies a UTF-8 text as code page 932: its length, or -1 when it has no 932 form or is too long.
int CopyAsCp932(const char* utf8, char* buffer, size_t capacity) {
  if (capacity > 0) buffer[0] = '\0';
  size_t length = std::strlen(utf8);
  if (!Utf8FitsCp932(utf8, length)) return -1;
  std::string text = Utf8ToCp932(utf8, length);
  if (text.size() + 1 > capacity) return -1;
  std::memcpy(buffer, text.data(), text.size());
  buffer[text.size()] = '\0';
  return static_cast<int>(text.size());
}

}  // namespace

bool GetExecutablePath(char* buffer, size_t capacity) {
  if (!buffer || capacity == 0) return false;
  buffer[0] = '\0';
  char target[PATH_MAX + 1];
  ssize_t n = ::readlink("/proc/self/exe", target, PATH_MAX);
  if (n <= 0 || n >= PATH_MAX) return false;  // a full buffer may mean a cut link text
  target[n] = '\0';
  return CopyAsCp932(target, buffer, capacity) > 0;
}

int GetEnvironmentText(const char* name, char* buffer, size_t capacity) {
  if (!buffer || capacity == 0) return -1;
  buffer[0] = '\0';
  const char* value = std::getenv(name);
  if (!value || !*value) return 0;
  return CopyAsCp932(value, buffer, capacity);
}

int GetFallbackDataRoot(char* buffer, size_t capacity) {
  int found = GetEnvironmentText("XDG_DATA_HOME", buffer, capacity);
  // Relative values are to be ignored (XDG base directories are absolute).
  if (found > 0 && buffer[0] == '/') return found;
  if (found < 0) return found;
  std::string home;
  const char* value = std::getenv("HOME");
  if (value && *value) {
    home = value;
  } else if (const passwd* entry = ::getpwuid(::getuid())) {
    if (entry->pw_dir) home = entry->pw_dir;
  }
  buffer[0] = '\0';
  if (home.empty()) return 0;
  if (home.back() != '/') home += '/';
  home += ".local/share";
  return CopyAsCp932(home.c_str(), buffer, capacity);
}

bool MakeFolder(const char* path) {
  if (!path || !*path) return false;
  return ::mkdir(Cp932ToUtf8(path, std::strlen(path)).c_str(), 0700) == 0;
}

bool KeepFolderPrivate(const char* path) {
  if (!path || !*path) return false;
  std::string native = Cp932ToUtf8(path, std::strlen(path));
  struct stat st;
  if (::stat(native.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
  if ((st.st_mode & 07777) == 0700) return true;
  return ::chmod(native.c_str(), 0700) == 0;
}

bool BuildFolderAccess(FolderAccess*, const char*, unsigned long) { return false; }

bool ApplyFolderAccess(const char*, const FolderAccess*) { return false; }

// Folders here have mode bits, not access lists: nothing to add, and nothing failed.
bool GrantFolderAccess(const char*, const char*, unsigned long) { return true; }

}  // namespace platform
