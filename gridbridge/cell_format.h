// The format of a cell as the readers use it: a number format compiled once per workbook,
// rendering numbers and texts into cell values (code page 932, at most 255 bytes). A format
// code that cannot be rendered, or a value it cannot show, falls back to the plain form
// (general numbers, yyyy/mm/dd dates and hh:mm:ss times).
#pragma once
#include <string>
#include <vector>

#include "gridbridge/number_format.h"
#include "gridbridge/value_format.h"

namespace gridbridge {

class CellFormat {
 public:
  // Prepares the format with this id; code is the workbook's own code for it, or nullptr
  // for a built-in id that the workbook does not define.
  void Prepare(int id, const char* code);
  // True when numbers show in their general form.
  bool IsGeneral() const { return general_; }
  // True when numbers show as dates or times.
  bool ShowsDates() const { return format_.ShowsDates(); }
  // True when texts show through a text section (@"様").
  bool FormatsText() const { return hasTextSection_; }

  // The number as the format shows it, into out (replaced).
  void Number(double value, bool date1904, std::string* out) const;
  // The text (code page 932) through the text section, into out (replaced), cut to a cell
  // value between characters.
  void Text(const char* text, size_t len, std::string* out) const;

 private:
  NumberFormat format_;
  NumberKind fallback_ = NumberKind::kGeneral;
  bool general_ = true;
  bool hasTextSection_ = false;
  std::vector<std::string> textLiterals_;  // code page 932, around the @ marks
  mutable std::string scratch_;
};

}  // namespace gridbridge
