#include "gridbridge/cell_format.h"

#include "gridbridge/cell_text.h"
#include "gridbridge/sheet_table.h"

namespace gridbridge {

void CellFormat::Prepare(int id, const char* code) {
  const char* source = code ? code : BuiltInFormatCode(id);
  fallback_ = ClassifyNumberFormat(id, code);
  // Built-in ids without a code show numbers in the general form; a code that does not
  // compile, in the plain form of its kind.
  bool compiled = format_.Compile(source ? source : "General");
  general_ = compiled ? format_.IsGeneral() : fallback_ == NumberKind::kGeneral;
  std::vector<std::string> literals;
  hasTextSection_ = format_.TextSectionLiterals(&literals);
  textLiterals_.clear();
  for (const std::string& l : literals) {
    std::string converted;
    Utf8ToCellValue(l.data(), l.size(), &converted);
    textLiterals_.push_back(converted);
  }
}

void CellFormat::Number(double value, bool date1904, std::string* out) const {
  char text[64];
  if (general_) {
    out->assign(text, FormatGeneralNumber(value, text));
    return;
  }
  scratch_.clear();
  // UTF-8 takes at most three bytes where code page 932 takes two: longer cannot fit.
  if (format_.RenderNumber(value, date1904, &scratch_, 3 * kMaxValueBytes) &&
      Utf8ToCellValue(scratch_.data(), scratch_.size(), out))
    return;
  // Cut short or with a character 932 lacks (such as the euro sign), it would be a wrong
  // value: the plain form instead.
  out->assign(text, FormatSerial(value, fallback_, date1904, text));
}

void CellFormat::Text(const char* text, size_t len, std::string* out) const {
  if (!hasTextSection_) {
    out->assign(text, SjisPrefixLength(text, len, kMaxValueBytes));
    return;
  }
  out->clear();
  for (size_t i = 0; i < textLiterals_.size(); ++i) {
    if (i > 0) out->append(text, len);
    *out += textLiterals_[i];
    if (out->size() > kMaxValueBytes) break;
  }
  out->resize(SjisPrefixLength(out->data(), out->size(), kMaxValueBytes));
}

}  // namespace gridbridge
