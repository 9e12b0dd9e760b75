// libFuzzer target for the .xls reader. An input with the compound file signature goes
// through the whole path (compound file, "Workbook" stream, globals, every sheet); any
// other input is taken as a bare workbook stream, so the record parser is reached at once.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "gridbridge/biff8_reader.h"
#include "gridbridge/compound_file.h"

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
  gridbridge::Biff8Workbook wb;
  int r;
  if (gridbridge::CompoundFile::HasSignature(data, size)) {
    r = wb.Load(data, size);
  } else {
    r = wb.LoadStream(std::vector<unsigned char>(data, data + size));
  }
  if (r != gridbridge::kBiffOk) return 0;
  TouchingSink sink;
  for (size_t i = 0; i < wb.Sheets().size(); ++i) wb.ReadSheet(i, sink);
  volatile uint64_t keep = sink.sum;
  (void)keep;
  return 0;
}
