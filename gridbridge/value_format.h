// How numbers look to the user: integers without a decimal point, other numbers with up to
// 15 significant digits, date and time serials as yyyy/mm/dd and hh:mm:ss.
#pragma once
#include <cstddef>

namespace gridbridge {

// kElapsed: a duration in a [h] format, whose hours run past 24.
enum class NumberKind { kGeneral, kDate, kTime, kDateTime, kElapsed };

// The kind of a number format, from its built-in id and, for custom formats, its code
// (nullptr when the format has none).
NumberKind ClassifyNumberFormat(int id, const char* code);

// Writes the number as text into out (at least 32 bytes); returns the length.
size_t FormatGeneralNumber(double value, char* out);

// Writes a date/time serial (days since the workbook's epoch) in the given kind; falls back
// to the general form for serials outside 0 .. 9999-12-31. Returns the length.
size_t FormatSerial(double serial, NumberKind kind, bool date1904, char* out);

// An ISO 8601 date/time text ("2024-03-05", "2024-03-05T14:07:09", "14:07:09") in the same
// form as FormatSerial; false when the text is not one.
bool FormatIsoDateTime(const char* text, size_t len, char* out, size_t* outLen);

}  // namespace gridbridge
