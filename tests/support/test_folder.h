// A throw-away folder for one test, and file helpers over Shift-JIS paths.
#pragma once
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "tests/support/fresh_folder.h"
#include "text/sjis_text.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/folders.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace testing_support {

inline std::string Sep() { return std::string(1, kPathSeparator); }

// The host's form of a Shift-JIS path, for the standard library's file system calls.
inline std::filesystem::path Native(const std::string& sjis) {
#ifdef _WIN32
  return std::filesystem::path(platform::Cp932ToWide(sjis.c_str()));
#else
  return std::filesystem::path(platform::Cp932ToUtf8(sjis));
#endif
}

inline void SetEnv(const char* name, const char* value) {
#ifdef _WIN32
  // The run-time library's copy first (an empty value removes it there), then the process
  // environment itself, which is what the program reads and where an empty value stays set.
  _putenv_s(name, value ? value : "");
  SetEnvironmentVariableW(platform::Cp932ToWide(name).c_str(),
                          value ? platform::Cp932ToWide(value).c_str() : nullptr);
#else
  if (value) setenv(name, platform::Cp932ToUtf8(std::string(value)).c_str(), 1);
  else unsetenv(name);
#endif
}

// A fresh folder of one test (tests/support/fresh_folder.h) under its Shift-JIS name,
// removed with its contents when the object ends.
class TempFolder {
 public:
  explicit TempFolder(const std::string& what = "test") : folder_(what) {
#ifdef _WIN32
    path_ = platform::WideToCp932(folder_.path().wstring().c_str());
#else
    path_ = platform::Utf8ToCp932(folder_.path().string());
#endif
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + Sep() + name; }

 private:
  FreshFolder folder_;
  std::string path_;
};

inline bool IsFolder(const std::string& sjis) { return std::filesystem::is_directory(Native(sjis)); }
inline bool Exists(const std::string& sjis) { return std::filesystem::exists(Native(sjis)); }

inline void WriteBytes(const std::string& sjis, const std::string& bytes) {
  FILE* f = platform::OpenStreamShared(sjis.c_str(), "wb");
  ASSERT_NE(f, nullptr) << sjis;
  ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
  std::fclose(f);
}

inline std::string ReadBytes(const std::string& sjis) {
  std::string out;
  FILE* f = platform::OpenStreamShared(sjis.c_str(), "rb");
  if (!f) return "<missing>";
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) out.append(buffer, n);
  std::fclose(f);
  return out;
}

inline std::string Hex(const std::string& bytes) {
  static const char digits[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char b : bytes) {
    if (!out.empty()) out += ' ';
    out += digits[b >> 4];
    out += digits[b & 15];
  }
  return out;
}

}  // namespace testing_support
