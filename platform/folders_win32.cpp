#include "platform/folders.h"

#include <cstring>
#include <string>
#include <windows.h>

#include "platform/codepage.h"

static_assert(sizeof(((platform::FolderAccess*)nullptr)->descriptor) >= SECURITY_DESCRIPTOR_MIN_LENGTH,
              "descriptor buffer too small");

namespace platform {
namespace {

// Copies a UTF-16 text as code page 932: its length, or -1 when some character has no 932
// form or the text does not fit with its zero byte.
int CopyAsCp932(const wchar_t* wide, char* buffer, size_t capacity) {
  if (capacity > 0) buffer[0] = '\0';
  std::string text;
  if (!WideToCp932(wide, text)) return -1;
  if (text.size() + 1 > capacity) return -1;
  std::memcpy(buffer, text.data(), text.size());
  buffer[text.size()] = '\0';
  return static_cast<int>(text.size());
}

}  // namespace

bool GetExecutablePath(char* buffer, size_t capacity) {
  if (!buffer || capacity == 0) return false;
  buffer[0] = '\0';
  // Larger than any path, so that a long one is seen whole and refused rather than cut.
  static wchar_t wide[32768];
  DWORD n = GetModuleFileNameW(nullptr, wide, sizeof wide / sizeof wide[0]);
  if (n == 0 || n >= sizeof wide / sizeof wide[0]) return false;
  wide[n] = L'\0';
  return CopyAsCp932(wide, buffer, capacity) > 0;
}

int GetEnvironmentText(const char* name, char* buffer, size_t capacity) {
  if (!buffer || capacity == 0) return -1;
  buffer[0] = '\0';
  std::wstring wideName = Cp932ToWide(name);
  DWORD needed = GetEnvironmentVariableW(wideName.c_str(), nullptr, 0);
  if (needed <= 1) return 0;  // unset (0) or empty (1: just the terminator)
  std::wstring value(needed, L'\0');
  DWORD got = GetEnvironmentVariableW(wideName.c_str(), &value[0], needed);
  if (got == 0) return 0;
  if (got >= needed) return -1;  // changed in between: do not guess
  value.resize(got);
  return CopyAsCp932(value.c_str(), buffer, capacity);
}

int GetFallbackDataRoot(char* buffer, size_t capacity) {
  int found = GetEnvironmentText("ALLUSERSPROFILE", buffer, capacity);
  if (found != 0) return found;
  static const char kDefault[] = "C:\\ProgramData";
  if (capacity < sizeof kDefault) return -1;
  std::memcpy(buffer, kDefault, sizeof kDefault);
  return static_cast<int>(sizeof kDefault - 1);
}

bool MakeFolder(const char* path) {
  if (!path || !*path) return false;
  return CreateDirectoryW(Cp932ToWide(path).c_str(), nullptr) != 0;
}

bool KeepFolderPrivate(const char*) { return true; }

bool BuildFolderAccess(FolderAccess* access, const char* accountName, unsigned long accessMask) {
  if (!access || !accountName) return false;
  std::memset(access, 0, sizeof *access);
  PSECURITY_DESCRIPTOR descriptor = access->descriptor;
  PACL list = reinterpret_cast<PACL>(access->accessList);
  PSID sid = reinterpret_cast<PSID>(access->accountSid);
  wchar_t* domain = reinterpret_cast<wchar_t*>(access->domainName);
  if (!InitializeSecurityDescriptor(descriptor, SECURITY_DESCRIPTOR_REVISION)) return false;
  if (!InitializeAcl(list, sizeof access->accessList, ACL_REVISION)) return false;
  DWORD sidSize = sizeof access->accountSid;
  DWORD domainSize = sizeof access->domainName / sizeof(wchar_t);
  SID_NAME_USE use;
  if (!LookupAccountNameW(nullptr, Cp932ToWide(accountName).c_str(), sid, &sidSize, domain, &domainSize, &use))
    return false;
  if (!AddAccessAllowedAceEx(list, ACL_REVISION, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE, accessMask, sid))
    return false;
  if (!SetSecurityDescriptorDacl(descriptor, TRUE, list, FALSE)) return false;
  return true;
}

bool ApplyFolderAccess(const char* path, const FolderAccess* access) {
  if (!path || !*path || !access) return false;
  return SetFileSecurityW(Cp932ToWide(path).c_str(), DACL_SECURITY_INFORMATION,
                          const_cast<unsigned char*>(access->descriptor)) != 0;
}

bool GrantFolderAccess(const char* path, const char* accountName, unsigned long accessMask) {
  // About 12 KB, so not on the stack; only start-up calls this, on the main thread.
  static FolderAccess access;
  return BuildFolderAccess(&access, accountName, accessMask) && ApplyFolderAccess(path, &access);
}

}  // namespace platform
