#include "settings/transfer_tool.h"

#include <cstring>

#include "engine/sjis_text.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "settings/file_locations.h"

const char kTransferToolMissingMessage[] =
    "\x83\x81\x81\x5b\x83\x8b\x91\x97\x90\x4d\x83\x63\x81\x5b\x83\x8b\x81\x69SMTP.exe \x82\xdc\x82\xbd\x82\xcd "
    "curl.exe\x81\x6a\x82\xaa\x8c\xa9\x82\xc2\x82\xa9\x82\xe8\x82\xdc\x82\xb9\x82\xf1\x81\x42\x83\x81\x81\x5b\x83"
    "\x8b\x91\x97\x90\x4d\x82\xcd\x82\xb5\x82\xdc\x82\xb9\x82\xf1\x81\x42";

namespace {
constexpr size_t kPathBuffer = 260;

// The curl that the system ships; false when there is no such path on this machine.
bool SystemCurlPath(char* out) {
#ifdef _WIN32
  char root[kPathBuffer];
  if (platform::GetEnvironmentText("SystemRoot", root, sizeof root) <= 0) std::strcpy(root, "C:\\Windows");
  const char* tail = "\\System32\\curl.exe";
  if (std::strlen(root) + std::strlen(tail) + 1 > kPathBuffer) return false;
  std::strcpy(out, root);
  std::strcat(out, tail);
#else
  std::strcpy(out, "/usr/bin/curl");
#endif
  return true;
}
}  // namespace

void ResolveTransferTool() {
  if (platform::PathExists(FileLocations.ToolPath)) return;
  char curl[kPathBuffer];
  if (SystemCurlPath(curl) && platform::PathExists(curl)) CopyWhole(FileLocations.ToolPath, curl, kPathBuffer);
}

bool TransferToolPresent() { return platform::PathExists(FileLocations.ToolPath); }
