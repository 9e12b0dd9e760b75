// A folder of one test, made new in the system's temporary folder under a name that no earlier
// run and no other process can have left behind, and removed with everything in it. (Process
// ids repeat from one Wine session to the next, so they cannot make a name unique.)
#pragma once
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <system_error>

namespace testing_support {

// Makes a new, empty folder "rowcaster-<what>-<16 hex digits>" in `parent` and returns its
// path; the digits are drawn at random, and a name that exists already is never taken (the
// creation is tried again with fresh digits). Returns an empty path when no folder can be made.
inline std::filesystem::path MakeFreshFolder(const std::filesystem::path& parent, const std::string& what) {
  static std::mt19937_64 draw(std::random_device{}() ^
                              static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
                              static_cast<uint64_t>(std::chrono::system_clock::now().time_since_epoch().count()));
  std::filesystem::path made;
  for (int attempt = 0; attempt < 64 && made.empty(); ++attempt) {
    char digits[17];
    std::snprintf(digits, sizeof digits, "%016llx", static_cast<unsigned long long>(draw()));
    std::filesystem::path candidate = parent / ("rowcaster-" + what + "-" + digits);
    std::error_code error;
    if (std::filesystem::create_directory(candidate, error)) made = candidate;
  }
  return made;
}

// Removes a folder with its files and subfolders; what cannot be removed stays, quietly.
inline void RemoveFolderTree(const std::filesystem::path& folder) {
  std::error_code ignored;
  if (!folder.empty()) std::filesystem::remove_all(folder, ignored);
}

// A fresh folder in the system's temporary folder (TMPDIR or /tmp; under Windows the user's
// Temp), removed with its contents when the object ends.
class FreshFolder {
 public:
  explicit FreshFolder(const std::string& what = "test") {
    std::error_code error;
    std::filesystem::path parent = std::filesystem::temp_directory_path(error);
    if (error) parent = std::filesystem::current_path();
    path_ = MakeFreshFolder(parent, what);
  }
  ~FreshFolder() { RemoveFolderTree(path_); }
  FreshFolder(const FreshFolder&) = delete;
  FreshFolder& operator=(const FreshFolder&) = delete;

  // The folder; empty when it could not be made.
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace testing_support
