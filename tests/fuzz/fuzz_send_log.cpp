// The log reader of IsAlreadySent on any log file. Input parts (split at 0xFF): the log's
// bytes, a title, an address, and bytes appended to the log later. Properties: the look-up that
// keeps what it read gives the same answers as a fresh full scan, before and after the log
// grows, and after it is replaced by a shorter file; a line that AppendSendLog wrote for a
// usable address and a title of whole characters is found again.
#include <cstring>
#include <string>

#include "engine/mail_address.h"
#include "engine/send_log.h"
#include "fuzz_support.h"
#include "settings/file_locations.h"

using namespace fuzz_support;

namespace {

void Append(const std::string& path, const std::string& bytes) {
  FILE* f = std::fopen(path.c_str(), "ab");
  FUZZ_CHECK(f != nullptr);
  if (!bytes.empty()) FUZZ_CHECK(std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size());
  std::fclose(f);
}

void Compare(const std::string& title, const std::string& address) {
  FUZZ_CHECK(IsAlreadySent(title.c_str(), address.c_str()) == IsAlreadySentByFullScan(title.c_str(), address.c_str()));
}

// A text whose last character is not a lead byte cut off by the end.
bool EndsWhole(const std::string& s) {
  size_t i = 0, last = 0;
  while (i < s.size()) {
    last = i;
    i += CharLengthAt(s.c_str(), i);
  }
  return s.empty() || !(IsLead(static_cast<unsigned char>(s[last])) && last + 1 == s.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string parts[4];
  SplitInput(data, size, parts, 4);
  std::string title = parts[1].substr(0, parts[1].find('\0'));
  std::string address = parts[2].substr(0, parts[2].find('\0'));
  if (title.size() > 1023) title.resize(1023);
  if (address.size() > 255) address.resize(255);

  std::string path = ScratchFolder() + "/SendLogs.txt";
  std::strcpy(FileLocations.LogPath, path.c_str());
  DeleteFile(path);
  ResetSendLogCache();
  Compare(title, address);  // no log at all: false both ways
  FUZZ_CHECK(!IsAlreadySent(title.c_str(), address.c_str()));

  WriteFile(path, parts[0].data(), parts[0].size());
  Compare(title, address);
  Append(path, parts[3]);
  Compare(title, address);

  // The parsed pieces of each line lie inside the line.
  for (size_t start = 0; start < parts[0].size();) {
    size_t lf = parts[0].find('\n', start);
    size_t end = lf == std::string::npos ? parts[0].size() : lf;
    const char* t;
    const char* a;
    size_t tl, al;
    const char* line = parts[0].data() + start;
    if (ParseSendLogLine(line, end - start, &t, &tl, &a, &al)) {
      FUZZ_CHECK(t >= line && t + tl <= line + (end - start));
      FUZZ_CHECK(a >= t + tl && a + al <= line + (end - start));
    }
    start = end + 1;
  }

  // What is logged is found: a real run's address never holds a space or a control character;
  // a line end in the title is logged as a space and found again.
  bool loggable = IsUsableAddress(address.c_str()) && EndsWhole(title);
  if (loggable) {
    // A log that ends inside a line gets its line end first, as a new line must start a line.
    std::string current;
    ReadFile(path, &current);
    if (!current.empty() && current.back() != '\n') Append(path, "\r\n");
    AppendSendLog(2, title.c_str(), address.c_str());
    FUZZ_CHECK(IsAlreadySent(title.c_str(), address.c_str()));
    FUZZ_CHECK(IsAlreadySentByFullScan(title.c_str(), address.c_str()));
  }

  // Replaced by a shorter file: read afresh.
  WriteFile(path, parts[3].data(), parts[3].size());
  Compare(title, address);
  DeleteFile(path);
  ResetSendLogCache();
  return 0;
}
