#include "gridbridge/value_format.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace gridbridge {

NumberKind ClassifyNumberFormat(int id, const char* code) {
  if (!code) {
    if ((id >= 14 && id <= 17) || (id >= 27 && id <= 31) || (id >= 34 && id <= 36) || (id >= 50 && id <= 58))
      return NumberKind::kDate;
    if (id == 46) return NumberKind::kElapsed;  // [h]:mm:ss
    if ((id >= 18 && id <= 21) || id == 32 || id == 33 || id == 45 || id == 47) return NumberKind::kTime;
    if (id == 22) return NumberKind::kDateTime;
    return NumberKind::kGeneral;
  }
  bool date = false, time = false, month = false, elapsedHours = false;
  for (const char* p = code; *p && *p != ';'; ++p) {
    char c = *p;
    if (c == '"') {
      while (p[1] && p[1] != '"') ++p;
      if (p[1]) ++p;
      continue;
    }
    if (c == '[') {
      // [Red], [$-411] and the like say nothing about dates; [h], [mm], [ss] are elapsed time.
      const char* q = p + 1;
      char first = (*q >= 'A' && *q <= 'Z') ? static_cast<char>(*q - 'A' + 'a') : *q;
      bool elapsed = first == 'h' || first == 'm' || first == 's';
      for (; *q && *q != ']'; ++q)
        if (*q != first && *q != first - 'a' + 'A') elapsed = false;
      if (elapsed) time = true;
      if (elapsed) elapsedHours = true;  // [h], [m] or [s]: the hours run on
      if (!*q) break;
      p = q;
      continue;
    }
    if (c == '\\' || c == '_' || c == '*') {
      if (p[1]) ++p;
      continue;
    }
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c == 'y' || c == 'd') date = true;
    else if (c == 'h' || c == 's') time = true;
    else if (c == 'm') month = true;
  }
  if (month && !time) date = true;
  if (elapsedHours && !date) return NumberKind::kElapsed;
  if (date && time) return NumberKind::kDateTime;
  if (date) return NumberKind::kDate;
  if (time) return NumberKind::kTime;
  return NumberKind::kGeneral;
}

size_t FormatGeneralNumber(double value, char* out) {
  if (!std::isfinite(value)) return static_cast<size_t>(std::snprintf(out, 32, "#NUM!"));
  if (value == 0) {
    std::memcpy(out, "0", 2);
    return 1;
  }
  if (std::fabs(value) < 1e15 && value == std::floor(value)) {
    long long n = static_cast<long long>(value);
    char digits[24];
    size_t k = 0;
    unsigned long long u = n < 0 ? static_cast<unsigned long long>(-n) : static_cast<unsigned long long>(n);
    do {
      digits[k++] = static_cast<char>('0' + u % 10);
      u /= 10;
    } while (u);
    size_t len = 0;
    if (n < 0) out[len++] = '-';
    while (k) out[len++] = digits[--k];
    out[len] = '\0';
    return len;
  }
  int n = std::snprintf(out, 32, "%.15G", value);
  // "1.5E-07" and "1E+20", as spreadsheet programs write exponents.
  return n > 0 ? static_cast<size_t>(n) : 0;
}

namespace {

// Days since 1970-01-01 to a civil date (proleptic Gregorian).
void CivilFromDays(long long z, int* year, int* month, int* day) {
  z += 719468;
  long long era = (z >= 0 ? z : z - 146096) / 146097;
  unsigned doe = static_cast<unsigned>(z - era * 146097);
  unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  long long y = static_cast<long long>(yoe) + era * 400;
  unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  unsigned mp = (5 * doy + 2) / 153;
  unsigned d = doy - (153 * mp + 2) / 5 + 1;
  unsigned m = mp < 10 ? mp + 3 : mp - 9;
  *year = static_cast<int>(y + (m <= 2));
  *month = static_cast<int>(m);
  *day = static_cast<int>(d);
}

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
long long DaysFromCivil(int y, int m, int d) {
  y -= m <= 2;
  long long era = (y >= 0 ? y : y - 399) / 400;
  unsigned yoe = static_cast<unsigned>(y - era * 400);
  unsigned doy = static_cast<unsigned>((153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1);
  unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<long long>(doe) - 719468;
}

// The fields of an ISO 8601 date/time text; false when it is not one.
bool ParseIso(const char* text, size_t len, int* y, int* mo, int* d, int* h, int* mi, int* s, bool* hasDate,
              bool* hasTime) {
  *y = *mo = *d = *h = *mi = *s = 0;
  *hasDate = *hasTime = false;
  char buf[40];
  if (len >= sizeof buf) return false;
  std::memcpy(buf, text, len);
  buf[len] = '\0';
  const char* timePart = buf;
  int used = 0;
  if (std::sscanf(buf, "%4d-%2d-%2d%n", y, mo, d, &used) == 3 && used == 10) {
    *hasDate = true;
    timePart = buf + 10;
    if (*timePart == 'T' || *timePart == ' ') ++timePart;
    else if (*timePart != '\0') return false;
  }
  if (*timePart) {
    used = 0;
    if (std::sscanf(timePart, "%2d:%2d:%2d%n", h, mi, s, &used) != 3 || used != 8) return false;
    *hasTime = true;
  }
  if (!*hasDate && !*hasTime) return false;
  if (*hasDate && (*y < 0 || *mo < 1 || *mo > 12 || *d < 1 || *d > 31)) return false;
  return *h >= 0 && *h <= 23 && *mi >= 0 && *mi <= 59 && *s >= 0 && *s <= 59;
}

// Writes value as exactly width decimal digits (years stay within 1900..9999 here).
char* Digits(char* out, int value, int width) {
  for (int i = width - 1; i >= 0; --i) {
    out[i] = static_cast<char>('0' + value % 10);
    value /= 10;
  }
  return out + width;
}

size_t WriteDateTime(NumberKind kind, int y, int mo, int d, long seconds, char* out) {
  int h = static_cast<int>(seconds / 3600), mi = static_cast<int>(seconds / 60 % 60), s = static_cast<int>(seconds % 60);
  char* p = out;
  if (kind != NumberKind::kTime) {
    p = Digits(p, y, 4);
    *p++ = '/';
    p = Digits(p, mo, 2);
    *p++ = '/';
    p = Digits(p, d, 2);
    if (kind == NumberKind::kDateTime) *p++ = ' ';
  }
  if (kind != NumberKind::kDate) {
    p = Digits(p, h, 2);
    *p++ = ':';
    p = Digits(p, mi, 2);
    *p++ = ':';
    p = Digits(p, s, 2);
  }
  *p = '\0';
  return static_cast<size_t>(p - out);
}

}  // namespace

bool SerialDate(long long days, bool date1904, int* year, int* month, int* day) {
  if (days < 0) return false;
  if (date1904) {
    CivilFromDays(days + (-24107), year, month, day);  // 1904-01-01 is day -24107 of 1970
  } else if (days == 0) {
    *year = 1900, *month = 1, *day = 0;  // the 1900 system's day zero
  } else if (days == 60) {
    *year = 1900, *month = 2, *day = 29;  // the 1900 system counts a 29 February that never was
  } else {
    // Serial 1 is 1900-01-01; past the phantom leap day the count is one ahead.
    CivilFromDays(days - (days < 60 ? 25568 : 25569), year, month, day);
  }
  return *year <= 9999;
}

size_t FormatSerial(double serial, NumberKind kind, bool date1904, char* out) {
  if (kind == NumberKind::kGeneral || !std::isfinite(serial) || serial < 0 || serial >= 2958466.0)
    return FormatGeneralNumber(serial, out);
  // Whole seconds, rounded; 23:59:59.7 rounds to the next day.
  long long total = static_cast<long long>(std::floor(serial * 86400.0 + 0.5));
  if (kind == NumberKind::kElapsed) {
    int n = std::snprintf(out, 32, "%02lld:%02d:%02d", total / 3600, static_cast<int>(total / 60 % 60),
                          static_cast<int>(total % 60));
    return n > 0 ? static_cast<size_t>(n) : 0;
  }
  long long days = total / 86400;
  long seconds = static_cast<long>(total % 86400);
  int y, mo, d;
  if (!SerialDate(days, date1904, &y, &mo, &d)) return FormatGeneralNumber(serial, out);
  return WriteDateTime(kind, y, mo, d, seconds, out);
}

bool FormatIsoDateTime(const char* text, size_t len, char* out, size_t* outLen) {
  int y, mo, d, h, mi, s;
  bool hasDate, hasTime;
  if (!ParseIso(text, len, &y, &mo, &d, &h, &mi, &s, &hasDate, &hasTime)) return false;
  NumberKind kind = hasDate && hasTime && (h || mi || s) ? NumberKind::kDateTime
                    : hasDate                           ? NumberKind::kDate
                                                        : NumberKind::kTime;
  *outLen = WriteDateTime(kind, y, mo, d, static_cast<long>(h) * 3600 + mi * 60 + s, out);
  return true;
}

bool IsoDateTimeSerial(const char* text, size_t len, bool date1904, double* serial) {
  int y, mo, d, h, mi, s;
  bool hasDate, hasTime;
  if (!ParseIso(text, len, &y, &mo, &d, &h, &mi, &s, &hasDate, &hasTime)) return false;
  long long days = 0;
  if (hasDate) {
    long long since1970 = DaysFromCivil(y, mo, d);
    if (date1904) {
      days = since1970 + 24107;
    } else {
      days = since1970 + 25569;            // 1899-12-30 counts as day 0 from March 1900 on
      if (days < 61) days = since1970 + 25568;  // before it, the phantom 29 February is not counted
    }
    if (days < 0) return false;
  }
  *serial = static_cast<double>(days) + (h * 3600 + mi * 60 + s) / 86400.0;
  return true;
}

}  // namespace gridbridge
