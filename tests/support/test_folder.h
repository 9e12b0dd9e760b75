// A throw-away folder for one test, and file helpers over Shift-JIS paths.
#pragma once
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

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

class TempFolder {
 public:
  TempFolder() {
#ifdef _WIN32
    wchar_t base[MAX_PATH + 1];
    GetTempPathW(MAX_PATH + 1, base);
    std::string root = platform::WideToCp932(base);
    if (!root.empty() && root.back() == '\\') root.pop_back();
    unsigned long id = GetCurrentProcessId();
#else
    const char* tmp = std::getenv("TMPDIR");
    std::string root = tmp && *tmp ? tmp : "/tmp";
    unsigned long id = static_cast<unsigned long>(getpid());
#endif
    static int counter = 0;
    path_ = root + Sep() + "rowcaster-settings-" + std::to_string(id) + "-" + std::to_string(++counter);
    std::filesystem::remove_all(Native(path_));
    std::filesystem::create_directories(Native(path_));
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(Native(path_), ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + Sep() + name; }

 private:
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
