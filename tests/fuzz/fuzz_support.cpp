#include "fuzz_support.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "tests/support/fresh_folder.h"

namespace fuzz_support {
namespace {
struct Scratch {
  std::string path;
  Scratch() {
    std::string root = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    path = testing_support::MakeFreshFolder(root, "fuzz").string();
  }
  ~Scratch() { testing_support::RemoveFolderTree(path); }
};
}  // namespace

const std::string& ScratchFolder() {
  static Scratch scratch;
  return scratch.path;
}

void WriteFile(const std::string& path, const void* data, size_t size) {
  FILE* f = std::fopen(path.c_str(), "wb");
  FUZZ_CHECK(f != nullptr);
  if (size) FUZZ_CHECK(std::fwrite(data, 1, size, f) == size);
  FUZZ_CHECK(std::fclose(f) == 0);
}

bool ReadFile(const std::string& path, std::string* bytes) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  bytes->clear();
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes->append(buffer, n);
  std::fclose(f);
  return true;
}

bool FileExists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

void DeleteFile(const std::string& path) { ::unlink(path.c_str()); }

bool IsLead(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

size_t CharLengthAt(const char* text, size_t position) {
  return IsLead(static_cast<unsigned char>(text[position])) && text[position + 1] != '\0' ? 2 : 1;
}

void SplitInput(const uint8_t* data, size_t size, std::string* parts, int count) {
  int part = 0;
  for (int i = 0; i < count; ++i) parts[i].clear();
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == 0xFF && part < count - 1) {
      ++part;
      continue;
    }
    parts[part] += static_cast<char>(data[i]);
  }
}

std::string ReferenceTrim(const std::string& in) {
  size_t b = 0, e = in.size();
  while (b < e && in[b] == ' ') ++b;
  while (e > b && (in[e - 1] == ' ' || in[e - 1] == '\r' || in[e - 1] == '\n')) --e;
  if (e > b && in[b] == '"') {
    if (e - b == 1) return "";
    if (in[e - 1] == '"') ++b, --e;
  }
  return in.substr(b, e - b);
}

}  // namespace fuzz_support
