// Read-only ZIP container over a buffer in memory: the central directory, stored and
// deflated members, and an inflate that never writes past a member's declared size.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct z_stream_s;

namespace gridbridge {

// No member of a workbook may inflate past this; larger ones are refused unread.
constexpr uint64_t kMaxMemberBytes = uint64_t(1) << 30;

struct ZipEntry {
  std::string name;
  uint16_t method = 0;
  uint16_t flags = 0;
  uint32_t crc = 0;
  uint64_t compressedSize = 0;
  uint64_t uncompressedSize = 0;
  uint64_t localHeaderOffset = 0;
};

class ZipArchive {
 public:
  // Reads the central directory of the size bytes at data, which must outlive the archive.
  // False when they are no ZIP archive or the directory is damaged. Member names are kept
  // with slashes: backslashes some writers use between folders become slashes.
  bool Open(const unsigned char* data, size_t size);
  // The member with exactly this name, or else the one whose name differs only in case.
  const ZipEntry* Find(const char* name) const;
  // The whole member, at most limit bytes. False when damaged, larger or unsupported.
  bool ReadAll(const ZipEntry& entry, std::string* out, uint64_t limit) const;
  const std::vector<ZipEntry>& Entries() const { return entries_; }

 private:
  friend class ZipMemberReader;
  const unsigned char* data_ = nullptr;
  size_t size_ = 0;
  std::vector<ZipEntry> entries_;
};

// Reads one member in chunks.
class ZipMemberReader {
 public:
  ZipMemberReader() = default;
  ~ZipMemberReader();
  ZipMemberReader(const ZipMemberReader&) = delete;
  ZipMemberReader& operator=(const ZipMemberReader&) = delete;

  // False when the member is unsupported, lies outside the archive or is past the bound.
  bool Begin(const ZipArchive& archive, const ZipEntry& entry);
  // Up to capacity bytes into buffer: the count, 0 at the verified end, -1 when the data is
  // damaged, truncated, longer than declared or fails its checksum.
  long Read(char* buffer, size_t capacity);

 private:
  long Finish();
  const unsigned char* in_ = nullptr;
  uint64_t inLeft_ = 0;
  uint64_t declared_ = 0;
  uint64_t produced_ = 0;
  uint32_t expectedCrc_ = 0;
  uint32_t crc_ = 0;
  bool deflated_ = false;
  bool ended_ = false;
  bool failed_ = false;
  z_stream_s* z_ = nullptr;
};

}  // namespace gridbridge
