// The number format language of workbooks: a format code is compiled once, then each value of
// its cells is rendered as Excel shows it in a Japanese locale. The language: up to four
// sections (positive; negative; zero; text) with conditions ([>=1000]) and colours ([Red]);
// digit placeholders 0 # ?, the decimal point, thousands separators and scaling commas,
// percent, scientific notation (E+ E-), fractions (# ?/?, ?/8), quoted and escaped literals,
// _x spaces and *x fills, @ for the text, General; currency and locale tags ([$¥-411],
// [$-409], [$-F800]); dates and times (y m d h s, AM/PM, aaa/aaaa and ddd/dddd weekdays,
// mmm month names, fractions of seconds, elapsed [h] [m] [s]) and the Japanese era (g gg ggg,
// e ee). The yen sign U+00A5 is rendered as the full-width U+FFE5, which code page 932 holds.
//
// number_format.cpp compiles codes; number_render.cpp renders values.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace gridbridge {

// The code of a built-in format (ids 0 to 58) as Japanese Excel defines it, or nullptr for an
// id that has none.
const char* BuiltInFormatCode(int id);

// The compiled form of a format code, shared by the compiler and the renderer.
namespace format_code {

enum class Kind : uint8_t {
  kLiteral, kDigit, kPoint, kComma, kPercent, kExponent, kSlash, kText, kGeneral,
  // Every kind from kYear on makes a date section.
  kYear, kMonth, kMinute, kDay, kWeekdayJa, kHour, kSecond, kSubSecond, kAmPm,
  kElapsedHours, kElapsedMinutes, kElapsedSeconds, kEra, kEraYear,
};

// What a digit placeholder (or a fixed denominator, a literal) stands for.
enum class Role : uint8_t { kNone, kInteger, kFraction, kExponent, kNumerator, kDenominator };

struct Token {
  Kind kind = Kind::kLiteral;
  Role role = Role::kNone;
  char placeholder = 0;  // digits: '0', '#' or '?'; AM/PM: 'A' AM/PM, 'a' am/pm, 'P' A/P, 'p' a/p
  uint8_t width = 0;     // letters repeated (yyyy: 4), digits of a fraction of a second
  int place = 0;         // digits: place from the right (integer, exponent, numerator) or the left
  std::string text;      // literals (UTF-8)
};

struct Section {
  std::vector<Token> tokens;
  bool hasCondition = false;
  char op = 0;  // '<', '>', '=', 'l' (<=), 'g' (>=), 'n' (<>)
  double operand = 0;
  bool dates = false, text = false, general = false;
  bool japanese = true;  // AM/PM in Japanese unless a tag names another language
  // The number layout, counted when compiled.
  int integerDigits = 0, fractionDigits = 0, exponentDigits = 0, numeratorDigits = 0, denominatorDigits = 0;
  int fixedDenominator = 0, thousandsScale = 0, percents = 0, subSecondDigits = 0;
  bool grouping = false, scientific = false, exponentPlus = false, engineering = false, fraction = false;
  bool fractionInteger = false, hasPoint = false, hasAmPm = false;
};

}  // namespace format_code

class NumberFormat {
 public:
  // Compiles a format code (UTF-8). False when the code holds anything this renderer does
  // not know; the format then renders nothing, and callers use their fallback form.
  bool Compile(const std::string& code);
  // True when the code compiled.
  bool Usable() const { return usable_; }
  // True when the compiled format is General alone.
  bool IsGeneral() const { return usable_ && general_; }
  // True when positive numbers show as a date or a time.
  bool ShowsDates() const;

  // Appends the number as the format shows it, in UTF-8. False (out unchanged) when the
  // format cannot show it: not compiled, no section takes the value, a date or time outside
  // 1900-01-00 .. 9999-12-31 (Excel shows ####), or a result longer than maxBytes.
  bool RenderNumber(double value, bool date1904, std::string* out, size_t maxBytes = 255) const;
  // Appends the text (UTF-8) as the format's text section shows it. False when the format
  // has no text section: the text then shows as it is.
  bool RenderText(const char* text, size_t len, std::string* out) const;
  // The literals of the text section around its @ marks (UTF-8): one more than there are
  // marks. False when the format has no text section.
  bool TextSectionLiterals(std::vector<std::string>* literals) const;

 private:
  const format_code::Section* ChooseSection(double value, bool* dropSign) const;

  bool usable_ = false;
  bool general_ = false;
  std::vector<format_code::Section> sections_;  // the sections, in order
  int textSection_ = -1;                        // the text section's index, or -1
};

}  // namespace gridbridge
