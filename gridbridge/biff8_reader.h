// Reader of Excel 97-2003 workbooks (BIFF8 records in the "Workbook" stream of a compound
// file), over memory buffers. It reads what a cell's value needs: the workbook globals
// (sheet names and offsets, shared strings, number formats, cell formats, the date system)
// and, per sheet, the cell records, which it hands to a sink with their raw values. Texts
// reach the sink in code page 932.
//
// Every record is checked against the end of its stream and every count against the bytes
// that can hold it: a damaged stream ends in a failure result, never in a crash.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "gridbridge/read_result.h"

namespace gridbridge {

// The number format of a cell: its format id and, when the workbook defines it (FORMAT
// record), its format code in UTF-8. Built-in formats without a FORMAT record have an
// empty code.
struct Biff8NumberFormat {
  uint16_t id = 0;
  std::string code;
};

// Receives the cells of one sheet in stream order. Rows and columns count from 0.
class Biff8CellSink {
 public:
  virtual ~Biff8CellSink() = default;
  // `format` stays valid as long as the workbook does; equal formats share one object.
  virtual void Number(uint32_t row, uint32_t column, double value, const Biff8NumberFormat& format) = 0;
  // `format` is the cell's number format, whose text section (@"様") may show the text.
  virtual void Text(uint32_t row, uint32_t column, const char* text, size_t len, const Biff8NumberFormat& format) = 0;
  virtual void Boolean(uint32_t row, uint32_t column, bool value) = 0;
  // The error as the spreadsheet shows it: "#DIV/0!", "#N/A", ...
  virtual void Error(uint32_t row, uint32_t column, const char* text) = 0;
};

struct Biff8Sheet {
  std::string name;     // code page 932
  uint32_t offset = 0;  // stream offset of the sheet's BOF record
  uint8_t type = 0;     // 0 worksheet, 1 macro sheet
};

// Copies the "Workbook" stream out of an .xls file image. kReadOk; kReadNotThisFormat (not a
// compound file, or no such stream); kReadDamaged.
int ExtractWorkbookStream(const unsigned char* data, size_t size, std::vector<unsigned char>& stream);

class Biff8Workbook {
 public:
  // Reads an .xls file image: the compound file, its "Workbook" stream, the globals. kReadOk;
  // kReadNotThisFormat (no compound file, no "Workbook" stream, not BIFF8); kReadDamaged (a
  // record runs past its stream, a count does not fit, ...); kReadEncrypted (FILEPASS).
  int Load(const unsigned char* data, size_t size);
  // Reads the globals of a bare "Workbook" stream (taken over by the workbook); results as Load.
  int LoadStream(std::vector<unsigned char> stream);

  // Worksheets and macro sheets in workbook order (chart sheets and modules have no cells).
  const std::vector<Biff8Sheet>& Sheets() const { return sheets_; }
  // Index of the sheet with exactly this name (code page 932), or -1.
  int FindSheet(const char* name) const;
  // True when serial dates count from 1904-01-01 instead of 1899-12-30.
  bool Date1904() const { return date1904_; }
  size_t SharedStringCount() const { return sstEnds_.size(); }

  // Hands every cell of the sheet to the sink. kReadOk, kReadDamaged or kReadNoSuchSheet.
  int ReadSheet(size_t index, Biff8CellSink& sink) const;

 private:
  int ReadGlobals();
  size_t SheetBof(uint32_t offset) const;
  void Reset();
  const Biff8NumberFormat& FormatOfXf(uint16_t xf) const;

  std::vector<unsigned char> stream_;
  std::vector<Biff8Sheet> sheets_;
  std::string sstPool_;             // the shared strings in code page 932, one after another
  std::vector<uint32_t> sstEnds_;   // where each of them ends in the pool
  std::vector<Biff8NumberFormat> formats_;  // one per distinct format id in use
  std::vector<uint32_t> xfFormat_;          // XF index -> index into formats_
  Biff8NumberFormat general_;
  bool date1904_ = false;
};

}  // namespace gridbridge
