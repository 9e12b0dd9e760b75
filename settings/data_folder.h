// The per-machine data folder and the paths beside the executable (Shift-JIS, 260-byte buffers).
#pragma once

// Full path of the running executable, fetched on first use and kept.
const char* GetModulePath();

// DataFolder for the product: the environment's "ProgramData" (or the platform's fallback),
// the maker folder "Tallowmere" and the product name. Creates the chain of folders and grants
// the access entry on every call. Returns a shared buffer that the next call overwrites; an
// empty text when the path would not fit 260 bytes.
const char* GetDataFolder(const char* productName);

// Creates the missing folders along a full folder path, then opens the last one as the
// system's design for it is: on Windows `Everyone` gets full, inheritable access; elsewhere
// the folders made are their owner's alone (0700), and so is the last one also when it
// existed already. Stops silently at the first failure.
void CreateDirectoryChain(const char* path);

// 1 when the folder's access list was set to one allowed entry for the account, 0 on failure.
// Elsewhere than Windows there are no access lists: an honest no-op that reports 1.
int GrantFolderAccess(const char* path, const char* accountName, unsigned long accessMask);
