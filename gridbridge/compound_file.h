// Compound file (OLE2 structured storage) reader over a memory buffer: the container of
// Excel 97-2003 workbooks. Only what reading one stream needs: the header, the FAT (through
// the DIFAT, with its extra sectors), the mini FAT and mini stream, and the directory.
//
// Every walk along a sector chain is bounded by the number of sectors the buffer can hold,
// so a damaged file (a broken chain, a loop, a sector past the end, an absurd size) ends
// in a failure result, never in a crash or an endless loop.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "gridbridge/read_result.h"

namespace gridbridge {

class CompoundFile {
 public:
  // True when the buffer starts with the compound file signature D0 CF 11 E0 A1 B1 1A E1.
  static bool HasSignature(const unsigned char* data, size_t size);

  // Reads the header, the FAT, the mini FAT and the directory. The buffer must outlive
  // this object. kReadOk, kReadNotThisFormat (no signature or an unusable header) or
  // kReadDamaged.
  int Open(const unsigned char* data, size_t size);

  // Copies the stream with this name (ASCII, compared without regard to case) from the
  // root storage into `out`. kReadOk, kReadNoSuchStream, kReadDamaged or kReadNotThisFormat
  // (nothing open).
  int ReadStream(const char* name, std::vector<unsigned char>& out) const;

 private:
  struct Entry {
    std::u16string name;
    uint8_t type = 0;  // 1 storage, 2 stream, 5 root
    uint32_t left = 0, right = 0, child = 0;
    uint32_t start = 0;
    uint64_t size = 0;
  };

  bool ReadChain(const std::vector<uint32_t>& table, uint32_t start, uint64_t size, bool mini,
                 std::vector<unsigned char>& out) const;
  bool SectorOffset(uint32_t sector, size_t* offset) const;

  const unsigned char* data_ = nullptr;
  size_t size_ = 0;
  uint32_t sectorSize_ = 512;
  uint32_t miniSectorSize_ = 64;
  uint32_t miniCutoff_ = 4096;
  uint64_t sectorCount_ = 0;  // sectors the buffer holds after the header
  std::vector<uint32_t> fat_;
  std::vector<uint32_t> miniFat_;
  std::vector<unsigned char> miniStream_;
  std::vector<Entry> entries_;
};

}  // namespace gridbridge
