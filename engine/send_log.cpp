#include "engine/send_log.h"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <unordered_set>

#include "engine/engine_texts.h"
#include "text/sjis_text.h"
#include "platform/files.h"
#include "settings/file_locations.h"

namespace {

inline size_t CharLength(const char* p, const char* end) {
  return (IsLeadByte(static_cast<unsigned char>(*p)) && p + 1 < end) ? 2 : 1;
}

bool MatchesAt(const char* p, const char* end, const char* marker, size_t markerLength) {
  return static_cast<size_t>(end - p) >= markerLength && std::memcmp(p, marker, markerLength) == 0;
}

std::string Key(const char* title, size_t titleLength, const char* address, size_t addressLength) {
  std::string key(title, titleLength);
  key += '\0';
  key.append(address, addressLength);
  return key;
}

// Calls `take` for every line of `data` that ends with LF (its line end removed) and returns
// the number of bytes those lines used; a last line without LF is left for the caller.
template <typename Take>
size_t ForEachWholeLine(const char* data, size_t size, Take take) {
  size_t start = 0;
  for (;;) {
    const void* lf = std::memchr(data + start, '\n', size - start);
    if (!lf) return start;
    size_t end = static_cast<size_t>(static_cast<const char*>(lf) - data);
    take(data + start, end - start);
    start = end + 1;
  }
}

// A title or address as the log holds it: a line break inside (a cell written on two lines)
// would split the row's line in two, so that the row never matched and went out again on
// every run. CR and LF are logged, and looked up, as spaces.
std::string AsLogged(const char* text) {
  std::string out(text ? text : "");
  for (char& c : out)
    if (c == '\r' || c == '\n') c = ' ';
  return out;
}

void StripLineEnd(const char* line, size_t* length) {
  while (*length > 0 && (line[*length - 1] == '\r' || line[*length - 1] == '\n')) --*length;
}

// What IsAlreadySent has read of the log so far.
struct LogCache {
  std::string path;
  long long offset = 0;                     // bytes of whole lines taken into `sent`
  std::unordered_set<std::string> sent;     // title, zero byte, address
  std::string tail;                         // a last line without its LF yet
} gCache;

void AddLine(std::unordered_set<std::string>& sent, const char* line, size_t length) {
  StripLineEnd(line, &length);
  const char* title;
  const char* address;
  size_t titleLength, addressLength;
  if (ParseSendLogLine(line, length, &title, &titleLength, &address, &addressLength))
    sent.insert(Key(title, titleLength, address, addressLength));
}

bool LineMatches(const std::string& line, const char* title, const char* address) {
  size_t length = line.size();
  StripLineEnd(line.data(), &length);
  const char* t;
  const char* a;
  size_t tl, al;
  if (!ParseSendLogLine(line.data(), length, &t, &tl, &a, &al)) return false;
  return tl == std::strlen(title) && std::memcmp(t, title, tl) == 0 && al == std::strlen(address) &&
         std::memcmp(a, address, al) == 0;
}

bool SeekTo(FILE* file, long long offset) {
#ifdef _WIN32
  return _fseeki64(file, offset, SEEK_SET) == 0;
#else
  return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
}

}  // namespace

bool ParseSendLogLine(const char* line, size_t length, const char** title, size_t* titleLength,
                      const char** address, size_t* addressLength) {
  const char* end = line + length;
  const size_t rowLength = sizeof kLogRowMarker - 1;
  const size_t titleMarkerLength = sizeof kLogTitleMarker - 1;
  const size_t addressMarkerLength = sizeof kLogAddressMarker - 1;
  const char* rowMark = nullptr;
  const char* titleStart = nullptr;
  const char* lastAddressMark = nullptr;
  for (const char* p = line; p < end; p += CharLength(p, end)) {
    if (!rowMark) {
      if (MatchesAt(p, end, kLogRowMarker, rowLength)) rowMark = p;
    } else if (!titleStart) {
      if (MatchesAt(p, end, kLogTitleMarker, titleMarkerLength)) {
        titleStart = p + titleMarkerLength;
        p = titleStart;
        if (p >= end) break;
        // The title starts a new character: go on from it without stepping over it.
        for (;;) {
          if (MatchesAt(p, end, kLogAddressMarker, addressMarkerLength)) lastAddressMark = p;
          p += CharLength(p, end);
          if (p >= end) break;
        }
        break;
      }
    }
  }
  if (!titleStart || !lastAddressMark || end <= line || end[-1] != ']') return false;
  const char* addressStart = lastAddressMark + addressMarkerLength;
  if (addressStart > end - 1) return false;
  *title = titleStart;
  *titleLength = static_cast<size_t>(lastAddressMark - titleStart);
  *address = addressStart;
  *addressLength = static_cast<size_t>(end - 1 - addressStart);
  return true;
}

bool AppendSendLog(int row, const char* title, const char* address) {
  std::time_t now = std::time(nullptr);
  FILE* file = platform::OpenStreamShared(FileLocations.LogPath, "ab");
  if (!file) return false;
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &now);
#else
  localtime_r(&now, &local);
#endif
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y/%m/%d %H:%M:%S", &local);
  // A title text holds at most 1,023 bytes and an address 255: the line always fits.
  char line[2048];
  int n = std::snprintf(line, sizeof line, kLogLineFormat, stamp, row, AsLogged(title).c_str(),
                        AsLogged(address).c_str());
  size_t length = n > 0 ? (static_cast<size_t>(n) < sizeof line ? static_cast<size_t>(n) : sizeof line - 1) : 0;
  bool written = length > 0 && std::fwrite(line, 1, length, file) == length;
  return std::fclose(file) == 0 && written;
}

void ResetSendLogCache() {
  gCache.path.clear();
  gCache.offset = 0;
  gCache.sent.clear();
  gCache.tail.clear();
}

bool IsAlreadySent(const char* givenTitle, const char* givenAddress) {
  const std::string loggedTitle = AsLogged(givenTitle), loggedAddress = AsLogged(givenAddress);
  const char* title = loggedTitle.c_str();
  const char* address = loggedAddress.c_str();
  if (gCache.path != FileLocations.LogPath) {
    ResetSendLogCache();
    gCache.path = FileLocations.LogPath;
  }
  long long size = 0;
  if (!platform::GetFileSize(FileLocations.LogPath, &size)) {
    // No log (any more): nothing counts as sent.
    ResetSendLogCache();
    gCache.path = FileLocations.LogPath;
    return false;
  }
  if (size < gCache.offset + static_cast<long long>(gCache.tail.size())) {
    // Shorter than what was read: another file now, read it from its start.
    ResetSendLogCache();
    gCache.path = FileLocations.LogPath;
  }
  long long known = gCache.offset + static_cast<long long>(gCache.tail.size());
  if (size > known) {
    FILE* file = platform::OpenStreamShared(FileLocations.LogPath, "rb");
    if (!file) return false;
    if (SeekTo(file, known)) {
      std::string data = gCache.tail;
      char chunk[65536];
      size_t got;
      while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) data.append(chunk, got);
      size_t used = ForEachWholeLine(data.data(), data.size(), [](const char* line, size_t length) {
        AddLine(gCache.sent, line, length);
      });
      gCache.offset += static_cast<long long>(used);
      gCache.tail.assign(data, used, std::string::npos);
    }
    std::fclose(file);
  }
  std::string key = Key(title, std::strlen(title), address, std::strlen(address));
  if (gCache.sent.count(key)) return true;
  return !gCache.tail.empty() && LineMatches(gCache.tail, title, address);
}

bool IsAlreadySentByFullScan(const char* givenTitle, const char* givenAddress) {
  const std::string loggedTitle = AsLogged(givenTitle), loggedAddress = AsLogged(givenAddress);
  const char* title = loggedTitle.c_str();
  const char* address = loggedAddress.c_str();
  FILE* file = platform::OpenStreamShared(FileLocations.LogPath, "rb");
  if (!file) return false;
  // Lines are taken as bytes, zero bytes included (a log damaged by a crash may hold a run of
  // them before the next line), exactly as the look-up that keeps what it read takes them.
  bool found = false;
  std::string line;
  char chunk[1024];
  size_t got;
  while (!found && (got = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
    for (size_t i = 0; i < got && !found; ++i) {
      line += chunk[i];
      if (chunk[i] != '\n') continue;
      found = LineMatches(line, title, address);
      line.clear();
    }
  }
  if (!found && !line.empty()) found = LineMatches(line, title, address);
  std::fclose(file);
  return found;
}
