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

// Permission bits for a newly created file (read and write for the owner).
#ifdef _WIN32
constexpr int kReadWrite = 0x0180;  // _S_IREAD | _S_IWRITE
#else
constexpr int kReadWrite = 0644;
#endif

// Opens with the given O_* flags, always sharing read and write with other processes.
// Returns a descriptor, or -1.
int OpenFileShared(const char* path, int flags, int permission);
long ReadFd(int fd, void* buffer, unsigned long count);
long WriteFd(int fd, const void* buffer, unsigned long count);
int CloseFd(int fd);
// Cuts or extends an open file to `length` bytes; 0 on success, -1 on failure.
int TruncateFd(int fd, long long length);

// fopen with full sharing ("rb", "wb", "ab", ...). nullptr on failure.
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

}  // namespace platform
