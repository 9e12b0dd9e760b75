// The library's four entry points. One workbook is open at a time; its reader holds the file,
// and the table holds the selected sheet, so that GetCell is a plain look-up.
#include "gridbridge/gridbridge.h"

#include <cstring>
#include <memory>
#include <string>

#include "gridbridge/cell_address.h"
#include "gridbridge/sheet_table.h"
#include "gridbridge/workbook_reader.h"
#include "platform/files.h"

namespace gridbridge {
namespace {

// A workbook file larger than this is refused rather than read.
constexpr long long kMaxFileBytes = 1024LL * 1024 * 1024;

struct OpenWorkbook {
  std::unique_ptr<WorkbookReader> reader;
  SheetTable table;
};

OpenWorkbook& State() {
  static OpenWorkbook state;
  return state;
}

// The whole file, read through a descriptor that lets other programs keep it open for
// reading and writing. False when it cannot be read or is too large.
bool ReadWholeFile(const char* path, std::string* bytes) {
  int fd = platform::OpenFileShared(path, O_RDONLY | O_BINARY, 0);
  if (fd < 0) return false;
  bool ok = true;
  const size_t kChunk = 1 << 20;
  size_t used = 0;
  for (;;) {
    if (bytes->size() - used < kChunk) bytes->resize(used + kChunk);
    long n = platform::ReadFd(fd, &(*bytes)[used], kChunk);
    if (n < 0) {
      ok = false;
      break;
    }
    if (n == 0) break;
    used += static_cast<size_t>(n);
    if (used > static_cast<size_t>(kMaxFileBytes)) {
      ok = false;
      break;
    }
  }
  platform::CloseFd(fd);
  bytes->resize(used);
  bytes->shrink_to_fit();
  return ok;
}

// OpenExcel's result for a workbook that did not open, by its cause.
int OpenFailure(int why) {
  switch (why) {
    case kReadEncrypted: return GRIDBRIDGE_ENCRYPTED;
    case kReadOldFormat: return GRIDBRIDGE_OLD_FORMAT;
    case kReadBinaryFormat: return GRIDBRIDGE_BINARY_FORMAT;
    default: return GRIDBRIDGE_UNREADABLE;
  }
}

}  // namespace
}  // namespace gridbridge

using gridbridge::State;

extern "C" int OpenExcel(const char* path, int option) {
  (void)option;  // no options exist; callers pass 0
  CloseExcel();
  if (!path || !*path) return -1;
  try {
    std::string bytes;
    if (!gridbridge::ReadWholeFile(path, &bytes)) return -1;
    int why = gridbridge::kReadOk;
    State().reader = gridbridge::OpenWorkbookFromMemory(std::move(bytes), &why);
    return State().reader ? 0 : gridbridge::OpenFailure(why);
  } catch (...) {  // nothing may escape through the C interface
    State().reader.reset();
    return -1;
  }
}

extern "C" int OpenSheet(const char* sheetName) {
  gridbridge::OpenWorkbook& s = State();
  s.table.Clear();
  if (!s.reader || !sheetName) return -1;
  try {
    return s.reader->LoadSheet(sheetName, &s.table) ? 0 : -1;
  } catch (...) {
    s.table.Clear();
    return -1;
  }
}

extern "C" int GetCell(const char* address, char* value) {
  if (!value) return 0;
  value[0] = '\0';
  int column, row;
  if (!gridbridge::ParseCellAddress(address, &column, &row)) return 0;
  return State().table.Get(row, column, value) ? 1 : 0;
}

extern "C" int CloseExcel(void) {
  State().table.Clear();
  State().reader.reset();
  return 0;
}
