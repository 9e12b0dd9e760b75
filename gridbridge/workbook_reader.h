// The one interface behind which every workbook format sits. A reader owns the file's bytes,
// lists its sheets and loads one of them into a SheetTable. A new format is one more reader
// and one more line in OpenWorkbookFromMemory.
#pragma once
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "gridbridge/read_result.h"
#include "gridbridge/sheet_table.h"

namespace gridbridge {

class WorkbookReader {
 public:
  virtual ~WorkbookReader() = default;
  // Sheet names in Shift-JIS, in workbook order.
  virtual const std::vector<std::string>& SheetNames() const = 0;
  // Reads the sheet with exactly this Shift-JIS name into table (cleared first).
  // False when there is no such sheet or its data is damaged; table is then empty.
  virtual bool LoadSheet(const char* sheetName, SheetTable* table) = 0;
};

// Picks the format by content and opens the workbook held in bytes (taken over).
// nullptr when the bytes are no workbook of a known format, or a damaged one; *why (when
// given) then says why, as a ReadResult: kReadEncrypted, kReadOldFormat (Excel 2.x to 95)
// and kReadBinaryFormat (.xlsb) are refused on purpose, anything else is damage.
std::unique_ptr<WorkbookReader> OpenWorkbookFromMemory(std::string bytes, int* why = nullptr);

// The readers themselves, for callers that know the format (and for fuzzing); *why as above.
std::unique_ptr<WorkbookReader> OpenXlsxFromMemory(std::string bytes, int* why = nullptr);
std::unique_ptr<WorkbookReader> OpenCsvFromMemory(std::string bytes);
std::unique_ptr<WorkbookReader> OpenXlsFromMemory(std::string bytes, int* why = nullptr);

}  // namespace gridbridge
