#include "gridbridge_checks.h"

#include <cstring>
#include <memory>

#include "fuzz_support.h"
#include "gridbridge/gridbridge.h"
#include "gridbridge/sheet_table.h"

namespace fuzz_support {
namespace {

// Rows probed: the first ones, where fuzzed sheets put their cells, and the far edge.
const long kProbeRows[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 20, 31, 32, 33, 64, 100,
                           255, 256, 1000, 65536, 65537, 999998, 999999};

void CheckValue(const char* value, size_t length, bool wholeCharacters) {
  FUZZ_CHECK(length <= gridbridge::kMaxValueBytes);
  FUZZ_CHECK(value[length] == '\0');
  if (wholeCharacters) {
    FUZZ_CHECK(std::strlen(value) == length);
    size_t n = 0;
    while (n < length) n += CharLengthAt(value, n);
    FUZZ_CHECK(n == length);
  }
}

}  // namespace

void CheckReader(gridbridge::WorkbookReader& reader, bool wholeCharacters, bool namedSheets) {
  const std::vector<std::string> names = reader.SheetNames();
  size_t tried = 0;
  for (const std::string& name : names) {
    if (++tried > 4) break;
    gridbridge::SheetTable first, second;
    bool loaded = reader.LoadSheet(name.c_str(), &first);
    FUZZ_CHECK(reader.LoadSheet(name.c_str(), &second) == loaded);
    char a[gridbridge::kMaxValueBytes + 1], b[gridbridge::kMaxValueBytes + 1];
    for (long row : kProbeRows) {
      for (long column = 0; column < gridbridge::kColumnCount; ++column) {
        size_t la = first.Get(row, column, a);
        size_t lb = second.Get(row, column, b);
        FUZZ_CHECK(la == lb && std::memcmp(a, b, la) == 0);
        if (!loaded) FUZZ_CHECK(la == 0);  // a sheet that failed leaves the table empty
        CheckValue(a, la, wholeCharacters);
      }
    }
    // Outside the table: nothing.
    FUZZ_CHECK(first.Get(0, 0, a) == 0 && first.Get(1000000, 0, a) == 0 && first.Get(1, 26, a) == 0);
  }
  if (!namedSheets) return;
  gridbridge::SheetTable none;
  std::string missing = "\x01no such sheet";
  for (const std::string& n : names) FUZZ_CHECK(n != missing);
  FUZZ_CHECK(!reader.LoadSheet(missing.c_str(), &none));
}

void CheckEntryPoints(const std::string& bytes) {
  std::string path = ScratchFolder() + "/workbook";
  WriteFile(path, bytes.data(), bytes.size());
  int why = gridbridge::kReadOk;
  std::unique_ptr<gridbridge::WorkbookReader> reader = gridbridge::OpenWorkbookFromMemory(bytes, &why);
  int opened = OpenExcel(path.c_str(), 0);
  FUZZ_CHECK((opened == 0) == (reader != nullptr));
  // A refusal names its cause, as the reader does.
  FUZZ_CHECK((opened == GRIDBRIDGE_ENCRYPTED) == (!reader && why == gridbridge::kReadEncrypted));
  FUZZ_CHECK((opened == GRIDBRIDGE_OLD_FORMAT) == (!reader && why == gridbridge::kReadOldFormat));
  FUZZ_CHECK((opened == GRIDBRIDGE_BINARY_FORMAT) == (!reader && why == gridbridge::kReadBinaryFormat));
  FUZZ_CHECK(opened == 0 || opened == GRIDBRIDGE_UNREADABLE || opened == GRIDBRIDGE_ENCRYPTED ||
             opened == GRIDBRIDGE_OLD_FORMAT || opened == GRIDBRIDGE_BINARY_FORMAT);
  std::string sheet = reader && !reader->SheetNames().empty() ? reader->SheetNames()[0] : "Sheet1";
  int selected = OpenSheet(sheet.c_str());
  if (opened != 0) FUZZ_CHECK(selected != 0);
  // An exact 256-byte buffer: a write past it is an AddressSanitizer report.
  std::unique_ptr<char[]> value(new char[256]);
  const char* refused[] = {"[1", "@1", "AA1", "A0", "A01", "a1", "A1000000", "A", "1", "", "A1 ", "$A$1", "Sheet1!A1"};
  for (const char* address : refused) {
    std::memset(value.get(), 'x', 256);
    FUZZ_CHECK(GetCell(address, value.get()) == 0);
    FUZZ_CHECK(value[0] == '\0');
  }
  char address[16];
  for (char column = 'A'; column <= 'Z'; ++column) {
    for (long row : {1L, 2L, 3L, 4L, 5L, 10L, 999999L}) {
      std::snprintf(address, sizeof address, "%c%ld", column, row);
      std::memset(value.get(), 'x', 256);
      int has = GetCell(address, value.get());
      size_t length = strnlen(value.get(), 256);
      FUZZ_CHECK(length < 256);
      if (has == 0) FUZZ_CHECK(length == 0);  // an empty cell leaves the buffer empty
      if (selected != 0) FUZZ_CHECK(has == 0 && length == 0);
    }
  }
  CloseExcel();
  CloseExcel();  // twice is harmless
  FUZZ_CHECK(GetCell("A1", value.get()) == 0 && value[0] == '\0');
  DeleteFile(path);
}

}  // namespace fuzz_support
