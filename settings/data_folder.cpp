#include "settings/data_folder.h"

#include <cstring>

#include "text/sjis_text.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "settings/directory_chain.h"

namespace {

char gModulePath[kPathCapacity];
bool gModulePathFetched = false;
char gDataFolder[kPathCapacity];

// Appends `text` to the path in `buffer` (260 bytes); false, leaving the buffer as it was,
// when the result would not fit.
bool Append(char* buffer, const char* text) {
  size_t used = std::strlen(buffer);
  size_t more = std::strlen(text);
  if (used + more + 1 > kPathCapacity) return false;
  std::memcpy(buffer + used, text, more + 1);
  return true;
}

bool AppendSeparator(char* buffer, char separator) {
  const char text[2] = {separator, '\0'};
  return Append(buffer, text);
}

// True when the text ends in the separator as a character of its own (not the second byte
// of a double-byte character such as 表).
bool EndsInSeparator(const char* text, char separator) {
  size_t length = std::strlen(text);
  if (length == 0) return false;
  return ReverseFindChar(text, separator) == text + length - 1;
}

// The next component of a path: Windows paths split at ':' and '\' (never at a trail byte,
// quotes taken literally), POSIX paths at '/' only. nullptr when no component is left.
const char* NextComponent(const char* source, char* component, PathStyle style) {
  if (style == PathStyle::Windows) return NextToken(source, component, ":\\", kPathCapacity);
  component[0] = '\0';
  while (*source == '/') ++source;
  size_t n = 0;
  while (source[n] && source[n] != '/') ++n;
  if (n == 0 || n + 1 > kPathCapacity) return nullptr;
  std::memcpy(component, source, n);
  component[n] = '\0';
  return source + n;
}

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

bool HostExists(const char* path, void*) { return platform::PathExists(path); }
bool HostMake(const char* path, void*) { return platform::MakeFolder(path); }

}  // namespace

int WalkDirectoryChain(const char* path, PathStyle style, const FolderOperations& operations) {
  if (!path || !*path || std::strlen(path) + 1 > kPathCapacity) return 0;
  const char separator = style == PathStyle::Windows ? '\\' : '/';
  char walked[kPathCapacity] = "";
  char component[kPathCapacity];
  const char* rest = path;
  bool first = true;
  if (style == PathStyle::Posix && path[0] == '/') std::strcpy(walked, "/");
  while ((rest = NextComponent(rest, component, style)) != nullptr) {
    if (first && style == PathStyle::Windows) {
      first = false;
      if (std::strlen(component) == 1 && IsAsciiLetter(component[0])) {
        // A drive: tested, never made.
        walked[0] = component[0];
        walked[1] = ':';
        walked[2] = '\0';
        if (!operations.exists(walked, operations.context)) return 0;
      } else {
        // The server of a network path: neither tested nor made.
        std::strcpy(walked, "\\\\");
        if (!Append(walked, component)) return 0;
      }
      continue;
    }
    first = false;
    if (walked[0] && !EndsInSeparator(walked, separator) && !AppendSeparator(walked, separator)) return 0;
    if (!Append(walked, component)) return 0;
    if (!operations.exists(walked, operations.context) && !operations.make(walked, operations.context)) return 0;
  }
  return 1;
}

const char* GetModulePath() {
  if (!gModulePathFetched) {
    gModulePathFetched = true;
    platform::GetExecutablePath(gModulePath, kPathCapacity);
  }
  return gModulePath;
}

const char* GetDataFolder(const char* productName) {
  gDataFolder[0] = '\0';
  int found = platform::GetEnvironmentText("ProgramData", gDataFolder, kPathCapacity);
  if (found == 0) found = platform::GetFallbackDataRoot(gDataFolder, kPathCapacity);
  if (found <= 0) {
    gDataFolder[0] = '\0';
    return gDataFolder;
  }
  bool fits = (EndsInSeparator(gDataFolder, kPathSeparator) || AppendSeparator(gDataFolder, kPathSeparator)) &&
              Append(gDataFolder, "Tallowmere") && AppendSeparator(gDataFolder, kPathSeparator) &&
              Append(gDataFolder, productName ? productName : "");
  if (!fits) {
    // Never cut into some other path: no folder at all.
    gDataFolder[0] = '\0';
    return gDataFolder;
  }
  CreateDirectoryChain(gDataFolder);
  return gDataFolder;
}

void CreateDirectoryChain(const char* path) {
  FolderOperations host = {HostExists, HostMake, nullptr};
  if (WalkDirectoryChain(path, kHostPathStyle, host) != 1) return;
  platform::KeepFolderPrivate(path);
  GrantFolderAccess(path, "Everyone", platform::kGenericAll);
}

int GrantFolderAccess(const char* path, const char* accountName, unsigned long accessMask) {
  return platform::GrantFolderAccess(path, accountName, accessMask) ? 1 : 0;
}
