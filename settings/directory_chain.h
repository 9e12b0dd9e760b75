// The walk behind CreateDirectoryChain, apart from the file system so that both path styles
// can be followed on any host.
#pragma once

enum class PathStyle {
  Windows,  // "C:\a\b" or "\\server\share\dir"; ':' and '\' split, quotes are literal parts
  Posix,    // "/a/b" from the root, "a/b" from the current folder; only '/' splits
};

// The host's own style.
#ifdef _WIN32
constexpr PathStyle kHostPathStyle = PathStyle::Windows;
#else
constexpr PathStyle kHostPathStyle = PathStyle::Posix;
#endif

struct FolderOperations {
  bool (*exists)(const char* path, void* context);
  bool (*make)(const char* path, void* context);
  void* context;
};

// Tests each folder along `path` in order and makes the missing ones. A Windows drive
// ("C:") is tested but never made, and the walk stops when it is missing; the server of a
// network path is neither tested nor made. 1 when the walk reached the last folder, 0 when
// it stopped (a missing drive, a folder that could not be made, a path that does not fit).
int WalkDirectoryChain(const char* path, PathStyle style, const FolderOperations& operations);
