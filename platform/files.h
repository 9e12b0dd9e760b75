// File access for the portable core. Every path is a Shift-JIS (code page 932) text;
// the Win32 side converts it to UTF-16 for the wide calls, the POSIX side to UTF-8.
#pragma once
#include <cstddef>
#include <cstdio>
#include <fcntl.h>

#ifndef O_BINARY
#define O_BINARY 0
#endif

namespace platform {

// The size of every path buffer of the system, its terminating zero included.
constexpr size_t kPathCapacity = 260;

// Permission bits for a newly created file: read and write for the owner (elsewhere than
// Windows for the owner alone; on Windows the data folder's access list governs).
#ifdef _WIN32
constexpr int kReadWrite = 0x0180;  // _S_IREAD | _S_IWRITE
#else
constexpr int kReadWrite = 0600;
#endif

// Opens with the given O_* flags, always sharing read and write with other processes.
// Returns a descriptor, or -1. Elsewhere than Windows a file opened for writing is its
// owner's alone afterwards: an existing file that others could read or write loses those
// permission bits (as far as the system lets this process change them).
int OpenFileShared(const char* path, int flags, int permission);
long ReadFd(int fd, void* buffer, unsigned long count);
long WriteFd(int fd, const void* buffer, unsigned long count);
int CloseFd(int fd);
// Cuts or extends an open file to `length` bytes; 0 on success, -1 on failure.
int TruncateFd(int fd, long long length);

// fopen with full sharing ("rb", "wb", "ab", ...). nullptr on failure. A mode that writes
// ("w", "a" or "+") creates a missing file with kReadWrite and, elsewhere than Windows, leaves
// the file its owner's alone, as OpenFileShared does.
FILE* OpenStreamShared(const char* path, const char* mode);

// The _access(path, 0) test: true for existing files and folders.
bool PathExists(const char* path);
// Size of a file in bytes; false if it cannot be had.
bool GetFileSize(const char* path, long long* size);
// Deletes a file; 0 on success, -1 on failure.
int RemoveFile(const char* path);
// Puts the file `from` in the place of `to` in one step (an existing `to` is replaced, never
// left half written); 0 on success, -1 on failure (both files then stay as they were).
int MoveIntoPlace(const char* from, const char* to);

// Puts `size` bytes in the place of the file at `path` in one step: they are written beside it
// under the name `path` + ".new", which is then moved into place, so that a failed write or a
// process killed on the way never leaves part of a file at `path`. True when the file holds
// exactly these bytes; false when it stayed as it was.
bool WriteFileWhole(const char* path, const void* bytes, unsigned long size);

}  // namespace platform
