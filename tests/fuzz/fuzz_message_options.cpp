// What Options.def adds to a message, from outside bytes: a file's name in its part header (the
// name of a file on disk, Shift-JIS), the opt-out list (a file of any bytes) and the
// List-Unsubscribe URLs filled with a row's cell.
//   input: file name, 0xFF, opt-out list bytes, 0xFF, ListUnsubscribe value, 0xFF, cell value
#include <cstring>
#include <string>

#include "engine/opt_out_list.h"
#include "engine/placeholder_merge.h"
#include "engine/row_options.h"
#include "engine/wire_message.h"
#include "platform/codepage.h"
#include "settings/options.h"
#include "settings/send_settings.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/support/grid_double.h"

namespace {

bool WellFormedUtf8(const std::string& text) {
  for (size_t i = 0; i < text.size();) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    size_t n = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
    if (n == 0 || i + n > text.size()) return false;
    for (size_t k = 1; k < n; ++k)
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
    i += n;
  }
  return true;
}

// The file name as a reader takes it from the Content-Disposition line: a quoted string, or
// the RFC 2231 sections joined and %XX decoded. Every section must hold whole characters.
std::string ReadFileName(const std::string& header) {
  size_t start = header.find("Content-Disposition: attachment;\r\n");
  FUZZ_CHECK(start != std::string::npos);
  std::string field = header.substr(start, header.find("\r\nContent-Transfer-Encoding") - start);
  size_t quoted = field.find(" filename=\"");
  if (quoted != std::string::npos) return field.substr(quoted + 11, field.size() - quoted - 12);
  std::string name;
  for (size_t at = field.find(" filename*"); at != std::string::npos; at = field.find(" filename*", at + 1)) {
    size_t value = field.find('=', at) + 1;
    size_t end = field.find_first_of(";\r", value);
    std::string section = field.substr(value, end == std::string::npos ? std::string::npos : end - value);
    if (section.rfind("UTF-8''", 0) == 0) section = section.substr(7);
    std::string bytes;
    for (size_t i = 0; i < section.size(); ++i) {
      if (section[i] == '%') {
        FUZZ_CHECK(i + 2 < section.size());
        bytes += static_cast<char>(std::stoi(section.substr(i + 1, 2), nullptr, 16));
        i += 2;
      } else {
        bytes += section[i];
      }
    }
    FUZZ_CHECK(WellFormedUtf8(bytes));
    name += bytes;
  }
  return name;
}

void CheckPartHeader(const std::string& sjisName) {
  std::string name = platform::Cp932ToUtf8(sjisName);
  std::string header = AttachmentPartHeader("B", name);
  FUZZ_CHECK(header.rfind("--B\r\nContent-Type: ", 0) == 0);
  FUZZ_CHECK(header.size() >= 4 && header.compare(header.size() - 4, 4, "\r\n\r\n") == 0);
  FUZZ_CHECK(header.find("\r\n\r\n") == header.size() - 4);
  for (size_t i = 0; i < header.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(header[i]);
    FUZZ_CHECK(c < 0x80);
    if (c == '\r') FUZZ_CHECK(i + 1 < header.size() && header[i + 1] == '\n');
    if (c == '\n') FUZZ_CHECK(i > 0 && header[i - 1] == '\r');
  }
  FUZZ_CHECK(LongestLine(header) <= kMaxLineOctets);
  FUZZ_CHECK(ReadFileName(header) == name);
}

void CheckOptOutList(const std::string& bytes) {
  const std::string path = fuzz_support::ScratchFolder() + "/stop.txt";
  fuzz_support::WriteFile(path, bytes.data(), bytes.size());
  int loaded = LoadOptOutList(path.c_str());
  bool plainUtf8 = bytes.find('\0') == std::string::npos && WellFormedUtf8(bytes) && bytes.rfind("\xEF\xBB\xBF", 0) != 0 &&
                   bytes.rfind("\xFF\xFE", 0) != 0 && bytes.rfind("\xFE\xFF", 0) != 0;
  if (!plainUtf8) return;
  FUZZ_CHECK(loaded == kOptOutLoaded);
  // Every line, trimmed, that code page 932 holds is on the list.
  size_t start = 0;
  while (start <= bytes.size()) {
    size_t end = bytes.find_first_of("\r\n", start);
    if (end == std::string::npos) end = bytes.size();
    std::string line = bytes.substr(start, end - start);
    size_t first = line.find_first_not_of(" \t");
    if (first != std::string::npos) {
      line = line.substr(first, line.find_last_not_of(" \t") - first + 1);
      std::string sjis = platform::Utf8ToCp932(line);
      if (platform::Cp932ToUtf8(sjis) == line && sjis.find('\0') == std::string::npos)
        FUZZ_CHECK(IsOptedOut(sjis.c_str()));
    }
    start = end + 1;
  }
}

void CheckUnsubscribeUrls(const std::string& value, const std::string& cell) {
  GridDoubleReset();
  GridDoubleSetCell("A1", "ID");
  GridDoubleSetCell("A2", cell.substr(0, cell.find('\0')).substr(0, 255).c_str());
  OpenExcel("book.xlsx", 0);
  OpenSheet("Sheet1");
  ScanHeaderRow();
  ResetOptions();
  Options.ListUnsubscribe = value.substr(0, value.find('\0'));
  for (const std::string& url : UnsubscribeUrls(2)) {
    for (unsigned char c : url) FUZZ_CHECK(c > 0x20 && c < 0x7F && c != '<' && c != '>' && c != '"');
  }
  ClearPlaceholders();
  CloseExcel();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string parts[4];
  fuzz_support::SplitInput(data, size, parts, 4);
  ResetSendSettings();
  CheckPartHeader(parts[0].substr(0, parts[0].find('\0')));
  CheckOptOutList(parts[1]);
  CheckUnsubscribeUrls(parts[2], parts[3]);
  ClearOptOutList();
  return 0;
}
