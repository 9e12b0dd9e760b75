// The .xlsx reader of GridBridge. The first byte picks how the rest is used:
//   even: the bytes as a whole file (ZIP container, inflate, then the parts);
//   odd:  the bytes split at 0xFF into workbook.xml, sheet1.xml, sharedStrings.xml, styles.xml
//         and workbook.xml.rels, packed here into a valid stored ZIP, so that the mutations
//         reach the XML readers instead of dying at the container's checksums.
#include <zlib.h>

#include <cstring>
#include <string>

#include "fuzz_support.h"
#include "gridbridge/workbook_reader.h"
#include "gridbridge_checks.h"

namespace {

void Put16(std::string& s, unsigned v) {
  s += static_cast<char>(v & 0xFF);
  s += static_cast<char>((v >> 8) & 0xFF);
}
void Put32(std::string& s, unsigned long v) {
  Put16(s, static_cast<unsigned>(v & 0xFFFF));
  Put16(s, static_cast<unsigned>((v >> 16) & 0xFFFF));
}

// A ZIP archive of stored members.
std::string StoredZip(const std::vector<std::pair<std::string, std::string>>& members) {
  std::string out, directory;
  for (const auto& m : members) {
    unsigned long crc = crc32(0L, reinterpret_cast<const Bytef*>(m.second.data()), static_cast<uInt>(m.second.size()));
    unsigned long offset = out.size();
    Put32(out, 0x04034b50);
    Put16(out, 20), Put16(out, 0), Put16(out, 0), Put16(out, 0), Put16(out, 0);
    Put32(out, crc), Put32(out, m.second.size()), Put32(out, m.second.size());
    Put16(out, static_cast<unsigned>(m.first.size())), Put16(out, 0);
    out += m.first + m.second;
    Put32(directory, 0x02014b50);
    Put16(directory, 20), Put16(directory, 20), Put16(directory, 0), Put16(directory, 0);
    Put16(directory, 0), Put16(directory, 0);
    Put32(directory, crc), Put32(directory, m.second.size()), Put32(directory, m.second.size());
    Put16(directory, static_cast<unsigned>(m.first.size()));
    Put16(directory, 0), Put16(directory, 0), Put16(directory, 0), Put16(directory, 0);
    Put32(directory, 0), Put32(directory, offset);
    directory += m.first;
  }
  unsigned long directoryOffset = out.size();
  out += directory;
  Put32(out, 0x06054b50);
  Put16(out, 0), Put16(out, 0);
  Put16(out, static_cast<unsigned>(members.size())), Put16(out, static_cast<unsigned>(members.size()));
  Put32(out, directory.size()), Put32(out, directoryOffset);
  Put16(out, 0);
  return out;
}

const char kRootRels[] =
    "<?xml version=\"1.0\"?><Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
    "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
    "officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>";
const char kWorkbookRels[] =
    "<?xml version=\"1.0\"?><Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
    "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
    "worksheet\" Target=\"worksheets/sheet1.xml\"/>"
    "<Relationship Id=\"rId2\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
    "sharedStrings\" Target=\"sharedStrings.xml\"/>"
    "<Relationship Id=\"rId3\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
    "styles\" Target=\"styles.xml\"/></Relationships>";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  std::string bytes;
  if (data[0] % 2 == 0) {
    bytes.assign(reinterpret_cast<const char*>(data + 1), size - 1);
  } else {
    std::string parts[5];
    fuzz_support::SplitInput(data + 1, size - 1, parts, 5);
    bytes = StoredZip({{"[Content_Types].xml", "<Types/>"},
                       {"_rels/.rels", kRootRels},
                       {"xl/workbook.xml", parts[0]},
                       {"xl/worksheets/sheet1.xml", parts[1]},
                       {"xl/sharedStrings.xml", parts[2]},
                       {"xl/styles.xml", parts[3]},
                       {"xl/_rels/workbook.xml.rels", parts[4].empty() ? std::string(kWorkbookRels) : parts[4]}});
  }
  std::unique_ptr<gridbridge::WorkbookReader> reader = gridbridge::OpenXlsxFromMemory(bytes);
  // Every text in the package is XML in UTF-8, converted: values are whole characters.
  if (reader) fuzz_support::CheckReader(*reader, true, true);
  if (bytes.size() < 16384 && (data[0] & 2)) fuzz_support::CheckEntryPoints(bytes);
  return 0;
}
