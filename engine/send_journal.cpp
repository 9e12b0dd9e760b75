#include "engine/send_journal.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <zlib.h>

#include "engine/send_log.h"
#include "platform/files.h"
#include "settings/file_locations.h"

namespace {

// A journal longer than this was not written by this program: it is taken as empty.
constexpr long long kMostJournalBytes = 1 << 20;
constexpr char kHexDigits[] = "0123456789abcdef";

bool IsIdCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-';
}

std::string ToHex(const std::string& bytes) {
  std::string out;
  out.reserve(bytes.size() * 2);
  for (unsigned char b : bytes) {
    out += kHexDigits[b >> 4];
    out += kHexDigits[b & 15];
  }
  return out;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Lower-case hexadecimal of an even length into bytes; false for anything else.
bool FromHex(const std::string& hex, std::string* bytes) {
  if (hex.size() % 2 != 0) return false;
  bytes->clear();
  for (size_t i = 0; i < hex.size(); i += 2) {
    int high = HexValue(hex[i]);
    int low = HexValue(hex[i + 1]);
    if (high < 0 || low < 0) return false;
    *bytes += static_cast<char>(high * 16 + low);
  }
  return true;
}

// 1 to 18 decimal digits.
bool FromDecimal(const std::string& text, long long* value) {
  if (text.empty() || text.size() > 18) return false;
  *value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    *value = *value * 10 + (c - '0');
  }
  return true;
}

unsigned long Checksum(const std::string& text) {
  uLong crc = crc32(0L, Z_NULL, 0);
  return crc32(crc, reinterpret_cast<const Bytef*>(text.data()), static_cast<uInt>(text.size()));
}

// The part of a line after its checksum.
std::string EntryText(const JournalEntry& entry) {
  return std::to_string(entry.LogSize) + " " + ToHex(entry.Title) + " " + ToHex(entry.Address) + " " +
         entry.MessageId;
}

// The four fields after a line's checksum, separated by single spaces (the hex fields may be
// empty); false when there are not four.
bool SplitFields(const std::string& rest, std::string fields[4]) {
  size_t start = 0;
  for (int i = 0; i < 3; ++i) {
    size_t space = rest.find(' ', start);
    if (space == std::string::npos) return false;
    fields[i] = rest.substr(start, space - start);
    start = space + 1;
  }
  fields[3] = rest.substr(start);
  return true;
}

// One line without its line end into an entry; false when any check fails.
bool ParseLine(const std::string& line, JournalEntry* entry) {
  if (line.size() < 9 || line[8] != ' ') return false;
  std::string rest = line.substr(9);
  char expected[9];
  std::snprintf(expected, sizeof expected, "%08lx", Checksum(rest));
  std::string fields[4];
  if (line.compare(0, 8, expected) != 0 || !SplitFields(rest, fields)) return false;
  if (!FromDecimal(fields[0], &entry->LogSize) || !FromHex(fields[1], &entry->Title) ||
      !FromHex(fields[2], &entry->Address) || !IsJournalMessageId(fields[3].c_str()))
    return false;
  entry->MessageId = fields[3];
  return true;
}

bool SameDelivery(const JournalEntry& entry, const char* title, const char* address) {
  return entry.Title == title && entry.Address == address;
}

long long LogSizeNow() {
  long long size = 0;
  return platform::GetFileSize(FileLocations.LogPath, &size) ? size : 0;
}

// The journal's entries as the file holds them now; none when it is missing or cannot be read.
std::vector<JournalEntry> LoadJournal() {
  long long size = 0;
  if (!platform::GetFileSize(FileLocations.JournalPath, &size) || size <= 0 || size > kMostJournalBytes) return {};
  int fd = platform::OpenFileShared(FileLocations.JournalPath, O_RDONLY | O_BINARY, 0);
  if (fd < 0) return {};
  std::string bytes(static_cast<size_t>(size), '\0');
  long got = platform::ReadFd(fd, &bytes[0], static_cast<unsigned long>(size));
  platform::CloseFd(fd);
  if (got <= 0) return {};
  return ParseJournal(bytes.data(), static_cast<size_t>(got));
}

bool StoreJournal(const std::vector<JournalEntry>& entries) {
  if (entries.empty()) return platform::RemoveFile(FileLocations.JournalPath) == 0;
  std::string text = FormatJournal(entries);
  return platform::WriteFileWhole(FileLocations.JournalPath, text.data(), static_cast<unsigned long>(text.size()));
}

// Removes the entries for this title and address.
void RemoveDelivery(std::vector<JournalEntry>& entries, const char* title, const char* address) {
  entries.erase(std::remove_if(entries.begin(), entries.end(),
                               [&](const JournalEntry& e) { return SameDelivery(e, title, address); }),
                entries.end());
}

// Drops the entries whose delivery the send log holds: a run killed between the log line and
// its clearing leaves one behind, and a log emptied later must not bring it back.
void DropLogged(std::vector<JournalEntry>& entries) {
  entries.erase(std::remove_if(entries.begin(), entries.end(),
                               [](const JournalEntry& e) { return IsAlreadySent(e.Title.c_str(), e.Address.c_str()); }),
                entries.end());
}

}  // namespace

bool IsJournalMessageId(const char* messageId) {
  if (!messageId) return false;
  size_t length = std::strlen(messageId);
  if (length < 5 || length + 1 > kMessageIdCapacity || messageId[0] != '<' || messageId[length - 1] != '>')
    return false;
  const char* at = std::strchr(messageId, '@');
  if (!at || at == messageId + 1 || at + 2 == messageId + length) return false;
  for (size_t i = 1; i + 1 < length; ++i)
    if (messageId + i != at && !IsIdCharacter(messageId[i])) return false;
  return true;
}

std::vector<JournalEntry> ParseJournal(const char* bytes, size_t length) {
  std::vector<JournalEntry> entries;
  size_t start = 0;
  while (start < length) {
    const void* found = std::memchr(bytes + start, '\n', length - start);
    size_t end = found ? static_cast<size_t>(static_cast<const char*>(found) - bytes) : length;
    std::string line(bytes + start, end - start);
    if (found) {
      // A line that ends in LF must end in CR LF, as the journal writes it.
      if (line.empty() || line.back() != '\r') line = std::string();
      else line.pop_back();
    }
    JournalEntry entry;
    if (ParseLine(line, &entry)) entries.push_back(entry);
    start = end + 1;
  }
  if (entries.size() > kJournalCapacity)
    entries.erase(entries.begin(), entries.end() - static_cast<long>(kJournalCapacity));
  return entries;
}

std::string FormatJournal(const std::vector<JournalEntry>& entries) {
  std::string text;
  for (const JournalEntry& entry : entries) {
    std::string rest = EntryText(entry);
    char sum[9];
    std::snprintf(sum, sizeof sum, "%08lx", Checksum(rest));
    text += std::string(sum) + " " + rest + "\r\n";
  }
  return text;
}

bool FindJournalMessageId(const char* title, const char* address, char* messageId, size_t capacity) {
  if (capacity > 0) messageId[0] = '\0';
  std::vector<JournalEntry> entries = LoadJournal();
  for (size_t i = entries.size(); i-- > 0;) {
    const JournalEntry& entry = entries[i];
    if (!SameDelivery(entry, title, address)) continue;
    if (LogSizeNow() < entry.LogSize || entry.MessageId.size() + 1 > capacity) return false;
    std::memcpy(messageId, entry.MessageId.c_str(), entry.MessageId.size() + 1);
    return true;
  }
  return false;
}

bool RecordJournalEntry(const char* title, const char* address, const char* messageId) {
  if (!IsJournalMessageId(messageId)) return false;
  std::vector<JournalEntry> entries = LoadJournal();
  RemoveDelivery(entries, title, address);
  DropLogged(entries);
  JournalEntry entry;
  entry.Title = title;
  entry.Address = address;
  entry.MessageId = messageId;
  entry.LogSize = LogSizeNow();
  entries.push_back(entry);
  if (entries.size() > kJournalCapacity)
    entries.erase(entries.begin(), entries.end() - static_cast<long>(kJournalCapacity));
  return StoreJournal(entries);
}

void ClearJournalEntry(const char* title, const char* address) {
  std::vector<JournalEntry> entries = LoadJournal();
  size_t before = entries.size();
  RemoveDelivery(entries, title, address);
  DropLogged(entries);
  if (entries.size() != before) StoreJournal(entries);
}
