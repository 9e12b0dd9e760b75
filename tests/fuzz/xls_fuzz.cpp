// libFuzzer target for the .xls reader. An input with the compound file signature goes
// through GridBridge's whole path (compound file, "Workbook" stream, globals, every sheet
// into the sheet table with its values rendered); any other input is taken as a bare
// workbook stream, so that the record parser is reached at once.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "gridbridge/biff8_reader.h"
#include "gridbridge/compound_file.h"
#include "gridbridge/sheet_table.h"
#include "gridbridge/workbook_reader.h"

namespace {

// Touches every value so that a bad pointer or length shows up under the sanitizers.
class TouchingSink : public gridbridge::Biff8CellSink {
 public:
  uint64_t sum = 0;
  void Number(uint32_t row, uint32_t column, double value, const gridbridge::Biff8NumberFormat& format) override {
    sum += row + column + static_cast<uint64_t>(value == value) + format.id + format.code.size();
    for (char c : format.code) sum += static_cast<unsigned char>(c);
  }
  void Text(uint32_t row, uint32_t column, const char* text, size_t len) override {
    sum += row + column;
    for (size_t i = 0; i < len; ++i) sum += static_cast<unsigned char>(text[i]);
  }
  void Boolean(uint32_t row, uint32_t column, bool value) override { sum += row + column + value; }
  void Error(uint32_t row, uint32_t column, const char* text) override { sum += row + column + text[0]; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (gridbridge::CompoundFile::HasSignature(data, size)) {
    std::unique_ptr<gridbridge::WorkbookReader> reader =
        gridbridge::OpenXlsFromMemory(std::string(reinterpret_cast<const char*>(data), size));
    if (!reader) return 0;
    gridbridge::SheetTable table;
    std::vector<std::string> names = reader->SheetNames();
    for (const std::string& name : names) {
      if (!reader->LoadSheet(name.c_str(), &table)) continue;
      char value[gridbridge::kMaxValueBytes + 1];
      for (long row = 1; row <= 64; ++row)
        for (long column = 0; column < gridbridge::kColumnCount; ++column) table.Get(row, column, value);
    }
    return 0;
  }
  gridbridge::Biff8Workbook wb;
  if (wb.LoadStream(std::vector<unsigned char>(data, data + size)) != gridbridge::kBiffOk) return 0;
  TouchingSink sink;
  for (size_t i = 0; i < wb.Sheets().size(); ++i) wb.ReadSheet(i, sink);
  volatile uint64_t keep = sink.sum;
  (void)keep;
  return 0;
}
