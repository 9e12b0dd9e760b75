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

// The marker in the log size and Message-ID fields of a clearing line.
const char kClearingMark[] = "-";

// The journal grows by appended lines until one more would pass either bound; it is then
// written anew with its entries alone. Both keep it far below kMostJournalBytes.
constexpr size_t kMostJournalLines = 4 * kJournalCapacity;
constexpr long long kCompactJournalBytes = 256 * 1024;

// A line: its checksum, a space, the rest, CR LF.
std::string ChecksummedLine(const std::string& rest) {
  char sum[9];
  std::snprintf(sum, sizeof sum, "%08lx", Checksum(rest));
  return std::string(sum) + " " + rest + "\r\n";
}

std::string RecordLine(const JournalEntry& entry) {
  return ChecksummedLine(std::to_string(entry.LogSize) + " " + ToHex(entry.Title) + " " + ToHex(entry.Address) +
                         " " + entry.MessageId);
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

// One line without its line end into an entry, and whether it clears that entry (its log size
// and Message-ID are then empty); false when any check fails.
bool ParseLine(const std::string& line, JournalEntry* entry, bool* clearing) {
  if (line.size() < 9 || line[8] != ' ') return false;
  std::string rest = line.substr(9);
  char expected[9];
  std::snprintf(expected, sizeof expected, "%08lx", Checksum(rest));
  std::string fields[4];
  if (line.compare(0, 8, expected) != 0 || !SplitFields(rest, fields)) return false;
  if (!FromHex(fields[1], &entry->Title) || !FromHex(fields[2], &entry->Address)) return false;
  *clearing = fields[0] == kClearingMark && fields[3] == kClearingMark;
  if (*clearing) return true;
  if (!FromDecimal(fields[0], &entry->LogSize) || !IsJournalMessageId(fields[3].c_str())) return false;
  entry->MessageId = fields[3];
  return true;
}

bool SameDelivery(const JournalEntry& entry, const std::string& title, const std::string& address) {
  return entry.Title == title && entry.Address == address;
}

// Removes the entries for this title and address.
void RemoveDelivery(std::vector<JournalEntry>& entries, const std::string& title, const std::string& address) {
  entries.erase(std::remove_if(entries.begin(), entries.end(),
                               [&](const JournalEntry& e) { return SameDelivery(e, title, address); }),
                entries.end());
}

// Puts the entry in the place of any earlier one for its delivery, at the end; the oldest
// beyond kJournalCapacity go.
void PutEntry(std::vector<JournalEntry>& entries, const JournalEntry& entry) {
  RemoveDelivery(entries, entry.Title, entry.Address);
  entries.push_back(entry);
  if (entries.size() > kJournalCapacity)
    entries.erase(entries.begin(), entries.end() - static_cast<long>(kJournalCapacity));
}

long long LogSizeNow() {
  long long size = 0;
  return platform::GetFileSize(FileLocations.LogPath, &size) ? size : 0;
}

// What this process knows of the journal file at `path`.
struct JournalCache {
  std::string path;
  bool exists = false;
  long long size = 0;       // the file's size as this process read or left it
  size_t lines = 0;         // its line ends
  bool endsInLine = true;   // false when its last line was cut short (an append must start anew)
  std::vector<JournalEntry> entries;
} gJournal;

// Reads the journal file into the cache; a file that is missing, cannot be read or is too long
// to be one of ours holds no entries (one too long is written anew at the next change).
void ReadJournal(long long size) {
  gJournal.exists = true;
  gJournal.size = size;
  std::string bytes;
  bool readable = size > 0 && size <= kMostJournalBytes;
  int fd = readable ? platform::OpenFileShared(gJournal.path.c_str(), O_RDONLY | O_BINARY, 0) : -1;
  if (fd >= 0) {
    bytes.resize(static_cast<size_t>(size));
    long got = platform::ReadFd(fd, &bytes[0], static_cast<unsigned long>(size));
    platform::CloseFd(fd);
    bytes.resize(got > 0 ? static_cast<size_t>(got) : 0);
  }
  gJournal.entries = ParseJournal(bytes.data(), bytes.size());
  gJournal.lines = static_cast<size_t>(std::count(bytes.begin(), bytes.end(), '\n'));
  gJournal.endsInLine = bytes.empty() || bytes.back() == '\n';
  if (size > 0 && bytes.size() != static_cast<size_t>(size)) gJournal.lines = kMostJournalLines;
}

// The journal's entries as the file holds them now, read again only when the file is not as
// this process left it.
JournalCache& CurrentJournal() {
  long long size = 0;
  bool exists = platform::GetFileSize(FileLocations.JournalPath, &size);
  if (gJournal.path == FileLocations.JournalPath && gJournal.exists == exists && (!exists || gJournal.size == size))
    return gJournal;
  ResetSendJournalCache();
  gJournal.path = FileLocations.JournalPath;
  if (exists) ReadJournal(size);
  return gJournal;
}

// Writes the cached entries as the whole journal, or deletes it when there are none.
bool RewriteJournal() {
  const char* path = gJournal.path.c_str();
  std::string text = FormatJournal(gJournal.entries);
  bool done = text.empty() ? platform::RemoveFile(path) == 0 || !platform::PathExists(path)
                           : platform::WriteFileWhole(path, text.data(), static_cast<unsigned long>(text.size()));
  if (!done) return false;
  gJournal.exists = !text.empty();
  gJournal.size = static_cast<long long>(text.size());
  gJournal.lines = gJournal.entries.size();
  gJournal.endsInLine = true;
  return true;
}

// Appends the lines (`count` of them) that bring the file to the cached entries; the journal is
// written anew instead when it would grow past its bounds. On any failure the cache is
// forgotten, so that the next call reads what the file really holds.
bool WriteChanges(const std::string& lines, size_t count) {
  bool done = false;
  long long grown = gJournal.size + static_cast<long long>(lines.size());
  if (gJournal.lines + count > kMostJournalLines || grown > kCompactJournalBytes) {
    done = RewriteJournal();
  } else {
    std::string text = gJournal.endsInLine ? lines : "\r\n" + lines;
    const int flags = O_WRONLY | O_CREAT | O_APPEND | O_BINARY;
    int fd = platform::OpenFileShared(gJournal.path.c_str(), flags, platform::kReadWrite);
    long put = fd >= 0 ? platform::WriteFd(fd, text.data(), static_cast<unsigned long>(text.size())) : -1;
    bool closed = fd >= 0 && platform::CloseFd(fd) == 0;
    done = closed && put == static_cast<long>(text.size());
    if (done) {
      gJournal.exists = true;
      gJournal.size += static_cast<long long>(text.size());
      gJournal.lines += count + (gJournal.endsInLine ? 0 : 1);
      gJournal.endsInLine = true;
    }
  }
  if (!done) ResetSendJournalCache();
  return done;
}

// Takes out the entries whose delivery the send log holds (a run killed between the log line
// and its clearing leaves one, and a log emptied later must not bring it back), adding their
// clearing lines to `lines`; returns how many.
size_t DropLogged(std::string& lines) {
  size_t count = 0;
  std::vector<JournalEntry>& entries = gJournal.entries;
  for (size_t i = 0; i < entries.size();) {
    if (IsAlreadySent(entries[i].Title.c_str(), entries[i].Address.c_str())) {
      lines += FormatJournalClearing(entries[i].Title, entries[i].Address);
      ++count;
      entries.erase(entries.begin() + static_cast<long>(i));
    } else {
      ++i;
    }
  }
  return count;
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
    bool clearing = false;
    if (ParseLine(line, &entry, &clearing)) {
      if (clearing) RemoveDelivery(entries, entry.Title, entry.Address);
      else PutEntry(entries, entry);
    }
    start = end + 1;
  }
  return entries;
}

std::string FormatJournal(const std::vector<JournalEntry>& entries) {
  std::string text;
  for (const JournalEntry& entry : entries) text += RecordLine(entry);
  return text;
}

std::string FormatJournalClearing(const std::string& title, const std::string& address) {
  return ChecksummedLine(std::string(kClearingMark) + " " + ToHex(title) + " " + ToHex(address) + " " + kClearingMark);
}

void ResetSendJournalCache() { gJournal = JournalCache(); }

bool FindJournalMessageId(const char* title, const char* address, char* messageId, size_t capacity) {
  if (capacity > 0) messageId[0] = '\0';
  const std::vector<JournalEntry>& entries = CurrentJournal().entries;
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
  if (!IsJournalMessageId(messageId) || !*FileLocations.JournalPath) return false;
  CurrentJournal();
  std::string lines;
  size_t count = DropLogged(lines);
  JournalEntry entry;
  entry.Title = title;
  entry.Address = address;
  entry.MessageId = messageId;
  entry.LogSize = LogSizeNow();
  PutEntry(gJournal.entries, entry);
  lines += RecordLine(entry);
  return WriteChanges(lines, count + 1);
}

void ClearJournalEntry(const char* title, const char* address) {
  if (CurrentJournal().entries.empty()) return;
  std::string lines;
  size_t before = gJournal.entries.size();
  RemoveDelivery(gJournal.entries, title, address);
  size_t count = 0;
  if (gJournal.entries.size() != before) {
    lines += FormatJournalClearing(title, address);
    ++count;
  }
  count += DropLogged(lines);
  if (count == 0) return;
  WriteChanges(lines, count);
}

void TidySendJournal() {
  CurrentJournal();
  if (gJournal.exists && (gJournal.lines != gJournal.entries.size() || !gJournal.endsInLine)) RewriteJournal();
}
