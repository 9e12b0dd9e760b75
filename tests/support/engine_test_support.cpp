#include "tests/support/engine_test_support.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "platform/codepage.h"

std::string S(const char* utf8) { return platform::Utf8ToCp932(utf8, std::strlen(utf8)); }
std::string U(const std::string& sjis) { return platform::Cp932ToUtf8(sjis); }

std::string ReadFile(const std::string& path) {
  std::string data;
  if (FILE* f = std::fopen(path.c_str(), "rb")) {
    char chunk[65536];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) data.append(chunk, n);
    std::fclose(f);
  }
  return data;
}

void WriteFile(const std::string& path, const std::string& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return;
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

void SetEnv(const char* name, const std::string& value) {
#ifdef _WIN32
  _putenv_s(name, value.c_str());
#else
  setenv(name, value.c_str(), 1);
#endif
}

std::string EchoToolPath() {
  // Tests run with the bin folder as working directory.
  namespace fs = std::filesystem;
#ifdef _WIN32
  return (fs::current_path() / "argv_echo.exe").string();
#else
  return (fs::current_path() / "argv_echo").string();
#endif
}

std::vector<EchoRecord> ReadEchoRecords(const std::string& path) {
  std::vector<EchoRecord> records;
  std::string data = ReadFile(path);
  size_t at = 0;
  auto number = [&](size_t& value) {
    size_t lf = data.find('\n', at);
    if (lf == std::string::npos) return false;
    value = std::strtoul(data.substr(at, lf - at).c_str(), nullptr, 10);
    at = lf + 1;
    return true;
  };
  while (at < data.size()) {
    EchoRecord record;
    size_t count = 0, length = 0;
    if (!number(count)) break;
    for (size_t i = 0; i < count; ++i) {
      size_t zero = data.find('\0', at);
      if (zero == std::string::npos) return records;
      record.args.push_back(data.substr(at, zero - at));
      at = zero + 1;
    }
    if (!number(length)) break;
    record.upload = data.substr(at, length);
    at += length;
    records.push_back(record);
  }
  return records;
}
