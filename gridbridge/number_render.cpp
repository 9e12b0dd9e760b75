// Rendering numbers and texts through compiled format codes (see number_format.h).
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "gridbridge/number_format.h"
#include "gridbridge/value_format.h"

namespace gridbridge {

using format_code::Kind;
using format_code::Role;
using format_code::Section;
using format_code::Token;

namespace {

struct Era {
  int year, month, day;  // first day
  const char* letter;    // g
  const char* initial;   // gg
  const char* name;      // ggg
};
const Era kEras[] = {
    {1868, 9, 8, "M", "\xE6\x98\x8E", "\xE6\x98\x8E\xE6\xB2\xBB"},    // 明治
    {1912, 7, 30, "T", "\xE5\xA4\xA7", "\xE5\xA4\xA7\xE6\xAD\xA3"},   // 大正
    {1926, 12, 25, "S", "\xE6\x98\xAD", "\xE6\x98\xAD\xE5\x92\x8C"},  // 昭和
    {1989, 1, 8, "H", "\xE5\xB9\xB3", "\xE5\xB9\xB3\xE6\x88\x90"},    // 平成
    {2019, 5, 1, "R", "\xE4\xBB\xA4", "\xE4\xBB\xA4\xE5\x92\x8C"},    // 令和
};

const char* const kMonthShort[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
const char* const kMonthLong[] = {"January", "February", "March",     "April",   "May",      "June",
                                  "July",    "August",   "September", "October", "November", "December"};
const char* const kDayShort[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char* const kDayLong[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
const char* const kDayJa[] = {"\xE6\x97\xA5", "\xE6\x9C\x88", "\xE7\x81\xAB", "\xE6\xB0\xB4",
                              "\xE6\x9C\xA8", "\xE9\x87\x91", "\xE5\x9C\x9F"};  // 日月火水木金土
const char kYoubi[] = "\xE6\x9B\x9C\xE6\x97\xA5";                                // 曜日
const char kGozen[] = "\xE5\x8D\x88\xE5\x89\x8D";                                // 午前
const char kGogo[] = "\xE5\x8D\x88\xE5\xBE\x8C";                                 // 午後

bool Holds(char op, double operand, double v) {
  switch (op) {
    case '<': return v < operand;
    case '>': return v > operand;
    case '=': return v == operand;
    case 'l': return v <= operand;
    case 'g': return v >= operand;
    default: return v != operand;  // 'n'
  }
}

// A condition that only negative numbers meet: their section shows the number without its sign.
bool OnlyNegatives(char op, double operand) { return (op == '<' && operand <= 0) || (op == 'l' && operand < 0); }

// A value as decimal digits: up to 15 significant digits (as Excel keeps them), the value
// being 0.digits x 10^exponent. No digits for zero.
struct Decimal {
  std::string digits;
  int exponent = 0;
};

Decimal ToDecimal(double v) {
  Decimal d;
  if (v == 0) return d;
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.14e", v);  // d.dddddddddddddde+XX
  d.digits += buf[0];
  const char* p = buf + 2;
  while (*p >= '0' && *p <= '9') d.digits += *p++;
  d.exponent = std::atoi(p + 1) + 1;
  while (!d.digits.empty() && d.digits.back() == '0') d.digits.pop_back();
  return d;
}

// Rounds half away from zero to `decimals` digits after the point: the integer digits
// (no leading zeros, empty for zero) and exactly `decimals` fraction digits.
void RoundDecimal(const Decimal& d, int decimals, std::string* integer, std::string* fraction) {
  int whole = d.exponent > 0 ? d.exponent : 0;
  int length = whole + decimals;
  std::string all(static_cast<size_t>(length), '0');
  for (int p = 0; p < length; ++p) {
    int i = d.exponent - whole + p;
    if (i >= 0 && i < static_cast<int>(d.digits.size())) all[static_cast<size_t>(p)] = d.digits[static_cast<size_t>(i)];
  }
  int next = d.exponent + decimals;  // index in d.digits of the first digit dropped
  if (next >= 0 && next < static_cast<int>(d.digits.size()) && d.digits[static_cast<size_t>(next)] >= '5') {
    int p = length - 1;
    while (p >= 0 && all[static_cast<size_t>(p)] == '9') all[static_cast<size_t>(p--)] = '0';
    if (p >= 0) {
      ++all[static_cast<size_t>(p)];
    } else {
      all.insert(all.begin(), '1');
      ++whole;
    }
  }
  integer->assign(all, 0, static_cast<size_t>(whole));
  size_t lead = integer->find_first_not_of('0');
  integer->erase(0, lead == std::string::npos ? integer->size() : lead);
  fraction->assign(all, static_cast<size_t>(whole), std::string::npos);
}

// Appends n (>= 0) in decimal, with leading zeros to at least width digits.
void AppendPadded(std::string* out, long long n, int width) {
  char digits[48];
  char* end = digits + sizeof digits;
  char* p = end;
  do {
    *--p = static_cast<char>('0' + n % 10);
    n /= 10;
  } while (n && p > digits + 24);
  while (end - p < width && p > digits) *--p = '0';
  out->append(p, static_cast<size_t>(end - p));
}

std::string DigitsOf(long long n) {
  std::string s;
  AppendPadded(&s, n, 1);
  return s;
}

// The fraction num/den nearest to f (0 <= f < 1e12) with den at most maxDen, or with den
// fixed: from the continued fraction of f, the last convergent within the bound or the best
// semiconvergent after it (the nearer one, the smaller denominator when both are as near).
void BestFraction(double f, int maxDen, int fixedDen, long long* num, long long* den) {
  if (fixedDen > 0) {
    *den = fixedDen;
    *num = static_cast<long long>(std::floor(f * fixedDen + 0.5));
    return;
  }
  long long p0 = 0, q0 = 1, p1 = 1, q1 = 0;  // the convergents before and at the current term
  double x = f;
  for (int terms = 0; terms < 64; ++terms) {
    double a = std::floor(x);
    if (a > 1e12 || q1 * a + q0 > maxDen) break;
    long long ai = static_cast<long long>(a);
    long long p2 = ai * p1 + p0, q2 = ai * q1 + q0;
    p0 = p1, q0 = q1, p1 = p2, q1 = q2;
    if (x - a < 1e-12) break;
    x = 1 / (x - a);
  }
  long long k = q1 ? (maxDen - q0) / q1 : 0;  // the largest step of the semiconvergent
  long long ps = p0 + k * p1, qs = q0 + k * q1;
  double convergentError = std::fabs(f - static_cast<double>(p1) / q1);
  double semiError = std::fabs(f - static_cast<double>(ps) / qs);
  bool semi = semiError < convergentError - 1e-15 || (semiError <= convergentError && qs < q1);
  *num = semi ? ps : p1;
  *den = semi ? qs : q1;
}

// The digits a number section shows, worked out before its tokens are written.
struct NumberParts {
  std::string integer, fraction, exponent, numerator, denominator, general;
  size_t shownFraction = 0;  // fraction digits before the trailing zeros that # and ? leave out
  bool exponentNegative = false;
  bool blankFraction = false;  // a fraction of 0 beside an integer: blanks in its place
};

// The power of ten leaves as many integer digits as there are placeholders (or, with # among
// them, a multiple of their count: engineering notation). Rounding may carry into one more
// digit (9.996 -> 10.00): then the next power is taken.
void ScientificParts(const Section& s, double x, NumberParts* p) {
  Decimal d = ToDecimal(x);
  int power = 0;
  for (int e10 = d.exponent - 1, attempt = 0; attempt < 2; ++attempt, ++e10) {
    if (!d.digits.empty()) {
      int k = s.integerDigits;
      power = s.engineering ? static_cast<int>(std::floor(static_cast<double>(e10) / k)) * k : e10 - (k - 1);
    }
    Decimal mantissa = d;
    mantissa.exponent -= power;
    RoundDecimal(mantissa, s.fractionDigits, &p->integer, &p->fraction);
    if (static_cast<int>(p->integer.size()) <= s.integerDigits) break;
  }
  p->exponentNegative = power < 0;
  p->exponent = DigitsOf(power < 0 ? -static_cast<long long>(power) : power);
}

bool FractionParts(const Section& s, double x, NumberParts* p) {
  if (!s.fractionInteger && x >= 1e12) return false;
  double whole = s.fractionInteger ? std::floor(x) : 0;
  long long num = 0, den = 1;
  int maxDen = 1;
  for (int i = 0; i < s.denominatorDigits; ++i) maxDen *= 10;
  BestFraction(x - whole, maxDen - 1, s.fixedDenominator, &num, &den);
  if (s.fractionInteger && num >= den) {
    whole += 1;
    num = 0;
  }
  if (whole >= 1e15 || num > 999999999999LL) return false;
  std::string unused;
  RoundDecimal(ToDecimal(whole), 0, &p->integer, &unused);
  p->blankFraction = s.fractionInteger && num == 0;
  if (p->blankFraction && p->integer.empty()) p->integer = "0";
  p->numerator = DigitsOf(num);
  p->denominator = DigitsOf(den);
  return true;
}

// Fraction digits shown: up to the trailing zeros of # and ? placeholders.
void TrimFraction(const Section& s, NumberParts* p) {
  std::vector<char> placeholder(p->fraction.size(), '0');
  for (const Token& k : s.tokens)
    if (k.kind == Kind::kDigit && k.role == Role::kFraction) placeholder[static_cast<size_t>(k.place)] = k.placeholder;
  size_t n = p->fraction.size();
  while (n > 0 && p->fraction[n - 1] == '0' && placeholder[n - 1] != '0') --n;
  p->shownFraction = n;
}

// An integer, exponent or numerator placeholder: its digit (or what stands for none), the
// digits beyond the placeholders at the leftmost one, thousands separators between them.
void AppendWholeDigit(const Section& s, const Token& k, const NumberParts& p, std::string* out) {
  const std::string& d = k.role == Role::kExponent ? p.exponent : k.role == Role::kNumerator ? p.numerator : p.integer;
  int count = k.role == Role::kExponent ? s.exponentDigits : k.role == Role::kNumerator ? s.numeratorDigits : s.integerDigits;
  bool grouped = s.grouping && k.role == Role::kInteger;
  auto emit = [&](int place, char ch) {
    *out += ch;
    if (grouped && place > 0 && place % 3 == 0) *out += ch == ' ' ? ' ' : ',';
  };
  int len = static_cast<int>(d.size());
  if (k.place == count - 1)
    for (int place = len - 1; place >= count; --place) emit(place, d[static_cast<size_t>(len - 1 - place)]);
  if (k.place < len) emit(k.place, d[static_cast<size_t>(len - 1 - k.place)]);
  else if (k.placeholder == '0') emit(k.place, '0');
  else if (k.placeholder == '?') emit(k.place, ' ');
}

void AppendDigit(const Section& s, const Token& k, const NumberParts& p, std::string* out) {
  size_t at = static_cast<size_t>(k.place);
  if (k.role == Role::kFraction) {
    if (at < p.shownFraction) *out += p.fraction[at];
    else if (k.placeholder == '?') *out += ' ';
  } else if (k.role == Role::kDenominator) {
    if (p.blankFraction) *out += ' ';
    else if (at < p.denominator.size()) *out += p.denominator[at];
    else if (k.placeholder != '#') *out += k.placeholder == '?' ? ' ' : '0';
  } else if (p.blankFraction && k.role == Role::kNumerator) {
    *out += ' ';
  } else {
    AppendWholeDigit(s, k, p, out);
  }
}

void AppendNumberToken(const Section& s, const Token& k, const NumberParts& p, std::string* out) {
  switch (k.kind) {
    case Kind::kLiteral:
      *out += k.role == Role::kDenominator && p.blankFraction ? std::string(k.text.size(), ' ') : k.text;
      break;
    case Kind::kGeneral: *out += p.general; break;
    case Kind::kPoint: *out += '.'; break;
    case Kind::kPercent: *out += '%'; break;
    case Kind::kSlash: *out += p.blankFraction ? ' ' : '/'; break;
    case Kind::kExponent:
      *out += 'E';
      if (p.exponentNegative) *out += '-';
      else if (s.exponentPlus) *out += '+';
      break;
    case Kind::kDigit: AppendDigit(s, k, p, out); break;
    default: break;
  }
}

bool RenderNumberSection(const Section& s, double x, bool negative, std::string* out) {
  for (int i = 0; i < s.percents; ++i) x *= 100;
  for (int i = 0; i < s.thousandsScale; ++i) x /= 1000;
  if (!std::isfinite(x)) return false;
  NumberParts p;
  if (s.scientific) ScientificParts(s, x, &p);
  else if (s.fraction && !FractionParts(s, x, &p)) return false;
  else if (!s.fraction) RoundDecimal(ToDecimal(x), s.fractionDigits, &p.integer, &p.fraction);
  TrimFraction(s, &p);
  if (s.general) {
    char text[32];
    p.general.assign(text, FormatGeneralNumber(x, text));
  }
  if (negative) *out += '-';
  for (const Token& k : s.tokens) AppendNumberToken(s, k, p, out);
  return true;
}

// A serial as the fields a date section shows, rounded to the finest unit it shows (whole
// seconds at least: 23:59:59.7 is the next day).
struct DateParts {
  long long ticks = 0, scale = 1, rest = 0;  // ticks of 1/scale second since the epoch; of this day
  int year = 0, month = 0, day = 0, weekday = 0, hour = 0, minute = 0, second = 0;
  const Era* era = nullptr;
};

bool DateOf(const Section& s, double serial, bool date1904, DateParts* d) {
  if (serial < 0 || serial >= (date1904 ? 2957004.0 : 2958466.0)) return false;
  for (int i = 0; i < s.subSecondDigits; ++i) d->scale *= 10;
  d->ticks = static_cast<long long>(std::floor(serial * 86400.0 * static_cast<double>(d->scale) + 0.5));
  long long days = d->ticks / (86400 * d->scale);
  d->rest = d->ticks % (86400 * d->scale);
  if (!SerialDate(days, date1904, &d->year, &d->month, &d->day)) return false;
  d->weekday = static_cast<int>((days + (date1904 ? 5 : 6)) % 7);
  long long seconds = d->rest / d->scale;
  d->hour = static_cast<int>(seconds / 3600);
  d->minute = static_cast<int>(seconds / 60 % 60);
  d->second = static_cast<int>(seconds % 60);
  d->era = &kEras[0];
  for (const Era& e : kEras)
    if (d->year > e.year || (d->year == e.year && (d->month > e.month || (d->month == e.month && d->day >= e.day))))
      d->era = &e;
  return true;
}

void AppendAmPm(const Section& s, const Token& k, bool pm, std::string* out) {
  if (k.placeholder == 'P' || k.placeholder == 'p') {
    char c = pm ? 'P' : 'A';
    *out += k.placeholder == 'p' ? static_cast<char>(c - 'A' + 'a') : c;
  } else if (s.japanese) {
    *out += pm ? kGogo : kGozen;
  } else {
    *out += k.placeholder == 'a' ? (pm ? "pm" : "am") : (pm ? "PM" : "AM");
  }
}

void AppendDateToken(const Section& s, const Token& k, const DateParts& d, std::string* out) {
  int width2 = k.width >= 2 ? 2 : 1;
  switch (k.kind) {
    case Kind::kLiteral: *out += k.text; break;
    case Kind::kYear: AppendPadded(out, k.width <= 2 ? d.year % 100 : d.year, k.width <= 2 ? 2 : 4); break;
    case Kind::kMonth:
      if (k.width <= 2) AppendPadded(out, d.month, k.width);
      else if (k.width == 3) *out += kMonthShort[d.month - 1];
      else if (k.width == 5) *out += kMonthShort[d.month - 1][0];
      else *out += kMonthLong[d.month - 1];
      break;
    case Kind::kDay:
      if (k.width <= 2) AppendPadded(out, d.day, k.width);
      else *out += k.width == 3 ? kDayShort[d.weekday] : kDayLong[d.weekday];
      break;
    case Kind::kWeekdayJa:
      *out += kDayJa[d.weekday];
      if (k.width >= 4) *out += kYoubi;
      break;
    case Kind::kHour: AppendPadded(out, s.hasAmPm ? (d.hour % 12 == 0 ? 12 : d.hour % 12) : d.hour, width2); break;
    case Kind::kMinute: AppendPadded(out, d.minute, width2); break;
    case Kind::kSecond: AppendPadded(out, d.second, width2); break;
    case Kind::kSubSecond: {
      long long part = d.rest % d.scale;
      for (int i = s.subSecondDigits; i > k.width; --i) part /= 10;
      *out += '.';
      AppendPadded(out, part, k.width);
      break;
    }
    case Kind::kElapsedHours: AppendPadded(out, d.ticks / d.scale / 3600, k.width); break;
    case Kind::kElapsedMinutes: AppendPadded(out, d.ticks / d.scale / 60, k.width); break;
    case Kind::kElapsedSeconds: AppendPadded(out, d.ticks / d.scale, k.width); break;
    case Kind::kAmPm: AppendAmPm(s, k, d.hour >= 12, out); break;
    case Kind::kEra: *out += k.width == 1 ? d.era->letter : k.width == 2 ? d.era->initial : d.era->name; break;
    case Kind::kEraYear: AppendPadded(out, d.year - d.era->year + 1, width2); break;
    default: break;
  }
}

bool RenderDateSection(const Section& s, double serial, bool date1904, std::string* out) {
  DateParts d;
  if (!DateOf(s, serial, date1904, &d)) return false;
  for (const Token& k : s.tokens) AppendDateToken(s, k, d, out);
  return true;
}

}  // namespace

const Section* NumberFormat::ChooseSection(double v, bool* dropSign) const {
  size_t n = textSection_ >= 0 ? static_cast<size_t>(textSection_) : sections_.size();
  *dropSign = false;
  if (n == 0) return nullptr;
  const Section& s0 = sections_[0];
  bool conditions = s0.hasCondition || (n > 1 && sections_[1].hasCondition);
  if (!conditions) {
    // One section for all; two: positive and zero, negative; three: positive, negative, zero.
    if (n == 1 || (n == 2 && v >= 0) || (n >= 3 && v > 0)) return &s0;
    *dropSign = v < 0;
    return v < 0 ? &sections_[1] : &sections_[2];
  }
  bool first = s0.hasCondition ? Holds(s0.op, s0.operand, v) : (n >= 3 ? v > 0 : v >= 0);
  if (first) {
    *dropSign = s0.hasCondition && OnlyNegatives(s0.op, s0.operand);
    return &s0;
  }
  if (n == 1) return nullptr;
  const Section& s1 = sections_[1];
  bool second = s1.hasCondition ? Holds(s1.op, s1.operand, v) : (n >= 3 ? v < 0 : true);
  if (second) {
    *dropSign = s1.hasCondition ? OnlyNegatives(s1.op, s1.operand) : n >= 3;
    return &s1;
  }
  return n >= 3 ? &sections_[2] : nullptr;
}

bool NumberFormat::RenderNumber(double value, bool date1904, std::string* out, size_t maxBytes) const {
  if (!usable_ || !std::isfinite(value)) return false;
  size_t before = out->size();
  bool dropSign = false;
  const Section* s = general_ ? nullptr : ChooseSection(value, &dropSign);
  // General, or a format whose only section is for texts, shows the general form; a value
  // that no section's condition takes has no form at all.
  bool generalForm = !s && (general_ || textSection_ == 0);
  bool ok = generalForm;
  if (generalForm) {
    char text[32];
    out->append(text, FormatGeneralNumber(value, text));
  } else if (s && s->dates) {
    ok = RenderDateSection(*s, value, date1904, out);
  } else if (s) {
    ok = RenderNumberSection(*s, std::fabs(value), value < 0 && !dropSign, out);
  }
  if (!ok || out->size() - before > maxBytes) {
    out->resize(before);
    return false;
  }
  return true;
}

bool NumberFormat::RenderText(const char* text, size_t len, std::string* out) const {
  std::vector<std::string> literals;
  if (!TextSectionLiterals(&literals)) return false;
  for (size_t i = 0; i < literals.size(); ++i) {
    if (i > 0) out->append(text, len);
    *out += literals[i];
  }
  return true;
}

bool NumberFormat::TextSectionLiterals(std::vector<std::string>* literals) const {
  literals->assign(1, std::string());
  if (!usable_ || textSection_ < 0) return false;
  for (const Token& k : sections_[static_cast<size_t>(textSection_)].tokens) {
    if (k.kind == Kind::kText) literals->emplace_back();
    else if (k.kind == Kind::kLiteral) literals->back() += k.text;
  }
  return true;
}

}  // namespace gridbridge
