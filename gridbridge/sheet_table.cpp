#include "gridbridge/sheet_table.h"

#include <cstring>

namespace gridbridge {
namespace {
// The most text one sheet may hold; a workbook beyond it is refused rather than read in part.
constexpr size_t kMaxPoolBytes = size_t(1) << 30;
}  // namespace

void SheetTable::Clear() {
  std::vector<uint32_t>().swap(rowBlock_);
  std::vector<uint64_t>().swap(cells_);
  std::string().swap(pool_);
}

bool SheetTable::Set(long row, long column, const char* text, size_t len) {
  if (row < 1 || row > kMaxRow || column < 0 || column >= kColumnCount) return true;
  if (len > kMaxValueBytes) len = kMaxValueBytes;
  if (static_cast<size_t>(row) >= rowBlock_.size()) {
    size_t want = rowBlock_.size() * 2;
    if (want < 1024) want = 1024;
    if (want <= static_cast<size_t>(row)) want = static_cast<size_t>(row) + 1;
    if (want > static_cast<size_t>(kMaxRow) + 1) want = static_cast<size_t>(kMaxRow) + 1;
    rowBlock_.resize(want, kNoRow);
  }
  uint32_t& block = rowBlock_[static_cast<size_t>(row)];
  if (len == 0 && block == kNoRow) return true;
  if (pool_.size() + len > kMaxPoolBytes) return false;
  if (block == kNoRow) {
    block = static_cast<uint32_t>(cells_.size() / kColumnCount);
    cells_.resize(cells_.size() + kColumnCount, 0);
  }
  uint64_t offset = pool_.size();
  pool_.append(text, len);
  cells_[static_cast<size_t>(block) * kColumnCount + static_cast<size_t>(column)] = (offset << 8) | len;
  return true;
}

size_t SheetTable::Get(long row, long column, char* value) const {
  value[0] = '\0';
  if (row < 1 || static_cast<size_t>(row) >= rowBlock_.size() || column < 0 || column >= kColumnCount) return 0;
  uint32_t block = rowBlock_[static_cast<size_t>(row)];
  if (block == kNoRow) return 0;
  uint64_t cell = cells_[static_cast<size_t>(block) * kColumnCount + static_cast<size_t>(column)];
  size_t len = static_cast<size_t>(cell & 0xFF);
  std::memcpy(value, pool_.data() + (cell >> 8), len);
  value[len] = '\0';
  return len;
}

size_t SheetTable::BytesUsed() const {
  return pool_.capacity() + cells_.capacity() * sizeof(uint64_t) + rowBlock_.capacity() * sizeof(uint32_t);
}

}  // namespace gridbridge
