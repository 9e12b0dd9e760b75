// The in-memory table of one sheet: columns A to Z, rows 1 to 999999, each value at most
// 255 bytes of Shift-JIS. Rows are allocated only when they hold a value; a look-up is two
// index steps and one copy, without allocation.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace gridbridge {

constexpr int kColumnCount = 26;
constexpr long kMaxRow = 999999;
constexpr size_t kMaxValueBytes = 255;

class SheetTable {
 public:
  void Clear();
  // Stores a value (len <= kMaxValueBytes, already Shift-JIS). Cells outside the addressable
  // range are dropped and count as stored. False only when the table outgrows its bound.
  bool Set(long row, long column, const char* text, size_t len);
  // Copies the value and a zero into value (room for kMaxValueBytes + 1); returns its length,
  // 0 for an empty or missing cell.
  size_t Get(long row, long column, char* value) const;
  size_t BytesUsed() const;

 private:
  static constexpr uint32_t kNoRow = 0xFFFFFFFFu;
  std::vector<uint32_t> rowBlock_;  // per row: index of its block in cells_, or kNoRow
  std::vector<uint64_t> cells_;     // kColumnCount entries per block: pool offset << 8 | length
  std::string pool_;
};

}  // namespace gridbridge
