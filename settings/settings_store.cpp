#include "settings/settings_store.h"

#include <climits>
#include <cstdio>
#include <cstring>
#include <new>

#include "text/sjis_text.h"
#include "platform/files.h"
#include "settings/file_locations.h"
#include "settings/send_settings.h"

namespace {

// Longer than any field, so that trimming sees whole values; what a line holds beyond it
// is read and dropped.
constexpr size_t kLineBuffer = 1024;

inline unsigned char SwapNibbles(unsigned char b) { return static_cast<unsigned char>((b << 4) | (b >> 4)); }

// Where a settings text is read from, a byte at a time: an open file, or bytes in memory.
struct ByteSource {
  FILE* file = nullptr;
  const unsigned char* bytes = nullptr;
  size_t length = 0;
  size_t position = 0;
  int Next() {
    if (file) return std::fgetc(file);
    return position < length ? bytes[position++] : EOF;
  }
};

// Reads one line (up to and including its LF, or to the end of the text) and keeps at most
// capacity - 1 bytes of it, ending between whole Shift-JIS characters. False at the end of
// the text when nothing was read.
bool ReadLine(ByteSource& source, char* line, size_t capacity) {
  size_t kept = 0;
  bool any = false;
  bool full = false;
  int c;
  while ((c = source.Next()) != EOF) {
    any = true;
    if (!full) {
      if (kept + 1 < capacity) {
        line[kept++] = static_cast<char>(c);
      } else {
        full = true;
      }
    }
    if (c == '\n') break;
  }
  line[kept] = '\0';
  if (full) {
    // Do not leave the first byte of a character whose second byte was dropped.
    size_t i = 0;
    while (i < kept) {
      size_t step = IsLeadByte(static_cast<unsigned char>(line[i])) ? 2 : 1;
      if (i + step > kept) {
        line[i] = '\0';
        break;
      }
      i += step;
    }
  }
  return any;
}

// Line k of the text, trimmed, into field k; lines after the fifteenth are read and dropped.
void ReadSettingsFields(ByteSource& source) {
  SettingsField fields[kSettingsFieldCount];
  ListSettingsFields(SendSettings, fields);
  char line[kLineBuffer];
  for (int number = 1; ReadLine(source, line, sizeof line); ++number) {
    TrimField(line);
    if (number <= kSettingsFieldCount) {
      const SettingsField& field = fields[number - 1];
      CopyWhole(field.text, line, static_cast<size_t>(field.capacity));
    }
  }
}

// The whole file in a buffer of its size + 1 bytes (a zero byte after them) that the caller
// releases with delete[]; nullptr when it cannot be read whole.
unsigned char* ReadWholeFile(const char* path, long long* size) {
  if (!platform::GetFileSize(path, size) || *size < 0 || *size >= INT_MAX) return nullptr;
  int fd = platform::OpenFileShared(path, O_RDONLY | O_BINARY, 0);
  if (fd < 0) return nullptr;
  unsigned char* buffer = new (std::nothrow) unsigned char[static_cast<size_t>(*size) + 1];
  long got = buffer ? platform::ReadFd(fd, buffer, static_cast<unsigned long>(*size)) : -1;
  platform::CloseFd(fd);
  if (got != static_cast<long>(*size)) {
    delete[] buffer;
    return nullptr;
  }
  buffer[*size] = 0;
  return buffer;
}

// The plain file, as it is, scrambled into the stored form and deleted on success.
void StorePlainFileAsItIs() {
  if (ScrambleFile(FileLocations.SettingsPath, FileLocations.StoredSettingsPath) == 0)
    platform::RemoveFile(FileLocations.SettingsPath);
}

enum class WriteResult { Written, NotOpened, Incomplete };

// Writes the fifteen fields, each followed by CR LF.
WriteResult WriteSettingsFile(const char* path) {
  FILE* file = platform::OpenStreamShared(path, "wb");
  if (!file) return WriteResult::NotOpened;
  SettingsField fields[kSettingsFieldCount];
  ListSettingsFields(SendSettings, fields);
  bool written = true;
  for (const SettingsField& field : fields) {
    size_t length = strnlen(field.text, static_cast<size_t>(field.capacity));
    if (std::fwrite(field.text, 1, length, file) != length || std::fwrite("\r\n", 1, 2, file) != 2) {
      written = false;
      break;
    }
  }
  if (std::fclose(file) != 0) written = false;
  return written ? WriteResult::Written : WriteResult::Incomplete;
}

}  // namespace

void ScrambleBytes(unsigned char* bytes, int length) {
  if (!bytes || length < 2) return;
  for (int i = 0; i < length / 2; ++i) {
    int j = length - 1 - i;
    unsigned char a = bytes[i];
    unsigned char b = bytes[j];
    bytes[i] = SwapNibbles(static_cast<unsigned char>(~b));
    bytes[j] = SwapNibbles(static_cast<unsigned char>(~a));
  }
}

int ScrambleFile(const char* sourcePath, const char* destinationPath) {
  long long size = 0;
  unsigned char* buffer = ReadWholeFile(sourcePath, &size);
  if (!buffer) return -1;
  ScrambleBytes(buffer, static_cast<int>(size));
  int result = platform::WriteFileWhole(destinationPath, buffer, static_cast<unsigned long>(size)) ? 0 : -1;
  delete[] buffer;
  return result;
}

void LoadSettings() {
  if (ScrambleFile(FileLocations.StoredSettingsPath, FileLocations.SettingsPath) == 0)
    platform::RemoveFile(FileLocations.StoredSettingsPath);
  if (!platform::PathExists(FileLocations.SettingsPath)) return;
  ByteSource source;
  source.file = platform::OpenStreamShared(FileLocations.SettingsPath, "rb");
  if (!source.file) return;
  ReadSettingsFields(source);
  std::fclose(source.file);
}

void LoadStoredSettings() {
  long long size = 0;
  unsigned char* stored = ReadWholeFile(FileLocations.StoredSettingsPath, &size);
  if (!stored) {
    // No stored form that can be read: a plain file left from before, if there is one, is
    // read and then stored.
    LoadSettings();
    StorePlainFileAsItIs();
    return;
  }
  ScrambleBytes(stored, static_cast<int>(size));
  ByteSource source;
  source.bytes = stored;
  source.length = static_cast<size_t>(size);
  ReadSettingsFields(source);
  delete[] stored;
  // The stored form wins over a plain file beside it, which must not stay in plain text.
  platform::RemoveFile(FileLocations.SettingsPath);
}

void StoreSettings() {
  WriteResult written = EscapePressed == 1 ? WriteResult::NotOpened : WriteSettingsFile(FileLocations.SettingsPath);
  if (written == WriteResult::Incomplete) {
    // The plain file holds only part of the values: scrambling it would replace an older
    // stored form with that part, and deleting it would lose even the part. Leave both files.
    // (A file that could not be opened at all still holds what start-up left, and is stored.)
    return;
  }
  if (ScrambleFile(FileLocations.SettingsPath, FileLocations.StoredSettingsPath) == 0) {
    platform::RemoveFile(FileLocations.SettingsPath);
  } else if (written == WriteResult::Written) {
    // The plain file holds the newest values whole but could not be stored. An older stored
    // form would win over it at the next start: it goes, so that the plain file is read.
    platform::RemoveFile(FileLocations.StoredSettingsPath);
  }
}

