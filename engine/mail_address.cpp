#include "engine/mail_address.h"

#include <cstring>
#include <string>

#include "text/sjis_text.h"

namespace {

constexpr size_t kLabelLimit = 63;  // RFC 1035 2.3.4

bool IsAlpha(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }
bool IsHex(unsigned char c) { return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// atext of RFC 5322 3.2.3: letters, digits and these marks.
bool IsAtext(unsigned char c) {
  return IsAlpha(c) || IsDigit(c) || (c != '\0' && std::strchr("!#$%&'*+-/=?^_`{|}~", c) != nullptr);
}

// Dot-string: Atom *("." Atom). The end of it, or nullptr.
const char* SkipDotString(const char* p) {
  for (;;) {
    const char* start = p;
    while (IsAtext(static_cast<unsigned char>(*p))) ++p;
    if (p == start) return nullptr;
    if (*p != '.') return p;
    ++p;
  }
}

// Quoted-string: DQUOTE *(qtextSMTP / "\" %d32-126) DQUOTE, where qtextSMTP is printable ASCII
// and space without DQUOTE and "\". The end of it, or nullptr.
const char* SkipQuotedString(const char* p) {
  if (*p != '"') return nullptr;
  for (++p;; ++p) {
    unsigned char c = static_cast<unsigned char>(*p);
    if (c == '"') return p + 1;
    if (c == '\\') c = static_cast<unsigned char>(*++p);
    if (c < 32 || c > 126) return nullptr;
  }
}

// Domain: sub-domain *("." sub-domain), a sub-domain being letters, digits and hyphens that
// neither starts nor ends with a hyphen.
bool IsDomainName(const std::string& domain) {
  size_t start = 0;
  for (;;) {
    size_t end = domain.find('.', start);
    if (end == std::string::npos) end = domain.size();
    size_t length = end - start;
    if (length == 0 || length > kLabelLimit || domain[start] == '-' || domain[end - 1] == '-') return false;
    for (size_t i = start; i < end; ++i) {
      unsigned char c = static_cast<unsigned char>(domain[i]);
      if (!IsAlpha(c) && !IsDigit(c) && c != '-') return false;
    }
    if (end == domain.size()) return true;
    start = end + 1;
  }
}

// IPv4-address-literal: Snum 3("." Snum), each Snum 1 to 3 digits worth at most 255.
bool IsIpv4(const std::string& text) {
  size_t at = 0;
  for (int part = 0; part < 4; ++part) {
    if (part > 0 && (at >= text.size() || text[at++] != '.')) return false;
    int value = 0;
    size_t digits = 0;
    while (at < text.size() && IsDigit(static_cast<unsigned char>(text[at])) && digits < 3) {
      value = value * 10 + (text[at++] - '0');
      ++digits;
    }
    if (digits == 0 || value > 255) return false;
  }
  return at == text.size();
}

// The 16-bit groups of one side of an IPv6 address: hex groups of 1 to 4 digits joined by ":",
// the last of which may be an IPv4 address (worth two groups) when `ipv4Last`. -1 when
// malformed; 0 for an empty side.
int CountIpv6Groups(const std::string& side, bool ipv4Last) {
  if (side.empty()) return 0;
  int groups = 0;
  size_t start = 0;
  for (;;) {
    size_t end = side.find(':', start);
    bool last = end == std::string::npos;
    std::string group = side.substr(start, last ? std::string::npos : end - start);
    if (last && ipv4Last && group.find('.') != std::string::npos) return IsIpv4(group) ? groups + 2 : -1;
    if (group.empty() || group.size() > 4) return -1;
    for (char c : group)
      if (!IsHex(static_cast<unsigned char>(c))) return -1;
    ++groups;
    if (last) return groups;
    start = end + 1;
  }
}

// IPv6-addr of RFC 5321 4.1.3: eight groups, or at most six around one "::".
bool IsIpv6(const std::string& text) {
  size_t gap = text.find("::");
  if (gap == std::string::npos) return CountIpv6Groups(text, true) == 8;
  if (text.find("::", gap + 1) != std::string::npos) return false;
  int head = CountIpv6Groups(text.substr(0, gap), false);
  int tail = CountIpv6Groups(text.substr(gap + 2), true);
  return head >= 0 && tail >= 0 && head + tail <= 6;
}

// address-literal: "[" IPv4-address-literal "]" or "[IPv6:" IPv6-addr "]". A general address
// literal needs a tag registered with IANA, and none but IPv6 is: it is refused.
bool IsAddressLiteral(const std::string& domain) {
  if (domain.size() < 2 || domain.front() != '[' || domain.back() != ']') return false;
  std::string inside = domain.substr(1, domain.size() - 2);
  const std::string tag = "ipv6:";
  if (inside.size() > tag.size()) {
    bool tagged = true;
    for (size_t i = 0; i < tag.size(); ++i)
      if (AsciiLower(static_cast<unsigned char>(inside[i])) != tag[i]) tagged = false;
    if (tagged) return IsIpv6(inside.substr(tag.size()));
  }
  return IsIpv4(inside);
}

bool IsIdeographicSpace(const char* p) {
  return static_cast<unsigned char>(p[0]) == 0x81 && static_cast<unsigned char>(p[1]) == 0x40;
}

}  // namespace

const char* MailboxDomain(const char* address) {
  if (!address || std::strlen(address) > kAddressLimit) return nullptr;
  const char* at = *address == '"' ? SkipQuotedString(address) : SkipDotString(address);
  if (!at || *at != '@' || static_cast<size_t>(at - address) > kLocalPartLimit) return nullptr;
  std::string domain(at + 1);
  if (domain.size() > kDomainLimit) return nullptr;
  bool valid = domain[0] == '[' ? IsAddressLiteral(domain) : IsDomainName(domain);
  return valid ? at + 1 : nullptr;
}

bool IsUsableAddress(const char* address) { return MailboxDomain(address) != nullptr; }

char* TrimAddress(char* text) {
  if (!text) return text;
  // From the start, only whole characters are stepped over.
  char* start = text;
  for (;;) {
    if (*start == ' ' || *start == '\t') {
      ++start;
    } else if (IsIdeographicSpace(start)) {
      start += 2;
    } else {
      break;
    }
  }
  // A space or a tab is never the second byte of a character; 0x81 may be.
  size_t length = std::strlen(start);
  for (;;) {
    if (length >= 1 && (start[length - 1] == ' ' || start[length - 1] == '\t')) {
      --length;
    } else if (length >= 2 && IsIdeographicSpace(start + length - 2) && !IsTrailByte(start, length - 2)) {
      length -= 2;
    } else {
      break;
    }
  }
  std::memmove(text, start, length);
  text[length] = '\0';
  return text;
}
