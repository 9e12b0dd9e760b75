#include "gridbridge/zip_archive.h"

#include <cstring>
#include <zlib.h>

#include "gridbridge/byte_order.h"

namespace gridbridge {
namespace {

// ZIP record layouts (PKWARE APPNOTE 4.3.7, 4.3.12, 4.3.16), named as miniz names them: the
// signatures, the fixed sizes and the offsets of the fields read here.
constexpr uint32_t kZipEndOfCentralDirHeaderSig = 0x06054b50;
constexpr uint32_t kZipCentralDirHeaderSig = 0x02014b50;
constexpr uint32_t kZipLocalDirHeaderSig = 0x04034b50;

constexpr size_t kZipEcdhSize = 22;
constexpr size_t kZipEcdhCdirTotalEntriesOfs = 10, kZipEcdhCdirSizeOfs = 12, kZipEcdhCdirOfsOfs = 16,
                 kZipEcdhCommentSizeOfs = 20;
constexpr size_t kZipMaxCommentSize = 65535;

constexpr size_t kZipCdhSize = 46;
constexpr size_t kZipCdhBitFlagOfs = 8, kZipCdhMethodOfs = 10, kZipCdhCrc32Ofs = 16, kZipCdhCompressedSizeOfs = 20,
                 kZipCdhDecompressedSizeOfs = 24, kZipCdhFilenameLenOfs = 28, kZipCdhExtraLenOfs = 30,
                 kZipCdhCommentLenOfs = 32, kZipCdhLocalHeaderOfs = 42;

constexpr size_t kZipLdhSize = 30;
constexpr size_t kZipLdhFilenameLenOfs = 26, kZipLdhExtraLenOfs = 28;

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
  if (size < kZipEcdhSize) return false;
  // The end record sits in the last bytes, followed only by its comment.
  size_t lowest = size > kZipEcdhSize + kZipMaxCommentSize ? size - kZipEcdhSize - kZipMaxCommentSize : 0;
  size_t end = size - kZipEcdhSize + 1;
  bool found = false;
  while (end-- > lowest) {
    if (ReadLe32(data + end) == kZipEndOfCentralDirHeaderSig &&
        end + kZipEcdhSize + ReadLe16(data + end + kZipEcdhCommentSizeOfs) <= size) {
      found = true;
      break;
    }
  }
  if (!found) return false;
  const unsigned char* e = data + end;
  uint32_t count = ReadLe16(e + kZipEcdhCdirTotalEntriesOfs);
  uint64_t dirSize = ReadLe32(e + kZipEcdhCdirSizeOfs);
  uint64_t dirOffset = ReadLe32(e + kZipEcdhCdirOfsOfs);
  if (count == 0xFFFF || dirSize == 0xFFFFFFFFu || dirOffset == 0xFFFFFFFFu) return false;  // ZIP64: no workbook needs it
  if (dirOffset + dirSize > end) return false;
  if (static_cast<uint64_t>(count) * kZipCdhSize > dirSize) return false;
  entries_.reserve(count);
  const unsigned char* p = data + dirOffset;
  const unsigned char* dirEnd = p + dirSize;
  for (uint32_t i = 0; i < count; ++i) {
    if (static_cast<size_t>(dirEnd - p) < kZipCdhSize || ReadLe32(p) != kZipCentralDirHeaderSig) return false;
    size_t nameLen = ReadLe16(p + kZipCdhFilenameLenOfs), extraLen = ReadLe16(p + kZipCdhExtraLenOfs),
           commentLen = ReadLe16(p + kZipCdhCommentLenOfs);
    if (static_cast<size_t>(dirEnd - p) < kZipCdhSize + nameLen + extraLen + commentLen) return false;
    ZipEntry entry;
    entry.flags = ReadLe16(p + kZipCdhBitFlagOfs);
    entry.method = ReadLe16(p + kZipCdhMethodOfs);
    entry.crc = ReadLe32(p + kZipCdhCrc32Ofs);
    entry.compressedSize = ReadLe32(p + kZipCdhCompressedSizeOfs);
    entry.uncompressedSize = ReadLe32(p + kZipCdhDecompressedSizeOfs);
    entry.localHeaderOffset = ReadLe32(p + kZipCdhLocalHeaderOfs);
    entry.name.assign(reinterpret_cast<const char*>(p + kZipCdhSize), nameLen);
    // Some writers separate folders with backslashes (xl\workbook.xml); ZIP names use slashes.
    for (char& c : entry.name)
      if (c == '\\') c = '/';
    entries_.push_back(std::move(entry));
    p += kZipCdhSize + nameLen + extraLen + commentLen;
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
  if (off + kZipLdhSize > archive.size_) return false;
  const unsigned char* local = archive.data_ + off;
  if (ReadLe32(local) != kZipLocalDirHeaderSig) return false;
  uint64_t dataStart = off + kZipLdhSize + ReadLe16(local + kZipLdhFilenameLenOfs) + ReadLe16(local + kZipLdhExtraLenOfs);
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
