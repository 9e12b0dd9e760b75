#include "engine/attachments.h"

#include <cstring>
#include <vector>

#include "engine/wire_message.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "text/sjis_text.h"

namespace {

// Files are read in blocks of whole base64 lines (57 bytes make a line of 76 characters).
constexpr size_t kReadBlock = 57 * 1024;

bool IsSeparator(char c) {
#ifdef _WIN32
  return c == '\\' || c == '/';
#else
  return c == '/';
#endif
}

// The position after the last separator of a Shift-JIS path (0 when it has none).
size_t NameStart(const std::string& path) {
  size_t start = 0;
  for (size_t i = 0; i < path.size(); i += IsLeadByte(static_cast<unsigned char>(path[i])) ? 2 : 1)
    if (IsSeparator(path[i])) start = i + 1;
  return start < path.size() ? start : path.size();
}

bool IsAbsolute(const std::string& path) {
  if (!path.empty() && IsSeparator(path[0])) return true;
#ifdef _WIN32
  // "C:\..." and also "C:name", which names a file of that drive, not of the workbook's folder.
  char drive = path.size() >= 2 && path[1] == ':' ? path[0] : '\0';
  return (drive >= 'A' && drive <= 'Z') || (drive >= 'a' && drive <= 'z');
#else
  return false;
#endif
}

std::string Trimmed(const std::string& text) {
  size_t start = text.find_first_not_of(" \t");
  if (start == std::string::npos) return "";
  size_t end = text.size();
  // A trail byte is never a space or a tab, so trimming from the end cannot cut a character.
  while (end > start && (text[end - 1] == ' ' || text[end - 1] == '\t')) --end;
  std::string out = text.substr(start, end - start);
  if (out.size() >= 2 && out.front() == '"' && out.back() == '"') out = out.substr(1, out.size() - 2);
  return out;
}

// True when the descriptor's file yields its first byte (a folder does not).
bool Readable(const char* path, unsigned long long size) {
  int fd = platform::OpenFileShared(path, O_RDONLY | O_BINARY, 0);
  if (fd < 0) return false;
  char byte;
  bool ok = size == 0 || platform::ReadFd(fd, &byte, 1) == 1;
  platform::CloseFd(fd);
  return ok;
}

bool WriteAll(int fd, const char* bytes, size_t length) {
  return platform::WriteFd(fd, bytes, static_cast<unsigned long>(length)) == static_cast<long>(length);
}

bool WriteAll(int fd, const std::string& bytes) { return WriteAll(fd, bytes.data(), bytes.size()); }

// Streams one file's part into the message file; counts the bytes written.
MessageFileResult WriteAttachmentPart(int fd, const std::string& boundary, const Attachment& attachment,
                                      unsigned long long& written) {
  std::string header = AttachmentPartHeader(boundary, attachment.Name);
  if (!WriteAll(fd, header)) return kMessageFileFailed;
  written += header.size();
  int in = platform::OpenFileShared(attachment.Path.c_str(), O_RDONLY | O_BINARY, 0);
  if (in < 0) return kAttachmentUnreadable;
  std::vector<char> block(kReadBlock);
  unsigned long long read = 0;
  MessageFileResult result = kMessageFileWritten;
  for (;;) {
    long n = platform::ReadFd(in, block.data(), static_cast<unsigned long>(block.size()));
    if (n < 0) result = kAttachmentUnreadable;
    if (n <= 0) break;
    read += static_cast<unsigned long long>(n);
    std::string lines = (read > static_cast<unsigned long long>(n) ? "\r\n" : "") +
                        Base64Lines(std::string(block.data(), static_cast<size_t>(n)));
    if (!WriteAll(fd, lines)) {
      result = kMessageFileFailed;
      break;
    }
    written += lines.size();
    if (static_cast<size_t>(n) < block.size()) break;
  }
  platform::CloseFd(in);
  if (result == kMessageFileWritten && read != attachment.Size) result = kAttachmentUnreadable;
  if (result == kMessageFileWritten && !WriteAll(fd, "\r\n")) result = kMessageFileFailed;
  written += 2;
  return result;
}

}  // namespace

std::vector<std::string> SplitPathList(const std::string& list) {
  std::vector<std::string> paths;
  size_t start = 0;
  // ";" (0x3B) is never the second byte of a double-byte character.
  for (;;) {
    size_t end = list.find(';', start);
    std::string path = Trimmed(list.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (!path.empty()) paths.push_back(path);
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return paths;
}

std::string ResolvePath(const std::string& path, const char* baseFile) {
  std::string base = baseFile ? baseFile : "";
  if (IsAbsolute(path)) return path;
  size_t nameStart = NameStart(base);
  if (nameStart == 0) return path;
  return base.substr(0, nameStart) + path;
}

bool ExamineAttachment(const std::string& written, const char* baseFile, Attachment& attachment) {
  attachment.Written = written;
  attachment.Path = ResolvePath(written, baseFile);
  attachment.Name = platform::Cp932ToUtf8(attachment.Path.substr(NameStart(attachment.Path)));
  long long size = 0;
  if (!platform::GetFileSize(attachment.Path.c_str(), &size) || size < 0) return false;
  attachment.Size = static_cast<unsigned long long>(size);
  return Readable(attachment.Path.c_str(), attachment.Size);
}

unsigned long long AttachmentPartsSize(const std::string& boundary, const std::vector<Attachment>& attachments) {
  if (attachments.empty()) return 0;
  unsigned long long size = MixedEnd(boundary).size();
  for (const Attachment& a : attachments)
    size += AttachmentPartHeader(boundary, a.Name).size() + Base64LinesLength(a.Size) + 2;
  return size;
}

MessageFileResult WriteMessageFile(const char* path, const char* head, size_t length, const std::string& boundary,
                                   const std::vector<Attachment>& attachments, size_t* unreadable) {
  int fd = platform::OpenFileShared(path, O_WRONLY | O_CREAT | O_BINARY, platform::kReadWrite);
  if (fd < 0) return kMessageFileFailed;
  MessageFileResult result = WriteAll(fd, head, length) ? kMessageFileWritten : kMessageFileFailed;
  unsigned long long written = length;
  for (size_t i = 0; i < attachments.size() && result == kMessageFileWritten; ++i) {
    result = WriteAttachmentPart(fd, boundary, attachments[i], written);
    if (result == kAttachmentUnreadable && unreadable) *unreadable = i;
  }
  if (result == kMessageFileWritten && !attachments.empty()) {
    std::string end = MixedEnd(boundary);
    if (!WriteAll(fd, end)) result = kMessageFileFailed;
    written += end.size();
  }
  if (platform::TruncateFd(fd, static_cast<long long>(written)) != 0 && result == kMessageFileWritten)
    result = kMessageFileFailed;
  if (platform::CloseFd(fd) != 0 && result == kMessageFileWritten) result = kMessageFileFailed;
  return result;
}
