// Excel 97-2003 workbooks behind the reader interface: the BIFF8 reader hands over raw cell
// values, which are rendered here with the same rules as the other formats.
#include <cstring>
#include <unordered_map>

#include "gridbridge/biff8_reader.h"
#include "gridbridge/cell_text.h"
#include "gridbridge/value_format.h"
#include "gridbridge/workbook_reader.h"

namespace gridbridge {
namespace {

class TableSink : public Biff8CellSink {
 public:
  TableSink(SheetTable* table, bool date1904) : table_(table), date1904_(date1904) {}

  bool ok() const { return ok_; }

  void Number(uint32_t row, uint32_t column, double value, const Biff8NumberFormat& format) override {
    if (column >= kColumnCount) return;
    char text[64];
    size_t len = FormatSerial(value, KindOf(format), date1904_, text);
    Put(row, column, text, len);
  }
  void Text(uint32_t row, uint32_t column, const char* text, size_t len) override {
    if (column >= kColumnCount) return;
    Put(row, column, text, SjisPrefixLength(text, len, kMaxValueBytes));
  }
  void Boolean(uint32_t row, uint32_t column, bool value) override {
    if (column >= kColumnCount) return;
    Put(row, column, value ? "TRUE" : "FALSE", value ? 4 : 5);
  }
  void Error(uint32_t row, uint32_t column, const char* text) override {
    if (column >= kColumnCount) return;
    Put(row, column, text, std::strlen(text));
  }

 private:
  // Formats are shared objects, so their kind is worked out once per format.
  NumberKind KindOf(const Biff8NumberFormat& format) {
    if (&format == lastFormat_) return lastKind_;
    auto it = kinds_.find(&format);
    if (it == kinds_.end())
      it = kinds_.emplace(&format, ClassifyNumberFormat(format.id, format.code.empty() ? nullptr : format.code.c_str()))
               .first;
    lastFormat_ = &format;
    lastKind_ = it->second;
    return lastKind_;
  }

  // Rows count from 0 in the file and from 1 in the table.
  void Put(uint32_t row, uint32_t column, const char* text, size_t len) {
    if (len && ok_ && !table_->Set(static_cast<long>(row) + 1, static_cast<long>(column), text, len)) ok_ = false;
  }

  SheetTable* table_;
  bool date1904_;
  bool ok_ = true;
  std::unordered_map<const Biff8NumberFormat*, NumberKind> kinds_;
  const Biff8NumberFormat* lastFormat_ = nullptr;
  NumberKind lastKind_ = NumberKind::kGeneral;
};

class XlsReader : public WorkbookReader {
 public:
  bool Init(std::string bytes) {
    std::vector<unsigned char> stream;
    if (ExtractWorkbookStream(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), stream) != kReadOk)
      return false;
    std::string().swap(bytes);  // the stream is all that is needed from here on
    if (workbook_.LoadStream(std::move(stream)) != kReadOk) return false;
    for (const Biff8Sheet& s : workbook_.Sheets()) names_.push_back(s.name);
    return true;
  }

  const std::vector<std::string>& SheetNames() const override { return names_; }

  bool LoadSheet(const char* sheetName, SheetTable* table) override {
    table->Clear();
    int index = workbook_.FindSheet(sheetName);
    if (index < 0) return false;
    TableSink sink(table, workbook_.Date1904());
    if (workbook_.ReadSheet(static_cast<size_t>(index), sink) != kReadOk || !sink.ok()) {
      table->Clear();
      return false;
    }
    return true;
  }

 private:
  Biff8Workbook workbook_;  // holds its own copy of the workbook stream
  std::vector<std::string> names_;
};

}  // namespace

std::unique_ptr<WorkbookReader> OpenXlsFromMemory(std::string bytes) {
  std::unique_ptr<XlsReader> reader(new XlsReader);
  if (!reader->Init(std::move(bytes))) return nullptr;
  return std::unique_ptr<WorkbookReader>(reader.release());
}

}  // namespace gridbridge
