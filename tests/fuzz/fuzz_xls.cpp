// The .xls reader of GridBridge (compound file, workbook stream, records), from memory and
// through the C entry points, with the checks every reader must pass.
#include <string>

#include "fuzz_support.h"
#include "gridbridge/workbook_reader.h"
#include "gridbridge_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string bytes(reinterpret_cast<const char*>(data), size);
  std::unique_ptr<gridbridge::WorkbookReader> reader = gridbridge::OpenXlsFromMemory(bytes);
  // Texts are UTF-16 or Latin-1 in the file, converted: values are whole characters.
  if (reader) fuzz_support::CheckReader(*reader, true, true);
  if (size < 65536) fuzz_support::CheckEntryPoints(bytes);
  return 0;
}
