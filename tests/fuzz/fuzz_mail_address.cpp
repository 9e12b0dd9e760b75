// The address rules on any cell (at most 255 bytes, as a cell is read): TrimAddress and
// MailboxDomain. Properties: trimming keeps a run of whole characters of the cell, takes away
// nothing but spaces, tabs and ideographic spaces at its ends, leaves none of them there and
// is idempotent; an address taken as a mailbox is printable ASCII within the length limits,
// its domain follows the "@" that ends its local part, a local part that is not quoted holds
// only atext and dots, and a domain holds only letters, digits, hyphens and dots or is an
// address literal. Such an address can end neither a header line nor an argument.
#include <cstring>
#include <string>

#include "engine/mail_address.h"
#include "fuzz_support.h"
#include "text/sjis_text.h"

namespace {

bool IsAtextOrDot(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
         std::strchr("!#$%&'*+-/=?^_`{|}~.", c) != nullptr;
}

bool IsTrimmable(const char* p) {
  return *p == ' ' || *p == '\t' || (static_cast<unsigned char>(p[0]) == 0x81 && static_cast<unsigned char>(p[1]) == 0x40);
}

void CheckTrim(const std::string& cell) {
  char text[256];
  std::memcpy(text, cell.c_str(), cell.size() + 1);
  std::string trimmed = TrimAddress(text);
  size_t at = cell.find(trimmed);
  FUZZ_CHECK(trimmed.size() <= cell.size());
  FUZZ_CHECK(at != std::string::npos);
  if (trimmed.empty()) return;
  // Somewhere in the cell the trimmed text starts on a character boundary, with only
  // trimmable characters before it and after it.
  bool found = false;
  for (size_t start = 0; start + trimmed.size() <= cell.size() && !found; ++start) {
    if (cell.compare(start, trimmed.size(), trimmed) != 0 || IsTrailByte(cell.c_str(), start)) continue;
    bool before = true;
    for (size_t i = 0; i < start;) {
      if (!IsTrimmable(cell.c_str() + i)) before = false;
      i += (cell[i] == ' ' || cell[i] == '\t') ? 1 : 2;
    }
    found = before;
  }
  FUZZ_CHECK(found);
  FUZZ_CHECK(trimmed[0] != ' ' && trimmed[0] != '\t' && !IsTrimmable(trimmed.c_str()));
  FUZZ_CHECK(trimmed.back() != ' ' && trimmed.back() != '\t');
  size_t n = trimmed.size();
  bool endsWithIdeographicSpace = n >= 2 && static_cast<unsigned char>(trimmed[n - 2]) == 0x81 &&
                                  trimmed[n - 1] == 0x40 && !IsTrailByte(trimmed.c_str(), n - 2);
  FUZZ_CHECK(!endsWithIdeographicSpace);
  char again[256];
  std::memcpy(again, trimmed.c_str(), trimmed.size() + 1);
  FUZZ_CHECK(trimmed == TrimAddress(again));
}

void CheckMailbox(const std::string& address) {
  const char* domain = MailboxDomain(address.c_str());
  FUZZ_CHECK(IsUsableAddress(address.c_str()) == (domain != nullptr));
  if (!domain) return;
  FUZZ_CHECK(address.size() <= kAddressLimit);
  for (unsigned char c : address) FUZZ_CHECK(c >= 0x20 && c <= 0x7E);
  size_t at = static_cast<size_t>(domain - address.c_str());
  FUZZ_CHECK(at >= 2 && at < address.size() && address[at - 1] == '@');
  std::string local = address.substr(0, at - 1);
  std::string host = address.substr(at);
  FUZZ_CHECK(local.size() <= kLocalPartLimit && host.size() <= kDomainLimit);
  if (local[0] == '"') {
    FUZZ_CHECK(local.size() >= 2 && local.back() == '"');
  } else {
    for (unsigned char c : local) FUZZ_CHECK(IsAtextOrDot(c));
    FUZZ_CHECK(local.front() != '.' && local.back() != '.' && local.find("..") == std::string::npos);
  }
  if (host[0] == '[') {
    FUZZ_CHECK(host.back() == ']' && host.find(' ') == std::string::npos);
  } else {
    for (unsigned char c : host)
      FUZZ_CHECK((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.');
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string cell(reinterpret_cast<const char*>(data), size < 255 ? size : 255);
  cell = cell.c_str();  // a cell ends at its first zero byte
  CheckTrim(cell);
  CheckMailbox(cell);
  char trimmed[256];
  std::memcpy(trimmed, cell.c_str(), cell.size() + 1);
  CheckMailbox(TrimAddress(trimmed));
  return 0;
}
