// The files that go with a row's message (AttachFiles for every row, the cell of AttachColumn
// for one row) and the message file that carries them: the composed part from memory, then
// each file's part streamed from the file, so that a message of many megabytes is never held
// whole.
#pragma once
#include <string>
#include <vector>

// The largest message, files included and encoded, that goes out: 20 MB (20 x 1,048,576
// bytes, as Windows counts a file's size).
constexpr unsigned long long kMessageSizeLimit = 20ULL * 1024 * 1024;

// One file of a row's message.
struct Attachment {
  std::string Written;  // the path as the settings or the cell give it (Shift-JIS)
  std::string Path;     // the path opened: a relative one taken from the workbook's folder
  std::string Name;     // the file's name as the recipient sees it (UTF-8)
  unsigned long long Size = 0;
};

// The paths of a list separated by ";": each trimmed of spaces and tabs and of one pair of
// enclosing double quotes; empty entries are left out.
std::vector<std::string> SplitPathList(const std::string& list);

// The path as it is when absolute ("C:\...", "\\server\...", "\..." on Windows; "/..."
// elsewhere), else joined to the folder of `baseFile` (the workbook). A double-byte character's
// second byte is never taken for a separator.
std::string ResolvePath(const std::string& path, const char* baseFile);

// The attachment for a path from a list: its resolved path, its name and its size. False when
// the file is missing or cannot be read (a folder, no permission).
bool ExamineAttachment(const std::string& written, const char* baseFile, Attachment& attachment);

// The bytes that the files' parts and the close delimiter add to a message whose head
// ComposeWireMessage wrote with `boundary`.
unsigned long long AttachmentPartsSize(const std::string& boundary, const std::vector<Attachment>& attachments);

// WriteMessageFile results.
enum MessageFileResult {
  kMessageFileWritten,
  kMessageFileFailed,     // the message file could not be created or written
  kAttachmentUnreadable,  // a file could not be read whole, or its size changed since it was examined
};

// Writes the message file at `path`: the head (`length` bytes), and when `attachments` is not
// empty each file's part (AttachmentPartHeader, the bytes in base64 read in blocks, CR LF) and
// MixedEnd(boundary). The file holds exactly this message afterwards; it is overwritten from its
// start and then cut to length rather than emptied first. On kAttachmentUnreadable,
// `unreadable` is the index of the file.
MessageFileResult WriteMessageFile(const char* path, const char* head, size_t length, const std::string& boundary,
                                   const std::vector<Attachment>& attachments, size_t* unreadable);
