#include "gridbridge/zip_archive.h"

#include <cstring>
#include <zlib.h>

namespace gridbridge {
namespace {

uint16_t Le16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Le32(const unsigned char* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}

constexpr uint32_t kEndSignature = 0x06054b50;
constexpr uint32_t kCentralSignature = 0x02014b50;
constexpr uint32_t kLocalSignature = 0x04034b50;

bool SameNoCase(const std::string& a, const char* b) {
  size_t n = std::strlen(b);
  if (a.size() != n) return false;
  for (size_t i = 0; i < n; ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

}  // namespace

bool ZipArchive::Open(const unsigned char* data, size_t size) {
  data_ = data;
  size_ = size;
  entries_.clear();
  if (size < 22) return false;
  // The end record sits in the last 22 + 65535 bytes (its comment is at most 65535 long).
  size_t lowest = size > 22 + 65535 ? size - 22 - 65535 : 0;
  size_t end = size - 22 + 1;
  bool found = false;
  while (end-- > lowest) {
    if (Le32(data + end) == kEndSignature && end + 22 + Le16(data + end + 20) <= size) {
      found = true;
      break;
    }
  }
  if (!found) return false;
  const unsigned char* e = data + end;
  uint32_t count = Le16(e + 10);
  uint64_t dirSize = Le32(e + 12);
  uint64_t dirOffset = Le32(e + 16);
  if (count == 0xFFFF || dirSize == 0xFFFFFFFFu || dirOffset == 0xFFFFFFFFu) return false;  // ZIP64: no workbook needs it
  if (dirOffset + dirSize > end) return false;
  if (static_cast<uint64_t>(count) * 46 > dirSize) return false;
  entries_.reserve(count);
  const unsigned char* p = data + dirOffset;
  const unsigned char* dirEnd = p + dirSize;
  for (uint32_t i = 0; i < count; ++i) {
    if (dirEnd - p < 46 || Le32(p) != kCentralSignature) return false;
    size_t nameLen = Le16(p + 28), extraLen = Le16(p + 30), commentLen = Le16(p + 32);
    if (static_cast<size_t>(dirEnd - p) < 46 + nameLen + extraLen + commentLen) return false;
    ZipEntry entry;
    entry.flags = Le16(p + 8);
    entry.method = Le16(p + 10);
    entry.crc = Le32(p + 16);
    entry.compressedSize = Le32(p + 20);
    entry.uncompressedSize = Le32(p + 24);
    entry.localHeaderOffset = Le32(p + 42);
    entry.name.assign(reinterpret_cast<const char*>(p + 46), nameLen);
    entries_.push_back(std::move(entry));
    p += 46 + nameLen + extraLen + commentLen;
  }
  return true;
}

const ZipEntry* ZipArchive::Find(const char* name) const {
  for (const ZipEntry& e : entries_)
    if (e.name == name) return &e;
  for (const ZipEntry& e : entries_)
    if (SameNoCase(e.name, name)) return &e;
  return nullptr;
}

bool ZipArchive::ReadAll(const ZipEntry& entry, std::string* out, uint64_t limit) const {
  out->clear();
  if (entry.uncompressedSize > limit) return false;
  ZipMemberReader reader;
  if (!reader.Begin(*this, entry)) return false;
  out->resize(static_cast<size_t>(entry.uncompressedSize));
  size_t used = 0;
  for (;;) {
    // One byte of room beyond the declared size, so that a longer stream shows itself.
    char extra;
    char* dst = used < out->size() ? &(*out)[used] : &extra;
    size_t room = used < out->size() ? out->size() - used : 1;
    long n = reader.Read(dst, room);
    if (n < 0) return false;
    if (n == 0) break;
    used += static_cast<size_t>(n);
  }
  return used == out->size();
}

ZipMemberReader::~ZipMemberReader() {
  if (z_) {
    inflateEnd(z_);
    delete z_;
  }
}

bool ZipMemberReader::Begin(const ZipArchive& archive, const ZipEntry& entry) {
  if (entry.flags & 0x1) return false;  // encrypted
  if (entry.method != 0 && entry.method != 8) return false;
  if (entry.uncompressedSize > kMaxMemberBytes) return false;
  uint64_t off = entry.localHeaderOffset;
  if (off + 30 > archive.size_) return false;
  const unsigned char* local = archive.data_ + off;
  if (Le32(local) != kLocalSignature) return false;
  uint64_t dataStart = off + 30 + Le16(local + 26) + Le16(local + 28);
  if (dataStart > archive.size_ || entry.compressedSize > archive.size_ - dataStart) return false;
  in_ = archive.data_ + dataStart;
  inLeft_ = entry.compressedSize;
  declared_ = entry.uncompressedSize;
  expectedCrc_ = entry.crc;
  crc_ = static_cast<uint32_t>(crc32(0, nullptr, 0));
  deflated_ = entry.method == 8;
  if (!deflated_ && entry.compressedSize != entry.uncompressedSize) return false;
  if (deflated_) {
    z_ = new z_stream();
    std::memset(z_, 0, sizeof(z_stream));
    if (inflateInit2(z_, -MAX_WBITS) != Z_OK) {
      delete z_;
      z_ = nullptr;
      return false;
    }
  }
  return true;
}

long ZipMemberReader::Finish() {
  ended_ = true;
  if (produced_ != declared_ || crc_ != expectedCrc_) {
    failed_ = true;
    return -1;
  }
  return 0;
}

long ZipMemberReader::Read(char* buffer, size_t capacity) {
  if (failed_) return -1;
  if (ended_) return 0;
  if (capacity > (1u << 30)) capacity = 1u << 30;
  if (!deflated_) {
    size_t n = inLeft_ < capacity ? static_cast<size_t>(inLeft_) : capacity;
    if (n == 0) return Finish();
    std::memcpy(buffer, in_, n);
    in_ += n;
    inLeft_ -= n;
    produced_ += n;
    crc_ = static_cast<uint32_t>(crc32(crc_, reinterpret_cast<const Bytef*>(buffer), static_cast<uInt>(n)));
    return static_cast<long>(n);
  }
  // Never let the stream produce more than one byte past its declared size.
  uint64_t allowed = declared_ - produced_ + 1;
  if (capacity > allowed) capacity = static_cast<size_t>(allowed);
  z_->next_out = reinterpret_cast<Bytef*>(buffer);
  z_->avail_out = static_cast<uInt>(capacity);
  int rc = Z_OK;
  while (z_->avail_out > 0) {
    if (z_->avail_in == 0 && inLeft_ > 0) {
      uInt chunk = inLeft_ > (1u << 30) ? (1u << 30) : static_cast<uInt>(inLeft_);
      z_->next_in = const_cast<Bytef*>(in_);
      z_->avail_in = chunk;
      in_ += chunk;
      inLeft_ -= chunk;
    }
    rc = inflate(z_, Z_NO_FLUSH);
    if (rc == Z_STREAM_END) break;
    if (rc == Z_BUF_ERROR && z_->avail_in == 0 && inLeft_ == 0) {
      failed_ = true;  // the compressed data ends before the stream does
      return -1;
    }
    if (rc != Z_OK && rc != Z_BUF_ERROR) {
      failed_ = true;
      return -1;
    }
  }
  size_t n = capacity - z_->avail_out;
  produced_ += n;
  if (produced_ > declared_) {
    failed_ = true;
    return -1;
  }
  if (n) crc_ = static_cast<uint32_t>(crc32(crc_, reinterpret_cast<const Bytef*>(buffer), static_cast<uInt>(n)));
  if (rc == Z_STREAM_END) {
    if (n) {
      long r = static_cast<long>(n);
      if (Finish() < 0) return -1;
      return r;
    }
    return Finish();
  }
  return static_cast<long>(n);
}

}  // namespace gridbridge
