#include "engine/opt_out_list.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <unordered_set>

#include "engine/message_encoding.h"
#include "platform/codepage.h"
#include "platform/files.h"

namespace {

std::unordered_set<std::string> gOptedOut;

// The UTF-8 form used for comparing: ASCII letters in lower case (a byte below 0x80 is always a
// character of its own in UTF-8).
std::string Key(std::string utf8) {
  for (char& c : utf8)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return utf8;
}

bool ReadWhole(const char* path, std::string& bytes) {
  FILE* file = platform::OpenStreamShared(path, "rb");
  if (!file) return false;
  char chunk[65536];
  size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.append(chunk, n);
  bool failed = std::ferror(file) != 0;
  std::fclose(file);
  return !failed;
}

bool StartsWith(const std::string& bytes, const char* mark) { return bytes.compare(0, std::strlen(mark), mark) == 0; }

// The file's text in UTF-8, by its byte order mark or its form. False for a file that holds
// zero bytes without a UTF-16 byte order mark: no text of a form the list may have.
bool Utf8Text(const std::string& bytes, std::string& text) {
  bool little = StartsWith(bytes, "\xFF\xFE");
  if (little || StartsWith(bytes, "\xFE\xFF")) {
    std::u16string units((bytes.size() - 2) / 2, u'\0');
    const unsigned char* b = reinterpret_cast<const unsigned char*>(bytes.data()) + 2;
    for (size_t i = 0; i < units.size(); ++i)
      units[i] = static_cast<char16_t>(little ? b[2 * i] | (b[2 * i + 1] << 8) : (b[2 * i] << 8) | b[2 * i + 1]);
    text = platform::Utf16ToUtf8(units.data(), units.size());
    return true;
  }
  if (bytes.find('\0') != std::string::npos) return false;
  if (StartsWith(bytes, "\xEF\xBB\xBF"))
    text = bytes.substr(3);
  else
    text = IsWellFormedUtf8(bytes.c_str()) ? bytes : platform::Cp932ToUtf8(bytes.data(), bytes.size());
  return true;
}

void AddLine(const std::string& line) {
  size_t start = line.find_first_not_of(" \t");
  if (start == std::string::npos) return;
  size_t end = line.find_last_not_of(" \t");
  gOptedOut.insert(Key(line.substr(start, end - start + 1)));
}

}  // namespace

int LoadOptOutList(const char* path) {
  ClearOptOutList();
  if (!path || !*path) return kOptOutLoaded;
  std::string bytes;
  if (!ReadWhole(path, bytes)) return kOptOutUnreadable;
  std::string text;
  if (!Utf8Text(bytes, text)) return kOptOutUnreadable;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string::npos) end = text.size();
    AddLine(text.substr(start, end - start));
    start = end + 1;
  }
  return kOptOutLoaded;
}

bool IsOptedOut(const char* address) {
  if (gOptedOut.empty() || !address) return false;
  return gOptedOut.count(Key(platform::Cp932ToUtf8(address, std::strlen(address)))) > 0;
}

void ClearOptOutList() { gOptedOut.clear(); }
