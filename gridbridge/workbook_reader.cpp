#include "gridbridge/workbook_reader.h"

#include <cstring>

namespace gridbridge {

std::unique_ptr<WorkbookReader> OpenWorkbookFromMemory(std::string bytes) {
  if (bytes.size() >= 4 && bytes.compare(0, 2, "PK") == 0 &&
      (bytes.compare(2, 2, "\x03\x04") == 0 || bytes.compare(2, 2, "\x05\x06") == 0))
    return OpenXlsxFromMemory(std::move(bytes));
  // The compound-file signature: an Excel 97-2003 workbook.
  if (bytes.size() >= 8 && std::memcmp(bytes.data(), "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) == 0)
    return OpenXlsFromMemory(std::move(bytes));
  return OpenCsvFromMemory(std::move(bytes));
}

}  // namespace gridbridge
