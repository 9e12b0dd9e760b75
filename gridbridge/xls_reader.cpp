// Excel 97-2003 workbooks behind the reader interface: the BIFF8 reader hands over raw cell
// values, which are rendered here with the same rules as the other formats.
#include <cstring>
#include <memory>
#include <unordered_map>

#include "gridbridge/biff8_reader.h"
#include "gridbridge/cell_format.h"
#include "gridbridge/cell_text.h"
#include "gridbridge/workbook_reader.h"

namespace gridbridge {
namespace {

// The workbook's number formats, each compiled when first used and then kept.
class FormatCache {
 public:
  const CellFormat& Of(const Biff8NumberFormat& format) {
    if (&format == last_) return *lastCell_;
    std::unique_ptr<CellFormat>& cell = cells_[&format];
    if (!cell) {
      cell.reset(new CellFormat);
      cell->Prepare(format.id, format.code.empty() ? nullptr : format.code.c_str());
    }
    last_ = &format;
    lastCell_ = cell.get();
    return *cell;
  }

 private:
  std::unordered_map<const Biff8NumberFormat*, std::unique_ptr<CellFormat>> cells_;
  const Biff8NumberFormat* last_ = nullptr;
  const CellFormat* lastCell_ = nullptr;
};

class TableSink : public Biff8CellSink {
 public:
  TableSink(SheetTable* table, bool date1904, FormatCache* formats)
      : table_(table), date1904_(date1904), formats_(formats) {}

  bool ok() const { return ok_; }

  void Number(uint32_t row, uint32_t column, double value, const Biff8NumberFormat& format) override {
    if (column >= kColumnCount) return;
    formats_->Of(format).Number(value, date1904_, &text_);
    Put(row, column, text_.data(), text_.size());
  }
  void Text(uint32_t row, uint32_t column, const char* text, size_t len, const Biff8NumberFormat& format) override {
    if (column >= kColumnCount) return;
    formats_->Of(format).Text(text, len, &text_);
    Put(row, column, text_.data(), text_.size());
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
  // Rows count from 0 in the file and from 1 in the table.
  void Put(uint32_t row, uint32_t column, const char* text, size_t len) {
    if (len && ok_ && !table_->Set(static_cast<long>(row) + 1, static_cast<long>(column), text, len)) ok_ = false;
  }

  SheetTable* table_;
  bool date1904_;
  FormatCache* formats_;
  bool ok_ = true;
  std::string text_;
};

class XlsReader : public WorkbookReader {
 public:
  // Opens the workbook; a ReadResult.
  int Init(std::string bytes) {
    std::vector<unsigned char> stream;
    int r = ExtractWorkbookStream(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), stream);
    if (r != kReadOk) return r;
    std::string().swap(bytes);  // the stream is all that is needed from here on
    r = workbook_.LoadStream(std::move(stream));
    if (r != kReadOk) return r;
    for (const Biff8Sheet& s : workbook_.Sheets()) names_.push_back(s.name);
    return kReadOk;
  }

  const std::vector<std::string>& SheetNames() const override { return names_; }

  bool LoadSheet(const char* sheetName, SheetTable* table) override {
    table->Clear();
    int index = workbook_.FindSheet(sheetName);
    if (index < 0) return false;
    TableSink sink(table, workbook_.Date1904(), &formats_);
    if (workbook_.ReadSheet(static_cast<size_t>(index), sink) != kReadOk || !sink.ok()) {
      table->Clear();
      return false;
    }
    return true;
  }

 private:
  Biff8Workbook workbook_;  // holds its own copy of the workbook stream
  std::vector<std::string> names_;
  FormatCache formats_;
};

}  // namespace

std::unique_ptr<WorkbookReader> OpenXlsFromMemory(std::string bytes, int* why) {
  std::unique_ptr<XlsReader> reader(new XlsReader);
  int r = reader->Init(std::move(bytes));
  if (why) *why = r;
  if (r != kReadOk) return nullptr;
  return std::unique_ptr<WorkbookReader>(reader.release());
}

}  // namespace gridbridge
