// Folders, the executable's own path, the environment and folder access lists.
// Every path is a Shift-JIS (code page 932) text; the Win32 side converts it to UTF-16 for the
// wide calls, the POSIX side to UTF-8.
#pragma once
#include <cstddef>

namespace platform {

// The access mask for full access to a folder (Windows GENERIC_ALL).
constexpr unsigned long kGenericAll = 0x10000000UL;

// Full path of the running executable in code page 932. False (and an empty buffer) when it
// cannot be had, has no code page 932 form, or does not fit `capacity` with its zero byte.
bool GetExecutablePath(char* buffer, size_t capacity);

// The value of an environment variable in code page 932: its length when it is set and not
// empty, 0 when it is unset or empty, -1 when it does not fit `capacity` or has no code page
// 932 form. The buffer is empty unless the result is positive.
int GetEnvironmentText(const char* name, char* buffer, size_t capacity);

// Where per-machine data goes when "ProgramData" is unset or empty: on Windows
// %ALLUSERSPROFILE%, else C:\ProgramData; elsewhere $XDG_DATA_HOME, else $HOME/.local/share.
// Results as GetEnvironmentText.
int GetFallbackDataRoot(char* buffer, size_t capacity);

// Creates one folder: with default security on Windows, for its owner alone (mode 0700)
// elsewhere.
bool MakeFolder(const char* path);

// Elsewhere than Windows: makes an existing folder its owner's alone (mode 0700), also one
// made earlier for all to read; true when it now is. On Windows a folder's access is its access
// list (GrantFolderAccess): nothing to do, and the result is true.
bool KeepFolderPrivate(const char* path);

// The pieces of a security descriptor whose discretionary access list holds one allowed entry.
// The descriptor points into the list, so a record must stay where it was built.
struct FolderAccess {
  alignas(8) unsigned char descriptor[64];
  alignas(8) unsigned char accessList[4096];
  alignas(8) unsigned char accountSid[4096];
  alignas(8) unsigned char domainName[4096];
};

// Builds the descriptor: one access-allowed entry for the account (looked up on the local
// machine) with `accessMask`, inherited by files and subfolders. False at the first step that
// fails. Elsewhere than Windows there are no access lists and the result is false.
bool BuildFolderAccess(FolderAccess* access, const char* accountName, unsigned long accessMask);

// Replaces the folder's discretionary access list with the one `access` holds; owner, group
// and audit list stay. False when the system refuses.
bool ApplyFolderAccess(const char* path, const FolderAccess* access);

// Gives the account `accessMask` on the folder through one inheritable allowed entry that
// replaces the folder's access list. Elsewhere than Windows there is nothing to set and the
// result is true.
bool GrantFolderAccess(const char* path, const char* accountName, unsigned long accessMask);

}  // namespace platform
