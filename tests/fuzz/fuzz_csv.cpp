// The text reader of GridBridge (comma-separated values in Shift-JIS, UTF-8 or UTF-16).
#include <string>

#include "fuzz_support.h"
#include "gridbridge/csv_reader.h"
#include "gridbridge/workbook_reader.h"
#include "gridbridge_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string bytes(reinterpret_cast<const char*>(data), size);
  size_t bom = 0;
  gridbridge::TextEncoding encoding = gridbridge::DetectTextEncoding(bytes, &bom);
  FUZZ_CHECK(bom <= 3 && bom <= size);
  std::unique_ptr<gridbridge::WorkbookReader> reader = gridbridge::OpenCsvFromMemory(bytes);
  // Text in UTF-8 or UTF-16 is converted, so its values are whole Shift-JIS characters.
  if (reader) fuzz_support::CheckReader(*reader, encoding != gridbridge::TextEncoding::kShiftJis, false);
  if (size < 4096) fuzz_support::CheckEntryPoints(bytes);
  return 0;
}
