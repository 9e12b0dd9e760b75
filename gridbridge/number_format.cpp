#include "gridbridge/number_format.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace gridbridge {

using format_code::Kind;
using format_code::Role;
using format_code::Section;
using format_code::Token;

namespace {

// A code longer than this is no workbook's: it is refused rather than compiled.
constexpr size_t kMaxCodeBytes = 1024;
constexpr size_t kMaxTokens = 256;
// The largest denominator a fraction searches is 10^kMaxDenominatorDigits - 1.
constexpr int kMaxDenominatorDigits = 4;

const char kYenUtf8[] = "\xC2\xA5";          // U+00A5, which code page 932 would turn into a backslash
const char kWideYenUtf8[] = "\xEF\xBF\xA5";  // U+FFE5, 0x818F in code page 932

// The built-in formats of Japanese Excel (ECMA-376 Part 1, 18.8.30, with the ja-JP forms of
// the locale-dependent ones: currency 5-8 and 41-44, short date 14 and 22, dates 27-36 and 50-58).
struct BuiltIn {
  int id;
  const char* code;
};
const BuiltIn kBuiltIns[] = {
    {0, "General"},
    {1, "0"},
    {2, "0.00"},
    {3, "#,##0"},
    {4, "#,##0.00"},
    {5, "\"\xC2\xA5\"#,##0;\"\xC2\xA5\"\\-#,##0"},
    {6, "\"\xC2\xA5\"#,##0;[Red]\"\xC2\xA5\"\\-#,##0"},
    {7, "\"\xC2\xA5\"#,##0.00;\"\xC2\xA5\"\\-#,##0.00"},
    {8, "\"\xC2\xA5\"#,##0.00;[Red]\"\xC2\xA5\"\\-#,##0.00"},
    {9, "0%"},
    {10, "0.00%"},
    {11, "0.00E+00"},
    {12, "# ?/?"},
    {13, "# ?\?/?\?"},  // \? keeps "??/" from being read as a trigraph
    {14, "yyyy/m/d"},
    {15, "d-mmm-yy"},
    {16, "d-mmm"},
    {17, "mmm-yy"},
    {18, "h:mm AM/PM"},
    {19, "h:mm:ss AM/PM"},
    {20, "h:mm"},
    {21, "h:mm:ss"},
    {22, "yyyy/m/d h:mm"},
    {27, "[$-411]ge.m.d"},
    {28, "[$-411]ggge\"\xE5\xB9\xB4\"m\"\xE6\x9C\x88\"d\"\xE6\x97\xA5\""},
    {29, "[$-411]ggge\"\xE5\xB9\xB4\"m\"\xE6\x9C\x88\"d\"\xE6\x97\xA5\""},
    {30, "m/d/yy"},
    {31, "yyyy\"\xE5\xB9\xB4\"m\"\xE6\x9C\x88\"d\"\xE6\x97\xA5\""},
    {32, "h\"\xE6\x99\x82\"mm\"\xE5\x88\x86\""},
    {33, "h\"\xE6\x99\x82\"mm\"\xE5\x88\x86\"ss\"\xE7\xA7\x92\""},
    {34, "yyyy\"\xE5\xB9\xB4\"m\"\xE6\x9C\x88\""},
    {35, "m\"\xE6\x9C\x88\"d\"\xE6\x97\xA5\""},
    {36, "[$-411]ge.m.d"},
    {37, "#,##0 ;(#,##0)"},
    {38, "#,##0 ;[Red](#,##0)"},
    {39, "#,##0.00;(#,##0.00)"},
    {40, "#,##0.00;[Red](#,##0.00)"},
    {41, "_ * #,##0_ ;_ * \\-#,##0_ ;_ * \"-\"_ ;_ @_ "},
    {42, "_ \"\xC2\xA5\"* #,##0_ ;_ \"\xC2\xA5\"* \\-#,##0_ ;_ \"\xC2\xA5\"* \"-\"_ ;_ @_ "},
    {43, "_ * #,##0.00_ ;_ * \\-#,##0.00_ ;_ * \"-\"??_ ;_ @_ "},
    {44, "_ \"\xC2\xA5\"* #,##0.00_ ;_ \"\xC2\xA5\"* \\-#,##0.00_ ;_ \"\xC2\xA5\"* \"-\"??_ ;_ @_ "},
    {45, "mm:ss"},
    {46, "[h]:mm:ss"},
    {47, "mm:ss.0"},
    {48, "##0.0E+0"},
    {49, "@"},
    {50, "[$-411]ge.m.d"},
    {51, "[$-411]ggge\"\xE5\xB9\xB4\"m\"\xE6\x9C\x88\"d\"\xE6\x97\xA5\""},
    {52, "yyyy\"\xE5\xB9\xB4\"m\"\xE6\x9C\x88\""},
    {53, "m\"\xE6\x9C\x88\"d\"\xE6\x97\xA5\""},
    {54, "[$-411]ggge\"\xE5\xB9\xB4\"m\"\xE6\x9C\x88\"d\"\xE6\x97\xA5\""},
    {55, "yyyy\"\xE5\xB9\xB4\"m\"\xE6\x9C\x88\""},
    {56, "m\"\xE6\x9C\x88\"d\"\xE6\x97\xA5\""},
    {57, "[$-411]ge.m.d"},
    {58, "[$-411]ggge\"\xE5\xB9\xB4\"m\"\xE6\x9C\x88\"d\"\xE6\x97\xA5\""},
};

// What the system tags [$-F800] and [$-F400] stand for: the Japanese long date and time.
const char kLongDateCode[] = "yyyy\"\xE5\xB9\xB4\"m\"\xE6\x9C\x88\"d\"\xE6\x97\xA5\"";
const char kLongTimeCode[] = "h:mm:ss";

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool StartsNoCase(const std::string& s, size_t at, const char* word) {
  size_t n = std::strlen(word);
  if (s.size() - at < n) return false;
  for (size_t i = 0; i < n; ++i)
    if (Lower(s[at + i]) != word[i]) return false;
  return true;
}

// Bytes of the UTF-8 character that starts with c.
size_t CharBytes(unsigned char c) { return c < 0xC0 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4; }

// Replaces the yen sign by its full-width form.
void WidenYen(std::string* text) {
  for (size_t at = text->find(kYenUtf8); at != std::string::npos; at = text->find(kYenUtf8, at + 3))
    text->replace(at, 2, kWideYenUtf8);
}

// The code split into its sections at the semicolons outside quotes, brackets and escapes.
// False for an unclosed quote or bracket, an escape at the end, or more than four sections.
bool SplitSections(const std::string& code, std::vector<std::string>* pieces) {
  pieces->assign(1, std::string());
  for (size_t i = 0; i < code.size();) {
    char c = code[i];
    size_t take = 1;
    if (c == '"' || c == '[') {
      size_t close = code.find(c == '"' ? '"' : ']', i + 1);
      if (close == std::string::npos) return false;
      take = close + 1 - i;
    } else if (c == '\\' || c == '_' || c == '*') {
      if (i + 1 >= code.size()) return false;
      take = 1 + CharBytes(static_cast<unsigned char>(code[i + 1]));
    } else if (c == ';') {
      if (pieces->size() == 4) return false;
      pieces->emplace_back();
      ++i;
      continue;
    }
    if (take > code.size() - i) return false;
    pieces->back().append(code, i, take);
    i += take;
  }
  return true;
}

bool ParseCondition(const std::string& body, char* op, double* operand) {
  size_t i = 1;
  if (body[0] == '<' && i < body.size() && body[i] == '=') *op = 'l', ++i;
  else if (body[0] == '<' && i < body.size() && body[i] == '>') *op = 'n', ++i;
  else if (body[0] == '>' && i < body.size() && body[i] == '=') *op = 'g', ++i;
  else *op = body[0];
  std::string number = body.substr(i);
  if (number.empty() || number.size() > 32) return false;
  char* end = nullptr;
  *operand = std::strtod(number.c_str(), &end);
  return end == number.c_str() + number.size() && std::isfinite(*operand);
}

bool IsColour(const std::string& lower) {
  static const char* const kColours[] = {"black", "blue", "cyan", "green", "magenta", "red", "white", "yellow"};
  for (const char* c : kColours)
    if (lower == c) return true;
  if (lower.compare(0, 5, "color") != 0 || lower.size() < 6 || lower.size() > 7) return false;
  for (size_t i = 5; i < lower.size(); ++i)
    if (lower[i] < '0' || lower[i] > '9') return false;
  int n = std::atoi(lower.c_str() + 5);
  return n >= 1 && n <= 56;
}

// Reads the code of one section into its tokens, one token (or literal) at a time.
class SectionReader {
 public:
  SectionReader(const std::string& code, Section* s) : code_(code), s_(s) {}

  // False for anything not rendered.
  bool Read() {
    while (i_ < code_.size())
      if (s_->tokens.size() > kMaxTokens || !Step()) return false;
    return true;
  }
  // The system's long date and time tags ([$-F800], [$-F400]) were met.
  bool longDate = false, longTime = false;

 private:
  bool Step() {
    unsigned char uc = static_cast<unsigned char>(code_[i_]);
    char c = Lower(code_[i_]);
    if (uc >= 0x80) return Literal(code_.substr(i_, CharBytes(uc)));
    switch (c) {
      case '"': {
        size_t close = code_.find('"', i_ + 1);
        Literal(code_.substr(i_ + 1, close - i_ - 1));
        i_ = close + 1;
        return true;
      }
      case '\\':
        Skip(1);
        return Literal(code_.substr(i_, CharBytes(static_cast<unsigned char>(code_[i_]))));
      case '_':  // the room of the next character: a space
        Skip(1);
        Literal(" ");
        return SkipChar();
      case '*':  // a fill to the cell's width: nothing
        Skip(1);
        return SkipChar();
      case '[': return Bracket();
      case '0': case '#': case '?': return Add(Kind::kDigit, c);
      case '.': return Add(Kind::kPoint);
      case ',': return Add(Kind::kComma);
      case '%': return Add(Kind::kPercent);
      case '/': return Add(Kind::kSlash);
      case '@':
        s_->text = true;
        return Add(Kind::kText);
      default: break;
    }
    if (c >= '1' && c <= '9') return Number();
    if (c >= 'a' && c <= 'z') return Letters(c);
    if (c < 0x20) return false;  // control bytes
    return Literal(std::string(1, code_[i_]));  // $ - + ( ) : ^ ' { } < > = ! & ~ space and the like
  }

  // Appends literal text (and moves past its bytes in the code when it came from there).
  bool Literal(const std::string& text, bool fromCode = true) {
    std::vector<Token>& t = s_->tokens;
    if (!t.empty() && t.back().kind == Kind::kLiteral && t.back().role == Role::kNone) {
      t.back().text += text;
    } else {
      Token k;
      k.text = text;
      t.push_back(k);
    }
    return fromCode ? Skip(text.size()) : true;
  }
  bool Literal(const char* text) { return Literal(text, false); }

  // Appends a token and moves past the `consumed` bytes of the code that made it.
  bool Add(Kind kind, char placeholder = 0, size_t width = 1, size_t consumed = 1) {
    Token k;
    k.kind = kind;
    k.placeholder = placeholder;
    k.width = static_cast<uint8_t>(width > 255 ? 255 : width);
    s_->tokens.push_back(k);
    return Skip(consumed);
  }

  bool Skip(size_t n) {
    i_ += n;
    return true;
  }
  bool SkipChar() { return Skip(i_ < code_.size() ? CharBytes(static_cast<unsigned char>(code_[i_])) : 0); }

  // Digits: a fraction's fixed denominator right after its slash (?/8), else literal.
  bool Number() {
    size_t n = 1;
    while (i_ + n < code_.size() && code_[i_ + n] >= '0' && code_[i_ + n] <= '9') ++n;
    if (s_->tokens.empty() || s_->tokens.back().kind != Kind::kSlash) return Literal(code_.substr(i_, n));
    Token k;
    k.role = Role::kDenominator;
    k.text = code_.substr(i_, n);
    s_->tokens.push_back(k);
    return Skip(n);
  }

  bool Letters(char c) {
    if (c == 'e' && i_ + 1 < code_.size() && (code_[i_ + 1] == '+' || code_[i_ + 1] == '-'))
      return Add(Kind::kExponent, code_[i_ + 1], 1, 2);
    if (c == 'g' && StartsNoCase(code_, i_, "general")) {
      s_->general = true;
      return Add(Kind::kGeneral, 0, 1, 7);
    }
    if (c == 'a' && StartsNoCase(code_, i_, "am/pm")) return Add(Kind::kAmPm, code_[i_] == 'a' ? 'a' : 'A', 1, 5);
    if (c == 'a' && StartsNoCase(code_, i_, "a/p")) return Add(Kind::kAmPm, code_[i_] == 'a' ? 'p' : 'P', 1, 3);
    size_t n = 1;
    while (i_ + n < code_.size() && Lower(code_[i_ + n]) == c) ++n;
    switch (c) {
      case 'e': return Add(Kind::kEraYear, 0, n, n);
      case 'g': return Add(Kind::kEra, 0, n, n);
      case 'y': return Add(Kind::kYear, 0, n, n);
      case 'm': return Add(Kind::kMonth, 0, n, n);
      case 'd': return Add(Kind::kDay, 0, n, n);
      case 'h': return Add(Kind::kHour, 0, n, n);
      case 's': return Add(Kind::kSecond, 0, n, n);
      case 'a': return n >= 3 && Add(Kind::kWeekdayJa, 0, n, n);
      default: return false;  // b (Buddhist years), B1/B2 (Hijri), letters Excel does not know
    }
  }

  bool Bracket() {
    size_t close = code_.find(']', i_);
    std::string body = code_.substr(i_ + 1, close - i_ - 1);
    i_ = close + 1;
    std::string lower;
    for (char b : body) lower += Lower(b);
    if (body.empty()) return false;
    if (body[0] == '<' || body[0] == '>' || body[0] == '=') {
      if (s_->hasCondition || !ParseCondition(body, &s_->op, &s_->operand)) return false;
      s_->hasCondition = true;
      return true;
    }
    if (body[0] == '$') return Currency(body, lower);
    if ((lower[0] == 'h' || lower[0] == 'm' || lower[0] == 's') && lower.find_first_not_of(lower[0]) == std::string::npos) {
      Kind kind = lower[0] == 'h' ? Kind::kElapsedHours : lower[0] == 'm' ? Kind::kElapsedMinutes : Kind::kElapsedSeconds;
      return Add(kind, 0, lower.size(), 0);
    }
    return IsColour(lower);  // [DBNum1], [NatNum..] and the like are not rendered
  }

  // [$text-tag]: the text is a literal (a currency); the tag a language, a calendar, or the
  // system's long date or time.
  bool Currency(const std::string& body, const std::string& lower) {
    size_t dash = body.find('-');
    std::string currency = body.substr(1, dash == std::string::npos ? std::string::npos : dash - 1);
    std::string tag = dash == std::string::npos ? std::string() : lower.substr(dash + 1);
    // A hex tag: numerals << 24 | calendar << 16 | language. Western digits (0, 1) and the
    // Gregorian (0, 1) or Japanese era (3) calendars are rendered; other ones are not.
    char* end = nullptr;
    unsigned long id = std::strtoul(tag.c_str(), &end, 16);
    bool hex = !tag.empty() && end && *end == '\0' && tag.size() <= 8;
    unsigned long numerals = id >> 24, calendar = (id >> 16) & 0xFF;
    if (hex && (numerals > 1 || (calendar != 0 && calendar != 1 && calendar != 3))) return false;
    bool japanese = (hex && (id & 0xFFFF) == 0x0411) || tag.compare(0, 2, "ja") == 0;
    if (currency == "\\" && japanese) currency = kYenUtf8;  // the yen key of a Japanese keyboard
    if (!currency.empty()) Literal(currency, false);
    if (tag == "f800" || tag == "x-sysdate") longDate = true;
    if (tag == "f400" || tag == "x-systime") longTime = true;
    if (longDate || longTime) return true;
    if (!hex && !tag.empty() && (tag[0] < 'a' || tag[0] > 'z')) return false;
    if (japanese) s_->japanese = true;
    else if ((hex && (id & 0xFFFF) != 0) || (!hex && !tag.empty())) s_->japanese = false;  // 409 English, en-US, ...
    return true;
  }

  const std::string& code_;
  Section* s_;
  size_t i_ = 0;
};

// A fraction of a second right after the seconds (ss.00): the point and its zeros become one
// token. *at is the point's index in t, moved past the zeros. False for more than three or
// for other placeholders.
bool TakeSubSecond(const std::vector<Token>& t, size_t* at, Section* s, std::vector<Token>* out) {
  int n = 0;
  while (*at + 1 < t.size() && t[*at + 1].kind == Kind::kDigit && t[*at + 1].placeholder == '0') ++n, ++*at;
  if (n > 3 || (*at + 1 < t.size() && t[*at + 1].kind == Kind::kDigit)) return false;
  Token sub;
  sub.kind = Kind::kSubSecond;
  sub.width = static_cast<uint8_t>(n);
  out->push_back(sub);
  if (n > s->subSecondDigits) s->subSecondDigits = n;
  return true;
}

// m and mm are minutes right after an hour or right before a second, months elsewhere.
void ResolveMinutes(std::vector<Token>* tokens) {
  std::vector<Token>& t = *tokens;
  for (size_t i = 0; i < t.size(); ++i) {
    if (t[i].kind != Kind::kMonth || t[i].width > 2) continue;
    size_t p = i;
    while (p > 0 && t[p - 1].kind == Kind::kLiteral) --p;
    bool afterHour = p > 0 && (t[p - 1].kind == Kind::kHour || t[p - 1].kind == Kind::kElapsedHours);
    size_t n = i + 1;
    while (n < t.size() && t[n].kind == Kind::kLiteral) ++n;
    bool beforeSecond = n < t.size() && (t[n].kind == Kind::kSecond || t[n].kind == Kind::kElapsedSeconds);
    if (afterHour || beforeSecond) t[i].kind = Kind::kMinute;
  }
}

// A token that is itself in this section: its character as a literal.
void MakeLiteral(Token* k) {
  static const char kSymbols[] = {'.', ',', '%', '/'};
  const Kind kinds[] = {Kind::kPoint, Kind::kComma, Kind::kPercent, Kind::kSlash};
  for (size_t i = 0; i < 4; ++i)
    if (k->kind == kinds[i]) k->kind = Kind::kLiteral, k->text = std::string(1, kSymbols[i]);
  if (k->kind == Kind::kLiteral) k->role = Role::kNone;
}

bool FinishDateSection(Section* s) {
  const std::vector<Token>& t = s->tokens;
  std::vector<Token> out;
  for (size_t i = 0; i < t.size(); ++i) {
    Token k = t[i];
    bool afterSecond = !out.empty() && (out.back().kind == Kind::kSecond || out.back().kind == Kind::kElapsedSeconds);
    if (k.kind == Kind::kPoint && afterSecond && i + 1 < t.size() && t[i + 1].kind == Kind::kDigit) {
      if (!TakeSubSecond(t, &i, s, &out)) return false;
      continue;
    }
    if (k.kind == Kind::kDigit || k.kind == Kind::kExponent || k.kind == Kind::kGeneral || k.kind == Kind::kText)
      return false;  // numbers and texts do not mix with dates
    if (k.kind == Kind::kAmPm) s->hasAmPm = true;
    MakeLiteral(&k);
    out.push_back(k);
  }
  ResolveMinutes(&out);
  s->tokens.swap(out);
  return true;
}

// A fraction: numerator placeholders right before a slash, denominator placeholders or a
// number right after it; placeholders before the numerator (and a literal) are the integer.
bool MarkFraction(Section* s, size_t slash) {
  std::vector<Token>& t = s->tokens;
  s->fraction = true;
  size_t numStart = slash;
  while (numStart > 0 && t[numStart - 1].kind == Kind::kDigit) --numStart;
  for (size_t i = 0; i < t.size(); ++i) {
    Token& k = t[i];
    if (k.kind == Kind::kLiteral && k.role == Role::kDenominator) {
      if (i != slash + 1 || k.text.size() > 9) k.role = Role::kNone;
      else s->fixedDenominator = std::atoi(k.text.c_str());
    }
    if (k.kind == Kind::kSlash && i != slash) MakeLiteral(&k);
    if (k.kind != Kind::kDigit) continue;
    if (i < numStart) {
      k.role = Role::kInteger;
      s->fractionInteger = true;
    } else if (i < slash) {
      k.role = Role::kNumerator;
    } else if (i == slash + 1 + static_cast<size_t>(s->denominatorDigits) && s->fixedDenominator == 0) {
      k.role = Role::kDenominator;
      k.place = s->denominatorDigits++;
    } else {
      return false;  // placeholders after the denominator
    }
  }
  return s->denominatorDigits <= kMaxDenominatorDigits && (s->fixedDenominator > 0 || s->denominatorDigits > 0);
}

// Integer, fraction and exponent placeholders around the decimal point and the E.
bool MarkDecimal(Section* s) {
  std::vector<Token>& t = s->tokens;
  size_t exponentAt = t.size();
  bool pointSeen = false;
  for (size_t i = 0; i < t.size(); ++i) {
    Token& k = t[i];
    if (k.kind == Kind::kExponent) {
      exponentAt = i;
      s->scientific = true;
      s->exponentPlus = k.placeholder == '+';
    } else if (k.kind == Kind::kPoint) {
      if (pointSeen || i > exponentAt) MakeLiteral(&k);  // a second point is itself
      pointSeen = true;
    } else if (k.kind == Kind::kDigit) {
      k.role = i > exponentAt ? Role::kExponent : pointSeen ? Role::kFraction : Role::kInteger;
    } else if (k.kind == Kind::kSlash || k.role == Role::kDenominator) {
      MakeLiteral(&k);  // no fraction: a slash and the number after it are themselves
    }
  }
  s->hasPoint = pointSeen;
  return !s->scientific || (exponentAt + 1 < t.size() && t[exponentAt + 1].kind == Kind::kDigit);
}

// Commas: between integer placeholders a thousands separator; right after the last
// placeholder a division by 1000 each; elsewhere themselves.
void ResolveCommas(Section* s) {
  const std::vector<Token>& t = s->tokens;
  std::vector<Token> out;
  for (size_t i = 0; i < t.size(); ++i) {
    if (t[i].kind != Kind::kComma) {
      out.push_back(t[i]);
      continue;
    }
    size_t next = i;
    while (next < t.size() && t[next].kind == Kind::kComma) ++next;
    bool afterDigit = !out.empty() && out.back().kind == Kind::kDigit;
    bool beforeDigit = next < t.size() && t[next].kind == Kind::kDigit;
    if (afterDigit && beforeDigit && out.back().role == Role::kInteger && t[next].role == Role::kInteger) {
      s->grouping = true;
      i = next - 1;
    } else if (afterDigit && !beforeDigit) {
      s->thousandsScale += static_cast<int>(next - i);
      i = next - 1;
    } else {
      Token k;
      k.text = ",";
      out.push_back(k);
    }
  }
  s->tokens.swap(out);
}

// Places: integer, exponent and numerator digits count from the right, fraction digits from
// the left (denominators were counted when marked).
void CountPlaces(Section* s) {
  int* counts[] = {&s->integerDigits, &s->fractionDigits, &s->exponentDigits, &s->numeratorDigits};
  const Role roles[] = {Role::kInteger, Role::kFraction, Role::kExponent, Role::kNumerator};
  for (const Token& k : s->tokens)
    for (size_t r = 0; r < 4; ++r)
      if (k.kind == Kind::kDigit && k.role == roles[r]) ++*counts[r];
  int seen[4] = {0, 0, 0, 0};
  bool hashInInteger = false;
  for (Token& k : s->tokens) {
    for (size_t r = 0; r < 4; ++r) {
      if (k.kind != Kind::kDigit || k.role != roles[r]) continue;
      k.place = roles[r] == Role::kFraction ? seen[r]++ : *counts[r] - 1 - seen[r]++;
      if (roles[r] == Role::kInteger && k.placeholder == '#') hashInInteger = true;
    }
  }
  s->engineering = s->scientific && s->integerDigits > 1 && hashInInteger;
}

bool FinishNumberSection(Section* s) {
  int digits = 0, exponents = 0, points = 0;
  for (const Token& k : s->tokens) {
    digits += k.kind == Kind::kDigit;
    exponents += k.kind == Kind::kExponent;
    points += k.kind == Kind::kPoint;
    s->percents += k.kind == Kind::kPercent;
  }
  if (s->text || s->general) {
    // A text section, or General among literals: no digit placeholders beside them.
    if (digits || exponents || (s->text && s->general)) return false;
    for (Token& k : s->tokens)
      if (k.kind != Kind::kPercent || s->text) MakeLiteral(&k);
    return true;
  }
  if (exponents > 1) return false;
  size_t slash = 0;
  const std::vector<Token>& t = s->tokens;
  for (size_t i = 1; i + 1 < t.size() && !slash; ++i)
    if (t[i].kind == Kind::kSlash && t[i - 1].kind == Kind::kDigit &&
        (t[i + 1].kind == Kind::kDigit || t[i + 1].role == Role::kDenominator))
      slash = i;
  if (slash && (exponents || points)) return false;
  if (!(slash ? MarkFraction(s, slash) : MarkDecimal(s))) return false;
  ResolveCommas(s);
  CountPlaces(s);
  return !s->scientific || s->integerDigits > 0;
}

bool CompileSection(const std::string& code, Section* s) {
  SectionReader reader(code, s);
  if (!reader.Read()) return false;
  if (reader.longDate || reader.longTime) {
    // The system's long date or time stands for the whole section.
    std::string replacement = reader.longDate && reader.longTime ? std::string(kLongDateCode) + " " + kLongTimeCode
                              : reader.longDate                ? kLongDateCode
                                                               : kLongTimeCode;
    Section replaced;
    replaced.hasCondition = s->hasCondition;
    replaced.op = s->op;
    replaced.operand = s->operand;
    if (!CompileSection(replacement, &replaced)) return false;
    *s = std::move(replaced);
    return true;
  }
  for (Token& k : s->tokens) {
    if (k.kind == Kind::kLiteral) WidenYen(&k.text);
    if (k.kind >= Kind::kYear) s->dates = true;
  }
  return s->dates ? FinishDateSection(s) : FinishNumberSection(s);
}

// The text section: the fourth, or else a section with @, which must then be the last. A
// text section holds literals and @ only. -1 when there is none; false when misplaced.
bool FindTextSection(std::vector<Section>* sections, int* index) {
  *index = -1;
  for (size_t i = 0; i < sections->size(); ++i) {
    Section& s = (*sections)[i];
    if (!s.text && i != 3) continue;
    if (i + 1 != sections->size() || s.dates || s.general || s.integerDigits || s.fractionDigits || s.hasPoint ||
        s.fraction || s.scientific)
      return false;
    s.text = true;
    *index = static_cast<int>(i);
  }
  return true;
}

}  // namespace

const char* BuiltInFormatCode(int id) {
  for (const BuiltIn& b : kBuiltIns)
    if (b.id == id) return b.code;
  return nullptr;
}

bool NumberFormat::Compile(const std::string& code) {
  usable_ = false;
  general_ = false;
  sections_.clear();
  textSection_ = -1;
  std::vector<std::string> pieces;
  if (code.size() > kMaxCodeBytes || !SplitSections(code, &pieces)) return false;
  if (pieces.size() == 1 && (pieces[0].empty() || (pieces[0].size() == 7 && StartsNoCase(pieces[0], 0, "general")))) {
    general_ = true;
  } else {
    bool compiled = true;
    for (size_t i = 0; i < pieces.size() && compiled; ++i) {
      sections_.emplace_back();
      compiled = CompileSection(pieces[i], &sections_.back());
    }
    if (!compiled || !FindTextSection(&sections_, &textSection_)) {
      sections_.clear();
      textSection_ = -1;
      return false;
    }
  }
  usable_ = true;
  return true;
}

bool NumberFormat::ShowsDates() const {
  return usable_ && !sections_.empty() && textSection_ != 0 && sections_[0].dates;
}

}  // namespace gridbridge
