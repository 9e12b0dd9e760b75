#include "engine/row_options.h"

#include <cstdio>
#include <cstring>

#include "engine/mail_address.h"
#include "engine/placeholder_merge.h"
#include "platform/codepage.h"
#include "settings/options.h"
#include "settings/send_settings.h"
#include "text/sjis_text.h"

namespace {

// Header lines are folded before this many octets where an item boundary allows.
constexpr size_t kFoldAt = 78;

std::string Trimmed(const std::string& text) {
  size_t start = text.find_first_not_of(" \t");
  if (start == std::string::npos) return "";
  size_t end = text.find_last_not_of(" \t");
  return text.substr(start, end - start + 1);
}

std::string AsciiLowered(std::string text) {
  // Only single-byte characters: the second byte of a double-byte one may look like a letter.
  for (size_t i = 0; i < text.size(); i += IsLeadByte(static_cast<unsigned char>(text[i])) ? 2 : 1)
    text[i] = static_cast<char>(AsciiLower(static_cast<unsigned char>(text[i])));
  return text;
}

bool StartsWithNoCase(const std::string& text, const char* prefix) {
  size_t n = std::strlen(prefix);
  return text.size() >= n && AsciiLowered(text.substr(0, n)) == prefix;
}

// "A" for "A" or "a"; empty for any other text.
std::string ColumnLetter(const std::string& value) {
  if (value.size() != 1) return "";
  char c = static_cast<char>(AsciiLower(static_cast<unsigned char>(value[0])));
  if (c < 'a' || c > 'z') return "";
  return std::string(1, static_cast<char>(c - 'a' + 'A'));
}

bool AllUsable(const std::string& list) {
  for (const std::string& address : SplitAddressList(list))
    if (!IsUsableAddress(address.c_str())) return false;
  return true;
}

bool IsUnsubscribeUrl(const std::string& url) {
  if (url.find_first_of(" \t") != std::string::npos) return false;
  for (const char* scheme : {"mailto:", "https:"})
    if (StartsWithNoCase(url, scheme) && url.size() > std::strlen(scheme)) return true;
  return false;
}

// True when a URL scheme ("letters:") begins at `at` after spaces.
bool SchemeFollows(const std::string& text, size_t at) {
  at = text.find_first_not_of(" \t<", at);
  if (at == std::string::npos) return false;
  size_t i = at;
  while (i < text.size() && ((text[i] >= 'a' && text[i] <= 'z') || (text[i] >= 'A' && text[i] <= 'Z'))) ++i;
  return i > at && i < text.size() && text[i] == ':';
}

// Percent-encodes the bytes that `keep` refuses, as "%XX".
template <typename Keep>
std::string PercentEncoded(const std::string& bytes, Keep keep) {
  std::string out;
  for (unsigned char c : bytes) {
    if (keep(c)) {
      out += static_cast<char>(c);
    } else {
      char escape[4];
      std::snprintf(escape, sizeof escape, "%%%02X", c);
      out += escape;
    }
  }
  return out;
}

bool IsValueByte(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
         c == '_' || c == '~' || c == '@';
}

bool IsUrlByte(unsigned char c) { return c > 0x20 && c < 0x7F && c != '<' && c != '>' && c != '"'; }

// Replaces every placeholder of the Shift-JIS text with the row's value, percent-encoded.
std::string FillEncoded(int row, std::string text) {
  for (int i = 0; i < PlaceholderCount; ++i) {
    const PlaceholderEntry* entry = GetPlaceholder(i);
    if (!entry || !entry->PlaceholderText[0]) continue;
    char value[256];
    ReadColumnCell(entry->ColumnText, row, value);
    std::string encoded = PercentEncoded(platform::Cp932ToUtf8(value, std::strlen(value)), IsValueByte);
    size_t from = 0;
    while (const char* found = FindText(text.c_str() + from, entry->PlaceholderText)) {
      size_t at = static_cast<size_t>(found - text.c_str());
      text.replace(at, std::strlen(entry->PlaceholderText), encoded);
      from = at + encoded.size();
    }
  }
  return text;
}

// "Name: a, b, c\r\n", folded between items before kFoldAt octets where an item allows.
std::string FoldedList(const char* name, const std::vector<std::string>& items) {
  std::string out = std::string(name) + ":";
  size_t lineLength = out.size();
  for (size_t i = 0; i < items.size(); ++i) {
    std::string item = items[i] + (i + 1 < items.size() ? "," : "");
    if (i > 0 && lineLength + 1 + item.size() > kFoldAt) {
      out += "\r\n";
      lineLength = 0;
    }
    out += " " + item;
    lineLength += 1 + item.size();
  }
  return out + "\r\n";
}

std::vector<std::string> Utf8Items(const std::vector<std::string>& sjis, const char* before, const char* after) {
  std::vector<std::string> items;
  for (const std::string& s : sjis) items.push_back(before + platform::Cp932ToUtf8(s) + after);
  return items;
}

// Adds the addresses of a list to `into` unless already named; false (and the address) for one
// that is not usable.
bool AddAddresses(const std::string& list, std::vector<std::string>& named, std::vector<std::string>& into,
                  std::string& unusable) {
  for (const std::string& address : SplitAddressList(list)) {
    if (!IsUsableAddress(address.c_str())) {
      unusable = address;
      return false;
    }
    std::string key = AsciiLowered(address);
    bool seen = false;
    for (const std::string& n : named) seen = seen || n == key;
    if (seen) continue;
    named.push_back(key);
    into.push_back(address);
  }
  return true;
}

}  // namespace

std::string OptionCell(const std::string& column, int row) {
  char value[256];
  ReadColumnCell(ColumnLetter(column).c_str(), row, value);
  return value;
}

std::vector<std::string> SplitAddressList(const std::string& list) {
  std::vector<std::string> addresses;
  size_t start = 0;
  // "," and ";" are never the second byte of a double-byte character.
  for (;;) {
    size_t end = list.find_first_of(",;", start);
    std::string address = Trimmed(list.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (!address.empty()) addresses.push_back(address);
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return addresses;
}

std::vector<std::string> SplitUnsubscribeList(const std::string& list) {
  std::vector<std::string> entries;
  size_t start = 0;
  for (size_t at = 0; at <= list.size(); ++at) {
    if (at < list.size() && !(list[at] == ',' && SchemeFollows(list, at + 1))) continue;
    std::string entry = Trimmed(list.substr(start, at - start));
    if (entry.size() >= 2 && entry.front() == '<' && entry.back() == '>')
      entry = Trimmed(entry.substr(1, entry.size() - 2));
    if (!entry.empty()) entries.push_back(entry);
    start = at + 1;
  }
  return entries;
}

const char* FindUnusableOption() {
  if (!AllUsable(Options.Cc)) return "Cc";
  if (!AllUsable(Options.Bcc)) return "Bcc";
  if (!AllUsable(Options.ReplyTo)) return "ReplyTo";
  struct Column {
    const char* key;
    const std::string& value;
  } columns[] = {
      {"AttachColumn", Options.AttachColumn}, {"CcColumn", Options.CcColumn}, {"BccColumn", Options.BccColumn}};
  for (const Column& c : columns)
    if (!c.value.empty() && ColumnLetter(c.value).empty()) return c.key;
  for (const std::string& url : SplitUnsubscribeList(Options.ListUnsubscribe))
    if (!IsUnsubscribeUrl(url)) return "ListUnsubscribe";
  return nullptr;
}

bool GatherCopies(int row, const char* to, RowCopies& copies, std::string& unusable) {
  std::vector<std::string> named = {AsciiLowered(to ? to : "")};
  return AddAddresses(Options.Cc, named, copies.Cc, unusable) &&
         AddAddresses(OptionCell(Options.CcColumn, row), named, copies.Cc, unusable) &&
         AddAddresses(Options.Bcc, named, copies.Bcc, unusable) &&
         AddAddresses(OptionCell(Options.BccColumn, row), named, copies.Bcc, unusable);
}

std::vector<std::string> UnsubscribeUrls(int row) {
  std::vector<std::string> urls;
  for (const std::string& entry : SplitUnsubscribeList(Options.ListUnsubscribe))
    urls.push_back(PercentEncoded(platform::Cp932ToUtf8(FillEncoded(row, entry)), IsUrlByte));
  return urls;
}

std::string ListIdOf(const char* mailAddress) {
  std::string address = mailAddress ? mailAddress : "";
  size_t at = address.rfind('@');
  if (at == std::string::npos || at == 0) return "";
  std::string domain = address.substr(at + 1);
  if (domain.empty() || domain.front() == '.' || domain.back() == '.' ||
      domain.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-.") != std::string::npos)
    return "";
  std::string label;
  for (size_t i = 0; i < at; i += IsLeadByte(static_cast<unsigned char>(address[i])) ? 2 : 1) {
    char c = address[i];
    bool kept = !IsLeadByte(static_cast<unsigned char>(c)) &&
                ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-');
    label += kept ? c : '-';
  }
  return label + "." + domain;
}

std::string ExtraHeaderLines(const std::vector<std::string>& cc, const std::vector<std::string>& unsubscribe) {
  std::string lines;
  if (!cc.empty()) lines += FoldedList("Cc", Utf8Items(cc, "", ""));
  std::vector<std::string> replyTo = SplitAddressList(Options.ReplyTo);
  if (!replyTo.empty()) lines += FoldedList("Reply-To", Utf8Items(replyTo, "", ""));
  if (unsubscribe.empty()) return lines;
  std::string listId = ListIdOf(SendSettings.MailAddress);
  if (!listId.empty()) lines += "List-Id: <" + listId + ">\r\n";
  lines += FoldedList("List-Unsubscribe", Utf8Items(unsubscribe, "<", ">"));
  bool oneClick = false;
  for (const std::string& url : unsubscribe) oneClick = oneClick || StartsWithNoCase(url, "https:");
  if (oneClick) lines += "List-Unsubscribe-Post: List-Unsubscribe=One-Click\r\n";
  return lines;
}
