#include "gridbridge/workbook_reader.h"

#include <cstring>

#include "gridbridge/byte_order.h"

namespace gridbridge {

namespace {

// A workbook of Excel 2.x, 3 or 4: a bare stream of BIFF records that starts with their BOF
// (record 0x0009, 0x0209 or 0x0409, or 0x0809 of a BIFF5 version) of a plausible size.
bool IsBareOldBiff(const std::string& bytes) {
  if (bytes.size() < 8) return false;
  const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes.data());
  unsigned size = ReadLe16(p + 2), version = ReadLe16(p + 4);
  bool bof = p[0] == 0x09 && (p[1] == 0x00 || p[1] == 0x02 || p[1] == 0x04 ||
                              (p[1] == 0x08 && version >= 0x0200 && version < 0x0600));
  return bof && size >= 4 && size <= 20;
}

}  // namespace

std::unique_ptr<WorkbookReader> OpenWorkbookFromMemory(std::string bytes, int* why) {
  if (why) *why = kReadNotThisFormat;
  if (bytes.size() >= 4 && bytes.compare(0, 2, "PK") == 0 &&
      (bytes.compare(2, 2, "\x03\x04") == 0 || bytes.compare(2, 2, "\x05\x06") == 0))
    return OpenXlsxFromMemory(std::move(bytes), why);
  // The compound-file signature: an Excel 97-2003 workbook (or an encrypted one of any kind).
  if (bytes.size() >= 8 && std::memcmp(bytes.data(), "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) == 0)
    return OpenXlsFromMemory(std::move(bytes), why);
  if (IsBareOldBiff(bytes)) {
    if (why) *why = kReadOldFormat;
    return nullptr;
  }
  std::unique_ptr<WorkbookReader> csv = OpenCsvFromMemory(std::move(bytes));
  if (why) *why = csv ? kReadOk : kReadNotThisFormat;
  return csv;
}

}  // namespace gridbridge
