// How numbers look to the user: integers without a decimal point, other numbers with up to
// 15 significant digits, date and time serials as yyyy/mm/dd and hh:mm:ss.
#pragma once
#include <cstddef>

namespace gridbridge {

// kElapsed: a duration in an [h], [m] or [s] format, whose hours run past 24.
enum class NumberKind { kGeneral, kDate, kTime, kDateTime, kElapsed };

// The kind of a number format, from its built-in id and, for custom formats, its code
// (nullptr when the format has none).
NumberKind ClassifyNumberFormat(int id, const char* code);

// The calendar date of a whole number of days since the workbook's epoch, as Excel counts
// them: in the 1900 system day 0 is 1900-01-00 and day 60 the 29 February 1900 that never
// was; in the 1904 system day 0 is 1904-01-01. False for days outside 0 .. 9999-12-31.
bool SerialDate(long long days, bool date1904, int* year, int* month, int* day);

// Writes the number as text into out (at least 32 bytes); returns the length.
size_t FormatGeneralNumber(double value, char* out);

// Writes a date/time serial (days since the workbook's epoch) in the given kind; falls back
// to the general form for serials outside 0 .. 9999-12-31. Returns the length.
size_t FormatSerial(double serial, NumberKind kind, bool date1904, char* out);

// An ISO 8601 date/time text ("2024-03-05", "2024-03-05T14:07:09", "14:07:09") in the same
// form as FormatSerial; false when the text is not one.
bool FormatIsoDateTime(const char* text, size_t len, char* out, size_t* outLen);

// The serial (days since the workbook's epoch, with the time as a fraction) of an ISO 8601
// date/time text, as Excel stores it; false when the text is not one or lies before the epoch.
bool IsoDateTimeSerial(const char* text, size_t len, bool date1904, double* serial);

}  // namespace gridbridge
