#include "gridbridge/compound_file.h"

#include <cstring>

#include "gridbridge/byte_order.h"

namespace gridbridge {
namespace {

const unsigned char kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};

const uint32_t kMaxRegularSector = 0xFFFFFFFA;
const uint32_t kEndOfChain = 0xFFFFFFFE;
const uint32_t kNoEntry = 0xFFFFFFFF;
const size_t kHeaderDifatEntries = 109;
const size_t kEntrySize = 128;
const size_t kToEnd = static_cast<size_t>(-1);

// Field offsets of the header (MS-CFB 2.2) and of a directory entry (MS-CFB 2.6).
constexpr size_t kHdrMajorVersionOfs = 26, kHdrByteOrderOfs = 28, kHdrSectorShiftOfs = 30,
                 kHdrMiniSectorShiftOfs = 32, kHdrFatCountOfs = 44, kHdrFirstDirOfs = 48,
                 kHdrMiniCutoffOfs = 56, kHdrFirstMiniFatOfs = 60,
                 kHdrFirstDifatOfs = 68, kHdrDifatOfs = 76;
constexpr size_t kDirNameLenOfs = 64, kDirTypeOfs = 66, kDirLeftOfs = 68, kDirRightOfs = 72, kDirChildOfs = 76,
                 kDirStartOfs = 116, kDirSizeOfs = 120;


// Collects the sectors of the chain that starts at `start`: up to the end-of-chain mark, or
// exactly `want` sectors when want is not kToEnd. False for a sector outside the table, a
// special mark inside the chain, a sector visited twice, or a chain shorter than `want`.
bool Chain(const std::vector<uint32_t>& table, uint32_t start, size_t want, std::vector<uint32_t>& out) {
  out.clear();
  if (want == 0) return true;
  std::vector<bool> seen(table.size(), false);
  uint32_t cur = start;
  while (true) {
    if (cur == kEndOfChain) return want == kToEnd;
    if (cur > kMaxRegularSector || cur >= table.size() || seen[cur]) return false;
    seen[cur] = true;
    out.push_back(cur);
    if (out.size() == want) return true;
    cur = table[cur];
  }
}

char16_t FoldCase(char16_t c) { return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c; }

bool SameName(const std::u16string& entryName, const char* name) {
  size_t n = std::strlen(name);
  if (entryName.size() != n) return false;
  for (size_t i = 0; i < n; ++i)
    if (FoldCase(entryName[i]) != FoldCase(static_cast<unsigned char>(name[i]))) return false;
  return true;
}

}  // namespace

bool CompoundFile::HasSignature(const unsigned char* data, size_t size) {
  return data && size >= sizeof(kSignature) && std::memcmp(data, kSignature, sizeof(kSignature)) == 0;
}

bool CompoundFile::SectorOffset(uint32_t sector, size_t* offset) const {
  if (sector > kMaxRegularSector || sector >= sectorCount_) return false;
  *offset = (static_cast<size_t>(sector) + 1) * sectorSize_;
  return *offset < size_;
}

int CompoundFile::Open(const unsigned char* data, size_t size) {
  data_ = data;
  size_ = size;
  fat_.clear();
  miniFat_.clear();
  miniStream_.clear();
  entries_.clear();
  if (!HasSignature(data, size) || size < 512) return kReadNotThisFormat;

  const unsigned char* h = data;
  uint16_t major = ReadLe16(h + kHdrMajorVersionOfs);
  uint16_t byteOrder = ReadLe16(h + kHdrByteOrderOfs);
  uint16_t sectorShift = ReadLe16(h + kHdrSectorShiftOfs);
  uint16_t miniShift = ReadLe16(h + kHdrMiniSectorShiftOfs);
  if (byteOrder != 0xFFFE) return kReadNotThisFormat;
  if (!((major == 3 && sectorShift == 9) || (major == 4 && sectorShift == 12))) return kReadNotThisFormat;
  if (miniShift != 6) return kReadNotThisFormat;
  sectorSize_ = 1u << sectorShift;
  miniSectorSize_ = 1u << miniShift;
  miniCutoff_ = ReadLe32(h + kHdrMiniCutoffOfs);
  if (miniCutoff_ != 4096) return kReadNotThisFormat;
  uint32_t fatCount = ReadLe32(h + kHdrFatCountOfs);
  uint32_t firstDir = ReadLe32(h + kHdrFirstDirOfs);
  uint32_t firstMiniFat = ReadLe32(h + kHdrFirstMiniFatOfs);
  uint32_t firstDifat = ReadLe32(h + kHdrFirstDifatOfs);

  // Sectors after the header; a short last sector still counts, its missing bytes are
  // caught where they are read.
  sectorCount_ = size_ > sectorSize_ ? (size_ - sectorSize_ + sectorSize_ - 1) / sectorSize_ : 0;
  if (fatCount == 0 || fatCount > sectorCount_) return kReadDamaged;

  // The DIFAT: 109 entries in the header, then a chain of DIFAT sectors whose last entry
  // points at the next one.
  std::vector<uint32_t> fatSectors;
  fatSectors.reserve(fatCount);
  for (size_t i = 0; i < kHeaderDifatEntries && fatSectors.size() < fatCount; ++i)
    fatSectors.push_back(ReadLe32(h + kHdrDifatOfs + 4 * i));
  if (fatSectors.size() < fatCount) {
    const size_t perSector = sectorSize_ / 4 - 1;
    std::vector<bool> seen(static_cast<size_t>(sectorCount_), false);
    uint32_t cur = firstDifat;
    while (fatSectors.size() < fatCount) {
      size_t off;
      if (!SectorOffset(cur, &off) || seen[cur] || size_ - off < sectorSize_) return kReadDamaged;
      seen[cur] = true;
      const unsigned char* s = data_ + off;
      for (size_t i = 0; i < perSector && fatSectors.size() < fatCount; ++i)
        fatSectors.push_back(ReadLe32(s + 4 * i));
      cur = ReadLe32(s + 4 * perSector);
    }
  }

  const size_t perSector = sectorSize_ / 4;
  fat_.reserve(fatSectors.size() * perSector);
  for (uint32_t s : fatSectors) {
    size_t off;
    if (!SectorOffset(s, &off) || size_ - off < sectorSize_) return kReadDamaged;
    for (size_t i = 0; i < perSector; ++i) fat_.push_back(ReadLe32(data_ + off + 4 * i));
  }

  // The mini FAT: the sectors of its chain. The count in the header is not relied on: some
  // writers put an impossible one there.
  std::vector<uint32_t> sectors;
  if (firstMiniFat <= kMaxRegularSector) {
    if (!Chain(fat_, firstMiniFat, kToEnd, sectors)) return kReadDamaged;
    miniFat_.reserve(sectors.size() * perSector);
    for (uint32_t s : sectors) {
      size_t off;
      if (!SectorOffset(s, &off) || size_ - off < sectorSize_) return kReadDamaged;
      for (size_t i = 0; i < perSector; ++i) miniFat_.push_back(ReadLe32(data_ + off + 4 * i));
    }
  }

  // The directory: a chain of sectors of 128-byte entries; entry 0 is the root storage.
  if (!Chain(fat_, firstDir, kToEnd, sectors) || sectors.empty()) return kReadDamaged;
  const size_t perDirSector = sectorSize_ / kEntrySize;
  entries_.reserve(sectors.size() * perDirSector);
  for (uint32_t s : sectors) {
    size_t off;
    if (!SectorOffset(s, &off) || size_ - off < sectorSize_) return kReadDamaged;
    for (size_t i = 0; i < perDirSector; ++i) {
      const unsigned char* e = data_ + off + i * kEntrySize;
      Entry entry;
      size_t nameBytes = ReadLe16(e + kDirNameLenOfs);
      if (nameBytes > 64) nameBytes = 64;
      for (size_t k = 0; k + 1 < nameBytes; k += 2) {
        char16_t c = ReadLe16(e + k);
        if (c == 0) break;
        entry.name += c;
      }
      entry.type = e[kDirTypeOfs];
      entry.left = ReadLe32(e + kDirLeftOfs);
      entry.right = ReadLe32(e + kDirRightOfs);
      entry.child = ReadLe32(e + kDirChildOfs);
      entry.start = ReadLe32(e + kDirStartOfs);
      entry.size = ReadLe64(e + kDirSizeOfs);
      // Version 3 files keep only 32 bits of size; some writers leave garbage above them.
      if (major == 3) entry.size &= 0xFFFFFFFFu;
      entries_.push_back(std::move(entry));
    }
  }
  if (entries_[0].type != 5) return kReadDamaged;

  // The mini stream lives in regular sectors, starting where the root entry says.
  const Entry& root = entries_[0];
  if (root.size > 0 && !ReadChain(fat_, root.start, root.size, false, miniStream_)) return kReadDamaged;
  return kReadOk;
}

bool CompoundFile::ReadChain(const std::vector<uint32_t>& table, uint32_t start, uint64_t size, bool mini,
                             std::vector<unsigned char>& out) const {
  out.clear();
  const unsigned char* source = mini ? miniStream_.data() : data_;
  const size_t sourceSize = mini ? miniStream_.size() : size_;
  const size_t unit = mini ? miniSectorSize_ : sectorSize_;
  if (size > sourceSize) return false;
  const size_t want = static_cast<size_t>((size + unit - 1) / unit);
  std::vector<uint32_t> sectors;
  if (!Chain(table, start, want, sectors)) return false;
  out.resize(static_cast<size_t>(size));
  size_t done = 0;
  for (uint32_t s : sectors) {
    size_t off;
    if (mini) {
      off = static_cast<size_t>(s) * unit;
      if (off >= sourceSize) return false;
    } else if (!SectorOffset(s, &off)) {
      return false;
    }
    size_t take = out.size() - done < unit ? out.size() - done : unit;
    if (sourceSize - off < take) return false;
    std::memcpy(out.data() + done, source + off, take);
    done += take;
  }
  return true;
}

int CompoundFile::ReadStream(const char* name, std::vector<unsigned char>& out) const {
  out.clear();
  if (entries_.empty()) return kReadNotThisFormat;
  // The root's children form a tree through the left and right links; walk it with an
  // explicit stack and mark what was seen, so a cycle cannot hold us.
  std::vector<bool> seen(entries_.size(), false);
  std::vector<uint32_t> stack;
  if (entries_[0].child != kNoEntry) stack.push_back(entries_[0].child);
  while (!stack.empty()) {
    uint32_t id = stack.back();
    stack.pop_back();
    if (id >= entries_.size() || id == 0) return kReadDamaged;
    if (seen[id]) continue;
    seen[id] = true;
    const Entry& e = entries_[id];
    if (e.type == 2 && SameName(e.name, name)) {
      bool mini = e.size < miniCutoff_;
      if (!ReadChain(mini ? miniFat_ : fat_, e.start, e.size, mini, out)) {
        out.clear();
        return kReadDamaged;
      }
      return kReadOk;
    }
    if (e.left != kNoEntry) stack.push_back(e.left);
    if (e.right != kNoEntry) stack.push_back(e.right);
  }
  return kReadNoSuchStream;
}

}  // namespace gridbridge
