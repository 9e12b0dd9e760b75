#include "settings/transfer_tool.h"

#include <cstring>

#include "text/sjis_text.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "settings/file_locations.h"

namespace {

// The curl that the system ships; false when there is no such path on this machine.
bool SystemCurlPath(char* out) {
#ifdef _WIN32
  char root[kPathCapacity];
  if (platform::GetEnvironmentText("SystemRoot", root, sizeof root) <= 0) std::strcpy(root, "C:\\Windows");
  const char* tail = "\\System32\\curl.exe";
  if (std::strlen(root) + std::strlen(tail) + 1 > kPathCapacity) return false;
  std::strcpy(out, root);
  std::strcat(out, tail);
#else
  std::strcpy(out, "/usr/bin/curl");
#endif
  return true;
}

#ifdef _WIN32
// Windows paths compare without regard to ASCII case.
bool SamePathText(const char* a, const char* b) {
  for (; *a && *b; ++a, ++b)
    if (AsciiLower(static_cast<unsigned char>(*a)) != AsciiLower(static_cast<unsigned char>(*b))) return false;
  return *a == *b;
}
#endif
}  // namespace

void ResolveTransferTool() {
  if (platform::PathExists(FileLocations.ToolPath)) return;
  char curl[kPathCapacity];
  if (SystemCurlPath(curl) && platform::PathExists(curl)) CopyWhole(FileLocations.ToolPath, curl, kPathCapacity);
}

bool TransferToolPresent() { return platform::PathExists(FileLocations.ToolPath); }

const char* RevocationOption() {
#ifdef _WIN32
  char curl[kPathCapacity];
  bool systemCurl = SystemCurlPath(curl) && SamePathText(curl, FileLocations.ToolPath);
  return systemCurl ? "--ssl-no-revoke" : "--ssl-revoke-best-effort";
#else
  return nullptr;
#endif
}

std::string CaBundleFile() {
  char file[kPathCapacity];
  return platform::GetEnvironmentText("CURL_CA_BUNDLE", file, sizeof file) > 0 ? std::string(file) : std::string();
}
